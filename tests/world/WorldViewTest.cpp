// The world picture over a canvas that records what is drawn, in order.

#include "world/WorldView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <cstring>
#include <stdexcept>

#include "render/Projection.h"
#include "render/RasterCanvas.h"

namespace tarsel {
namespace {

constexpr Rgb BLACK{0, 0, 0}, RED{255, 0, 0}, GREEN{0, 128, 0}, BLUE{0, 0, 255},
    YELLOW{255, 255, 0}, CYAN{0, 255, 255}, SILVER{192, 192, 192};

std::string Name(Rgb c) {
    if (c == BLACK) return "black";
    if (c == RED) return "red";
    if (c == GREEN) return "green";
    if (c == BLUE) return "blue";
    if (c == YELLOW) return "yellow";
    if (c == CYAN) return "cyan";
    if (c == SILVER) return "silver";
    return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

// Every call as one word: "line red", "dot black" (an ellipse, with its fill), "fill grey",
// "text X"; the coordinates apart.
class OrderCanvas : public Canvas {
  public:
    struct Call {
        std::string What;
        int x1, y1, x2, y2;
    };
    void FillRect(const Rect& r, Rgb c) override {
        Calls.push_back({"fill " + Name(c), r.Left, r.Top, r.Right, r.Bottom});
    }
    void SetPen(Rgb colour, PenStyle) override { pen_ = colour; }
    void SetPenColour(Rgb colour) override { pen_ = colour; }
    void SetPenStyle(PenStyle) override {}
    void SetBrush(Rgb colour) override { brush_ = colour; }
    void Line(int x1, int y1, int x2, int y2) override {
        Calls.push_back({"line " + Name(pen_), x1, y1, x2, y2});
    }
    void Ellipse(int x1, int y1, int x2, int y2) override {
        EXPECT_EQ(brush_, (Rgb{128, 128, 128}));
        Calls.push_back({"dot " + Name(pen_), x1, y1, x2, y2});
    }
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override {
        EXPECT_EQ(font, (FontSpec{"MS Sans Serif", -11}));
        EXPECT_EQ(colour, BLACK);
        Calls.push_back({"text " + std::string(text), x, y, x, y});
    }
    std::uint8_t* Row(int) override { return nullptr; }

    std::vector<std::string> Words() const {
        std::vector<std::string> words;
        for (const Call& c : Calls)
            words.push_back(c.What);
        return words;
    }
    const Call& Find(const std::string& what) const {
        for (const Call& c : Calls)
            if (c.What == what) return c;
        ADD_FAILURE() << "no " << what;
        return Calls.front();
    }

    std::vector<Call> Calls;

  private:
    Rgb pen_{-1, -1, -1};
    Rgb brush_{-1, -1, -1};
};

// A 10-unit cube at the origin, the camera at z = -50 looking along +z, the light beside it,
// and one molecule of two atoms: one in front of the camera and one behind it.
struct WorldScene {
    std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
    Projection projection;

    WorldScene() {
        ws->Cube = {{0, 0, 0}, 10, true};
        ws->Camera = {{0, 0, -50}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
        ws->Projection = {1, 100, 0.25};
        ws->LightPosition = {20, 20, -70};
        ws->ShowCube = true;
        ws->LastMolecule = 0;
        MoleculeRecord& m = ws->Molecules[0];
        m.AtomCount = 2;
        m.X = {1, 1};
        m.Y = {2, 2};
        m.Z = {3, -60};
        Prepare();
    }
    void Prepare() { projection.PrepareProjection(ws->Camera, ws->Projection); }
    OrderCanvas Paint(WorldView& view) const {
        OrderCanvas canvas;
        view.Paint(*ws, projection.Plane(), canvas);
        return canvas;
    }
};

TEST(WorldView, PaintsEverythingInOrderAndColour) {
    std::vector<std::string> expected = {"fill 128,128,128",
                                         // the atom in front, then the one behind the camera
                                         "dot red", "line silver", "dot black", "dot green",
                                         "line silver", "dot black"};
    expected.insert(expected.end(), 12, "line yellow");
    auto labelled = [&](const std::string& text) {
        expected.push_back("fill 128,128,128");
        expected.push_back("text " + text);
    };
    for (const char* corner : {"1", "2", "3", "4", "5", "6", "7", "8"})
        labelled(corner);
    for (const char* axis : {"X", "Y", "Z"}) {
        expected.push_back("line black");
        labelled(axis);
    }
    expected.push_back("line blue");
    labelled("V0");
    expected.push_back("line green");
    const std::pair<const char*, const char*> cameraAxes[] = {
        {"red", "V1"}, {"yellow", "V2"}, {"yellow", "V3"}};
    for (const auto& [pen, text] : cameraAxes) {
        expected.push_back(std::string("line ") + pen);
        labelled(text);
    }
    expected.push_back("line cyan");
    labelled("Light");

    WorldScene scene;
    WorldView view;
    EXPECT_EQ(scene.Paint(view).Words(), expected);
    const WorldBounds fitted = view.Bounds();

    // Without "Cube" the cube is still drawn, but no longer fitted.
    scene.ws->ShowCube = false;
    EXPECT_EQ(scene.Paint(view).Words(), expected);
    EXPECT_LT(view.Bounds().MaxY - view.Bounds().MinY, fitted.MaxY - fitted.MinY);
}

TEST(WorldView, TheLineOfSightEndsOnTheProjectionPlane) {
    WorldScene scene;
    WorldView view;
    const OrderCanvas canvas = scene.Paint(view);
    // The atom's line of sight through the camera point (0, 0, -50) meets the plane z = -51
    // at (-1/53, -2/53, -51); the line runs from the atom's dot to that point's dot.
    const Vec3 q{-1.0 / 53, -2.0 / 53, -51};
    const Vec3 t = RotateWorldPoint(q, view.Angles);
    const WorldFit& f = view.Fit();
    const int qx = static_cast<int>((t.x - view.Bounds().MinX) * f.ScaleX + f.OffsetX);
    const int qy = static_cast<int>((t.y - view.Bounds().MinY) * f.ScaleY + f.OffsetY);
    const OrderCanvas::Call& dotQ = canvas.Calls[1];
    const OrderCanvas::Call& line = canvas.Calls[2];
    const OrderCanvas::Call& dotP = canvas.Calls[3];
    EXPECT_EQ((std::vector<int>{dotQ.x1, dotQ.y1, dotQ.x2, dotQ.y2}),
              (std::vector<int>{qx - 3, qy - 3, qx + 3, qy + 3}));
    EXPECT_EQ((std::vector<int>{line.x1, line.y1, line.x2, line.y2}),
              (std::vector<int>{dotP.x1 + 3, dotP.y1 + 3, qx, qy}));
}

TEST(WorldView, FitPointsFillTheMiddleOfEveryWindowShape) {
    // The camera and the light stand farthest apart horizontally, the light lowest and the
    // camera highest; the atoms lie far outside and take no part.
    WorldScene scene;
    scene.ws->Camera.V0 = {-100, -30, 0};
    scene.ws->LightPosition = {100, 40, 0};
    scene.ws->Molecules[0].X = {500, -500};
    scene.Prepare();
    const std::pair<int, int> sizes[] = {{337, 224}, {800, 200}, {120, 600}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        WorldView view(w, h);
        view.Angles = {0, 0, 0};
        const OrderCanvas canvas = scene.Paint(view);
        const OrderCanvas::Call& camera = canvas.Find("text V0");
        const OrderCanvas::Call& light = canvas.Find("text Light");
        EXPECT_EQ(camera.x1, static_cast<int>(w * 0.15));
        EXPECT_NEAR(light.x1, w * 0.75, 1);
        EXPECT_EQ(camera.y1, static_cast<int>(h * 0.15));
        EXPECT_NEAR(light.y1, h * 0.75, 1);
        for (const OrderCanvas::Call& c : canvas.Calls) {
            if (c.What.rfind("text ", 0) == 0 && c.What.size() == 6 && c.What[5] <= '8') {
                EXPECT_GE(c.x1, camera.x1) << c.What;
                EXPECT_LE(c.x1, light.x1) << c.What;
            }
        }
        EXPECT_GT(canvas.Find("dot black").x1, w);  // an atom off the window
    }
}

TEST(WorldView, FitHandlesEveryExtent) {
    constexpr double INF = std::numeric_limits<double>::infinity();
    struct Case {
        const char* Name;
        WorldBounds Bounds;
        int W, H;
        WorldFit Expected;
    };
    const Case cases[] = {
        // L is a quarter of the horizontal extent, at any window size; 1 below 8 units.
        {"extent 22", {-11, 11, 0, 10}, 337, 224, {337 * 0.6 / 22, 224 * 0.6 / 10, 50, 33, 5}},
        {"extent 22, wider",
         {-11, 11, 0, 10},
         1000,
         224,
         {1000 * 0.6 / 22, 224 * 0.6 / 10, 150, 33, 5}},
        {"extent 7.9", {0, 7.9, 0, 10}, 337, 224, {337 * 0.6 / 7.9, 224 * 0.6 / 10, 50, 33, 1}},
        // A vertical or horizontal line of fit points: the other scale, the line in the middle.
        {"vertical line", {2, 2, 0, 10}, 337, 224, {13.44, 13.44, 151, 33, 3}},
        {"horizontal line", {0, 22, 5, 5}, 337, 224, {337 * 0.6 / 22, 337 * 0.6 / 22, 50, 100, 5}},
        {"unbounded", {-INF, INF, -INF, INF}, 337, 224, {1, 1, 50, 33, 50}},
        {"no window", {-11, 11, 0, 10}, 0, 0, {1, 1, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const WorldFit f = FitWorld(c.Bounds, c.W, c.H);
        EXPECT_DOUBLE_EQ(f.ScaleX, c.Expected.ScaleX);
        EXPECT_DOUBLE_EQ(f.ScaleY, c.Expected.ScaleY);
        EXPECT_EQ(f.OffsetX, c.Expected.OffsetX);
        EXPECT_EQ(f.OffsetY, c.Expected.OffsetY);
        EXPECT_EQ(f.L, c.Expected.L);
    }
}

TEST(WorldView, ValuesWithoutAPictureDrawNothingWild) {
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double INF = std::numeric_limits<double>::infinity();
    struct Case {
        const char* Name;
        void (*Spoil)(Workspace&);
        bool KeepPlane;
    };
    const Case cases[] = {
        {"atom on the camera's plane", [](Workspace& ws) { ws.Molecules[0].Z[0] = -50; }, true},
        {"light not a number", [](Workspace& ws) { ws.LightPosition.x = NaN; }, true},
        {"light at infinity", [](Workspace& ws) { ws.LightPosition.y = INF; }, true},
        {"camera far away",
         [](Workspace& ws) {
             ws.Camera.V0 = {1e300, -1e300, 0};
         },
         true},
        {"no render pass yet", [](Workspace&) {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WorldScene scene;
        c.Spoil(*scene.ws);
        scene.Prepare();
        const ProjectionPlane plane = c.KeepPlane ? scene.projection.Plane() : ProjectionPlane{};
        WorldView view;
        OrderCanvas canvas;
        view.Paint(*scene.ws, plane, canvas);
        for (const OrderCanvas::Call& call : canvas.Calls) {
            for (int v : {call.x1, call.y1, call.x2, call.y2})
                ASSERT_LE(std::abs(static_cast<long long>(v)), 1 << 30) << call.What;
        }
        // The atoms themselves are always drawn.
        int atoms = 0;
        for (const OrderCanvas::Call& call : canvas.Calls)
            atoms += call.What == "dot black";
        EXPECT_EQ(atoms, 2);
    }
}

TEST(WorldView, ArrowsTurnTheViewOtherKeysDoNot) {
    WorldView view;
    const WorldAngles start;
    const struct {
        int Key;
        double A, B;
    } keys[] = {{39, 0.1, 0}, {37, -0.1, 0}, {38, 0, 0.1}, {40, 0, -0.1}, {'A', 0, 0}, {0, 0, 0}};
    for (const auto& k : keys) {
        view.Angles = start;
        view.FormKeyDown(k.Key);
        EXPECT_DOUBLE_EQ(view.Angles.A, start.A + k.A) << k.Key;
        EXPECT_DOUBLE_EQ(view.Angles.B, start.B + k.B) << k.Key;
        EXPECT_DOUBLE_EQ(view.Angles.C, start.C) << k.Key;
    }
}

TEST(WorldView, TheCanvasKeepsToAnImageOfAnySize) {
    // 7 pixels of 3 bytes leave 3 bytes of padding at the end of each row.
    QImage image(7, 3, QImage::Format_BGR888);
    ASSERT_EQ(image.bytesPerLine(), 24);
    std::memset(image.bits(), 0, static_cast<std::size_t>(image.sizeInBytes()));
    RasterCanvas canvas(image);
    canvas.SetPen({255, 255, 255}, PenStyle::Solid);
    canvas.SetBrush({255, 255, 255});
    canvas.FillRect({-5, 2, 50, 50}, {255, 255, 255});
    canvas.Line(-100, 1, 100, 1);
    canvas.Line(3, -100, 3, 100);
    canvas.Ellipse(4, -2, 12, 6);
    for (int y = 0; y < 3; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(row[3 * x] == 255, y >= 1 || x >= 3) << x << "," << y;
        EXPECT_EQ(row[21] | row[22] | row[23], 0) << "padding of row " << y;
    }
    QImage other(7, 3, QImage::Format_RGB32);
    EXPECT_THROW(RasterCanvas{other}, std::invalid_argument);
}

}  // namespace
}  // namespace tarsel
