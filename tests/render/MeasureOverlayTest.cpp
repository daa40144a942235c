#include "render/MeasureOverlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "RecordingCanvas.h"
#include "render/RasterCanvas.h"
#include "render/SceneBitmap.h"
#include "support/PrintRgb.h"

namespace tarsel {
namespace {

constexpr Rgb BG{180, 180, 180};

// The camera at (0, 0, -50) looking along +z, PP 1, Scale 100: (x, y, 0) lands at bitmap
// (1000 - 2x, 1000 + 2y).
class MeasureOverlayTest : public ::testing::Test {
  protected:
    MeasureOverlayTest() {
        projection.PrepareProjection({{0, 0, -50}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
                                     {1, 100, 0.25});
    }
    void Draw(std::vector<Vec3> atoms, Rect visible) {
        DrawMeasureOverlay(projection, visible, atoms, "", font, canvas);
    }
    // The columns of row y that the overlay coloured.
    std::vector<int> Marked(int y) const {
        std::vector<int> xs;
        for (int x = 0; x < SCENE_SIZE; ++x) {
            if (scene.Pixel(x, y) == MEASURE_COLOUR) xs.push_back(x);
        }
        return xs;
    }

    Projection projection;
    SceneBitmap scene{BG};
    RasterCanvas canvas{scene};
    FontSpec font{"Arial Cyr", 16};
};

TEST_F(MeasureOverlayTest, ALineToAnAtomAtTheCameraPlaneStaysInTheView) {
    // The second atom is 1e-9 in front of the camera: its image is 1e11 pixels away.
    const Rect view{700, 800, 1300, 1200};
    Draw({{0, 0, 0}, {1, 0, -50 + 1e-9}}, view);
    const std::vector<int> xs = Marked(1000);
    ASSERT_FALSE(xs.empty());
    EXPECT_EQ(xs.front(), 700);
    EXPECT_EQ(xs.back(), 1000);
    // Dashed: five pixels drawn, three left out, from the first atom on.
    EXPECT_EQ(xs.size(), 301u / 8 * 5 + std::min(301u % 8, 5u));
    for (int y : {999, 1001})
        EXPECT_TRUE(Marked(y).empty());
    EXPECT_EQ(scene.Pixel(699, 1000), BG);
}

TEST_F(MeasureOverlayTest, DashesStayPutWhenTheViewChanges) {
    const std::vector<Vec3> atoms{{200, -10, 0}, {-200, 30, 0}, {-190, -80, 0}};
    Draw(atoms, {0, 0, SCENE_SIZE, SCENE_SIZE});
    const SceneBitmap whole = scene;
    scene.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
    const Rect view{900, 950, 1300, 1100};
    Draw(atoms, view);
    int inView = 0;
    for (int y = 0; y < SCENE_SIZE; ++y) {
        for (int x = 0; x < SCENE_SIZE; ++x) {
            const bool in = x >= view.Left && x < view.Right && y >= view.Top && y < view.Bottom;
            const Rgb expected = in ? whole.Pixel(x, y) : BG;
            inView += in && expected == MEASURE_COLOUR;
            ASSERT_EQ(scene.Pixel(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_GT(inView, 100);
}

TEST_F(MeasureOverlayTest, LeavesPenAndBrushAloneAndWritesTheValueOnARim) {
    test::RecordingCanvas recording;
    DrawMeasureOverlay(projection, {0, 0, 2000, 2000}, std::vector<Vec3>{{10, 0, 0}, {-10, 0, 0}},
                       "d=20.000 A", font, recording);
    EXPECT_TRUE(recording.Lines.empty());
    EXPECT_TRUE(recording.Ellipses.empty());
    ASSERT_EQ(recording.Texts.size(), 5u);
    // Beside the middle of the line, (1000, 1000): the rim around it, then the value on top.
    EXPECT_EQ(recording.Texts.back().Colour, MEASURE_COLOUR);
    EXPECT_EQ(recording.Texts.back().x, 1006);
    EXPECT_EQ(recording.Texts.back().y, 1004);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(recording.Texts[i].Colour, MEASURE_RIM);
    // With every atom behind the camera nothing is drawn at all.
    recording.Texts.clear();
    DrawMeasureOverlay(projection, {0, 0, 2000, 2000}, std::vector<Vec3>{{1, 0, -60}, {2, 0, -70}},
                       "d=10.050 A", font, recording);
    EXPECT_TRUE(recording.Texts.empty());
}

}  // namespace
}  // namespace tarsel
