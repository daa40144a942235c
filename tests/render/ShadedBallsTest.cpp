#include "render/ShadedBalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "RecordingCanvas.h"
#include "RenderTestWorkspace.h"
#include "render/RasterCanvas.h"
#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {
namespace {

constexpr Rgb BG{180, 180, 180};

std::vector<ListedAtom> Listed(const Workspace& ws, const SceneRenderer& renderer) {
    std::vector<AtomRecord> records;
    std::vector<ListedAtom> atoms;
    BandWorkers workers(1);
    GatherListedAtoms(ws, renderer.VisibleAtoms(), records, atoms, workers);
    return atoms;
}

// The camera at (0, 0, -10) with the default axes and the light on the camera point; an atom
// at the origin (R 1) is then seen with perspective factor 10.
class ShadedPassTest : public ::testing::TestWithParam<ShadingKernel> {
  protected:
    ShadedPassTest() {
        ws->LightPosition = {0, 0, -10};
        ws->DiffuseCoefficient = 0.6;
        ws->ReflectCoefficient = 0.7;
        ws->StrayCoefficient = 0.3;
        ws->HalfAtomRadius = true;
        ws->ShowAtomNames = false;
    }
    void Draw() {
        scene.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
        renderer.PrepareProjection(*ws);
        renderer.ProjectAtoms(*ws);
        shaded.DrawShadedBalls(*ws, Listed(*ws, renderer), canvas, font);
    }
    Rgb At(int j, int i) { return scene.Pixel(1000 + j, 1000 - i); }

    std::unique_ptr<Workspace> ws = test::RenderWorkspace({0, 0, -10});
    SceneRenderer renderer;
    ShadedBalls shaded{2, GetParam()};
    SceneBitmap scene{BG};
    RasterCanvas canvas{scene};
    FontSpec font{"Arial Cyr", 18};
};

TEST_P(ShadedPassTest, LitFromTheCameraPoint) {
    test::AddAtom(*ws, 0, {0, 0, 0}, 1, {255, 0, 0});
    ws->SelectedMolecule = 0;  // no brighter colour in this mode
    Draw();
    EXPECT_EQ(At(0, 0), (Rgb{91, 0, 0}));
    EXPECT_EQ(At(4, 0), (Rgb{242, 38, 38}));
    EXPECT_EQ(At(-4, 0), (Rgb{76, 0, 0}));
    EXPECT_EQ(At(5, 0), BG);  // g = 0: outside

    // Without the half radius the disc reaches 9 pixels: exactly the i^2 + j^2 < 100.
    ws->HalfAtomRadius = false;
    Draw();
    for (int i = -11; i <= 11; ++i)
        for (int j = -11; j <= 11; ++j)
            ASSERT_EQ(At(j, i) != BG, i * i + j * j < 100) << j << "," << i;

    // A black atom shows the highlight alone, grey, and black where there is none.
    ws->HalfAtomRadius = true;
    ws->Molecules[0].ColourR[0] = 0;
    Draw();
    EXPECT_EQ(At(4, 0), (Rgb{38, 38, 38}));
    EXPECT_EQ(At(-4, 0), (Rgb{0, 0, 0}));
}

// Balls off the view's centre sit where the projection puts them: centre column 1000 + sx,
// centre row 1000 - sy (screen y grows downwards), in every quadrant.
TEST_P(ShadedPassTest, OffCentreBallsSitAtTheirScreenOffsets) {
    ws->HalfAtomRadius = false;
    for (const Vec3 p : {Vec3{0.5, 2.5, 0}, Vec3{-1.2, 3, 0}, Vec3{1.1, -2.4, 0}}) {
        ws->LastMolecule = -1;
        ws->Molecules[0].AtomCount = 0;
        test::AddAtom(*ws, 0, p, 1, {255, 0, 0});
        Draw();
        const std::vector<ListedAtom> listed = Listed(*ws, renderer);
        ASSERT_EQ(listed.size(), 1u);
        const int cx = Trunc(1000 + listed[0].sx), cy = Trunc(1000 - listed[0].sy);
        ASSERT_GT(std::abs(cy - 1000), 20) << "the ball must lie off the centre row";
        for (int i = -11; i <= 11; ++i)
            for (int j = -11; j <= 11; ++j)
                ASSERT_EQ(scene.Pixel(cx + j, cy + i) != BG, i * i + j * j < 100)
                    << p.x << "," << p.y << ": " << j << "," << i;
    }
}

// Overlapping balls listed in no particular order: the pass draws the farthest first, so each
// nearer ball covers the farther ones - the plain loop over the balls sorted by the test.
TEST_P(ShadedPassTest, NearerBallsCoverFartherOnes) {
    ws->HalfAtomRadius = false;
    const struct {
        Vec3 P;
        Rgb Colour;
    } atoms[] = {{{0.1, 0, 2}, {255, 0, 0}},
                 {{0, 0.1, -2}, {0, 255, 0}},
                 {{-0.1, 0, 6}, {0, 0, 255}},
                 {{0, -0.1, 0}, {255, 255, 0}},
                 {{0.05, 0.05, 4}, {0, 255, 255}}};
    for (const auto& a : atoms)
        test::AddAtom(*ws, 0, a.P, 1, a.Colour);
    Draw();
    std::vector<ListedAtom> listed = Listed(*ws, renderer);
    ASSERT_EQ(listed.size(), std::size(atoms));
    std::sort(listed.begin(), listed.end(),
              [](const ListedAtom& a, const ListedAtom& b) { return a.P.z > b.P.z; });
    SceneBitmap plain(BG);
    RasterCanvas plainCanvas(plain);
    for (const ListedAtom& a : listed)
        DrawShadedBallPlain(ShadingTermsOf(*ws),
                            RasterBall(a.P, a.R, a.Colour, a.Factor, a.sx, a.sy, false),
                            plainCanvas);
    long worse = 0, written = 0;
    for (int y = 900; y < 1100; ++y)
        for (int x = 900; x < 1100; ++x) {
            const Rgb e = plain.Pixel(x, y), g = scene.Pixel(x, y);
            written += e != BG;
            worse += std::abs(e.R - g.R) > 1 || std::abs(e.G - g.G) > 1 || std::abs(e.B - g.B) > 1;
        }
    EXPECT_GT(written, 300);
    EXPECT_EQ(worse, 0);
}

INSTANTIATE_TEST_SUITE_P(Kernels, ShadedPassTest, ::testing::ValuesIn(AvailableKernels()),
                         [](const auto& info) {
                             std::string name(KernelName(info.param));
                             std::erase(name, '-');
                             return name;
                         });

TEST(ShadedBallsTest, AZeroRadiusAtomWritesNoPixelButKeepsItsName) {
    auto ws = test::RenderWorkspace({0, 0, -10});
    ws->HalfAtomRadius = true;
    test::AddAtom(*ws, 0, {0, 0, 200}, 0.5, {255, 0, 0}, "CA ");  // factor below 1
    test::AddAtom(*ws, 0, {0, 0, 0}, 0, {255, 0, 0}, "HW1");      // R = 0
    SceneRenderer renderer;
    renderer.PrepareProjection(*ws);
    renderer.ProjectAtoms(*ws);
    test::RecordingCanvas canvas;
    std::uint8_t* row = canvas.Row(0);
    std::memset(row, 7, 3 * SCENE_SIZE);
    FontSpec font{"Arial Cyr", 18};
    ShadedBalls(1).DrawShadedBalls(*ws, Listed(*ws, renderer), canvas, font);
    for (int x = 0; x < 3 * SCENE_SIZE; ++x)
        ASSERT_EQ(row[x], 7) << x;
    ASSERT_EQ(canvas.Texts.size(), 2u);
    EXPECT_EQ(canvas.Texts[0].Text, "CA ");
    EXPECT_EQ(canvas.Texts[0].Font.Height, 3);  // trunc(0 * 0.25 + 3)
    EXPECT_EQ(canvas.Texts[1].Text, "HW1");
    EXPECT_EQ(canvas.Texts[1].Font.Height, 5);  // trunc(10 * 0.25 + 3)
    EXPECT_EQ((std::array{canvas.Texts[1].x, canvas.Texts[1].y}), (std::array{1000, 1000}));
    EXPECT_EQ(font.Height, 5);
}

// Random balls of all sizes, many crossing the bitmap's edges, under a skewed camera frame.
std::vector<BallRaster> RandomBalls(std::mt19937& rng, int count) {
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<BallRaster> balls;
    for (int n = 0; n < count; ++n) {
        const double r = 0.2 + 2 * unit(rng);
        const double size = unit(rng);
        const double factor = size < 0.05 ? 200 * unit(rng) : size < 0.1 ? 0.5 : 30 * unit(rng);
        const Vec3 p{20 * unit(rng) - 10, 20 * unit(rng) - 10, 5 + 30 * unit(rng)};
        const Rgb colour{static_cast<int>(256 * unit(rng)), static_cast<int>(256 * unit(rng)),
                         n % 7 == 0 ? 0 : static_cast<int>(256 * unit(rng))};
        const double sx = 2300 * unit(rng) - 1150, sy = 2300 * unit(rng) - 1150;
        balls.push_back(RasterBall(p, r, colour, factor, sx, sy, n % 3 != 0));
    }
    return balls;
}

TEST(ShadedBallsTest, FastPathMatchesThePlainLoop) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int scene = 0; scene < 3; ++scene) {
        ShadingTerms terms;
        terms.V0 = {unit(rng), unit(rng), -20 + unit(rng)};
        terms.V1 = {0.1 * unit(rng), 0.1 * unit(rng), 1};
        terms.V2 = {1, 0.1 * unit(rng), 0.1 * unit(rng)};
        terms.V3 = {0.1 * unit(rng), 1, 0.1 * unit(rng)};
        terms.Light = {40 * unit(rng), 40 * unit(rng), -40 + 10 * unit(rng)};
        terms.Diffuse = 0.6;
        terms.Reflect = 0.7;
        terms.Stray = scene == 2 ? -0.2 : 0.3;  // negative values stay at 0
        const std::vector<BallRaster> balls = RandomBalls(rng, 400);

        SceneBitmap plain(BG);
        RasterCanvas plainCanvas(plain);
        for (const BallRaster& b : balls)
            DrawShadedBallPlain(terms, b, plainCanvas);
        const QImage& expected = plain.Image();

        for (ShadingKernel kernel : AvailableKernels()) {
            for (int bands : {1, 2, 3}) {
                SceneBitmap fast(BG);
                RasterCanvas fastCanvas(fast);
                ShadedBalls(bands, kernel).DrawBalls(terms, balls, fastCanvas);
                const QImage& got = fast.Image();
                long offByOne = 0, worse = 0, written = 0;
                for (int y = 0; y < SCENE_SIZE; ++y) {
                    const std::uint8_t* e = expected.constScanLine(y);
                    const std::uint8_t* g = got.constScanLine(y);
                    for (int x = 0; x < 3 * SCENE_SIZE; ++x) {
                        const int diff = std::abs(e[x] - g[x]);
                        offByOne += diff == 1;
                        worse += diff > 1;
                        written += x % 3 == 0 && (e[x] != BG.B || e[x + 1] != BG.G);
                    }
                }
                const std::string what = std::string(KernelName(kernel)) + ", " +
                                         std::to_string(bands) + " bands, scene " +
                                         std::to_string(scene);
                EXPECT_EQ(worse, 0) << what;
                EXPECT_LT(offByOne * 1000, written) << what;
                EXPECT_GT(written, 200000) << what;
                RecordProperty(what, std::to_string(offByOne) + " of " + std::to_string(written));
            }
        }
    }
}

// A canvas that blends no texts itself, so the pass has it draw every name.
class TextDrawingCanvas : public RasterCanvas {
  public:
    using RasterCanvas::RasterCanvas;
    const TextCoverage* Coverage(int, int, std::string_view, const FontSpec&, int&) override {
        return nullptr;
    }
};

// The camera at (0, 0, -10), the light beside it, names at this font scale.
std::unique_ptr<Workspace> LitWorkspace(double fontScale) {
    auto ws = test::RenderWorkspace({0, 0, -10});
    ws->LightPosition = {5, 5, -20};
    ws->DiffuseCoefficient = 0.6;
    ws->ReflectCoefficient = 0.7;
    ws->StrayCoefficient = 0.3;
    ws->Projection.FontScale = fontScale;
    return ws;
}

TEST(ShadedBallsTest, NamesBlendedInBandsKeepTheirPlaceBetweenTheBalls) {
    auto ws = LitWorkspace(3);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int a = 0; a < 300; ++a) {
        test::AddAtom(*ws, a / 100, {3 * unit(rng), 3 * unit(rng), 2 * unit(rng)}, 0.3,
                      {200, 100 + a % 100, 50}, a % 2 ? "OW " : "HW2");
    }
    SceneRenderer renderer;
    renderer.PrepareProjection(*ws);
    renderer.ProjectAtoms(*ws);
    FontSpec font{"Arial Cyr", 18};
    SceneBitmap byCanvas(BG), inBands(BG);
    TextDrawingCanvas canvasTexts(byCanvas);
    RasterCanvas bandTexts(inBands);
    ShadedBalls(1).DrawShadedBalls(*ws, Listed(*ws, renderer), canvasTexts, font);
    ShadedBalls(2).DrawShadedBalls(*ws, Listed(*ws, renderer), bandTexts, font);
    EXPECT_TRUE(byCanvas.Image() == inBands.Image());
    EXPECT_NE(byCanvas.Pixel(1000, 1000), BG);
}

// Crowded balls, most hidden behind nearer ones, names between them: the pass that shades
// nearest first gives the picture of drawing one ball and one name after the other.
TEST(ShadedBallsTest, HiddenBallsLeaveThePictureOfPaintersOrder) {
    auto ws = LitWorkspace(2);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int a = 0; a < 400; ++a) {
        test::AddAtom(*ws, a / 100, {4 * unit(rng), 4 * unit(rng), 6 * unit(rng)},
                      0.4 + 0.3 * unit(rng), {200, 100 + a % 100, 50}, a % 3 ? "OW " : "HW2");
    }
    SceneRenderer renderer;
    renderer.PrepareProjection(*ws);
    renderer.ProjectAtoms(*ws);
    const std::vector<ListedAtom> atoms = Listed(*ws, renderer);
    const ShadingTerms terms = ShadingTermsOf(*ws);
    for (const Rect shown : {Rect{0, 0, SCENE_SIZE, SCENE_SIZE}, Rect{830, 870, 1130, 1090}}) {
        SceneBitmap oneByOne(BG), pass(BG);
        RasterCanvas oneCanvas(oneByOne), passCanvas(pass);
        oneCanvas.SetShownArea(shown);
        passCanvas.SetShownArea(shown);
        ShadedBalls single(1);
        FontSpec font{"Arial Cyr", 18};
        for (const ListedAtom& atom : atoms) {
            const BallRaster ball = RasterBall(atom.P, atom.R, atom.Colour, atom.Factor, atom.sx,
                                               atom.sy, ws->HalfAtomRadius);
            single.DrawBalls(terms, {&ball, 1}, oneCanvas);
            font.Height = Trunc(Trunc(atom.Factor) * ws->Projection.FontScale + 3);
            oneCanvas.Text(static_cast<int>(ball.Cx), static_cast<int>(ball.Cy), atom.Name.View(),
                           font, {0, 0, 0});
        }
        for (int bands : {1, 2, 3}) {
            pass.Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
            ShadedBalls(bands).DrawShadedBalls(*ws, atoms, passCanvas, font);
            EXPECT_TRUE(oneByOne.Image() == pass.Image()) << bands << " bands";
        }
        EXPECT_NE(pass.Pixel(1000, 1000), BG);
    }
}

}  // namespace
}  // namespace tarsel
