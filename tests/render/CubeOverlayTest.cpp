#include "render/CubeOverlay.h"

#include <gtest/gtest.h>

#include "RecordingCanvas.h"
#include "RenderTestWorkspace.h"

namespace tarsel {
namespace {

using test::RecordingCanvas;

// The camera at (0, 0, -50) looking along +z, PP 1, Scale 100: a point (x, y, z) lands at
// sx = -100 x / (z + 50), sy = -100 y / (z + 50). The cube of edge 10 about the origin has its
// near face (z = -5) at offsets of 11.1 and its far face (z = 5) at 9.1.
class CubeOverlayTest : public ::testing::Test {
  protected:
    CubeOverlayTest() {
        ws->Cube = {{0, 0, 0}, 10, true};
        SetView(800, 600);
    }
    void SetView(int halfWidth2, int halfHeight2) {
        ws->HalfViewWidth = halfWidth2 / 2;
        ws->HalfViewHeight = halfHeight2 / 2;
        projection.PrepareProjection(ws->Camera, ws->Projection);
    }
    void Clipped(int w, int h, CubePoint a, CubePoint b) {
        cube.DrawClippedLine(projection, w, h, canvas, a, b, {250, 250, 0});
    }

    std::unique_ptr<Workspace> ws = test::RenderWorkspace({0, 0, -50});
    Projection projection;
    CubeOverlay cube;
    RecordingCanvas canvas;
    FontSpec axisFont{"Arial Cyr", 19};
};

TEST_F(CubeOverlayTest, CubeInsideTheViewHasTwelveEdgesAndLettersAtItsCorners) {
    cube.DrawCube(*ws, projection, canvas, axisFont);
    ASSERT_EQ(canvas.Lines.size(), 12u);
    for (const auto& l : canvas.Lines) {
        EXPECT_EQ(l.Pen, (Rgb{250, 250, 0}));
        EXPECT_EQ(l.Style, PenStyle::Solid);
    }
    // Edge 1: (-, +, +) to (+, +, +), both on the far face.
    EXPECT_EQ((std::array{canvas.Lines[0].x1, canvas.Lines[0].y1, canvas.Lines[0].x2,
                          canvas.Lines[0].y2}),
              (std::array{1009, 1009, 990, 1009}));
    ASSERT_EQ(canvas.Texts.size(), 4u);
    const std::array<std::string, 4> letters{"Z", "Y", "X", "0"};
    const std::array<std::array<int, 2>, 4> at{
        {{1009, 990}, {1011, 1011}, {988, 988}, {1011, 988}}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(canvas.Texts[i].Text, letters[i]);
        EXPECT_EQ((std::array{canvas.Texts[i].x, canvas.Texts[i].y}), at[i]) << letters[i];
        EXPECT_EQ(canvas.Texts[i].Colour, (Rgb{20, 20, 20}));
        EXPECT_EQ(canvas.Texts[i].Font, axisFont);
    }
}

TEST_F(CubeOverlayTest, LettersGoToTheBorderCrossingsInTheOrderFound) {
    SetView(20, 600);  // -10 < x < 10: only the far face's corners are inside
    cube.DrawCube(*ws, projection, canvas, axisFont);
    ASSERT_EQ(canvas.Texts.size(), 4u);
    // "Z": both ends inside, at its corner.
    EXPECT_EQ((std::array{canvas.Texts[0].x, canvas.Texts[0].y}), (std::array{1009, 990}));
    // "Y" belongs to the right-hand end of edge 5, but the left crossing is found first.
    EXPECT_EQ((std::array{canvas.Texts[1].x, canvas.Texts[1].y}), (std::array{990, 1011}));
    // Edge 7 runs from x = -11.1 to 11.1: "X" at its left crossing, "0" at its right one.
    EXPECT_EQ((std::array{canvas.Texts[2].x, canvas.Texts[2].y}), (std::array{990, 988}));
    EXPECT_EQ((std::array{canvas.Texts[3].x, canvas.Texts[3].y}), (std::array{1010, 988}));
    for (const auto& l : canvas.Lines) {
        for (int x : {l.x1, l.x2}) {
            EXPECT_GE(x, 990);
            EXPECT_LE(x, 1010);
        }
    }
}

TEST_F(CubeOverlayTest, EdgeLeavingTheViewIsDrawnToTheBorder) {
    // (0, 0, 0) at the centre, (-100, 0, 0) at sx = 200, beyond W = 100.
    Clipped(100, 100, {0, 0, 0}, {-100, 0, 0});
    ASSERT_EQ(canvas.Lines.size(), 1u);
    const auto& l = canvas.Lines[0];
    EXPECT_EQ((std::array{l.x1, l.y1, l.x2, l.y2}), (std::array{1000, 1000, 1100, 1000}));
    EXPECT_DOUBLE_EQ(cube.Last().x2, 100);
    EXPECT_DOUBLE_EQ(cube.Last().y2, 0);
}

TEST_F(CubeOverlayTest, EdgeCrossingTheViewIsDrawnBetweenItsCrossings) {
    // From (200, 10) to (-200, -10): the left crossing (-100, -5) comes first.
    Clipped(100, 100, {-100, -5, 0}, {100, 5, 0});
    ASSERT_EQ(canvas.Lines.size(), 1u);
    const auto& l = canvas.Lines[0];
    EXPECT_EQ((std::array{l.x1, l.y1, l.x2, l.y2}), (std::array{900, 1005, 1100, 995}));
    EXPECT_DOUBLE_EQ(cube.Last().x1, -100);
    EXPECT_DOUBLE_EQ(cube.Last().y1, -5);
}

TEST_F(CubeOverlayTest, EdgeMissingTheViewKeepsItsProjectedEnds) {
    Clipped(100, 100, {-100, -100, 0}, {-100, 100, 0});  // x = 200 all along
    EXPECT_TRUE(canvas.Lines.empty());
    EXPECT_DOUBLE_EQ(cube.Last().x1, 200);
    EXPECT_DOUBLE_EQ(cube.Last().y1, 200);
    EXPECT_DOUBLE_EQ(cube.Last().y2, -200);
}

TEST_F(CubeOverlayTest, EdgesBehindTheCamera) {
    // Both ends behind: not drawn, the mirrored images kept for the letters.
    Clipped(100, 100, {1, 0, -60}, {-1, 0, -60});
    EXPECT_TRUE(canvas.Lines.empty());
    EXPECT_DOUBLE_EQ(cube.Last().x1, 10);
    EXPECT_DOUBLE_EQ(cube.Last().x2, -10);
    // One end behind: drawn toward that end's (mirrored) image, not cut at the camera plane.
    Clipped(100, 100, {0, 0, 0}, {-1, 0, -60});
    ASSERT_EQ(canvas.Lines.size(), 1u);
    EXPECT_EQ((std::array{canvas.Lines[0].x2, canvas.Lines[0].y2}), (std::array{990, 1000}));
}

TEST_F(CubeOverlayTest, ACubeWithNoEdgeDrawnLeavesThePenColour) {
    ws->Camera.V0 = {0, 0, 50};  // the whole cube behind the camera
    projection.PrepareProjection(ws->Camera, ws->Projection);
    canvas.SetPen({9, 9, 9}, PenStyle::Dot);
    cube.DrawCube(*ws, projection, canvas, axisFont);
    EXPECT_TRUE(canvas.Lines.empty());
    EXPECT_EQ(canvas.Texts.size(), 4u);  // at the mirrored images of the corners
    canvas.Line(0, 0, 1, 1);
    EXPECT_EQ(canvas.Lines[0].Pen, (Rgb{9, 9, 9}));
    EXPECT_EQ(canvas.Lines[0].Style, PenStyle::Solid);
}

TEST_F(CubeOverlayTest, AnEndOnTheCameraPlaneDrawsNothingAndHasNoLetter) {
    Clipped(100, 100, {0, 0, 0}, {3, 0, -50});
    EXPECT_TRUE(canvas.Lines.empty());
    EXPECT_TRUE(cube.Last().FirstProjected);
    EXPECT_FALSE(cube.Last().SecondProjected);

    // The whole cube around the camera: the corners on the camera's plane get no letters.
    ws->Cube = {{0, 0, -50}, 10, true};
    ws->Camera.V0 = {-5, -5, -55};  // on the "0" corner
    projection.PrepareProjection(ws->Camera, ws->Projection);
    cube.DrawCube(*ws, projection, canvas, axisFont);
    for (const auto& t : canvas.Texts)
        EXPECT_NE(t.Text, "0");
}

}  // namespace
}  // namespace tarsel
