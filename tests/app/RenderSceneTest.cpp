#include <gtest/gtest.h>

#include <QImage>

#include "app/HeadlessHost.h"
#include "app/TMain.h"
#include "app/Viewer.h"
#include "render/PainterCanvas.h"
#include "render/RasterCanvas.h"
#include "support/PrintRgb.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

constexpr Rgb BG{180, 180, 180};
constexpr Rgb OUTLINE{128, 128, 128};
constexpr Rgb EDGE{250, 250, 0};
constexpr Rgb RED{240, 0, 0};

// One atom of radius 5 at the origin, seen from (0, 0, -50) with PP 1 and Scale 100: its
// perspective factor is 2, so its disc has radius 10 about the bitmap's centre (1000, 1000).
// The cube of edge 10 about the origin has its near vertical edges at columns 988 and 1011,
// its far ones at 990 and 1009, under the disc.
test::WorkspaceLines OneAtom(const std::string& colour = "RGB: 240,0,0") {
    test::WorkspaceLines w;
    w.Molecules[0].Atoms[0].Position = "0,0,0";
    w.Molecules[0].Atoms[0].ChargeRadius = "0,5";
    w.Molecules[0].Atoms[0].Colour = colour;
    return w;
}

class RenderSceneTest : public ::testing::Test {
  protected:
    void Load(const test::WorkspaceLines& w) {
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }
    Rgb At(int x, int y) { return viewer.Scene().Pixel(x, y); }

    test::TempDir dir;
    HeadlessHost host{{800, 600}};
    Viewer viewer{host};
};

TEST_F(RenderSceneTest, DiscOverCubeOnTheBackground) {
    viewer.Form().AtomColorCheckBox = false;
    viewer.Scene().Fill({0, 0, 10, 10}, {1, 2, 3});  // outside the view: never cleared
    Load(OneAtom());
    EXPECT_EQ(At(1000, 1000), RED);
    EXPECT_EQ(At(990, 1000), OUTLINE);  // the disc's rim, over the far cube edge
    EXPECT_EQ(At(1009, 1000), OUTLINE);
    EXPECT_EQ(At(1000, 1009), OUTLINE);
    EXPECT_EQ(At(1000, 1010), BG);    // between the rim and the near bottom edge
    EXPECT_EQ(At(1000, 1011), EDGE);  // (the letter "X" sits at the top left)
    EXPECT_EQ(At(988, 1000), EDGE);
    EXPECT_EQ(At(1011, 1000), EDGE);
    EXPECT_EQ(At(700, 800), BG);
    EXPECT_EQ(At(5, 5), (Rgb{1, 2, 3}));
    EXPECT_EQ(host.StatusPanels[3], "0.000 pS ");
    ASSERT_EQ(viewer.Renderer().VisibleAtoms().Count(), 1);

    // Without the cube its edges are gone; the view is cleared first.
    viewer.Form().WorldAxwsCheckBox = false;
    viewer.BitBtn1Click();
    EXPECT_EQ(At(988, 1000), BG);
    EXPECT_EQ(At(1000, 1000), RED);
}

TEST_F(RenderSceneTest, StatusTimeAndWorldRepaint) {
    Load(OneAtom());
    viewer.Ws().CurrentTime = 1234;
    const int shown = host.ScenesShown;
    viewer.RenderScene();
    EXPECT_EQ(host.StatusPanels[3], "12.340 pS ");
    EXPECT_EQ(host.ScenesShown, shown + 1);
    EXPECT_EQ(host.WorldRepaints, 0);
    viewer.Ws().WorldViewOpen = true;
    viewer.RenderScene();
    EXPECT_EQ(host.WorldRepaints, 1);

    // Nothing in front of the camera: an empty list, and still the time.
    viewer.Ws().Camera.V0 = {0, 0, 20};
    viewer.Ws().CurrentTime = 5;
    viewer.RenderScene();
    EXPECT_EQ(viewer.Renderer().VisibleAtoms().Count(), 0);
    EXPECT_EQ(At(1000, 1000), BG);
    EXPECT_EQ(host.StatusPanels[3], "0.050 pS ");
}

TEST_F(RenderSceneTest, WindowLargerThanTheBitmap) {
    viewer.Form().AtomColorCheckBox = false;
    Load(OneAtom());
    host.SetDrawingAreaSize({2500, 2200});
    viewer.FormResize();
    const Workspace& ws = viewer.Ws();
    EXPECT_EQ(ws.VisibleRect, (Rect{-250, -100, 2250, 2100}));
    EXPECT_EQ(At(0, 0), BG);
    EXPECT_EQ(At(1999, 1999), BG);
    const QImage shown = viewer.Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
    ASSERT_EQ(shown.size(), QSize(2500, 2200));
    EXPECT_EQ(shown.pixelColor(1250, 1100), QColor(240, 0, 0));
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(180, 180, 180));
    EXPECT_EQ(shown.pixelColor(2499, 2199), QColor(180, 180, 180));
}

TEST_F(RenderSceneTest, RasterCanvasDrawsWhatQPainterDraws) {
    // The example through both canvases: they differ only in the odd rim or text pixel.
    const std::string example = std::string(TARSEL_SOURCE_DIR) + "/Examples/water.tsw";
    ASSERT_TRUE(viewer.LoadWorkspaceFile(example).Loaded);
    HeadlessHost otherHost{{800, 600}};
    Viewer other{otherHost};
    other.SetCanvas(std::make_unique<PainterCanvas>(other.Scene()));
    ASSERT_TRUE(other.LoadWorkspaceFile(example).Loaded);
    const Rect r = viewer.Ws().VisibleRect;
    int same = 0, redHere = 0, redThere = 0;
    for (int y = r.Top; y < r.Bottom; ++y) {
        for (int x = r.Left; x < r.Right; ++x) {
            const Rgb a = At(x, y), b = other.Scene().Pixel(x, y);
            same += a == b;
            redHere += a == Rgb{240, 0, 0};
            redThere += b == Rgb{240, 0, 0};
        }
    }
    const int total = r.Width() * r.Height();
    EXPECT_GT(same, total * 95 / 100);
    EXPECT_GT(redHere, 1000);
    EXPECT_NEAR(redHere, redThere, redThere / 20);
}

// A canvas that draws everything, wherever it falls.
class EverywhereCanvas : public RasterCanvas {
  public:
    using RasterCanvas::RasterCanvas;
    void SetShownArea(const Rect&) override {}
};

TEST(ShownArea, InsideTheCubeThePictureIsThatOfAPassThatSkipsNothing) {
    // The example from inside its cube, near atoms with names hundreds of pixels tall, discs
    // and bonds reaching far off the window; flat and shaded, in a window off the centre.
    const std::string example = std::string(TARSEL_SOURCE_DIR) + "/Examples/water.tsw";
    for (const bool shaded : {false, true}) {
        HeadlessHost hostA{{700, 500}}, hostB{{700, 500}};
        Viewer skipping{hostA}, everything{hostB};
        everything.SetCanvas(std::make_unique<EverywhereCanvas>(everything.Scene()));
        int changed = 0;
        for (Viewer* v : {&skipping, &everything}) {
            v->Form().CheckBox26 = shaded;
            ASSERT_TRUE(v->LoadWorkspaceFile(example).Loaded);
            v->Ws().Camera.V0 = {3, -2, -6};
            v->Ws().VisibleRect = {400, 650, 1100, 1150};
            v->RenderScene();
        }
        const Rect r = skipping.Ws().VisibleRect;
        for (int y = r.Top; y < r.Bottom; ++y) {
            for (int x = r.Left; x < r.Right; ++x) {
                ASSERT_EQ(skipping.Scene().Pixel(x, y), everything.Scene().Pixel(x, y))
                    << x << "," << y << (shaded ? " shaded" : " flat");
                changed += skipping.Scene().Pixel(x, y) != skipping.Ws().BackgroundColour;
            }
        }
        EXPECT_GT(changed, r.Width() * r.Height() / 10);  // a picture, not an empty one
        // Skipping happened: outside the window the two bitmaps differ.
        EXPECT_NE(skipping.Scene().Image().copy(0, 0, 400, 2000),
                  everything.Scene().Image().copy(0, 0, 400, 2000));
    }
}

TEST(MainWindow, PaintShowsTheBackgroundBeyondTheBitmap) {
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(OneAtom()));
    test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));
    TMain main;
    main.resize(2600, 2400);
    main.show();
    ASSERT_GT(main.View()->width(), 2000);
    ASSERT_TRUE(main.Operations().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    const QImage shown = main.View()->grab().toImage();
    const Rect r = main.Operations().Ws().VisibleRect;
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(180, 180, 180));
    EXPECT_EQ(shown.pixelColor(shown.width() - 1, shown.height() - 1), QColor(180, 180, 180));
    EXPECT_EQ(shown.pixelColor(1000 - r.Left, 1000 - r.Top), QColor(240, 0, 0));
}

}  // namespace
}  // namespace tarsel
