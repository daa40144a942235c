#include "render/MeasureOverlay.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "render/FontCells.h"
#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

struct Point2 {
    double x = 0, y = 0;
};

std::optional<Point2> OnBitmap(const Projection& projection, Vec3 p) {
    const ProjectedPoint s = projection.ProjectPoint(p);
    if (!s.Visible) return std::nullopt;
    return Point2{projection.BitmapX(s.sx), projection.BitmapY(s.sy)};
}

// The dashed line a-b, one pixel wide, written straight into the rows (so no pen changes),
// cut to the box first: a line reaching far off the view costs no more than one across it.
// The pattern is counted from a, so the dashes stay put when the line is cut differently.
// Drawn n times larger (smooth edges), dashes, gaps and width are n times theirs.
void DashedLine(Point2 a, Point2 b, const Rect& box, Canvas& canvas, int n) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t0 = 0, t1 = 1;
    const auto cut = [&](double p, double q) {  // keep where p t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        return t0 <= t1;
    };
    if (!cut(-dx, a.x - box.Left) || !cut(dx, box.Right - 1 - a.x) || !cut(-dy, a.y - box.Top) ||
        !cut(dy, box.Bottom - 1 - a.y)) {
        return;
    }
    const double length = std::max(std::abs(dx), std::abs(dy));  // pixels along the line
    if (!std::isfinite(length)) return;
    const double first = std::ceil(t0 * length), last = std::floor(t1 * length);
    if (!(first <= last)) return;
    // The part inside the box is at most its width or height long; counted in whole steps
    // from its start, a line of any length ends.
    const long long steps = std::min<long long>(static_cast<long long>(last - first),
                                                2LL * (box.Width() + box.Height()));
    const int period = n * (MEASURE_DASH + MEASURE_GAP);
    const int phase = static_cast<int>(std::fmod(first, period));
    const auto put = [&](int x, int y) {
        if (x < box.Left || x >= box.Right || y < box.Top || y >= box.Bottom) return;
        std::uint8_t* p = canvas.Row(y) + 3 * static_cast<std::int64_t>(x);
        p[0] = static_cast<std::uint8_t>(MEASURE_COLOUR.B);
        p[1] = static_cast<std::uint8_t>(MEASURE_COLOUR.G);
        p[2] = static_cast<std::uint8_t>(MEASURE_COLOUR.R);
    };
    for (long long k = 0; k <= steps; ++k) {
        if ((phase + k) % period >= n * MEASURE_DASH) continue;
        const double t = length > 0 ? (first + static_cast<double>(k)) / length : 0;
        const int x = Trunc(a.x + t * dx), y = Trunc(a.y + t * dy);
        if (n == 1) {
            put(x, y);
            continue;
        }
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                put(x - (n - 1) / 2 + i, y - (n - 1) / 2 + j);
        }
    }
}

}  // namespace

void DrawMeasureOverlay(const Projection& projection, const Rect& visible,
                        std::span<const Vec3> atoms, std::string_view label, const FontSpec& font,
                        Canvas& canvas) {
    const Rect box = ClipToScene(visible);
    const int scale = projection.PixelScale();
    const int n = static_cast<int>(std::min<std::size_t>(atoms.size(), 4));
    std::optional<Point2> at[4];
    for (int i = 0; i < n; ++i)
        at[i] = OnBitmap(projection, atoms[i]);
    if (box.Width() > 0 && box.Height() > 0) {
        for (int i = 0; i + 1 < n; ++i) {
            if (at[i] && at[i + 1]) DashedLine(*at[i], *at[i + 1], box, canvas, scale);
        }
    }
    // Beside the middle of the measurement; failing that, beside an atom in front.
    std::optional<Point2> anchor;
    const int mid = (n - 1) / 2;
    if (n % 2 == 0 && at[mid] && at[mid + 1]) {
        anchor = Point2{(at[mid]->x + at[mid + 1]->x) / 2, (at[mid]->y + at[mid + 1]->y) / 2};
    } else if (n > 0 && at[n / 2]) {
        anchor = at[n / 2];
    } else {
        for (int i = 0; i < n && !anchor; ++i)
            anchor = at[i];
    }
    if (!anchor || label.empty()) return;
    // Texts are placed by whole pixels; a point far off the view has no text on it anyway.
    const double limit = 1e9;
    const double x = std::clamp(anchor->x + 6 * scale, -limit, limit);
    const double y = std::clamp(anchor->y + 4 * scale, -limit, limit);
    // A light rim keeps the value readable over atoms, names and bonds.
    const int tx = Trunc(x), ty = Trunc(y);
    for (int k = 1; k <= scale; ++k) {
        for (const auto& [ox, oy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
            canvas.Text(tx + k * ox, ty + k * oy, label, font, MEASURE_RIM);
    }
    canvas.Text(tx, ty, label, font, MEASURE_COLOUR);
}

bool FontHasUnitSigns(const std::string& face) {
    if (!FontCells::Available()) return false;
    // Asked once per face: the installed fonts do not change while the program runs.
    static std::map<std::string, bool> known;
    if (const auto found = known.find(face); found != known.end()) return found->second;
    const QFontMetrics metrics{QFont(QString::fromStdString(face))};
    return known[face] = metrics.inFont(QChar(0x00C5)) && metrics.inFont(QChar(0x00B0));
}

}  // namespace tarsel
