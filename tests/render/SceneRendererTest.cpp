#include "render/SceneRenderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <tuple>
#include <vector>

#include "RecordingCanvas.h"
#include "RenderTestWorkspace.h"
#include "render/FontCells.h"
#include "render/RasterCanvas.h"
#include "render/SceneBitmap.h"
#include "workspace/Numeric.h"

namespace tarsel {
namespace {

using test::AddAtom;
using test::Bond;
using test::RecordingCanvas;

constexpr Rgb BG{180, 180, 180};

class SceneRendererTest : public ::testing::Test {
  protected:
    void Project() {
        renderer.PrepareProjection(*ws);
        renderer.ProjectAtoms(*ws);
    }

    std::unique_ptr<Workspace> ws = test::RenderWorkspace();
    SceneRenderer renderer;
    RecordingCanvas canvas;
    FontSpec labelFont{"Arial Cyr", 18};
};

TEST_F(SceneRendererTest, ProjectAtomsListsTheVisibleNearestFirstAndStoresEveryFactor) {
    AddAtom(*ws, 0, {0, 0, 20}, 1, {1, 1, 1});
    AddAtom(*ws, 0, {0, 0, -10}, 1, {1, 1, 1});  // behind the camera
    AddAtom(*ws, 1, {1, 0, 10}, 1, {1, 1, 1});
    AddAtom(*ws, 1, {3, 4, 0}, 1, {1, 1, 1});  // on the plane through the camera
    Project();
    const VisibleAtomList& list = renderer.VisibleAtoms();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Molecule, 1);
    EXPECT_EQ(list[0].Atom, 0);
    EXPECT_NEAR(list[0].sx, -10, 1e-9);
    EXPECT_NEAR(list[1].Distance, 20, 1e-12);
    EXPECT_NEAR(ws->Molecules[0].PerspectiveFactor[0], 5, 1e-12);
    EXPECT_NEAR(ws->Molecules[0].PerspectiveFactor[1], 10, 1e-12);  // written though hidden
    EXPECT_EQ(ws->Molecules[1].PerspectiveFactor[1], 0);
}

TEST_F(SceneRendererTest, FlatBallColours) {
    EXPECT_EQ(FlatBallColour({0, 0, 1}, true, BG), (Rgb{30, 30, 31}));  // not black
    AddAtom(*ws, 0, {0, 0, 10}, 1.5, {240, 100, 0});
    AddAtom(*ws, 1, {0, 0, 11}, 1.5, {0, 0, 0});
    AddAtom(*ws, 2, {0, 0, 12}, 1.5, {240, 100, 0});
    ws->SelectedMolecule = 0;
    Project();
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    ASSERT_EQ(canvas.Ellipses.size(), 3u);
    EXPECT_EQ(canvas.Ellipses[0].Brush, (Rgb{240, 100, 0}));  // farthest first
    EXPECT_EQ(canvas.Ellipses[1].Brush, BG);
    EXPECT_EQ(canvas.Ellipses[2].Brush, (Rgb{255, 130, 30}));
    ws->SelectedMolecule = 1;
    canvas.Ellipses.clear();
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    EXPECT_EQ(canvas.Ellipses[1].Brush, BG);  // black stays background when selected
    for (const auto& e : canvas.Ellipses)
        EXPECT_EQ(e.Pen, (Rgb{128, 128, 128}));
}

TEST_F(SceneRendererTest, HalfRadiusHalvesTheDisc) {
    AddAtom(*ws, 0, {0, 0, 10}, 1.5, {240, 0, 0});  // f = 10
    Project();
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    ws->HalfRadius = true;
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    ASSERT_EQ(canvas.Ellipses.size(), 2u);
    const auto& full = canvas.Ellipses[0];
    const auto& half = canvas.Ellipses[1];
    EXPECT_EQ((std::array{full.x1, full.y1, full.x2, full.y2}), (std::array{1015, 1015, 985, 985}));
    EXPECT_EQ((std::array{half.x1, half.y1, half.x2, half.y2}), (std::array{1007, 1007, 993, 993}));
}

TEST_F(SceneRendererTest, NamesAreSizedByTheirOwnAtomsFactor) {
    AddAtom(*ws, 0, {0.05, 0.05, 10}, 1, {240, 0, 0}, "OW ");  // f 10: height trunc(5.5)
    AddAtom(*ws, 0, {0, 0, 4}, 1, {240, 0, 0}, "HW1");         // f 25: height trunc(9.25)
    AddAtom(*ws, 0, {0, 0, 40}, 1, {240, 0, 0}, "H\0x");       // f 2.5: height trunc(3.625)
    ws->ShowBalls = false;
    Project();
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    EXPECT_TRUE(canvas.Ellipses.empty());
    ASSERT_EQ(canvas.Texts.size(), 3u);
    EXPECT_EQ(canvas.Texts[0].Text, "H");  // a zero letter ends the name
    EXPECT_EQ(canvas.Texts[0].Font.Height, 3);
    EXPECT_EQ(canvas.Texts[1].Text, "OW ");
    EXPECT_EQ(canvas.Texts[1].Font, (FontSpec{"Arial Cyr", 5}));
    // Top-left corner at the atom's centre, truncated: (999.5, 1000.5).
    EXPECT_EQ(canvas.Texts[1].x, 999);
    EXPECT_EQ(canvas.Texts[1].y, 1000);
    EXPECT_EQ(canvas.Texts[1].Colour, (Rgb{0, 0, 0}));
    EXPECT_EQ(canvas.Texts[2].Font.Height, 9);
    EXPECT_EQ(labelFont.Height, 9);  // the nearest atom's font stays
    ws->ShowAtomNames = false;
    ws->ShowBalls = true;
    canvas.Texts.clear();
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    EXPECT_TRUE(canvas.Texts.empty());
    EXPECT_EQ(canvas.Ellipses.size(), 3u);
}

TEST_F(SceneRendererTest, BondsTakeThePenOfTheirKind) {
    const int a = AddAtom(*ws, 0, {0, 0, 20}, 1, {240, 0, 0});
    const int b = AddAtom(*ws, 0, {1, 0, 10}, 1, {240, 0, 0});
    const int c = AddAtom(*ws, 0, {0, 1, 10}, 1, {240, 0, 0});
    Bond(*ws, 0, a, b, 'S');
    Bond(*ws, 0, b, a, 'S');
    Bond(*ws, 0, b, c, 'D');
    Bond(*ws, 0, c, a, 'Z');
    Project();
    renderer.DrawBonds(*ws, canvas);
    // The list is b, c (equal distances, list order), a; drawn from its end: a, c, b.
    ASSERT_EQ(canvas.Lines.size(), 4u);
    const auto& ab = canvas.Lines[0];
    EXPECT_EQ((std::array{ab.x1, ab.y1, ab.x2, ab.y2}), (std::array{1000, 1000, 990, 1000}));
    EXPECT_EQ(ab.Pen, (Rgb{0, 0, 255}));
    EXPECT_EQ(ab.Style, PenStyle::Solid);
    EXPECT_EQ(ab.Brush, BG);
    const auto& ca = canvas.Lines[1];
    EXPECT_EQ((std::array{ca.x1, ca.y1, ca.x2, ca.y2}), (std::array{1000, 1010, 1000, 1000}));
    EXPECT_EQ(ca.Pen, (Rgb{0, 128, 0}));
    EXPECT_EQ(ca.Style, PenStyle::Dot);
    EXPECT_EQ(canvas.Lines[2].Style, PenStyle::Solid);  // b to a
    EXPECT_EQ(canvas.Lines[3].Pen, (Rgb{0, 128, 0}));   // b to c
    EXPECT_EQ(canvas.Lines[3].Style, PenStyle::Dash);
    EXPECT_EQ((std::array{canvas.Lines[3].x2, canvas.Lines[3].y2}), (std::array{1000, 1010}));
}

TEST_F(SceneRendererTest, AnUnknownMarkKeepsTheLastPen) {
    const int a = AddAtom(*ws, 0, {0, 0, 20}, 1, {240, 0, 0});
    const int b = AddAtom(*ws, 0, {1, 0, 10}, 1, {240, 0, 0});
    Bond(*ws, 0, a, b, 'D');
    Bond(*ws, 0, b, a, 'x');
    Project();
    renderer.DrawBonds(*ws, canvas);
    ASSERT_EQ(canvas.Lines.size(), 2u);
    EXPECT_EQ(canvas.Lines[1].Style, PenStyle::Dash);
    EXPECT_EQ(canvas.Lines[1].Pen, (Rgb{0, 128, 0}));
}

TEST_F(SceneRendererTest, AnUnknownMarkFirstInAPassDrawsWithTheDiscsPen) {
    const int a = AddAtom(*ws, 0, {0, 0, 20}, 1, {240, 0, 0});
    const int b = AddAtom(*ws, 0, {1, 0, 10}, 1, {240, 0, 0});
    Bond(*ws, 0, a, b, '?');
    Project();
    canvas.SetPen({9, 9, 9}, PenStyle::Dash);
    renderer.DrawFlatBalls(*ws, canvas, labelFont);
    renderer.DrawBonds(*ws, canvas);
    ASSERT_EQ(canvas.Lines.size(), 1u);
    EXPECT_EQ(canvas.Lines[0].Pen, (Rgb{128, 128, 128}));
    EXPECT_EQ(canvas.Lines[0].Style, PenStyle::Solid);
}

TEST_F(SceneRendererTest, AnAtomOffTheBitmapDrawsNoneOfItsBonds) {
    // sx = 1010: the atom's point is at x = 2010, off the bitmap.
    const int out = AddAtom(*ws, 0, {-101, 0, 10}, 1, {240, 0, 0});
    const int in = AddAtom(*ws, 0, {0, 0, 5}, 1, {240, 0, 0});
    const int hidden = AddAtom(*ws, 0, {0, 0, -5}, 1, {240, 0, 0});
    Bond(*ws, 0, out, in, 'D');
    Bond(*ws, 0, in, out, 'S');
    Bond(*ws, 0, in, hidden, 'Z');  // the partner is behind the camera
    Project();
    renderer.DrawBonds(*ws, canvas);
    ASSERT_EQ(canvas.Lines.size(), 1u);
    const auto& line = canvas.Lines[0];
    EXPECT_EQ((std::array{line.x1, line.y1, line.x2, line.y2}),
              (std::array{1000, 1000, 2010, 1000}));
    EXPECT_EQ(line.Style, PenStyle::Solid);
}

TEST_F(SceneRendererTest, AnAtomOffTheBitmapStillSetsThePenOfItsFirstListedPartner) {
    // The far atom's row: a hidden partner first (no pen), then a listed one (its pen, then the
    // row stops); the near atom's unknown mark draws with whatever pen that left.
    for (const auto& [mark, pen, style] : {std::tuple{'?', Rgb{9, 9, 9}, PenStyle::Dash},
                                           std::tuple{'Z', Rgb{0, 128, 0}, PenStyle::Dot}}) {
        ws = test::RenderWorkspace();
        const int off = AddAtom(*ws, 0, {-101, 0, 10}, 1, {240, 0, 0});
        const int hidden = AddAtom(*ws, 0, {0, 0, -5}, 1, {240, 0, 0});
        const int near = AddAtom(*ws, 0, {0, 0, 5}, 1, {240, 0, 0});
        const int other = AddAtom(*ws, 0, {1, 0, 8}, 1, {240, 0, 0});
        Bond(*ws, 0, off, hidden, 'S');
        Bond(*ws, 0, off, near, mark);
        Bond(*ws, 0, near, other, 'x');
        Project();
        canvas.Lines.clear();
        canvas.SetPen({9, 9, 9}, PenStyle::Dash);
        renderer.DrawBonds(*ws, canvas);
        ASSERT_EQ(canvas.Lines.size(), 1u) << mark;
        EXPECT_EQ(canvas.Lines[0].Pen, pen) << mark;
        EXPECT_EQ(canvas.Lines[0].Style, style) << mark;
    }
}

TEST_F(SceneRendererTest, LargeRunsDrawTheBondsOfTheRowByRowWalk) {
    // Enough atoms for the work to be shared among threads; random marks, some unknown, some
    // to atoms behind the camera or off the bitmap, some one way only, and equal distances.
    // With solid bonds alone the lines may come in another order, but not other pixels.
    for (const std::string_view kinds : {"SDZx", "S"}) {
        ws = test::RenderWorkspace();
        std::mt19937 rng(4);
        std::uniform_real_distribution<double> unit(-1, 1);
        for (int m = 0; m < 120; ++m) {
            for (int a = 0; a < MAX_ATOMS; ++a) {
                const Vec3 p = a % 10 == 0
                                   ? Vec3{1, 1, 10}
                                   : Vec3{15 * unit(rng), 15 * unit(rng), 10 + 5 * unit(rng)};
                AddAtom(*ws, m, p, 0.5, {200, 0, 0});
            }
            for (int k = 0; k < 150; ++k)
                Bond(*ws, m, static_cast<int>(rng() % MAX_ATOMS),
                     static_cast<int>(rng() % MAX_ATOMS), kinds[rng() % kinds.size()]);
        }
        Project();
        canvas.Lines.clear();
        canvas.SetPen({9, 9, 9}, PenStyle::Dash);
        renderer.DrawBonds(*ws, canvas);
        SceneBitmap drawn(BG), walked(BG);
        RasterCanvas batch(drawn), oneByOne(walked);
        batch.SetPen({9, 9, 9}, PenStyle::Dash);
        renderer.DrawBonds(*ws, batch);

        const VisibleAtomList& list = renderer.VisibleAtoms();
        ASSERT_GT(list.Count(), 10000);
        for (int i = 1; i < list.Count(); ++i) {
            const VisibleAtom &p = list[i - 1], &e = list[i];
            ASSERT_TRUE(p.Distance < e.Distance ||
                        (p.Distance == e.Distance &&
                         p.Molecule * MAX_ATOMS + p.Atom < e.Molecule * MAX_ATOMS + e.Atom));
        }
        std::vector<test::RecordingCanvas::LineCall> expected;
        Rgb pen{9, 9, 9};
        PenStyle style = PenStyle::Dash;
        for (int i = list.Count() - 1; i >= 0; --i) {
            const VisibleAtom& e = list[i];
            const double x = BitmapX(e.sx), y = BitmapY(e.sy);
            for (int j = 0; j < MAX_ATOMS; ++j) {
                const char kind = ws->Molecules[e.Molecule].Bonds[e.Atom][j];
                const int partner = list.Find(e.Molecule, j);
                if (kind == '0' || partner < 0) continue;
                if (kind == 'S') pen = {0, 0, 255}, style = PenStyle::Solid;
                if (kind == 'D') pen = {0, 128, 0}, style = PenStyle::Dash;
                if (kind == 'Z') pen = {0, 128, 0}, style = PenStyle::Dot;
                if (!(x >= 0 && x <= SCENE_SIZE && y >= 0 && y <= SCENE_SIZE)) break;
                expected.push_back({Trunc(x), Trunc(y), Trunc(BitmapX(list[partner].sx)),
                                    Trunc(BitmapY(list[partner].sy)), pen, style, BG});
            }
        }
        for (const auto& line : expected) {
            oneByOne.SetPen(line.Pen, line.Style);
            oneByOne.SetBrush(BG);
            oneByOne.Line(line.x1, line.y1, line.x2, line.y2);
        }
        oneByOne.SetPen(pen, style);
        for (RasterCanvas* c : {&batch, &oneByOne})
            c->Line(5, 7, 1995, 1993);  // with the pen the bonds left
        ASSERT_TRUE(drawn.Image() == walked.Image()) << kinds;
        if (kinds == "S") continue;
        ASSERT_EQ(canvas.Lines.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            const auto &got = canvas.Lines[k], &want = expected[k];
            ASSERT_EQ((std::array{got.x1, got.y1, got.x2, got.y2}),
                      (std::array{want.x1, want.y1, want.x2, want.y2}))
                << k;
            ASSERT_EQ(got.Pen, want.Pen) << k;
            ASSERT_EQ(got.Style, want.Style) << k;
        }
    }
}

// A canvas whose pass is past its budget for tall names from the start.
class SpentCanvas : public RasterCanvas {
  public:
    using RasterCanvas::RasterCanvas;
    std::size_t HandedBytes() const override { return SIZE_MAX; }
};

// Names taller than the kept masks join the batch of discs and names, in bands; past the
// budget each is drawn at once. The picture is the same, names between discs in painter's order.
TEST_F(SceneRendererTest, TallNamesInTheBatchLookAsThoseDrawnAtOnce) {
    for (int k = 0; k < 12; ++k) {
        AddAtom(*ws, 0, {0.012 * (k % 4) - 0.02, 0.01 * (k / 4) - 0.01, 0.05 + 0.004 * k},
                0.002 * (k % 3 + 1), {k * 20, 100, 200 - k * 10}, k % 2 != 0 ? "HW1" : "OW ");
    }
    for (int k = 0; k < 2400; ++k) {  // enough for the batch to go to bands
        AddAtom(*ws, 1 + k / MAX_ATOMS, {(k % 49) * 0.4 - 10, (k % 37) * 0.5 - 9, 2.0 + k % 23},
                0.3, {k % 256, 60, 90}, "C1 ");
    }
    SceneBitmap batched(BG), atOnce(BG);
    RasterCanvas a(batched);
    SpentCanvas b(atOnce);
    for (Canvas* c : {static_cast<Canvas*>(&a), static_cast<Canvas*>(&b)})
        c->SetShownArea({500, 600, 1500, 1400});
    Project();
    // The second pass finds the short names' pieces ready, before and after the tall names
    // that the canvas draws itself, and draws the first pass's picture.
    QImage first;
    for (int pass = 0; pass < 2; ++pass) {
        for (Canvas* c : {static_cast<Canvas*>(&a), static_cast<Canvas*>(&b)})
            c->FillRect({0, 0, SCENE_SIZE, SCENE_SIZE}, BG);
        renderer.DrawFlatBalls(*ws, a, labelFont);
        renderer.DrawFlatBalls(*ws, b, labelFont);
        EXPECT_GT(FontCells::EffectiveHeight(labelFont.Height), 256);
        EXPECT_EQ(batched.Image(), atOnce.Image()) << "pass " << pass;
        if (pass == 0) first = batched.Image().copy();
    }
    EXPECT_EQ(batched.Image(), first);
    int black = 0;
    for (int y = 600; y < 1400; ++y)
        black += batched.Pixel(1100, y) == Rgb{0, 0, 0};
    EXPECT_GT(black, 20);  // the tall names are there
}

}  // namespace
}  // namespace tarsel
