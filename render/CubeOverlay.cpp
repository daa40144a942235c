#include "render/CubeOverlay.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

struct ScreenPoint {
    double x = 0;
    double y = 0;
};

// The first two points offered become the segment's ends; later ones are dropped.
struct EndPoints {
    std::optional<ScreenPoint> P;
    std::optional<ScreenPoint> Q;
    void Offer(ScreenPoint s) {
        if (!P) {
            P = s;
        } else if (!Q) {
            Q = s;
        }
    }
};

enum class End { First, Second };

// Single precision as the hardware rounds: values beyond its range become infinite (a plain
// conversion of such a double is undefined behaviour).
float Single(double v) {
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace

void CubeOverlay::DrawClippedLine(const Projection& projection, int halfWidth, int halfHeight,
                                  Canvas& canvas, CubePoint a, CubePoint b, Rgb colour) {
    const ProjectedPoint pa = projection.ProjectPoint({a.x, a.y, a.z});
    const ProjectedPoint pb = projection.ProjectPoint({b.x, b.y, b.z});
    last_ = {pa.sx, pa.sy, pb.sx, pb.sy, pa.Projectable, pb.Projectable};
    if (!pa.Visible && !pb.Visible) return;
    // An end without an image gives no direction to draw in.
    if (!pa.Projectable || !pb.Projectable) return;

    const double x1 = pa.sx, y1 = pa.sy, x2 = pb.sx, y2 = pb.sy;
    const double w = halfWidth, h = halfHeight;
    auto inside = [w, h](double x, double y) { return -w < x && x < w && -h < y && y < h; };
    EndPoints ends;
    if (inside(x1, y1)) ends.Offer({x1, y1});
    if (inside(x2, y2)) ends.Offer({x2, y2});
    const double xmin = std::min(x1, x2), xmax = std::max(x1, x2);
    const double ymin = std::min(y1, y2), ymax = std::max(y1, y2);
    if (x2 != x1) {
        const double m = (y2 - y1) / (x2 - x1);
        const double yl = y1 + (-w - x1) * m;
        if (-h < yl && yl < h && xmin <= -w && -w <= xmax) ends.Offer({-w, yl});
        const double yr = y1 + (w - x1) * m;
        if (-h < yr && yr < h && xmin <= w && w <= xmax) ends.Offer({w, yr});
    }
    if (y2 != y1) {
        const double m = (x2 - x1) / (y2 - y1);
        const double xb = x1 + (-h - y1) * m;
        if (-w < xb && xb < w && ymin <= -h && -h <= ymax) ends.Offer({xb, -h});
        const double xt = x1 + (h - y1) * m;
        if (-w < xt && xt < w && ymin <= h && h <= ymax) ends.Offer({xt, h});
    }
    if (!ends.P || !ends.Q) return;

    const ScreenPoint p = *ends.P, q = *ends.Q;
    canvas.SetPenColour(colour);
    canvas.Line(Trunc(projection.BitmapX(p.x)), Trunc(projection.BitmapY(p.y)),
                Trunc(projection.BitmapX(q.x)), Trunc(projection.BitmapY(q.y)));
    last_ = {p.x, p.y, q.x, q.y, true, true};
}

void CubeOverlay::DrawCube(const Workspace& ws, const Projection& projection, Canvas& canvas,
                           const FontSpec& axisFont) {
    const float b = Single(ws.Cube.CubeLength * 0.5);
    const CubePoint g{Single(ws.Cube.CubeCentre.x), Single(ws.Cube.CubeCentre.y),
                      Single(ws.Cube.CubeCentre.z)};
    canvas.SetBrush(ws.BackgroundColour);
    canvas.SetPenStyle(PenStyle::Solid);  // its colour comes with the first edge drawn

    // A corner by its signs: -1 the centre minus b, +1 the centre plus b, in x, y, z.
    auto corner = [&](int sx, int sy, int sz) {
        return CubePoint{sx < 0 ? g.x - b : g.x + b, sy < 0 ? g.y - b : g.y + b,
                         sz < 0 ? g.z - b : g.z + b};
    };
    auto edge = [&](CubePoint from, CubePoint to) {
        // A view drawn larger is clipped where the view's edges lie at that size.
        const int n = projection.PixelScale();
        DrawClippedLine(projection, n * ws.HalfViewWidth, n * ws.HalfViewHeight, canvas, from, to,
                        EDGE_COLOUR);
    };
    auto letter = [&](const char* text, End end) {
        const bool first = end == End::First;
        if (!(first ? last_.FirstProjected : last_.SecondProjected)) return;
        const double x = first ? last_.x1 : last_.x2, y = first ? last_.y1 : last_.y2;
        canvas.Text(Trunc(projection.BitmapX(x)), Trunc(projection.BitmapY(y)), text, axisFont,
                    LETTER_COLOUR);
    };

    edge(corner(-1, +1, +1), corner(+1, +1, +1));
    edge(corner(+1, +1, +1), corner(+1, -1, +1));
    edge(corner(+1, -1, +1), corner(-1, -1, +1));
    letter("Z", End::Second);
    edge(corner(-1, -1, +1), corner(-1, +1, +1));
    edge(corner(-1, +1, -1), corner(+1, +1, -1));
    letter("Y", End::First);
    edge(corner(+1, +1, -1), corner(+1, -1, -1));
    edge(corner(+1, -1, -1), corner(-1, -1, -1));
    letter("X", End::First);
    letter("0", End::Second);
    edge(corner(-1, -1, -1), corner(-1, +1, -1));
    edge(corner(-1, +1, +1), corner(-1, +1, -1));
    edge(corner(+1, +1, +1), corner(+1, +1, -1));
    edge(corner(+1, -1, +1), corner(+1, -1, -1));
    edge(corner(-1, -1, +1), corner(-1, -1, -1));
}

}  // namespace tarsel
