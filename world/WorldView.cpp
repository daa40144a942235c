#include "world/WorldView.h"

#include <QFontMetrics>
#include <QImage>
#include <algorithm>
#include <cmath>

#include "render/RasterCanvas.h"
#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb RED{255, 0, 0};
constexpr Rgb GREEN{0, 128, 0};
constexpr Rgb BLUE{0, 0, 255};
constexpr Rgb YELLOW{255, 255, 0};
constexpr Rgb CYAN{0, 255, 255};
constexpr Rgb SILVER{192, 192, 192};

// A dot or a label this far off the window cannot reach it; skipping them keeps their sizes'
// arithmetic from overflowing.
constexpr int FAR_OFF = 1 << 30;

bool Far(int x, int y) {
    return x > FAR_OFF || x < -FAR_OFF || y > FAR_OFF || y < -FAR_OFF;
}

const FontSpec& WindowFont() {
    // "MS Sans Serif" of height -11: an em of 11 pixels (8 points).
    static const FontSpec font{"MS Sans Serif", -11};
    return font;
}

// A whole pixel, truncated toward zero, of a value that is finite; beyond the 32-bit range it
// saturates. The canvas draws lines in 64 bits, so a far end point keeps its line's slope.
int PixelOf(double v) {
    return Trunc(v);
}

// Pixels per unit that lay extent into 60 % of size; 0 when there is no usable one.
double ScaleFor(int size, double extent) {
    if (size <= 0 || !(extent > 0)) return 0;
    const double scale = size * 0.6 / extent;
    return std::isfinite(scale) && scale > 0 ? scale : 0;
}

// The cube's corners 1 to 8: -1 is the centre minus half the edge, +1 plus.
constexpr int CORNER_SIGNS[8][3] = {{-1, +1, +1}, {+1, +1, +1}, {+1, -1, +1}, {-1, -1, +1},
                                    {-1, +1, -1}, {+1, +1, -1}, {+1, -1, -1}, {-1, -1, -1}};
// Twelve edges as pairs of corner numbers, in drawing order.
constexpr int CUBE_EDGES[12][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 6}, {6, 7},
                                   {7, 8}, {8, 5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}};
constexpr const char* CORNER_LABELS[8] = {"1", "2", "3", "4", "5", "6", "7", "8"};

Vec3 CubeCorner(const SimulationCube& cube, int number) {
    const double half = cube.CubeLength / 2;
    const int* s = CORNER_SIGNS[number - 1];
    return cube.CubeCentre + Vec3{s[0] * half, s[1] * half, s[2] * half};
}

}  // namespace

WorldTurn::WorldTurn(const WorldAngles& angles)
    : cA(std::cos(angles.A)),
      sA(std::sin(angles.A)),
      cB(std::cos(angles.B)),
      sB(std::sin(angles.B)),
      cC(std::cos(angles.C)),
      sC(std::sin(angles.C)) {}

Vec3 WorldTurn::operator()(Vec3 work) const {
    const double y1 = work.y * cA - work.z * sA;
    const double z1 = work.z * cA + work.y * sA;
    const double x2 = work.x * cB + z1 * sB;
    const double Z = z1 * cB - work.x * sB;
    const double X = x2 * cC - y1 * sC;
    const double Y = y1 * cC + x2 * sC;
    return {X, Y, Z};
}

Vec3 RotateWorldPoint(Vec3 work, const WorldAngles& angles) {
    return WorldTurn(angles)(work);
}

void ExtendWorldBounds(WorldBounds& bounds, Vec3 turned) {
    if (!std::isfinite(turned.x) || !std::isfinite(turned.y)) return;
    if (turned.x > bounds.MaxX) bounds.MaxX = turned.x;
    if (turned.x < bounds.MinX) bounds.MinX = turned.x;
    if (turned.y > bounds.MaxY) bounds.MaxY = turned.y;
    if (turned.y < bounds.MinY) bounds.MinY = turned.y;
}

WorldFit FitWorld(const WorldBounds& bounds, int width, int height) {
    const double extentX = bounds.MaxX - bounds.MinX;
    const double extentY = bounds.MaxY - bounds.MinY;
    WorldFit fit;
    fit.ScaleX = ScaleFor(width, extentX);
    fit.ScaleY = ScaleFor(height, extentY);
    if (fit.ScaleX == 0) fit.ScaleX = fit.ScaleY;
    if (fit.ScaleY == 0) fit.ScaleY = fit.ScaleX;
    if (fit.ScaleX == 0) fit.ScaleX = fit.ScaleY = 1;
    // A line of fit points goes to the middle of the box rather than its edge.
    fit.OffsetX = PixelOf(width * (extentX == 0 ? 0.45 : 0.15));
    fit.OffsetY = PixelOf(height * (extentY == 0 ? 0.45 : 0.15));
    fit.L = Trunc(width * 0.15 / fit.ScaleX);
    if (fit.L == 0) fit.L = 1;
    return fit;
}

WorldView::WorldView(int width, int height) {
    Resize(width, height);
}

void WorldView::Resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    rect_ = {0, 0, width_, height_};
}

void WorldView::FormKeyDown(int key) {
    switch (key) {
        case 39:
            Angles.A += 0.1;
            break;
        case 37:
            Angles.A -= 0.1;
            break;
        case 38:
            Angles.B += 0.1;
            break;
        case 40:
            Angles.B -= 0.1;
            break;
        default:
            break;
    }
}

void WorldView::Paint(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas) {
    canvas.SetBrush(BRUSH);
    canvas.SetPen(BLACK, PenStyle::Solid);
    canvas.FillRect(rect_, BRUSH);
    DrawWorld(ws, plane, canvas);
}

bool WorldView::Map(Vec3 world) {
    const Vec3 t = turn_(world);
    const double x = (t.x - bounds_.MinX) * fit_.ScaleX + fit_.OffsetX;
    const double y = (t.y - bounds_.MinY) * fit_.ScaleY + fit_.OffsetY;
    penOnPicture_ = std::isfinite(x) && std::isfinite(y);
    if (penOnPicture_) {
        penX_ = PixelOf(x);
        penY_ = PixelOf(y);
    }
    return penOnPicture_;
}

void WorldView::MoveTo(Vec3 world) {
    Map(world);
}

void WorldView::LineTo(Canvas& canvas, Vec3 world) {
    const bool from = penOnPicture_;
    const int x = penX_, y = penY_;
    if (Map(world) && from) canvas.Line(x, y, penX_, penY_);
}

void WorldView::TextAt(Canvas& canvas, Vec3 world, const char* text) {
    if (!Map(world) || Far(penX_, penY_)) return;
    // The label stands on the brush, as on an opaque device context.
    if (FontCells::Available()) {
        const FontCells::Cell& cell = fonts_.Get(WindowFont());
        const int width = QFontMetrics(cell.Font).horizontalAdvance(QString::fromLatin1(text));
        canvas.FillRect({penX_, penY_, penX_ + width, penY_ + cell.CellHeight}, BRUSH);
    }
    canvas.Text(penX_, penY_, text, WindowFont(), BLACK);
}

void WorldView::DotAt(Canvas& canvas, Vec3 world) {
    if (Map(world) && !Far(penX_, penY_))
        canvas.Ellipse(penX_ - 3, penY_ - 3, penX_ + 3, penY_ + 3);
}

void WorldView::DrawWorld(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas) {
    const CameraFrame& cam = ws.Camera;
    const Vec3 C = plane.PlaneCentre;
    const Vec3 N = plane.PlaneNormal;
    const Vec3 origin{0, 0, 0};

    // Fit.
    turn_ = WorldTurn(Angles);
    const Vec3 first = turn_({1, 0, 0});
    bounds_ = {first.x, first.x, first.y, first.y};
    const Vec3 fitPoints[] = {{0, 1, 0},        {0, 0, 1},        cam.V0, C + 0.5 * cam.V1,
                              C + 0.5 * cam.V2, C + 0.5 * cam.V3, C,      ws.LightPosition};
    for (const Vec3& p : fitPoints)
        ExtendWorldBounds(bounds_, turn_(p));
    if (ws.ShowCube) {
        for (int corner = 1; corner <= 8; ++corner)
            ExtendWorldBounds(bounds_, turn_(CubeCorner(ws.Cube, corner)));
    }
    fit_ = FitWorld(bounds_, width_, height_);
    const int L = fit_.L;
    penOnPicture_ = false;

    // Atoms and where their lines of sight cross the projection plane. An atom on the plane
    // through the camera point has no such point: only the atom is drawn.
    const int lastMolecule = std::min(ws.LastMolecule, MAX_MOLECULES - 1);
    for (int m = 0; m <= lastMolecule; ++m) {
        const MoleculeRecord& mol = ws.Molecules[m];
        const int atoms = AtomsOf(mol);
        for (int j = 0; j < atoms; ++j) {
            const Vec3 P{mol.X[j], mol.Y[j], mol.Z[j]};
            const Vec3 u = cam.V0 - P;
            const double t = -(Dot(N, cam.V0) + plane.PlaneOffset) / Dot(N, u);
            const Vec3 Q = cam.V0 + t * u;
            // Each point mapped once: the dot, the line and the dot use the same pixels.
            const bool qShown = Map(Q);
            const int qx = penX_, qy = penY_;
            canvas.SetPenColour(Dot(N, P) + plane.CameraOffset >= 0 ? RED : GREEN);
            if (qShown) canvas.Ellipse(qx - 3, qy - 3, qx + 3, qy + 3);
            const bool pShown = Map(P);
            canvas.SetPenColour(SILVER);
            if (pShown && qShown) canvas.Line(penX_, penY_, qx, qy);
            canvas.SetPenColour(BLACK);
            if (pShown) canvas.Ellipse(penX_ - 3, penY_ - 3, penX_ + 3, penY_ + 3);
        }
    }

    // The cube, fitted or not.
    canvas.SetPenColour(YELLOW);
    for (const auto& edge : CUBE_EDGES) {
        MoveTo(CubeCorner(ws.Cube, edge[0]));
        LineTo(canvas, CubeCorner(ws.Cube, edge[1]));
    }
    for (int corner = 1; corner <= 8; ++corner)
        TextAt(canvas, CubeCorner(ws.Cube, corner), CORNER_LABELS[corner - 1]);

    // World axes.
    canvas.SetPenColour(BLACK);
    const struct {
        Vec3 End;
        const char* Label;
    } axes[] = {{{double(L), 0, 0}, "X"}, {{0, double(L), 0}, "Y"}, {{0, 0, double(L)}, "Z"}};
    for (const auto& axis : axes) {
        MoveTo(origin);
        LineTo(canvas, axis.End);
        TextAt(canvas, axis.End, axis.Label);
    }

    // The camera, the line from the plane centre to it, and its axes at the plane centre.
    canvas.SetPenColour(BLUE);
    MoveTo(origin);
    LineTo(canvas, cam.V0);
    TextAt(canvas, cam.V0, "V0");
    canvas.SetPenColour(GREEN);
    MoveTo(C);
    LineTo(canvas, cam.V0);
    const struct {
        Vec3 Axis;
        Rgb Pen;
        const char* Label;
    } cameraAxes[] = {{cam.V1, RED, "V1"}, {cam.V2, YELLOW, "V2"}, {cam.V3, YELLOW, "V3"}};
    for (const auto& axis : cameraAxes) {
        const Vec3 end = C + 0.5 * L * axis.Axis;
        canvas.SetPenColour(axis.Pen);
        MoveTo(C);
        LineTo(canvas, end);
        TextAt(canvas, end, axis.Label);
    }

    // The light.
    canvas.SetPenColour(CYAN);
    MoveTo(origin);
    LineTo(canvas, ws.LightPosition);
    TextAt(canvas, ws.LightPosition, "Light");
}

void PaintWorldImage(WorldView& view, const Workspace& ws, const ProjectionPlane& plane,
                     QImage& image) {
    const QSize size(view.WorldWidth(), view.WorldHeight());
    if (size.isEmpty()) {
        image = QImage();
        return;
    }
    if (image.size() != size || image.format() != QImage::Format_BGR888)
        image = QImage(size, QImage::Format_BGR888);
    RasterCanvas canvas(image);
    view.Paint(ws, plane, canvas);
}

}  // namespace tarsel
