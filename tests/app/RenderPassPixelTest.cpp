// One scene through the whole render pass, with each canvas, checked at the pixels where a
// fault of drawing order, rounding, view geometry or pen pattern would show.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "render/PainterCanvas.h"
#include "support/PrintRgb.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

constexpr Rgb MARK{1, 2, 3};  // the bitmap before the pass
constexpr Rgb BG{180, 180, 180};
constexpr Rgb OUTLINE{128, 128, 128};
constexpr Rgb EDGE{250, 250, 0};
constexpr Rgb GREEN{0, 128, 0};
constexpr Rgb CYAN{0, 200, 200};

// Seen from (0, 0, -50) with PP 1 and Scale 400, a point (x, y, 0) lands at bitmap
// (1000 - 8x, 1000 + 8y) with perspective factor 8. Atoms are placed by their bitmap point.
test::AtomLines AtomAt(double bitmapX, double bitmapY, double radius, const std::string& rgb) {
    test::AtomLines a;
    a.Position =
        std::to_string((1000 - bitmapX) / 8) + "," + std::to_string((bitmapY - 1000) / 8) + ",0";
    a.ChargeRadius = "0," + std::to_string(radius);
    a.Colour = "RGB: " + rgb;
    return a;
}

// The view is 201 x 151: VisibleRect (899, 924, 1100, 1075), half sizes 100 and 75. The cube's
// far face has its bottom edge at row 1059 and its right edge at column 1080; the bottom edge
// leaves the view on the left, the right edge at the top; nothing else of the cube is in view.
test::WorkspaceLines Scene() {
    test::WorkspaceLines w;
    w.CubeCentre = "3.9,-8.1,10";
    w.CubeLength = "40";
    w.ScaleLine = "400,0.25";
    test::MoleculeLines& m = w.Molecules[0];
    m.Atoms = {
        AtomAt(1040.5, 980.5, 1.328125, "240,0,0"),  // f x R = 10.625: radius 10
        AtomAt(960.5, 1000.5, 1.1, "0,200,200"),     // a solid bond from here ...
        AtomAt(1010.5, 1000.5, 1.1, "200,200,200"),  // ... to here, under both discs
        AtomAt(910.5, 940.5, 0.3, "255,0,255"),      // a dashed bond along row 940
        AtomAt(980.5, 940.5, 0.3, "255,0,255"),
        AtomAt(910.5, 1030.5, 0.3, "255,0,255"),  // a dotted bond along row 1030
        AtomAt(980.5, 1030.5, 0.3, "255,0,255"),
    };
    m.BondRows = {"0000000", "00S0000", "0000000", "0000D00", "0000000", "000000Z", "0000000"};
    return w;
}

// QPainter draws a line's end pixel, the RasterCanvas leaves it out: at the clipping bounds
// the two are probed one pixel apart.
enum class Canvases { Both, Raster, Painter };

struct Probe {
    int x, y;
    Rgb colour;
    const char* what;
    Canvases only = Canvases::Both;
};

const Probe PROBES[] = {
    {898, 1000, MARK, "left of the view: not cleared"},
    {899, 1000, BG, "first column of the view"},
    {1099, 1000, BG, "last column of the view"},
    {1100, 1000, MARK, "right of the view"},
    {1000, 923, MARK, "above the view"},
    {1000, 924, BG, "first row of the view"},
    {1000, 1074, BG, "last row of the view"},
    {1000, 1075, MARK, "below the view"},
    {901, 1059, EDGE, "cube edge up to the left clipping bound"},
    {900, 1059, BG, "left clipping bound, half width 100", Canvases::Raster},
    {899, 1059, BG, "left of the clipping bound, half width 100", Canvases::Painter},
    {1080, 926, EDGE, "cube edge up to the top clipping bound"},
    {1080, 925, BG, "top clipping bound, half height 75", Canvases::Raster},
    {1080, 924, BG, "above the clipping bound, half height 75", Canvases::Painter},
    {1040, 970, OUTLINE, "top of the disc of radius 10"},
    {1040, 969, BG, "above the disc of radius 10"},
    {964, 1000, CYAN, "the disc over its bond"},
    {938, 940, GREEN, "dash: 18 on"},
    {953, 940, BG, "dash: 6 off"},
    {938, 1030, BG, "dot: 3 off"},
    {953, 1030, GREEN, "dot: 3 on"},
};

TEST(RenderPass, PixelsWhereFaultsWouldShow) {
    test::TempDir dir;
    test::WriteFile(dir.File("scene.tsw"), test::Text(Scene()));
    test::WriteFile(dir.File("scene.xyz"), std::string(64, '\0'));
    for (const bool painter : {false, true}) {
        SCOPED_TRACE(painter ? "PainterCanvas" : "RasterCanvas");
        HeadlessHost host{{201, 151}};
        Viewer viewer{host};
        if (painter) viewer.SetCanvas(std::make_unique<PainterCanvas>(viewer.Scene()));
        viewer.Scene().Fill({0, 0, 2000, 2000}, MARK);
        viewer.Form().AtomColorCheckBox = false;
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("scene.tsw")).Loaded);
        EXPECT_EQ(viewer.Ws().VisibleRect, (Rect{899, 924, 1100, 1075}));
        for (const Probe& p : PROBES) {
            if (p.only == (painter ? Canvases::Raster : Canvases::Painter)) continue;
            EXPECT_EQ(viewer.Scene().Pixel(p.x, p.y), p.colour)
                << p.what << " at (" << p.x << ", " << p.y << ")";
        }
    }
}

}  // namespace
}  // namespace tarsel
