#include "render/PhotoRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

#include "RenderTestWorkspace.h"
#include "render/RasterCanvas.h"
#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {
namespace {

constexpr Rgb BG{180, 180, 180};

// The camera at (0, 0, -10) looking along +z (PP 1, Scale 100), the light on the camera
// point, no depth cue, outline or occlusion unless a test asks for them.
class PhotoTest : public ::testing::Test {
  protected:
    PhotoTest() {
        ws->LightPosition = {0, 0, -10};
        ws->DiffuseCoefficient = 0.5;
        ws->ReflectCoefficient = 0.2;
        ws->StrayCoefficient = 0.2;
        ws->ShowAtomNames = false;
        ws->Photo = true;
        ws->PhotoDepthCue = 0;
        ws->PhotoOutline = 0;
        ws->PhotoOcclusion = 0;
        ws->VisibleRect = {850, 850, 1150, 1150};
    }
    void Draw() {
        scene.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
        renderer.PrepareProjection(*ws);
        renderer.ProjectAtoms(*ws);
        photo.DrawPhoto(*ws, renderer.Proj(), renderer.VisibleAtoms(), canvas, font);
    }
    // The ray of pixel (x, y) as the projection defines it: the point V0 + d must project onto
    // that pixel's screen offsets.
    Vec3 Ray(int x, int y) {
        const Vec3 d{-(x - 1000) / 100.0, -(1000 - y) / 100.0, 1};
        const ProjectedPoint p = renderer.Proj().ProjectPoint(ws->Camera.V0 + d);
        EXPECT_NEAR(p.sx, x - 1000, 1e-9);
        EXPECT_NEAR(p.sy, 1000 - y, 1e-9);
        return d;
    }
    // Where the ray first meets the sphere, or nothing.
    static std::optional<double> Hit(Vec3 from, Vec3 d, Vec3 centre, double r) {
        const Vec3 o = centre - from;
        const double a = Dot(d, d), b = Dot(d, o), c = Dot(o, o) - r * r;
        const double disc = b * b - a * c;
        if (disc < 0) return std::nullopt;
        return (b - std::sqrt(disc)) / a;
    }

    std::unique_ptr<Workspace> ws = test::RenderWorkspace({0, 0, -10});
    SceneRenderer renderer;
    PhotoRenderer photo{2};
    SceneBitmap scene{BG};
    RasterCanvas canvas{scene};
    FontSpec font{"Arial Cyr", 18};
};

TEST_F(PhotoTest, LoneSphereLitFromTheCameraHasTheExpectedCentreColour) {
    const struct {
        Rgb Atom;
        bool Selected;
        Rgb Base;  // what the lighting starts from
    } cases[] = {
        {{200, 100, 50}, false, {200, 100, 50}},
        {{0, 0, 0}, false, {PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM}},
        {{240, 100, 0}, true, {255, 130, 30}},
    };
    for (const auto& c : cases) {
        ws->Molecules[0].AtomCount = 0;
        test::AddAtom(*ws, 0, {0, 0, 0}, 1, c.Atom);
        ws->SelectedMolecule = c.Selected ? 0 : -1;
        Draw();
        // At the centre the normal, the eye and the light are one: full diffuse and highlight.
        const auto lit = [&](int base) {
            return std::min(255, Trunc(((0.5 + 0.2) * base / 255.0 + 0.2) * 255));
        };
        const Rgb got = scene.Pixel(1000, 1000);
        EXPECT_NEAR(got.R, lit(c.Base.R), 1);
        EXPECT_NEAR(got.G, lit(c.Base.G), 1);
        EXPECT_NEAR(got.B, lit(c.Base.B), 1);
    }
}

TEST_F(PhotoTest, InterpenetratingSpheresMeetWhereTheirDepthsAreEqual) {
    const Vec3 a{-0.5, 0.1, 0}, b{0.6, -0.1, 0.3};
    const double ra = 1, rb = 1.1;
    test::AddAtom(*ws, 0, a, ra, {255, 0, 0});
    test::AddAtom(*ws, 1, b, rb, {0, 0, 255});
    Draw();
    int red = 0, blue = 0, switches = 0;
    char last = 0;
    for (int y = 985; y <= 1015; y += 5) {
        for (int x = 940; x <= 1060; ++x) {
            const Vec3 d = Ray(x, y);
            const auto ta = Hit(ws->Camera.V0, d, a, ra), tb = Hit(ws->Camera.V0, d, b, rb);
            const Rgb got = scene.Pixel(x, y);
            if (!ta && !tb) {
                EXPECT_EQ(got, BG) << x << "," << y;
                continue;
            }
            // Too close to call in floats: the pixels right on the seam.
            if (ta && tb && std::fabs(*ta - *tb) < 1e-3) continue;
            const bool aNearer = ta && (!tb || *ta < *tb);
            EXPECT_EQ(got.R > got.B, aNearer) << x << "," << y;
            if (ta && tb) {
                (aNearer ? red : blue)++;
                if (y == 1000 && last != 0 && last != (aNearer ? 'a' : 'b')) ++switches;
                if (y == 1000) last = aNearer ? 'a' : 'b';
            }
        }
    }
    // Both spheres are seen where both are hit, so the seam itself was checked.
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, 0);
    EXPECT_EQ(switches, 1);
}

TEST_F(PhotoTest, OutlinesAtDepthJumpsOnly) {
    // Two equal spheres side by side, cutting each other in the plane x = 0: their seam is
    // at equal depths, their outer edges are against the background.
    test::AddAtom(*ws, 0, {-0.6, 0, 0}, 1, {200, 200, 200});
    test::AddAtom(*ws, 1, {0.6, 0, 0}, 1, {200, 200, 200});
    Draw();
    const SceneBitmap plain = scene;
    ws->PhotoOutline = 0.2;
    Draw();
    const auto sum = [](Rgb c) { return c.R + c.G + c.B; };
    int edgeLeft = -1, edgeRight = -1;
    for (int x = 850; x < 1150; ++x) {
        if (plain.Pixel(x, 1000) == BG) continue;
        if (edgeLeft < 0) edgeLeft = x;
        edgeRight = x;
    }
    ASSERT_GT(edgeLeft, 0);
    EXPECT_LT(sum(scene.Pixel(edgeLeft, 1000)), sum(plain.Pixel(edgeLeft, 1000)) - 100);
    EXPECT_LT(sum(scene.Pixel(edgeRight, 1000)), sum(plain.Pixel(edgeRight, 1000)) - 100);
    // Along the seam and over the middle of each sphere nothing changes.
    for (int x = 990; x <= 1010; ++x)
        EXPECT_EQ(scene.Pixel(x, 1000), plain.Pixel(x, 1000)) << x;
    for (int y = 996; y <= 1004; ++y)
        EXPECT_EQ(scene.Pixel(1000, y), plain.Pixel(1000, y)) << y;
}

TEST_F(PhotoTest, VectorKernelsDrawWhatThePortableLoopsDraw) {
    // Spheres of many sizes with odd row lengths, crossing the region's edges, bonds of every
    // kind between them, seen by one band and by three.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(-1.6, 1.6), size(0.05, 0.5);
    for (int a = 0; a < 60; ++a)
        test::AddAtom(*ws, 0, {at(random), at(random), at(random) + 1}, size(random),
                      {static_cast<int>(random() % 256), 90, 200});
    const char kinds[] = {'S', 'D', 'Z', 'x'};
    for (int a = 0; a + 1 < 60; a += 2)
        test::Bond(*ws, 0, a, a + 1, kinds[a / 2 % 4]);
    ws->HalfRadius = true;
    ws->PhotoOutline = 0.2;
    ws->PhotoOcclusion = 0.7;
    ws->PhotoDepthCue = 0.5;
    ws->VisibleRect = {843, 861, 1157, 1139};
    Draw();
    const SceneBitmap vector = scene;
    for (const int bands : {1, 3}) {
        PhotoRenderer portable(bands, false);
        scene.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
        portable.DrawPhoto(*ws, renderer.Proj(), renderer.VisibleAtoms(), canvas, font);
        int differ = 0;
        for (int y = 861; y < 1139; ++y)
            for (int x = 843; x < 1157; ++x)
                differ += !(scene.Pixel(x, y) == vector.Pixel(x, y));
        EXPECT_EQ(differ, 0) << bands;
    }
}

TEST_F(PhotoTest, APassAfterALargerPictureDrawsWhatAFreshRendererDraws) {
    // The second pass reuses the buffers of the first, whose spheres covered more pixels.
    test::AddAtom(*ws, 0, {-0.3, 0.2, 0}, 1.0, {200, 40, 40});
    test::AddAtom(*ws, 0, {0.6, -0.4, 0.5}, 0.8, {40, 200, 40});
    Draw();
    ws->HalfRadius = true;
    Draw();
    const SceneBitmap reused = scene;
    PhotoRenderer fresh(2);
    scene.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
    fresh.DrawPhoto(*ws, renderer.Proj(), renderer.VisibleAtoms(), canvas, font);
    int differ = 0;
    for (int y = 850; y < 1150; ++y)
        for (int x = 850; x < 1150; ++x)
            differ += !(scene.Pixel(x, y) == reused.Pixel(x, y));
    EXPECT_EQ(differ, 0);
}

TEST_F(PhotoTest, NamesFoundReadyOnTheNextPassAreTheFirstPassNames) {
    // The second pass finds the names' pieces kept from the first.
    for (int a = 0; a < 40; ++a)
        test::AddAtom(*ws, 0, {0.3 * (a % 8) - 1.1, 0.4 * (a / 8) - 0.9, 0.2 * (a % 3)}, 0.12,
                      {200, 90, 40 + a}, a % 2 != 0 ? "HW1" : "OW ");
    ws->ShowAtomNames = true;
    ws->Projection.FontScale = 3;
    Draw();
    const SceneBitmap first = scene;
    Draw();
    int differ = 0, black = 0;
    for (int y = 850; y < 1150; ++y) {
        for (int x = 850; x < 1150; ++x) {
            differ += !(scene.Pixel(x, y) == first.Pixel(x, y));
            black += first.Pixel(x, y) == Rgb{0, 0, 0};
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(black, 50);  // the names are there
}

TEST_F(PhotoTest, CrowdedAtomIsDarkerThanALoneOne) {
    test::AddAtom(*ws, 0, {-3, 0, 0}, 0.5, {200, 200, 200});
    const int crowded = test::AddAtom(*ws, 1, {1, 0, 0}, 0.5, {200, 200, 200});
    for (const Vec3 n : {Vec3{1.8, 0, 0}, Vec3{0.2, 0, 0}, Vec3{1, 0.8, 0}, Vec3{1, -0.8, 0},
                         Vec3{1, 0, 0.8}, Vec3{1, 0.6, 0.6}})
        test::AddAtom(*ws, 1, n, 0.5, {200, 200, 200});
    ws->PhotoOcclusion = 1;
    Draw();
    const std::vector<float>& occ = photo.Occlusion();
    EXPECT_EQ(occ[0], 0.0f);
    EXPECT_GT(occ[1 * MAX_ATOMS + crowded], 0.3f);
}

}  // namespace
}  // namespace tarsel
