#include <gtest/gtest.h>

#include <QFontMetrics>
#include <algorithm>
#include <array>
#include <climits>
#include <vector>

#include "render/FontCells.h"
#include "render/RasterCanvas.h"
#include "support/PrintRgb.h"

namespace tarsel {
namespace {

constexpr Rgb GREY{180, 180, 180};
constexpr Rgb OUTLINE{128, 128, 128};
constexpr Rgb RED{240, 0, 0};
constexpr Rgb BLUE{0, 0, 255};

// The QPainter canvas is compared with this one on a whole scene (RenderSceneTest).
class RasterCanvasTest : public ::testing::Test {
  protected:
    Rgb At(int x, int y) { return scene.Pixel(x, y); }
    SceneBitmap scene{GREY};
    RasterCanvas canvas{scene};
};

TEST_F(RasterCanvasTest, EllipseIsFilledWithTheBrushAndRimmedWithThePen) {
    canvas.SetPen(OUTLINE, PenStyle::Solid);
    canvas.SetBrush(RED);
    canvas.Ellipse(1015, 1015, 985, 985);  // 985 .. 1014 both ways, as the pass gives it
    EXPECT_EQ(At(1000, 1000), RED);
    EXPECT_EQ(At(1013, 1000), RED);
    for (const auto& [x, y] : {std::pair{985, 1000}, {1014, 1000}, {1000, 985}, {1000, 1014}})
        EXPECT_EQ(At(x, y), OUTLINE) << x << "," << y;
    for (const auto& [x, y] : {std::pair{984, 1000}, {1015, 1000}, {1000, 1015}, {986, 986}})
        EXPECT_EQ(At(x, y), GREY) << x << "," << y;

    // Not a circle: the rim is closed on every row.
    canvas.Ellipse(300, 200, 341, 221);
    for (int y = 200; y < 221; ++y) {
        int left = 300, right = 340;
        while (At(left, y) == GREY)
            ++left;
        while (At(right, y) == GREY)
            --right;
        ASSERT_LE(left, right) << y;
        EXPECT_EQ(At(left, y), OUTLINE) << y;
        EXPECT_EQ(At(right, y), OUTLINE) << y;
    }
    EXPECT_EQ(At(320, 200), OUTLINE);
    EXPECT_EQ(At(320, 210), RED);
    canvas.Ellipse(500, 500, 500, 520);  // an empty box draws nothing
    EXPECT_EQ(At(500, 510), GREY);
}

TEST_F(RasterCanvasTest, LineStopsBeforeItsEndPointWhicheverWayItRuns) {
    canvas.SetPen(BLUE, PenStyle::Solid);
    canvas.Line(10, 10, 20, 10);
    EXPECT_EQ(At(10, 10), BLUE);
    EXPECT_EQ(At(19, 10), BLUE);
    EXPECT_EQ(At(20, 10), GREY);
    canvas.Line(50, 50, 50, 40);
    EXPECT_EQ(At(50, 50), BLUE);
    EXPECT_EQ(At(50, 41), BLUE);
    EXPECT_EQ(At(50, 40), GREY);
    canvas.Line(100, 100, 90, 95);  // x-major, leftward and up
    EXPECT_EQ(At(91, 95), BLUE);
    EXPECT_EQ(At(90, 95), GREY);
    canvas.Line(300, 300, 300, 300);
    EXPECT_EQ(At(300, 300), GREY);
}

TEST_F(RasterCanvasTest, DashesAndDotsFillTheirGapsWithTheBrush) {
    const Rgb green{0, 128, 0}, gap{1, 2, 3};
    canvas.SetBrush(gap);
    canvas.SetPen(green, PenStyle::Dash);
    canvas.Line(0, 5, 100, 5);
    for (int x = 0; x < 60; ++x)
        EXPECT_EQ(At(x, 5), x % 24 < 18 ? green : gap) << x;
    canvas.SetPen(green, PenStyle::Dot);
    canvas.Line(7, 0, 7, 20);  // the pattern runs along the major axis
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(At(7, y), y % 6 < 3 ? green : gap) << y;
}

TEST_F(RasterCanvasTest, FarEndPointsKeepTheLinesSlope) {
    canvas.SetPen(BLUE, PenStyle::Solid);
    // From the centre toward a point a billion pixels away, slope 1/2.
    canvas.Line(1000, 1000, 1000 + (1 << 30), 1000 + (1 << 29));
    EXPECT_EQ(At(1100, 1050), BLUE);
    EXPECT_EQ(At(1998, 1499), BLUE);
    EXPECT_EQ(At(1100, 1049), GREY);
    // And from far outside in: the pixels on the bitmap are those of the whole line.
    canvas.Line(-(1 << 30), 500 - (1 << 29), 1000, 500);
    EXPECT_EQ(At(500, 250), BLUE);
    EXPECT_EQ(At(500, 251), GREY);
    EXPECT_EQ(At(999, 500), BLUE);
    EXPECT_EQ(At(1000, 500), GREY);
}

TEST_F(RasterCanvasTest, ShapesAnywhereAreClippedToTheBitmap) {
    canvas.SetPen(OUTLINE, PenStyle::Solid);
    canvas.SetBrush(RED);
    canvas.Ellipse(5000, 5000, 9000, 9000);
    canvas.Text(INT_MAX, INT_MIN, "OW", {"Arial Cyr", 12}, {0, 0, 0});
    canvas.Text(-5, 1995, "HW1", {"Arial Cyr", 40}, {0, 0, 0});
    canvas.FillRect({-100, -100, 3000, 5}, {256 + 10, 512 + 20, -256 + 30});  // low bytes
    EXPECT_EQ(At(1999, 4), (Rgb{10, 20, 30}));
    EXPECT_EQ(At(1999, 5), GREY);
    canvas.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);  // covers the whole bitmap
    EXPECT_EQ(At(0, 0), RED);
    EXPECT_EQ(At(1999, 1999), RED);
    canvas.Line(INT_MIN, 1000, INT_MAX, 1000);
    EXPECT_EQ(At(0, 1000), OUTLINE);
    EXPECT_EQ(At(1999, 1000), OUTLINE);
}

TEST_F(RasterCanvasTest, TextIsDrawnBelowAndRightOfItsCornerFromOneMaskPerFont) {
    canvas.Text(100, 100, "OW", {"Arial Cyr", 20}, {0, 0, 0});
    int dark = 0, outside = 0;
    for (int y = 90; y < 130; ++y) {
        for (int x = 90; x < 160; ++x) {
            if (At(x, y) == GREY) continue;
            (x >= 100 && y >= 100 && y < 120 ? dark : outside)++;
        }
    }
    EXPECT_GT(dark, 30);
    EXPECT_EQ(outside, 0);

    canvas.Text(400, 100, "OW", {"Arial Cyr", 20}, {0, 0, 0});
    EXPECT_EQ(canvas.CachedTexts(), 1u);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(At(100 + x, 100 + y), At(400 + x, 100 + y));
    canvas.Text(10, 300, "OW", {"Arial Cyr", 21}, {0, 0, 0});
    canvas.Text(600, 600, "X", {"Arial Cyr", 30}, {20, 20, 20});
    EXPECT_EQ(canvas.CachedTexts(), 3u);
    bool letterColour = false;
    for (int y = 600; y < 630; ++y)
        for (int x = 600; x < 630; ++x)
            letterColour = letterColour || At(x, y) == Rgb{20, 20, 20};
    EXPECT_TRUE(letterColour);
}

TEST(BlendCoverage, EveryPixelAndCoverageBlendsRoundedAtEveryPlace) {
    // Pixel value p under coverage a: a row of 256 coverages over the row's pixels, each
    // channel a different value, for every p; spans that start and end anywhere, near the
    // clip's right edge and the coverage's last byte. Nothing outside the span changes.
    constexpr int W = 256, ROW = W + 40;
    std::vector<std::uint8_t> alpha(W * 2);
    for (int i = 0; i < W * 2; ++i)
        alpha[i] = static_cast<std::uint8_t>(i * 7 % 256 == 0 ? i : (i * 37 + 11) % 256);
    const TextCoverage c{-3, 0, W, 2, alpha.data()};
    struct Case {
        std::int64_t x, lo, hi;
    };
    const Case cases[] = {{3, 0, ROW}, {10, 12, ROW}, {3, 0, W},    {20, 30, 45},
                          {5, 7, 9},   {-50, 0, ROW}, {3, 4, W + 2}};
    for (const Rgb colour : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{17 + 256, 128, 254}}) {
        for (int p = 0; p < 256; ++p) {
            for (const Case& k : cases) {
                // Both lines at once, onto rows ROW pixels apart, then each alone.
                std::vector<std::uint8_t> rows(6 * ROW);
                for (int i = 0; i < 6 * ROW; ++i)
                    rows[i] = static_cast<std::uint8_t>(p + i % 3 * 50);
                BlendCoverageLines(rows.data(), 3 * ROW, c, 0, 2, k.x, colour, k.lo, k.hi);
                for (int line : {0, 1}) {
                    std::vector<std::uint8_t> row(3 * ROW);
                    for (int i = 0; i < 3 * ROW; ++i)
                        row[i] = static_cast<std::uint8_t>(p + i % 3 * 50);
                    const std::vector<std::uint8_t> before = row;
                    BlendCoverageSpan(row.data(), c, line, k.x, colour, k.lo, k.hi);
                    ASSERT_TRUE(std::equal(row.begin(), row.end(), rows.begin() + 3 * ROW * line));
                    for (int i = 0; i < 3 * ROW; ++i) {
                        const std::int64_t px = i / 3, col = px - (k.x + c.Left);
                        unsigned want = before[i];
                        if (px >= k.lo && px < k.hi && col >= 0 && col < W) {
                            const unsigned a = alpha[line * W + col];
                            const unsigned ch = (i % 3 == 0   ? colour.B
                                                 : i % 3 == 1 ? colour.G
                                                              : colour.R) &
                                                0xFF;
                            want = (before[i] * (255 - a) + ch * a + 127) / 255;
                        }
                        ASSERT_EQ(row[i], want) << "byte " << i << " p " << p << " x " << k.x
                                                << " lo " << k.lo << " hi " << k.hi;
                    }
                }
            }
        }
    }
}

TEST(FontCells, CellHeightIsTheLargestThatFits) {
    FontCells fonts;
    for (int h : {5, 9, 18, 19, 40, 120}) {
        const FontCells::Cell& cell = fonts.Get({"Arial Cyr", h});
        EXPECT_LE(cell.CellHeight, h) << h;
        EXPECT_GE(cell.CellHeight, h - 2) << h;
        QFont bigger = cell.Font;
        bigger.setPixelSize(cell.Font.pixelSize() + 1);
        const QFontMetrics m(bigger);
        EXPECT_GT(m.ascent() + m.descent(), h) << h;
    }
    EXPECT_EQ(fonts.Get({"Arial Cyr", -12}).Font.pixelSize(), 12);  // em height
    EXPECT_EQ(FontCells::EffectiveHeight(0), FontCells::DEFAULT_CELL_HEIGHT);
    EXPECT_EQ(FontCells::EffectiveHeight(250000), FontCells::MAX_CELL_HEIGHT);
    EXPECT_EQ(FontCells::EffectiveHeight(INT_MIN), -FontCells::MAX_CELL_HEIGHT);
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

// Lines (steep and flat, either way, dashed and dotted, from far off the bitmap) and ellipses
// drawn with a shown area give, inside it, the pixels of drawing everything, and leave the
// rest alone.
TEST(RasterCanvasShownArea, InsideItEveryPixelIsThatOfDrawingEverything) {
    SceneBitmap clipped(GREY), whole(GREY);
    RasterCanvas a(clipped), b(whole);
    const Rect shown{300, 200, 1100, 800};
    a.SetShownArea(shown);
    std::uint64_t seed = 12345;
    const auto next = [&seed](int lo, int hi) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + static_cast<int>((seed >> 33) % static_cast<std::uint64_t>(hi - lo + 1));
    };
    for (int k = 0; k < 400; ++k) {
        const PenStyle style = k % 3 == 0   ? PenStyle::Solid
                               : k % 3 == 1 ? PenStyle::Dash
                                            : PenStyle::Dot;
        const int far = k % 5 == 0 ? 3000000 : 2600;
        const int x1 = next(-far, far), y1 = next(-far, far), x2 = next(-600, 2600),
                  y2 = next(-600, 2600);
        for (RasterCanvas* c : {&a, &b}) {
            c->SetPen(k % 2 == 0 ? RED : BLUE, style);
            c->SetBrush({0, static_cast<int>(k & 0xFF), 90});
            c->Line(x1, y1, x2, y2);
            if (k % 4 == 0) c->Ellipse(x1 % 1500, y1 % 1500, x2 % 1900, y2 % 1900);
        }
    }
    int drawn = 0;
    for (int y = 0; y < SCENE_SIZE; ++y) {
        for (int x = 0; x < SCENE_SIZE; ++x) {
            const bool inside =
                x >= shown.Left && x < shown.Right && y >= shown.Top && y < shown.Bottom;
            if (inside) {
                ASSERT_EQ(clipped.Pixel(x, y), whole.Pixel(x, y)) << x << "," << y;
                drawn += whole.Pixel(x, y) != GREY;
            } else {
                ASSERT_EQ(clipped.Pixel(x, y), GREY) << x << "," << y;
            }
        }
    }
    EXPECT_GT(drawn, 20000);
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

// Ellipses of every small size, at odd places (off the bitmap in part, far away), drawn from the
// kept patterns and measured row by row: the same pixels.
TEST(RasterCanvasPatterns, SmallEllipsesEqualThoseMeasuredRowByRow) {
    SceneBitmap fromPatterns(GREY), measured(GREY);
    RasterCanvas a(fromPatterns), b(measured);
    b.UsePatterns = false;
    for (RasterCanvas* c : {&a, &b}) {
        c->SetPen(OUTLINE, PenStyle::Solid);
        int k = 0;
        for (int w = 1; w <= 64; w += 3) {
            for (int h = 1; h <= 64; h += 5, ++k) {
                c->SetBrush({k & 0xFF, 40, 200});
                const int x = (k * 97) % 2100 - 50, y = (k * 61) % 2100 - 50;
                c->Ellipse(x, y, x + w, y + h);
                c->Ellipse(-1000001 + w, y, -1000001, y + h);  // entirely off: nothing
            }
        }
    }
    EXPECT_EQ(fromPatterns.Image(), measured.Image());
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

// Batches drawn by bands of rows on two threads, and the same primitives one by one: the same
// pixels, and the same pen and brush afterwards. Many shapes cross the bands' border.
TEST(RasterCanvasBatches, BandsDrawWhatThePrimitivesDraw) {
    SceneBitmap inBands(GREY), oneByOne(GREY);
    RasterCanvas a(inBands), b(oneByOne);
    BandWorkers workers(2);
    std::uint64_t seed = 777;
    const auto next = [&seed](int lo, int hi) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + static_cast<int>((seed >> 33) % static_cast<std::uint64_t>(hi - lo + 1));
    };
    const std::array<LinePen, 3> pens{
        {{RED, PenStyle::Solid}, {BLUE, PenStyle::Dash}, {{0, 128, 0}, PenStyle::Dot}}};
    std::vector<BatchLine> lines;
    for (int k = 0; k < 5000; ++k) {
        const int far = k % 50 == 0 ? 3000000 : 0;
        const int x1 = next(200, 1800) + far, y1 = next(200, 1800);
        lines.push_back({x1, y1, x1 + next(-60, 60), y1 + next(-60, 60),
                         static_cast<std::int8_t>(next(-3, 2)), next(0, 9) != 0, next(0, 2) == 0});
    }
    std::vector<std::uint8_t> alpha(12 * 9);
    for (std::size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<std::uint8_t>(i * 37);
    const TextCoverage pieces[2] = {{-2, 1, 12, 9, alpha.data()}, {11, -3, 4, 6, alpha.data()}};
    std::vector<FlatItem> items;
    for (int k = 0; k < 5000; ++k) {
        const int x = next(150, 1850), y = next(150, 1850), r = k % 100 == 0 ? 90 : next(0, 20);
        items.push_back({x + r,
                         y + r,
                         x - r,
                         y - r,
                         {k & 0xFF, 40, 200},
                         k % 7 != 0,
                         x,
                         y,
                         k % 3 == 0 ? nullptr : pieces,
                         k % 3 == 0 ? 0 : 1 + k % 2});
    }
    for (RasterCanvas* c : {&a, &b}) {
        c->SetShownArea({300, 250, 1700, 1650});
        c->SetPen(OUTLINE, PenStyle::Solid);
        c->SetBrush({10, 20, 30});
    }
    // In runs of every length, an empty one among them, as one batch.
    const std::span<const BatchLine> all(lines);
    const std::span<const BatchLine> runs[] = {all.first(1), all.subspan(1, 2999),
                                               all.subspan(3000, 0), all.subspan(3000)};
    a.LineRuns(runs, pens, workers);
    b.Canvas::Lines(lines, pens, workers);
    for (RasterCanvas* c : {&a, &b})
        c->Line(310, 300, 1690, 1600);  // with the pen the batch left
    a.FlatItems(items, OUTLINE, {0, 0, 0}, workers);
    b.Canvas::FlatItems(items, OUTLINE, {0, 0, 0}, workers);
    for (RasterCanvas* c : {&a, &b})
        c->Ellipse(900, 900, 1000, 960);  // with the pen and brush the batch left
    EXPECT_EQ(inBands.Image(), oneByOne.Image());
}

}  // namespace
}  // namespace tarsel
