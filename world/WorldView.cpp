#include "world/WorldView.h"

#include <QFontMetrics>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/BandWorkers.h"
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

// A line as RasterCanvas::Line draws it with a solid pen, for ends that both lie on the
// picture (so every pixel in between does too), in the rows top .. bottom - 1 only.
void LineOnPicture(std::uint8_t* bits, std::int64_t stride, int x1, int y1, int x2, int y2,
                   Rgb colour, int top, int bottom) {
    const std::int64_t dx = std::int64_t{x2} - x1, dy = std::int64_t{y2} - y1;
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const std::int64_t steps = xMajor ? adx : ady;
    if (steps == 0) return;
    const std::int64_t aMinor = xMajor ? ady : adx;
    const std::int64_t twoMinor = 2 * aMinor, twoMajor = 2 * steps;
    // The steps whose row lies in the band: the row is the major or the minor offset, which
    // at step i is (2 i aMinor + aMajor) / (2 aMajor), and never falls as i grows.
    const std::int64_t lo = dy < 0 ? y1 - (bottom - 1) : top - std::int64_t{y1};
    const std::int64_t hi = dy < 0 ? y1 - std::int64_t{top} : bottom - 1 - std::int64_t{y1};
    std::int64_t first = 0, last = steps - 1;
    if (!xMajor) {
        first = std::max(first, lo);
        last = std::min(last, hi);
    } else if (aMinor == 0) {
        if (lo > 0 || hi < 0) return;
    } else {
        const auto ceilDiv = [](std::int64_t n, std::int64_t d) {
            return n >= 0 ? (n + d - 1) / d : -((-n) / d);
        };
        first =
            std::max(first, ceilDiv(twoMajor * std::max<std::int64_t>(lo, 0) - steps, twoMinor));
        last = std::min(last, ceilDiv(twoMajor * (hi + 1) - steps, twoMinor) - 1);
    }
    if (first > last) return;

    const std::int64_t xStep = dx < 0 ? -3 : 3, yStep = dy < 0 ? -stride : stride;
    const std::int64_t majorDelta = xMajor ? xStep : yStep;
    const std::int64_t minorDelta = xMajor ? yStep : xStep;
    const std::uint8_t b = static_cast<std::uint8_t>(colour.B);
    const std::uint8_t g = static_cast<std::uint8_t>(colour.G);
    const std::uint8_t r = static_cast<std::uint8_t>(colour.R);
    std::uint8_t* const start = bits + y1 * stride + 3 * std::int64_t{x1};
    // Two halves walked together, so that neither waits on the other's steps.
    const std::int64_t half = (last - first + 1) / 2;
    const std::int64_t num = first * twoMinor + steps, num2 = (first + half) * twoMinor + steps;
    std::uint8_t* p = start + first * majorDelta + num / twoMajor * minorDelta;
    std::uint8_t* p2 = start + (first + half) * majorDelta + num2 / twoMajor * minorDelta;
    std::int64_t rem = num % twoMajor, rem2 = num2 % twoMajor;
    const auto put = [b, g, r](std::uint8_t* at) {
        at[0] = b;
        at[1] = g;
        at[2] = r;
    };
    // The minor steps by masks, not branches: along most lines they follow no pattern that
    // a branch predictor could learn.
    for (std::int64_t i = 0; i < half; ++i) {
        put(p);
        put(p2);
        rem += twoMinor;
        rem2 += twoMinor;
        const std::int64_t over = (twoMajor - 1 - rem) >> 63, over2 = (twoMajor - 1 - rem2) >> 63;
        rem -= twoMajor & over;
        rem2 -= twoMajor & over2;
        p += majorDelta + (minorDelta & over);
        p2 += majorDelta + (minorDelta & over2);
    }
    if (last - first + 1 > 2 * half) put(p2);
}

// The pixel of a world point as WorldView::Map finds it.
[[gnu::always_inline]] inline bool WorldPixel(const WorldTurn& turn, const WorldBounds& bounds,
                                              const WorldFit& fit, Vec3 world, int& px, int& py) {
    const Vec3 t = turn(world);
    const double x = (t.x - bounds.MinX) * fit.ScaleX + fit.OffsetX;
    const double y = (t.y - bounds.MinY) * fit.ScaleY + fit.OffsetY;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    px = Trunc(x);
    py = Trunc(y);
    return true;
}

}  // namespace

WorldView::DotStamp WorldView::MakeStamp(Rgb pen) {
    // Taken from the canvas itself: a dot drawn over two backgrounds; the pixels it sets
    // agree.
    QImage images[2] = {QImage(12, 12, QImage::Format_BGR888),
                        QImage(12, 12, QImage::Format_BGR888)};
    for (int k = 0; k < 2; ++k) {
        images[k].fill(k == 0 ? Qt::black : Qt::white);
        RasterCanvas canvas(images[k]);
        canvas.SetBrush(BRUSH);
        canvas.SetPen(pen, PenStyle::Solid);
        canvas.Ellipse(3, 3, 9, 9);
    }
    DotStamp stamp;
    stamp.Usable = true;
    for (int y = 0; y < 12; ++y) {
        const std::uint8_t* a = images[0].constScanLine(y);
        const std::uint8_t* b = images[1].constScanLine(y);
        int left = 12, right = -1;
        for (int x = 0; x < 12; ++x) {
            if (std::memcmp(a + 3 * x, b + 3 * x, 3) != 0) continue;
            // Only the box, and one run per row.
            if (y < 3 || y >= 9 || x < 3 || x >= 9 || (right >= 0 && right != x - 1)) return {};
            left = std::min(left, x);
            right = x;
        }
        if (y < 3 || y >= 9) continue;
        stamp.Left[y - 3] = left - 3;
        stamp.Right[y - 3] = right - 3;
        std::memcpy(stamp.Bytes.data() + 18 * (y - 3), a + 9, 18);
    }
    return stamp;
}

void WorldView::StampRows(const DotStamp& stamp, std::uint8_t* bits, std::int64_t stride, int x,
                          int y, int width, int top, int bottom) {
    const int from = std::max(y - 3, top), to = std::min(y + 3, bottom);
    for (int row = from; row < to; ++row) {
        const int k = row - (y - 3);
        const int left = std::max(x - 3 + stamp.Left[k], 0);
        const int right = std::min(x - 3 + stamp.Right[k], width - 1);
        if (left > right) continue;
        std::memcpy(bits + row * stride + 3 * std::int64_t{left},
                    stamp.Bytes.data() + 18 * k + 3 * (left - (x - 3)),
                    static_cast<std::size_t>(3 * (right - left + 1)));
    }
}

WorldTurn::WorldTurn(const WorldAngles& angles)
    : cA(std::cos(angles.A)),
      sA(std::sin(angles.A)),
      cB(std::cos(angles.B)),
      sB(std::sin(angles.B)),
      cC(std::cos(angles.C)),
      sC(std::sin(angles.C)) {}

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

bool WorldView::PixelOf(Vec3 world, int& px, int& py) const {
    return WorldPixel(turn_, bounds_, fit_, world, px, py);
}

bool WorldView::Map(Vec3 world) {
    penOnPicture_ = PixelOf(world, penX_, penY_);
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

void WorldView::DrawAtoms(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas) {
    const CameraFrame& cam = ws.Camera;
    const Vec3 N = plane.PlaneNormal;
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
}

void WorldView::DrawAtomsOnImage(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas,
                                 QImage& image) {
    // The same picture as DrawAtoms, with less work. Painter's order decides each pixel, so a
    // dot is left out when a later dot has the same centre (every dot covers the same pixels
    // around its centre, ring and fill), and a line of sight when the next one from the same
    // pixel ends at the same pixel too. What remains is drawn in order, dots and lines that
    // lie wholly on the picture straight into its rows, exactly as the canvas would.
    const CameraFrame& cam = ws.Camera;
    const Vec3 N = plane.PlaneNormal;
    const double toPlane = -(Dot(N, cam.V0) + plane.PlaneOffset);
    const int lastMolecule = std::min(ws.LastMolecule, MAX_MOLECULES - 1);
    firstAtom_.assign(1, 0);
    for (int m = 0; m <= lastMolecule; ++m)
        firstAtom_.push_back(firstAtom_.back() + AtomsOf(ws.Molecules[m]));
    mapped_.resize(static_cast<std::size_t>(firstAtom_.back()));
    const auto map = [&](int /*band*/, int from, int to) {
        for (int m = from; m < to; ++m) {
            const MoleculeRecord& mol = ws.Molecules[m];
            MappedAtom* out = mapped_.data() + firstAtom_[static_cast<std::size_t>(m)];
            const int atoms = AtomsOf(mol);
            for (int j = 0; j < atoms; ++j) {
                const Vec3 P{mol.X[j], mol.Y[j], mol.Z[j]};
                const Vec3 u = cam.V0 - P;
                const Vec3 Q = cam.V0 + toPlane / Dot(N, u) * u;
                MappedAtom a{};
                a.QShown = WorldPixel(turn_, bounds_, fit_, Q, a.Qx, a.Qy);
                a.PShown = WorldPixel(turn_, bounds_, fit_, P, a.Px, a.Py);
                a.Front = Dot(N, P) + plane.CameraOffset >= 0;
                out[j] = a;
            }
        }
    };
    if (mapped_.size() >= MIN_SHARED_ATOMS) {
        if (!workers_) workers_ = std::make_shared<BandWorkers>();
        workers_->ForRanges(lastMolecule + 1, 1, map);
    } else {
        map(0, 0, lastMolecule + 1);
    }

    // Dot centres from -2 to the size + 2 reach the picture; the others draw nothing there
    // and go to the canvas as they are, as do all dots of a window too large for the table.
    const std::int64_t columns = std::int64_t{width_} + 5, rows = std::int64_t{height_} + 5;
    const bool byCentre = columns * rows <= MAX_CENTRES;
    if (byCentre && centres_.size() != static_cast<std::size_t>(columns * rows))
        centres_.assign(static_cast<std::size_t>(columns * rows), CentreCell{});
    const auto centre = [&](int x, int y) -> std::int64_t {
        const std::int64_t cx = std::int64_t{x} + 2, cy = std::int64_t{y} + 2;
        if (!byCentre || cx < 0 || cy < 0 || cx >= columns || cy >= rows) return -1;
        return cy * columns + cx;
    };
    const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < width_ && y < height_; };
    const std::int32_t count = static_cast<std::int32_t>(mapped_.size());
    for (std::int32_t i = 0; i < count; ++i) {
        MappedAtom& a = mapped_[static_cast<std::size_t>(i)];
        if (a.QShown) {
            if (const std::int64_t c = centre(a.Qx, a.Qy); c >= 0) centres_[c].Dot = 2 * i;
        }
        if (!a.PShown) continue;
        const std::int64_t c = centre(a.Px, a.Py);
        if (c < 0) continue;
        CentreCell& cell = centres_[c];
        cell.Dot = 2 * i + 1;
        a.OnPicture = a.QShown && inside(a.Px, a.Py) && inside(a.Qx, a.Qy);
        if (!a.OnPicture) continue;
        if (cell.Line >= 0) {
            MappedAtom& before = mapped_[static_cast<std::size_t>(cell.Line)];
            before.Covered = before.Qx == a.Qx && before.Qy == a.Qy;
        }
        cell.Line = i;
    }

    if (!stamps_[0].Usable) {
        stamps_[0] = MakeStamp(RED);
        stamps_[1] = MakeStamp(GREEN);
        stamps_[2] = MakeStamp(BLACK);
    }
    const bool stamped = stamps_[0].Usable && stamps_[1].Usable && stamps_[2].Usable;

    // What is drawn, the tables left clear for the next paint. A dot centre off the table
    // draws nothing, unless it is so far off that the box's arithmetic wraps: that one, the
    // lines that leave the picture and every dot of a window too large for the table go to
    // the canvas, in order.
    bool throughCanvas = !stamped || !byCentre;
    const auto drawn = [&](int x, int y, std::int32_t id) {
        const std::int64_t c = centre(x, y);
        if (c < 0) {
            throughCanvas |= !byCentre || Far(x, y);
            return !byCentre || Far(x, y);
        }
        if (centres_[c].Dot != id) return false;
        centres_[c].Dot = -1;
        return true;
    };
    for (std::int32_t i = 0; i < count; ++i) {
        MappedAtom& a = mapped_[static_cast<std::size_t>(i)];
        a.DrawQ = a.QShown && drawn(a.Qx, a.Qy, 2 * i);
        a.DrawLine = a.QShown && a.PShown;
        if (a.OnPicture) {
            CentreCell& cell = centres_[centre(a.Px, a.Py)];
            if (cell.Line == i) cell.Line = -1;
            a.DrawLine = !a.Covered;
        } else {
            throughCanvas |= a.DrawLine;
        }
        a.DrawP = a.PShown && drawn(a.Px, a.Py, 2 * i + 1);
    }

    std::uint8_t* bits = image.bits();
    const std::int64_t stride = image.bytesPerLine();
    if (throughCanvas) {
        const auto dot = [&](int x, int y, int pen, Rgb colour) {
            if (stamped && x >= 3 && y >= 3 && x + 3 <= width_ && y + 3 <= height_) {
                StampRows(stamps_[pen], bits, stride, x, y, width_, 0, height_);
            } else {
                canvas.SetPenColour(colour);
                canvas.Ellipse(x - 3, y - 3, x + 3, y + 3);
            }
        };
        for (const MappedAtom& a : mapped_) {
            if (a.DrawQ) dot(a.Qx, a.Qy, a.Front ? 0 : 1, a.Front ? RED : GREEN);
            if (a.DrawLine && a.OnPicture) {
                LineOnPicture(bits, stride, a.Px, a.Py, a.Qx, a.Qy, SILVER, 0, height_);
            } else if (a.DrawLine) {
                canvas.SetPenColour(SILVER);
                canvas.Line(a.Px, a.Py, a.Qx, a.Qy);
            }
            if (a.DrawP) dot(a.Px, a.Py, 2, BLACK);
        }
        return;
    }
    // All of it here: in bands of rows, one per processor, each in painter's order.
    auto band = [&](int top, int bottom) {
        for (const MappedAtom& a : mapped_) {
            if (a.DrawQ)
                StampRows(stamps_[a.Front ? 0 : 1], bits, stride, a.Qx, a.Qy, width_, top, bottom);
            if (a.DrawLine)
                LineOnPicture(bits, stride, a.Px, a.Py, a.Qx, a.Qy, SILVER, top, bottom);
            if (a.DrawP) StampRows(stamps_[2], bits, stride, a.Px, a.Py, width_, top, bottom);
        }
    };
    if (height_ < MIN_BAND_ROWS * 2) {
        band(0, height_);
        return;
    }
    if (!workers_) workers_ = std::make_shared<BandWorkers>();
    const int bands = std::min(workers_->Bands(), height_ / MIN_BAND_ROWS);
    auto job = [&](int k) {
        if (k < bands)
            band(BandWorkers::RangeStart(height_, bands, k),
                 BandWorkers::RangeStart(height_, bands, k + 1));
    };
    workers_->Run(job);
}

void WorldView::DrawWorld(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas) {
    Draw(ws, plane, canvas, nullptr);
}

void WorldView::Draw(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas,
                     QImage* image) {
    const CameraFrame& cam = ws.Camera;
    const Vec3 C = plane.PlaneCentre;
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

    if (image != nullptr)
        DrawAtomsOnImage(ws, plane, canvas, *image);
    else
        DrawAtoms(ws, plane, canvas);

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
    // As Paint, with the atoms drawn straight into the image.
    const QSize size(view.WorldWidth(), view.WorldHeight());
    if (size.isEmpty()) {
        image = QImage();
        return;
    }
    if (image.size() != size || image.format() != QImage::Format_BGR888)
        image = QImage(size, QImage::Format_BGR888);
    RasterCanvas canvas(image);
    canvas.SetBrush(WorldView::BRUSH);
    canvas.SetPen(BLACK, PenStyle::Solid);
    canvas.FillRect(view.WorldRect(), WorldView::BRUSH);
    view.Draw(ws, plane, canvas, &image);
}

}  // namespace tarsel
