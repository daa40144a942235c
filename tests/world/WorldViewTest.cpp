// The world picture over a canvas that records what is drawn, in order.

#include "world/WorldView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/Projection.h"
#include "render/RasterCanvas.h"

namespace tarsel {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// Each call as "line red", "dot black", "fill", "text X", with its first point.
class OrderCanvas : public Canvas {
  public:
    struct Call {
        std::string What;
        int x, y;
    };
    void FillRect(const Rect& r, Rgb c) override {
        EXPECT_EQ(c, WorldView::BRUSH);
        Calls.push_back({"fill", r.Left, r.Top});
    }
    void SetPen(Rgb colour, PenStyle) override { pen_ = colour; }
    void SetPenColour(Rgb colour) override { pen_ = colour; }
    void SetPenStyle(PenStyle) override {}
    void SetBrush(Rgb colour) override { EXPECT_EQ(colour, WorldView::BRUSH); }
    void Line(int x1, int y1, int x2, int y2) override {
        Calls.push_back({"line " + Name(pen_), x1, y1});
        Calls.push_back({"to", x2, y2});
    }
    void Ellipse(int x1, int y1, int x2, int y2) override {
        EXPECT_EQ(x2 - x1, 6);
        EXPECT_EQ(y2 - y1, 6);
        Calls.push_back({"dot " + Name(pen_), x1 + 3, y1 + 3});
    }
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override {
        EXPECT_EQ(font, (FontSpec{"MS Sans Serif", -11}));
        EXPECT_EQ(colour, (Rgb{0, 0, 0}));
        Calls.push_back({"text " + std::string(text), x, y});
    }
    std::uint8_t* Row(int) override { return nullptr; }

    std::string Sequence() const {
        std::string s;
        for (const Call& c : Calls)
            if (c.What != "to") s += c.What + "|";
        return s;
    }
    const Call& Find(const std::string& what) const {
        for (const Call& c : Calls)
            if (c.What == what) return c;
        throw std::runtime_error("nothing drawn as " + what);
    }
    std::vector<Call> Calls;

  private:
    static std::string Name(Rgb c) {
        const std::pair<Rgb, const char*> names[] = {
            {{0, 0, 0}, "black"},       {{255, 0, 0}, "red"},      {{0, 128, 0}, "green"},
            {{0, 0, 255}, "blue"},      {{255, 255, 0}, "yellow"}, {{0, 255, 255}, "cyan"},
            {{192, 192, 192}, "silver"}};
        for (const auto& [rgb, name] : names)
            if (rgb == c) return name;
        return "other";
    }
    Rgb pen_{-1, -1, -1};
};

// A 10-unit cube at the origin, the camera at z = -50 looking along +z, and one molecule of
// two atoms: one in front of the camera and one behind it.
struct Scene {
    std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
    Projection projection;

    Scene() {
        ws->Cube = {{0, 0, 0}, 10, true};
        ws->Camera = {{0, 0, -50}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
        ws->Projection = {1, 100, 0.25};
        ws->LightPosition = {20, 20, -70};
        ws->ShowCube = true;
        MoleculeRecord& m = ws->Molecules[0];
        m.AtomCount = 2;
        m.X = {1, 1};
        m.Y = {2, 2};
        m.Z = {3, -60};
    }
    OrderCanvas Paint(WorldView& view) {
        projection.PrepareProjection(ws->Camera, ws->Projection);
        OrderCanvas canvas;
        view.Paint(*ws, projection.Plane(), canvas);
        return canvas;
    }
};

TEST(WorldView, PaintsEverythingInOrderAndColour) {
    std::string expected = "fill|dot red|line silver|dot black|dot green|line silver|dot black|";
    for (int i = 0; i < 12; ++i)
        expected += "line yellow|";
    for (const char* corner : {"1", "2", "3", "4", "5", "6", "7", "8"})
        expected += std::string("fill|text ") + corner + "|";
    for (const char* axis : {"X", "Y", "Z"})
        expected += std::string("line black|fill|text ") + axis + "|";
    expected +=
        "line blue|fill|text V0|line green|line red|fill|text V1|line yellow|fill|text V2|"
        "line yellow|fill|text V3|line cyan|fill|text Light|";

    Scene scene;
    WorldView view;
    const OrderCanvas canvas = scene.Paint(view);
    EXPECT_EQ(canvas.Sequence(), expected);
    // The front atom's line of sight meets the plane z = -51 at (-1/53, -2/53, -51): its dot
    // there, and the silver line runs from the atom to it.
    const Vec3 q = RotateWorldPoint({-1.0 / 53, -2.0 / 53, -51}, view.Angles);
    const WorldFit& f = view.Fit();
    const int qx = static_cast<int>((q.x - view.Bounds().MinX) * f.ScaleX + f.OffsetX);
    const int qy = static_cast<int>((q.y - view.Bounds().MinY) * f.ScaleY + f.OffsetY);
    EXPECT_EQ(canvas.Calls[1].x, qx);
    EXPECT_EQ(canvas.Calls[1].y, qy);
    EXPECT_EQ(canvas.Calls[2].x, canvas.Calls[4].x);  // from the atom's dot
    EXPECT_EQ(canvas.Calls[3].x, qx);                 // to the crossing point

    // Without "Cube" the cube is still drawn, but no longer fitted.
    const WorldBounds fitted = view.Bounds();
    scene.ws->ShowCube = false;
    EXPECT_EQ(scene.Paint(view).Sequence(), expected);
    EXPECT_LT(view.Bounds().MaxY - view.Bounds().MinY, fitted.MaxY - fitted.MinY);
}

TEST(WorldView, FitPointsFillTheMiddleOfEveryWindowShape) {
    // Unturned, the camera and the light are the horizontal and vertical extremes; the atoms
    // lie far outside and take no part.
    Scene scene;
    scene.ws->Camera.V0 = {-100, -30, 0};
    scene.ws->LightPosition = {100, 40, 0};
    scene.ws->Molecules[0].X = {500, -500};
    for (const auto& [w, h] : {std::pair{337, 224}, std::pair{800, 200}, std::pair{120, 600}}) {
        WorldView view(w, h);
        view.Angles = {0, 0, 0};
        const OrderCanvas canvas = scene.Paint(view);
        const OrderCanvas::Call& camera = canvas.Find("text V0");
        const OrderCanvas::Call& light = canvas.Find("text Light");
        EXPECT_EQ(camera.x, static_cast<int>(w * 0.15)) << w;
        EXPECT_EQ(camera.y, static_cast<int>(h * 0.15)) << h;
        EXPECT_NEAR(light.x, w * 0.75, 1) << w;
        EXPECT_NEAR(light.y, h * 0.75, 1) << h;
        EXPECT_GT(canvas.Find("dot black").x, w);
    }
}

TEST(WorldView, FitHandlesEveryExtent) {
    struct Case {
        const char* Name;
        WorldBounds Bounds;
        int W, H;
        WorldFit Expected;
    };
    const Case cases[] = {
        // L is a quarter of the horizontal extent whatever the window's size; 1 below 8 units.
        {"extent 22", {-11, 11, 0, 10}, 337, 224, {337 * 0.6 / 22, 224 * 0.6 / 10, 50, 33, 5}},
        {"wider", {-11, 11, 0, 10}, 1000, 224, {1000 * 0.6 / 22, 224 * 0.6 / 10, 150, 33, 5}},
        {"extent 7.9", {0, 7.9, 0, 10}, 337, 224, {337 * 0.6 / 7.9, 224 * 0.6 / 10, 50, 33, 1}},
        // A vertical or horizontal line of fit points: the other scale, the line in the middle.
        {"vertical", {2, 2, 0, 10}, 337, 224, {13.44, 13.44, 151, 33, 3}},
        {"horizontal", {0, 22, 5, 5}, 337, 224, {337 * 0.6 / 22, 337 * 0.6 / 22, 50, 100, 5}},
        {"unbounded", {-INF, INF, NaN, NaN}, 337, 224, {1, 1, 50, 33, 50}},
        {"no window", {-11, 11, 0, 10}, 0, 0, {1, 1, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const WorldFit f = FitWorld(c.Bounds, c.W, c.H);
        EXPECT_DOUBLE_EQ(f.ScaleX, c.Expected.ScaleX) << c.Name;
        EXPECT_DOUBLE_EQ(f.ScaleY, c.Expected.ScaleY) << c.Name;
        EXPECT_EQ(f.OffsetX, c.Expected.OffsetX) << c.Name;
        EXPECT_EQ(f.OffsetY, c.Expected.OffsetY) << c.Name;
        EXPECT_EQ(f.L, c.Expected.L) << c.Name;
    }
}

// The pixel of a world point as the fit places it, before truncation.
std::pair<double, double> PixelOf(const WorldView& view, Vec3 world) {
    const Vec3 t = RotateWorldPoint(world, view.Angles);
    const WorldFit& f = view.Fit();
    return {(t.x - view.Bounds().MinX) * f.ScaleX + f.OffsetX,
            (t.y - view.Bounds().MinY) * f.ScaleY + f.OffsetY};
}

// The camera's axes start at the plane centre C and end at C + 0.5 L Vk, each in its colour.
TEST(WorldView, CameraAxesEndHalfLFromThePlaneCentre) {
    Scene scene;
    scene.ws->Camera = {{0, 0, -50}, {0.6, 0, 0.8}, {0.8, 0, -0.6}, {0, 1, 0}};
    WorldView view;
    const OrderCanvas canvas = scene.Paint(view);
    const Vec3 C = scene.projection.Plane().PlaneCentre;
    const double L = view.Fit().L;
    ASSERT_GT(L, 1);
    const CameraFrame& cam = scene.ws->Camera;
    // The last red line and the last two yellow lines, each followed by its end point.
    std::vector<std::pair<std::string, OrderCanvas::Call>> axes;
    for (std::size_t i = 0; i + 1 < canvas.Calls.size(); ++i) {
        const std::string& what = canvas.Calls[i].What;
        if (what == "line red" || what == "line yellow")
            axes.push_back({what, canvas.Calls[i + 1]});
    }
    ASSERT_GE(axes.size(), 3u);
    const struct {
        std::size_t fromEnd;
        const char* pen;
        Vec3 axis;
    } expected[] = {
        {3, "line red", cam.V1}, {2, "line yellow", cam.V2}, {1, "line yellow", cam.V3}};
    for (const auto& e : expected) {
        const auto& [pen, end] = axes[axes.size() - e.fromEnd];
        EXPECT_EQ(pen, e.pen);
        const auto [x, y] = PixelOf(view, C + 0.5 * L * e.axis);
        EXPECT_EQ(end.x, static_cast<int>(x)) << e.pen << " " << e.fromEnd;
        EXPECT_EQ(end.y, static_cast<int>(y)) << e.pen << " " << e.fromEnd;
    }
}

// A crossing point far off the window (an atom a hair in front of the camera's plane) keeps
// its line's direction: pixels are only held to the 32-bit range.
TEST(WorldView, FarEndPointsKeepTheirLinesDirection) {
    Scene scene;
    WorldView view;
    scene.Paint(view);
    // The line of sight of an atom d in front of the camera plane meets the plane z = -51 at
    // (-1/d, -2/d): d chosen so that its pixel lies between 2^30 and 2^31.
    scene.ws->Molecules[0].Z[0] = -50 + 2 * view.Fit().ScaleY / 1.5e9;
    const double d = scene.ws->Molecules[0].Z[0] + 50;  // as stored
    const OrderCanvas canvas = scene.Paint(view);
    const auto [x, y] = PixelOf(view, {-1 / d, -2 / d, -51});
    ASSERT_GT(std::max(std::abs(x), std::abs(y)), 1 << 30);
    ASSERT_LT(std::max(std::abs(x), std::abs(y)), 2147483647.0);
    for (std::size_t i = 0; i + 1 < canvas.Calls.size(); ++i) {
        if (canvas.Calls[i].What != "line silver") continue;
        EXPECT_NEAR(canvas.Calls[i + 1].x, x, 1.0);
        EXPECT_NEAR(canvas.Calls[i + 1].y, y, 1.0);
        return;
    }
    ADD_FAILURE() << "no line of sight drawn";
}

TEST(WorldView, PointsWithoutAPixelAreLeftOut) {
    using Spoil = void (*)(Workspace&);
    const std::pair<const char*, Spoil> cases[] = {
        {"atom on the camera's plane", [](Workspace& ws) { ws.Molecules[0].Z[0] = -50; }},
        {"light not a number", [](Workspace& ws) { ws.LightPosition.x = NaN; }},
        {"light at infinity", [](Workspace& ws) { ws.LightPosition.y = INF; }},
        {"camera far away",
         [](Workspace& ws) {
             ws.Camera.V0 = {1e300, -1e300, 0};
         }},
    };
    for (const auto& [name, spoil] : cases) {
        Scene scene;
        spoil(*scene.ws);
        WorldView view;
        int atoms = 0;
        for (const OrderCanvas::Call& call : scene.Paint(view).Calls) {
            // Dots and labels only near the window; lines may end anywhere in 32 bits.
            if (call.What.rfind("dot", 0) == 0 || call.What.rfind("text", 0) == 0) {
                EXPECT_LE(std::abs(call.x), 1 << 30) << name << ": " << call.What;
                EXPECT_LE(std::abs(call.y), 1 << 30) << name << ": " << call.What;
            }
            atoms += call.What == "dot black";
        }
        EXPECT_EQ(atoms, 2) << name;
    }
    // Before the first render pass the plane is all zero: no crossing points.
    Scene scene;
    WorldView view;
    OrderCanvas canvas;
    view.Paint(*scene.ws, ProjectionPlane{}, canvas);
    EXPECT_EQ(canvas.Sequence().find("dot red"), std::string::npos);
    EXPECT_EQ(canvas.Sequence().find("line silver"), std::string::npos);
}

// The window's image leaves out dots and lines of sight that later ones cover; it must equal
// every shape drawn in order through the canvas. Atoms crowd onto shared pixels, in pairs on
// one line of sight either side of the camera (one crossing point, two pens), and spill over
// the picture's edges.
TEST(WorldView, ImageEqualsEveryShapeDrawnInOrder) {
    const struct {
        const char* Name;
        int W, H;
        double Spread;  // of the atoms about the cube's centre
    } cases[] = {
        {"crowded", 337, 224, 0.3}, {"spread", 337, 224, 6},  {"past the edges", 60, 40, 40},
        {"tiny window", 5, 4, 3},   {"large", 800, 600, 0.5},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::mt19937 random(7);
        std::uniform_real_distribution<double> near(-c.Spread, c.Spread);
        const Vec3 V0 = scene.ws->Camera.V0;
        std::vector<Vec3> anchors;
        for (int k = 0; k < 5; ++k)
            anchors.push_back({near(random), near(random), near(random)});
        scene.ws->LastMolecule = 3;
        for (int m = 0; m <= 3; ++m) {
            MoleculeRecord& mol = scene.ws->Molecules[m];
            mol.AtomCount = MAX_ATOMS;
            for (int j = 0; j < MAX_ATOMS; ++j) {
                Vec3 p{near(random), near(random), near(random)};
                if (j % 3 == 0) p = anchors[random() % anchors.size()];
                if (j % 7 == 0) p = V0 - 0.5 * (p - V0);  // behind the camera
                mol.X[j] = p.x;
                mol.Y[j] = p.y;
                mol.Z[j] = p.z;
            }
        }
        scene.projection.PrepareProjection(scene.ws->Camera, scene.ws->Projection);
        WorldView view(c.W, c.H);
        QImage image;
        // Twice, turned between: what one paint keeps must not leak into the next.
        for (int turn = 0; turn < 2; ++turn) {
            PaintWorldImage(view, *scene.ws, scene.projection.Plane(), image);
            QImage expected(c.W, c.H, QImage::Format_BGR888);
            RasterCanvas canvas(expected);
            view.Paint(*scene.ws, scene.projection.Plane(), canvas);
            for (int y = 0; y < c.H; ++y)
                ASSERT_EQ(std::memcmp(image.constScanLine(y), expected.constScanLine(y), 3 * c.W),
                          0)
                    << c.Name << ", turn " << turn << ", row " << y;
            view.FormKeyDown(39);
        }
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
