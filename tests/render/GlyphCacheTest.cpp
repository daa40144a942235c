#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "render/FontCells.h"
#include "render/RasterCanvas.h"

namespace tarsel {
namespace {

struct Mask {
    TextCoverage View;
    std::vector<std::uint8_t> Alpha;
};

std::string Describe(const TextCoverage& c) {
    return std::to_string(c.Left) + "," + std::to_string(c.Top) + " " + std::to_string(c.Width) +
           "x" + std::to_string(c.Height);
}

// The pieces laid over each other on a plane of 3000 x 1700 coverage bytes, the cell at
// (400, 400), as Text blends them.
std::vector<std::uint8_t> Plane(const TextCoverage* pieces, int count) {
    std::vector<std::uint8_t> plane(3000 * 1700, 0);
    for (int k = 0; k < count; ++k) {
        const TextCoverage& c = pieces[k];
        for (int y = 0; y < c.Height; ++y) {
            for (int x = 0; x < c.Width; ++x) {
                std::uint8_t& p = plane[(400 + c.Top + y) * 3000 + 400 + c.Left + x];
                p = std::max(p, c.Alpha[y * c.Width + x]);  // pieces never overlap
            }
        }
    }
    return plane;
}

bool SameCoverage(const TextCoverage* pieces, int count, const TextCoverage& whole) {
    return Plane(pieces, count) == Plane(&whole, 1);
}

// Texts put together from glyphs against Qt drawing each whole: plain names, texts Qt kerns
// or joins into a ligature (which must be recognised and drawn whole), a long one with a
// blank, across small, mid and tall heights (kept as masks up to 256 pixels, put together
// for each use above).
TEST(GlyphTextTest, EqualsTheWholeTextMaskOnATableOfHeights) {
    ASSERT_TRUE(FontCells::Available());
    QImage image(3000, 1700, QImage::Format_BGR888);
    RasterCanvas canvas(image);
    const FontSpec base{"Arial Cyr", 0};
    const std::vector<std::string> texts{"C01", "H67", "HC1", "CA1", "OW ",    "CT ",
                                         "AV",  "fi",  "r.j", "Tf",  "HC1 HC2"};
    const std::vector<int> heights{-12, 1,  3,  6,   9,   13,  16,  19,  24,  33, 47,
                                   64,  65, 80, 128, 200, 256, 257, 300, 450, 600};
    int compared = 0;
    for (const int height : heights) {
        FontSpec font = base;
        font.Height = height;
        for (const std::string& text : texts) {
            if (text.size() > 4 && height > 256) continue;  // keeps the test quick
            Mask whole;
            whole.View = canvas.WholeTextMask(text, font, whole.Alpha);
            // The cell placed so that all Qt's image of the text lies on the canvas.
            int count = 0;
            const TextCoverage* glyphs = canvas.Coverage(400, 400, text, font, count);
            if (glyphs == nullptr) {
                // Qt draws a shaped text itself when it is too tall or long to be kept.
                EXPECT_TRUE(height > 256 || text.size() > 4) << text << " at " << height;
                continue;
            }
            EXPECT_TRUE(SameCoverage(glyphs, count, whole.View))
                << "\"" << text << "\" at height " << height << ", " << count << " pieces, against "
                << Describe(whole.View);
            canvas.ReleaseCoverages();
            ++compared;
        }
    }
    EXPECT_GT(compared, static_cast<int>(heights.size() * texts.size()) * 4 / 5);
}

// Every height from -256 to 256 for a few names: far more glyphs and masks than the budgets
// hold. Between texts the caches stay within them, and what is drawn after all that forgetting
// is still the right text.
TEST(GlyphTextTest, CachesKeepToTheirBudgetOverThousandsOfHeights) {
    ASSERT_TRUE(FontCells::Available());
    SceneBitmap scene({255, 255, 255});
    RasterCanvas canvas(scene);
    const std::size_t budget = RasterCanvas::MASK_BUDGET + RasterCanvas::GLYPH_BUDGET;
    std::size_t most = 0;
    for (int height = -256; height <= 256; ++height) {
        for (const char* text : {"C01", "H67", "CA1", "HC1"}) {
            canvas.Text(1000, 1000, text, {"Arial Cyr", height}, {0, 0, 0});
            most = std::max(most, canvas.CacheBytes());
        }
    }
    // A text may add its own mask and glyphs before the next one trims (about 1 MB here).
    EXPECT_LE(most, budget + (std::size_t{2} << 20));
    EXPECT_GT(most, budget / 2);  // the budgets were reached, not merely respected
    const FontSpec font{"Arial Cyr", 200};
    Mask whole;
    whole.View = canvas.WholeTextMask("H67", font, whole.Alpha);
    int count = 0;
    const TextCoverage* again = canvas.Coverage(400, 400, "H67", font, count);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(SameCoverage(again, count, whole.View));
}

// A pass's finder answers as the canvas does for every name, also when more masks are kept
// than the table of those used last holds, and when it asks again for what it has looked up.
TEST(GlyphTextTest, ThePassFinderAnswersAsTheCanvasForManyHeights) {
    ASSERT_TRUE(FontCells::Available());
    SceneBitmap scene({255, 255, 255});
    RasterCanvas canvas(scene);
    const char* texts[] = {"C01", "H67", "CA1", "HC1"};
    for (int height = 6; height < 200; ++height) {
        for (const char* text : texts) {
            int pieces = 0;
            ASSERT_NE(canvas.Coverage(1000, 1000, text, {"Arial Cyr", height}, pieces), nullptr);
        }
    }
    ReadyNames ready(canvas, {"Arial Cyr", 0});
    for (int round = 0; round < 2; ++round) {
        for (int height = 2; height < 210; ++height) {
            for (const char* text : texts) {
                int expectedPieces = -1, pieces = -1;
                const TextCoverage* expected =
                    canvas.ReadyCoverage(1000, 1000, text, {"Arial Cyr", height}, expectedPieces);
                EXPECT_EQ(ready.Find(1000, 1000, text, height, pieces), expected)
                    << text << " " << height;
                EXPECT_EQ(pieces, expectedPieces);
            }
        }
    }
}

}  // namespace
}  // namespace tarsel
