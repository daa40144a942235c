#include <gtest/gtest.h>

#include <QFontMetrics>
#include <climits>
#include <memory>

#include "render/FontCells.h"
#include "render/PainterCanvas.h"
#include "render/RasterCanvas.h"
#include "support/PrintRgb.h"

namespace tarsel {
namespace {

constexpr Rgb GREY{180, 180, 180};
constexpr Rgb OUTLINE{128, 128, 128};
constexpr Rgb RED{240, 0, 0};

// Both canvases, each on its own bitmap.
class CanvasTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam()) {
            canvas = std::make_unique<RasterCanvas>(scene);
        } else {
            canvas = std::make_unique<PainterCanvas>(scene);
        }
    }
    Rgb At(int x, int y) { return scene.Pixel(x, y); }

    SceneBitmap scene{GREY};
    std::unique_ptr<Canvas> canvas;
};

TEST_P(CanvasTest, EllipseIsFilledWithTheBrushInsideItsBox) {
    canvas->SetPen(OUTLINE, PenStyle::Solid);
    canvas->SetBrush(RED);
    // Corners given the way the pass gives them: (x + r, y + r) first.
    canvas->Ellipse(1015, 1015, 985, 985);
    EXPECT_EQ(At(1000, 1000), RED);
    EXPECT_EQ(At(1010, 1003), RED);
    EXPECT_EQ(At(985, 1000), OUTLINE);
    EXPECT_EQ(At(1000, 985), OUTLINE);
    for (const auto& [x, y] :
         {std::pair{984, 1000}, {1016, 1000}, {1000, 984}, {1000, 1016}, {986, 986}, {1013, 1013}})
        EXPECT_EQ(At(x, y), GREY) << x << "," << y;
}

TEST_P(CanvasTest, LineRunsBetweenItsEnds) {
    canvas->SetPen({0, 0, 255}, PenStyle::Solid);
    canvas->Line(10, 10, 20, 10);
    EXPECT_EQ(At(10, 10), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(15, 10), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(9, 10), GREY);
    EXPECT_EQ(At(21, 10), GREY);
    EXPECT_EQ(At(15, 11), GREY);
}

TEST_P(CanvasTest, ColoursUseTheLowByteOfEachComponent) {
    canvas->FillRect({0, 0, 4, 4}, {256 + 10, 512 + 20, -256 + 30});
    EXPECT_EQ(At(0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(At(4, 4), GREY);
}

TEST_P(CanvasTest, ShapesFarOffTheBitmapStayOffIt) {
    canvas->SetPen(OUTLINE, PenStyle::Solid);
    canvas->SetBrush(RED);
    canvas->Ellipse(5000, 5000, 9000, 9000);
    canvas->Ellipse(-9000, 0, -10, 500);
    canvas->Line(INT_MIN, INT_MAX, INT_MIN, INT_MIN);
    canvas->FillRect({-100, -100, 3000, 5}, {1, 1, 1});
    canvas->Text(INT_MAX, INT_MIN, "OW", {"Arial Cyr", 12}, {0, 0, 0});
    canvas->Text(-5, 1995, "HW1", {"Arial Cyr", 40}, {0, 0, 0});
    EXPECT_EQ(At(1000, 1000), GREY);
    EXPECT_EQ(At(0, 400), GREY);
    EXPECT_EQ(At(1999, 4), (Rgb{1, 1, 1}));
    EXPECT_EQ(At(1999, 5), GREY);
}

TEST_P(CanvasTest, TextSitsBelowAndRightOfItsCorner) {
    canvas->Text(100, 100, "OW", {"Arial Cyr", 20}, {0, 0, 0});
    int dark = 0, outside = 0;
    for (int y = 90; y < 130; ++y) {
        for (int x = 90; x < 160; ++x) {
            if (At(x, y) == GREY) continue;
            const bool inCell = x >= 100 && y >= 100 && y < 120;
            (inCell ? dark : outside)++;
        }
    }
    EXPECT_GT(dark, 30);
    EXPECT_EQ(outside, 0);
}

INSTANTIATE_TEST_SUITE_P(Canvases, CanvasTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Raster" : "Painter"; });

class RasterCanvasTest : public ::testing::Test {
  protected:
    Rgb At(int x, int y) { return scene.Pixel(x, y); }
    SceneBitmap scene{GREY};
    RasterCanvas canvas{scene};
};

TEST_F(RasterCanvasTest, EllipseOutlineIsTheRimOfItsBox) {
    canvas.SetPen(OUTLINE, PenStyle::Solid);
    canvas.SetBrush(RED);
    canvas.Ellipse(1015, 1015, 985, 985);  // 985 .. 1014 both ways
    for (const auto& [x, y] : {std::pair{985, 1000}, {1014, 1000}, {1000, 985}, {1000, 1014}})
        EXPECT_EQ(At(x, y), OUTLINE) << x << "," << y;
    EXPECT_EQ(At(1015, 1000), GREY);
    EXPECT_EQ(At(1000, 1015), GREY);
    EXPECT_EQ(At(1013, 1000), RED);
}

TEST_F(RasterCanvasTest, LineStopsBeforeItsEndPointWhicheverWayItRuns) {
    const Rgb blue{0, 0, 255};
    canvas.SetPen(blue, PenStyle::Solid);
    canvas.Line(10, 10, 20, 10);
    EXPECT_EQ(At(19, 10), blue);
    EXPECT_EQ(At(20, 10), GREY);
    canvas.Line(50, 50, 50, 40);
    EXPECT_EQ(At(50, 50), blue);
    EXPECT_EQ(At(50, 41), blue);
    EXPECT_EQ(At(50, 40), GREY);
    canvas.Line(100, 100, 90, 95);  // x-major, leftward and up
    EXPECT_EQ(At(100, 100), blue);
    EXPECT_EQ(At(91, 95), blue);
    EXPECT_EQ(At(90, 95), GREY);
    canvas.Line(300, 300, 300, 300);  // nothing left once the end is excluded
    EXPECT_EQ(At(300, 300), GREY);
}

TEST_F(RasterCanvasTest, HugeShapesAreClippedExactly) {
    canvas.SetPen(OUTLINE, PenStyle::Solid);
    canvas.SetBrush(RED);
    canvas.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);  // covers the whole bitmap
    EXPECT_EQ(At(0, 0), RED);
    EXPECT_EQ(At(1999, 1999), RED);
    canvas.Line(INT_MIN, 1000, INT_MAX, 1000);
    EXPECT_EQ(At(0, 1000), OUTLINE);
    EXPECT_EQ(At(1999, 1000), OUTLINE);
    EXPECT_EQ(At(1000, 999), RED);
}

TEST_F(RasterCanvasTest, DashesAndDotsFillTheirGapsWithTheBrush) {
    const Rgb green{0, 128, 0};
    canvas.SetBrush({1, 2, 3});
    canvas.SetPen(green, PenStyle::Dash);
    canvas.Line(0, 5, 100, 5);
    for (int x = 0; x < 60; ++x) {
        const bool on = x % 24 < 18;
        EXPECT_EQ(At(x, 5), on ? green : (Rgb{1, 2, 3})) << x;
    }
    canvas.SetPen(green, PenStyle::Dot);
    canvas.Line(7, 0, 7, 20);  // the pattern runs along the major axis
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(At(7, y), y % 6 < 3 ? green : (Rgb{1, 2, 3})) << y;
}

TEST_F(RasterCanvasTest, FarEndPointsKeepTheLinesSlope) {
    const Rgb blue{0, 0, 255};
    canvas.SetPen(blue, PenStyle::Solid);
    // From the centre toward a point a billion pixels away, slope 1/2.
    canvas.Line(1000, 1000, 1000 + (1 << 30), 1000 + (1 << 29));
    EXPECT_EQ(At(1000, 1000), blue);
    EXPECT_EQ(At(1100, 1050), blue);
    EXPECT_EQ(At(1998, 1499), blue);
    EXPECT_EQ(At(1100, 1049), GREY);
    // And from far outside in: the pixels on the bitmap are those of the whole line.
    canvas.Line(-(1 << 30), 500 - (1 << 29), 1000, 500);
    EXPECT_EQ(At(500, 250), blue);
    EXPECT_EQ(At(500, 251), GREY);
    EXPECT_EQ(At(998, 499), blue);
    EXPECT_EQ(At(999, 500), blue);
    EXPECT_EQ(At(1000, 500), GREY);  // the end point is not drawn
}

TEST_F(RasterCanvasTest, EllipseOutlineIsClosed) {
    canvas.SetPen(OUTLINE, PenStyle::Solid);
    canvas.SetBrush(RED);
    canvas.Ellipse(300, 200, 341, 221);  // 41 x 21, not a circle
    for (int y = 200; y < 221; ++y) {
        int x = 300;
        while (x < 341 && At(x, y) == GREY)
            ++x;
        ASSERT_LT(x, 341) << y;
        EXPECT_EQ(At(x, y), OUTLINE) << y;
        int right = 340;
        while (At(right, y) == GREY)
            --right;
        EXPECT_EQ(At(right, y), OUTLINE) << y;
    }
    EXPECT_EQ(At(320, 200), OUTLINE);
    EXPECT_EQ(At(320, 220), OUTLINE);
    EXPECT_EQ(At(320, 210), RED);
    // An empty box draws nothing.
    canvas.Ellipse(500, 500, 500, 520);
    EXPECT_EQ(At(500, 510), GREY);
}

TEST_F(RasterCanvasTest, EachTextIsDrawnOnceIntoItsMask) {
    canvas.Text(10, 10, "OW", {"Arial Cyr", 14}, {0, 0, 0});
    canvas.Text(400, 10, "OW", {"Arial Cyr", 14}, {0, 0, 0});
    EXPECT_EQ(canvas.CachedTexts(), 1u);
    canvas.Text(10, 100, "OW", {"Arial Cyr", 15}, {0, 0, 0});
    canvas.Text(10, 200, "HW1", {"Arial Cyr", 14}, {0, 0, 0});
    EXPECT_EQ(canvas.CachedTexts(), 3u);
    // The same text in the same font looks the same wherever it goes.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(At(10 + x, 10 + y), At(400 + x, 10 + y));
    // Coloured text covers with its own colour.
    canvas.Text(600, 600, "X", {"Arial Cyr", 30}, {20, 20, 20});
    bool letterColour = false;
    for (int y = 600; y < 630; ++y)
        for (int x = 600; x < 630; ++x)
            letterColour = letterColour || At(x, y) == Rgb{20, 20, 20};
    EXPECT_TRUE(letterColour);
}

TEST(FontCells, CellHeightIsTheLargestThatFits) {
    FontCells fonts;
    for (int h : {5, 9, 15, 18, 19, 40, 120}) {
        const FontCells::Cell& cell = fonts.Get({"Arial Cyr", h});
        EXPECT_LE(cell.CellHeight, h) << h;
        QFont bigger = cell.Font;
        bigger.setPixelSize(cell.Font.pixelSize() + 1);
        const QFontMetrics m(bigger);
        EXPECT_GT(m.ascent() + m.descent(), h) << h;
        EXPECT_GE(cell.CellHeight, h - 2) << h;  // and not much smaller
    }
    EXPECT_EQ(fonts.Get({"Arial Cyr", -12}).Font.pixelSize(), 12);  // em height
    EXPECT_EQ(FontCells::EffectiveHeight(0), FontCells::DEFAULT_CELL_HEIGHT);
    EXPECT_EQ(FontCells::EffectiveHeight(250000), FontCells::MAX_CELL_HEIGHT);
    EXPECT_EQ(FontCells::EffectiveHeight(INT_MIN), -FontCells::MAX_CELL_HEIGHT);
}

}  // namespace
}  // namespace tarsel
