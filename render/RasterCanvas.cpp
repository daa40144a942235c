#include "render/RasterCanvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "render/CoverageBlend.h"

namespace tarsel {

namespace {

// Dash and dot patterns of a one-pixel Windows pen, in pixels along the line's major axis:
// dashes of 18 with gaps of 6, dots of 3 with gaps of 3.
struct Pattern {
    int On;
    int Period;
};
constexpr Pattern DASH{18, 24};
constexpr Pattern DOT{3, 6};

// The index of a face among those seen, or -1. Every name of a pass asks, so the few bytes
// are compared in line rather than through the library's memcmp, which costs more per call
// than a short face name.
int FaceAt(const std::vector<std::string>& faces, std::string_view face) {
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const std::string& f = faces[i];
        if (f.size() != face.size()) continue;
        std::size_t k = 0;
        while (k < face.size() && f[k] == face[k])
            ++k;
        if (k == face.size()) return static_cast<int>(i);
    }
    return -1;
}

// The columns of one row inside an ellipse: the pixels whose centres lie inside it.
struct Span {
    std::int64_t Left = 0;
    std::int64_t Right = -1;  // Left > Right: empty
    bool Empty() const { return Left > Right; }
};

struct EllipseShape {
    double Cx, Cy, A, B;

    Span Row(std::int64_t y) const {
        const double dy = (static_cast<double>(y) + 0.5 - Cy) / B;
        if (!(dy * dy <= 1)) return {};
        const double half = A * std::sqrt(1 - dy * dy);
        return {static_cast<std::int64_t>(std::ceil(Cx - half - 0.5)),
                static_cast<std::int64_t>(std::floor(Cx + half - 0.5))};
    }
};

}  // namespace

RasterCanvas::RasterCanvas(SceneBitmap& scene) : RasterCanvas(scene.Image()) {}

RasterCanvas::RasterCanvas(QImage& image)
    : image_(image), width_(image.width()), height_(image.height()) {
    if (image.format() != QImage::Format_BGR888)
        throw std::invalid_argument("RasterCanvas draws on 24-bit BGR images only");
}

void RasterCanvas::FillRect(const Rect& r, Rgb colour) {
    const int left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int right = std::min(r.Right, width_), bottom = std::min(r.Bottom, height_);
    if (left >= right || top >= bottom) return;
    const Colour c = ToColour(colour);
    std::uint8_t* bits = image_.bits();
    const std::int64_t stride = image_.bytesPerLine();
    // One row pixel by pixel, the others copied from it.
    std::uint8_t* first = bits + top * stride + 3 * std::int64_t{left};
    for (int x = 0; x < right - left; ++x) {
        first[3 * x] = c.B;
        first[3 * x + 1] = c.G;
        first[3 * x + 2] = c.R;
    }
    const std::size_t bytes = 3 * static_cast<std::size_t>(right - left);
    for (int y = top + 1; y < bottom; ++y)
        std::memcpy(first + (y - top) * stride, first, bytes);
}

void RasterCanvas::SetPen(Rgb colour, PenStyle style) {
    pen_ = ToColour(colour);
    style_ = style;
}

void RasterCanvas::SetPenColour(Rgb colour) {
    pen_ = ToColour(colour);
}

void RasterCanvas::SetPenStyle(PenStyle style) {
    style_ = style;
}

void RasterCanvas::SetBrush(Rgb colour) {
    brush_ = ToColour(colour);
}

std::uint8_t* RasterCanvas::Row(int y) {
    return image_.scanLine(y);
}

void RasterCanvas::Line(int x1, int y1, int x2, int y2) {
    LineIn(Clip(), Pixels{image_.bits(), image_.bytesPerLine()}, {pen_, brush_, style_}, x1, y1, x2,
           y2);
}

void RasterCanvas::LineIn(const Rect& clip, const Pixels& pixels, const LineColours& colours,
                          int x1, int y1, int x2, int y2) {
    // Bresenham's pixels of the whole line, visited only where they can fall on the bitmap:
    // an end point may lie billions of pixels away.
    const std::int64_t dx = std::int64_t{x2} - x1, dy = std::int64_t{y2} - y1;
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const std::int64_t steps = xMajor ? adx : ady;  // the end point is not drawn
    if (steps == 0) return;
    const std::int64_t major0 = xMajor ? x1 : y1, minor0 = xMajor ? y1 : x1;
    const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t aMajor = steps, aMinor = xMajor ? ady : adx;

    // Steps i with the major coordinate in the drawable part.
    std::int64_t first = 0, last = steps - 1;
    // A line with both ends in the drawable part (most bonds) needs no clipping: its pixels lie
    // between them.
    const bool inside = std::min(x1, x2) >= clip.Left && std::max(x1, x2) < clip.Right &&
                        std::min(y1, y2) >= clip.Top && std::max(y1, y2) < clip.Bottom;
    if (!inside) {
        const std::int64_t majorLo = xMajor ? clip.Left : clip.Top;
        const std::int64_t majorHi = (xMajor ? clip.Right : clip.Bottom) - 1;
        if (majorStep > 0) {
            first = std::max(first, majorLo - major0);
            last = std::min(last, majorHi - major0);
        } else {
            first = std::max(first, major0 - majorHi);
            last = std::min(last, major0 - majorLo);
        }
        if (first > last) return;
    }
    // And with the minor coordinate in it. The minor offset q(i) = floor((2 i aMinor + aMajor)
    // / (2 aMajor)) never falls as i grows, so the steps with q in [qLo, qHi] are a range.
    if (!inside) {
        const std::int64_t minorLo = xMajor ? clip.Top : clip.Left;
        const std::int64_t minorHi = (xMajor ? clip.Bottom : clip.Right) - 1;
        std::int64_t qLo = minorStep > 0 ? minorLo - minor0 : minor0 - minorHi;
        const std::int64_t qHi = minorStep > 0 ? minorHi - minor0 : minor0 - minorLo;
        qLo = std::max<std::int64_t>(qLo, 0);
        if (qLo > qHi) return;
        if (aMinor == 0) {
            if (qLo > 0) return;
        } else {
            const auto ceilDiv = [](__int128 n, __int128 d) {
                return n >= 0 ? (n + d - 1) / d : -((-n) / d);
            };
            const __int128 twoMajor = 2 * static_cast<__int128>(aMajor);
            const __int128 twoMinor = 2 * static_cast<__int128>(aMinor);
            const __int128 iLo = ceilDiv(twoMajor * qLo - aMajor, twoMinor);
            const __int128 iHi =
                ceilDiv(twoMajor * (static_cast<__int128>(qHi) + 1) - aMajor, twoMinor) - 1;
            if (iLo > first) first = static_cast<std::int64_t>(std::min<__int128>(iLo, last + 1));
            if (iHi < last) last = static_cast<std::int64_t>(std::max<__int128>(iHi, first - 1));
            if (first > last) return;
        }
    }

    // The minor offset at step i is i * aMinor / aMajor rounded half up. A line that starts
    // off the bitmap starts its walk part way; the products then need more than 64 bits.
    std::int64_t q = 0, rem = aMajor;
    if (first > 0) {
        const __int128 num = static_cast<__int128>(first) * (2 * aMinor) + aMajor;
        q = static_cast<std::int64_t>(num / (2 * aMajor));
        rem = static_cast<std::int64_t>(num % (2 * aMajor));
    }

    const PenStyle style = colours.Style;
    const Pattern* pattern = style == PenStyle::Dash  ? &DASH
                             : style == PenStyle::Dot ? &DOT
                                                      : nullptr;
    const std::int64_t stride = pixels.Stride;
    // The place in the pattern, kept by counting instead of dividing at every pixel.
    std::int64_t phase = pattern == nullptr ? 0 : first % pattern->Period;
    const std::int64_t period = pattern == nullptr ? 1 : pattern->Period;
    const std::int64_t on = pattern == nullptr ? 1 : pattern->On;
    // Every step from first to last lies in the drawable part (both coordinates are monotonic
    // and were clipped above), so the walk moves a pointer without testing each pixel.
    const std::int64_t xFirst = xMajor ? major0 + majorStep * first : minor0 + minorStep * q;
    const std::int64_t yFirst = xMajor ? minor0 + minorStep * q : major0 + majorStep * first;
    const std::int64_t majorDelta = xMajor ? 3 * majorStep : stride * majorStep;
    const std::int64_t minorDelta = xMajor ? stride * minorStep : 3 * minorStep;
    std::uint8_t* p = pixels.Bits + yFirst * stride + 3 * xFirst;
    const std::int64_t twoMinor = 2 * aMinor, twoMajor = 2 * aMajor;
    // The minor steps by masks, not branches: along most lines they follow no pattern that
    // a branch predictor could learn.
    const auto step = [&rem, &p, twoMinor, twoMajor, minorDelta] {
        rem += twoMinor;
        const std::int64_t over = (twoMajor - 1 - rem) >> 63;  // all ones when rem >= twoMajor
        rem -= twoMajor & over;
        p += minorDelta & over;
    };
    if (pattern == nullptr) {
        const Colour c = colours.Pen;
        for (std::int64_t i = first; i <= last; ++i, p += majorDelta) {
            p[0] = c.B;
            p[1] = c.G;
            p[2] = c.R;
            step();
        }
        return;
    }
    for (std::int64_t i = first; i <= last;
         ++i, p += majorDelta, phase = phase + 1 == period ? 0 : phase + 1) {
        const Colour& c = phase < on ? colours.Pen : colours.Brush;
        p[0] = c.B;
        p[1] = c.G;
        p[2] = c.R;
        step();
    }
}

void RasterCanvas::LineBothWaysIn(const Rect& clip, const Pixels& pixels,
                                  const LineColours& colours, int x1, int y1, int x2, int y2) {
    const std::int64_t dx = std::int64_t{x2} - x1, dy = std::int64_t{y2} - y1;
    const bool inside = std::min(x1, x2) >= clip.Left && std::max(x1, x2) < clip.Right &&
                        std::min(y1, y2) >= clip.Top && std::max(y1, y2) < clip.Bottom;
    if (!inside || colours.Style != PenStyle::Solid) {
        LineIn(clip, pixels, colours, x1, y1, x2, y2);
        LineIn(clip, pixels, colours, x2, y2, x1, y1);
        return;
    }
    // One solid colour: the two lines' pixels, in one walk. Each way leaves out its own last
    // pixel, which the other draws first. Back, the minor offset rounds halves the other way:
    // at a step halfway between two pixels, the pixel one minor step back is drawn as well.
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const std::int64_t steps = xMajor ? adx : ady;
    if (steps == 0) return;
    const std::int64_t stride = pixels.Stride;
    const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t majorDelta = xMajor ? 3 * majorStep : stride * majorStep;
    const std::int64_t minorDelta = xMajor ? stride * minorStep : 3 * minorStep;
    const std::int64_t twoMinor = 2 * (xMajor ? ady : adx), twoMajor = 2 * steps;
    std::uint8_t* p = pixels.Bits + std::int64_t{y1} * stride + 3 * std::int64_t{x1};
    std::int64_t rem = steps;
    const Colour c = colours.Pen;
    for (std::int64_t i = 0; i <= steps; ++i, p += majorDelta) {
        std::uint8_t* half = p - (minorDelta & -static_cast<std::int64_t>(rem == 0));
        half[0] = c.B;
        half[1] = c.G;
        half[2] = c.R;
        p[0] = c.B;
        p[1] = c.G;
        p[2] = c.R;
        rem += twoMinor;
        const std::int64_t over = (twoMajor - 1 - rem) >> 63;
        rem -= twoMajor & over;
        p += minorDelta & over;
    }
}

void RasterCanvas::EllipseRows(std::int64_t left, std::int64_t top, std::int64_t right,
                               std::int64_t bottom, std::int64_t firstRow, std::int64_t lastRow,
                               EllipseRow* rows) {
    const EllipseShape shape{(static_cast<double>(left) + static_cast<double>(right)) / 2,
                             (static_cast<double>(top) + static_cast<double>(bottom)) / 2,
                             static_cast<double>(right - left) / 2,
                             static_cast<double>(bottom - top) / 2};
    Span above = shape.Row(firstRow - 1);
    Span here = shape.Row(firstRow);
    for (std::int64_t y = firstRow; y <= lastRow; ++y) {
        const Span below = shape.Row(y + 1);
        EllipseRow& row = rows[y - firstRow];
        row = {here.Left, here.Right, 1, 0};
        // The outline: the pixels of the row that have a neighbour outside the ellipse,
        // beside them or in the row above or below; the brush fills the others.
        if (!here.Empty() && !above.Empty() && !below.Empty()) {
            row.InnerLeft = std::max({here.Left + 1, above.Left, below.Left});
            row.InnerRight = std::min({here.Right - 1, above.Right, below.Right});
        }
        above = here;
        here = below;
    }
}

const RasterCanvas::EllipseRow* RasterCanvas::EllipsePattern(int width, int height) {
    if (ellipses_.empty()) ellipses_.resize((MAX_PATTERN + 1) * (MAX_PATTERN + 1));
    std::vector<EllipseRow>& rows = ellipses_[width * (MAX_PATTERN + 1) + height];
    if (rows.empty()) {
        // The rows of a box at the origin; a box anywhere else has them moved by its corner,
        // exactly: the centre's offsets from a pixel are the same halves either way.
        rows.resize(static_cast<std::size_t>(height));
        EllipseRows(0, 0, width, height, 0, height - 1, rows.data());
    }
    return rows.data();
}

const RasterCanvas::EllipseRow* RasterCanvas::PatternFor(const Box& box) {
    if (!Patterned(box)) return nullptr;
    return EllipsePattern(static_cast<int>(box.Right - box.Left),
                          static_cast<int>(box.Bottom - box.Top));
}

void RasterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const Box box = BoxOf(x1, y1, x2, y2);
    const Rect clip = Clip();
    if (!Meets(box, clip)) return;
    EllipseIn(clip, Pixels{image_.bits(), image_.bytesPerLine()}, pen_, brush_, box,
              PatternFor(box), rowsBuffer_);
}

void RasterCanvas::EllipseIn(const Rect& clip, const Pixels& pixels, Colour pen, Colour brush,
                             const Box& box, const EllipseRow* pattern,
                             std::vector<EllipseRow>& buffer) {
    if (!Meets(box, clip)) return;
    const std::int64_t left = box.Left, top = box.Top, right = box.Right, bottom = box.Bottom;
    const std::int64_t firstRow = std::max<std::int64_t>(top, clip.Top);
    const std::int64_t lastRow = std::min<std::int64_t>(bottom, clip.Bottom) - 1;
    // Small boxes (every disc of a pass but the nearest) take their rows from a pattern kept
    // per size; the others are measured row by row.
    const EllipseRow* rows = nullptr;
    std::int64_t shift = left;
    if (pattern != nullptr) {
        rows = pattern + (firstRow - top);
    } else {
        buffer.resize(static_cast<std::size_t>(lastRow - firstRow + 1));
        EllipseRows(left, top, right, bottom, firstRow, lastRow, buffer.data());
        rows = buffer.data();
        shift = 0;
    }

    std::uint8_t* bits = pixels.Bits;
    const std::int64_t stride = pixels.Stride;
    const std::int64_t firstColumn = clip.Left, lastColumn = clip.Right - 1;
    auto paint = [firstColumn, lastColumn](std::uint8_t* row, std::int64_t from, std::int64_t to,
                                           Colour c) {
        from = std::max<std::int64_t>(from, firstColumn);
        to = std::min<std::int64_t>(to, lastColumn);
        for (std::int64_t x = from; x <= to; ++x) {
            row[3 * x] = c.B;
            row[3 * x + 1] = c.G;
            row[3 * x + 2] = c.R;
        }
    };
    for (std::int64_t y = firstRow; y <= lastRow; ++y) {
        const EllipseRow& r = rows[y - firstRow];
        if (r.Left > r.Right) continue;
        std::uint8_t* row = bits + y * stride;
        const std::int64_t l = r.Left + shift, rr = r.Right + shift;
        if (r.InnerLeft > r.InnerRight) {
            paint(row, l, rr, pen);
        } else {
            const std::int64_t il = r.InnerLeft + shift, ir = r.InnerRight + shift;
            paint(row, l, il - 1, pen);
            paint(row, il, ir, brush);
            paint(row, ir + 1, rr, pen);
        }
    }
}

int RasterCanvas::SplitRows(const Rect& clip, std::vector<double>& weights, int bands,
                            std::array<int, BandWorkers::MAX_BANDS + 1>& firstRows) {
    double total = 0;
    for (double w : weights)
        total += w;
    firstRows[0] = clip.Top;
    int band = 1;
    double sum = 0;
    for (int y = clip.Top; y < clip.Bottom && band < bands; ++y) {
        sum += weights[y - clip.Top];
        while (band < bands && sum >= total * band / bands)
            firstRows[band++] = y + 1;
    }
    while (band < bands)
        firstRows[band++] = clip.Bottom;
    firstRows[bands] = clip.Bottom;
    return bands;
}

namespace {

// Fewer primitives than this in a batch are drawn on the calling thread: waking the workers
// would cost more than it saves.
constexpr std::size_t PARALLEL_ITEMS = 2000;

// The row of the bitmap a primitive spanning rows top .. bottom is counted in, within clip.
int WeightRow(std::int64_t top, std::int64_t bottom, const Rect& clip) {
    return static_cast<int>(
        std::clamp<std::int64_t>((top + bottom) / 2, clip.Top, clip.Bottom - 1));
}

}  // namespace

void RasterCanvas::Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
                         BandWorkers& workers) {
    const std::span<const BatchLine> one[1]{lines};
    LineRuns(one, pens, workers);
}

void RasterCanvas::LineRuns(std::span<const std::span<const BatchLine>> runs,
                            std::span<const LinePen> pens, BandWorkers& workers) {
    const Rect clip = Clip();
    const Pixels pixels{image_.bits(), image_.bytesPerLine()};
    std::array<Colour, 256> penColours;
    for (std::size_t k = 0; k < pens.size() && k < penColours.size(); ++k)
        penColours[k] = ToColour(pens[k].Colour);
    std::size_t total = 0;
    for (const std::span<const BatchLine>& run : runs)
        total += run.size();
    const bool empty = clip.Left >= clip.Right || clip.Top >= clip.Bottom;
    int bands = !empty && total >= PARALLEL_ITEMS ? workers.Bands() : 1;
    std::array<int, BandWorkers::MAX_BANDS + 1> firstRows{};
    firstRows[0] = clip.Top;
    firstRows[1] = clip.Bottom;
    if (bands > 1) {
        // Line k of the batch, found from the run before it.
        const auto at = [&runs](std::size_t k) -> const BatchLine& {
            std::size_t r = 0;
            while (k >= runs[r].size())
                k -= runs[r++].size();
            return runs[r][k];
        };
        // Each line weighs by its rows, and a step of set-up.
        WeighRows(total, at, clip, workers, [&clip](const BatchLine& l, double* weights) {
            if (!l.Draw) return;
            const std::int64_t top = std::min(l.Y1, l.Y2), bottom = std::max(l.Y1, l.Y2);
            if (bottom < clip.Top || top >= clip.Bottom) return;
            weights[WeightRow(top, bottom, clip) - clip.Top] +=
                4 + static_cast<double>(std::min<std::int64_t>(bottom - top, clip.Height()));
        });
        bands = SplitRows(clip, rowWeights_, bands, firstRows);
    }
    const LineColours start{pen_, brush_, style_};
    auto job = [&](int band) {
        Rect own = clip;
        own.Top = firstRows[band];
        own.Bottom = firstRows[band + 1];
        LineColours colours = start;
        for (const std::span<const BatchLine>& run : runs) {
            for (const BatchLine& l : run) {
                if (l.Pen >= 0) {
                    colours.Pen = penColours[static_cast<std::size_t>(l.Pen)];
                    colours.Style = pens[static_cast<std::size_t>(l.Pen)].Style;
                }
                // A line's pixels lie within the box of its ends.
                if (!l.Draw || std::max(l.Y1, l.Y2) < own.Top ||
                    std::min(l.Y1, l.Y2) >= own.Bottom || std::max(l.X1, l.X2) < own.Left ||
                    std::min(l.X1, l.X2) >= own.Right)
                    continue;
                if (l.Both) {
                    LineBothWaysIn(own, pixels, colours, l.X1, l.Y1, l.X2, l.Y2);
                } else {
                    LineIn(own, pixels, colours, l.X1, l.Y1, l.X2, l.Y2);
                }
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers.Run(job);
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        for (auto l = run->rbegin(); l != run->rend(); ++l) {
            if (l->Pen < 0) continue;
            pen_ = penColours[static_cast<std::size_t>(l->Pen)];
            style_ = pens[static_cast<std::size_t>(l->Pen)].Style;
            return;
        }
    }
}

void RasterCanvas::FlatItems(std::span<const FlatItem> items, Rgb outline, Rgb textColour,
                             BandWorkers& workers) {
    const Rect clip = Clip();
    const Pixels pixels{image_.bits(), image_.bytesPerLine()};
    const bool empty = clip.Left >= clip.Right || clip.Top >= clip.Bottom;
    int bands = !empty && items.size() >= PARALLEL_ITEMS ? workers.Bands() : 1;
    // The kept patterns of the discs that are drawn are looked up on all bands; those not
    // made yet are made here after, on this thread.
    patterns_.resize(items.size());
    if (ellipses_.empty()) ellipses_.resize((MAX_PATTERN + 1) * (MAX_PATTERN + 1));
    static const EllipseRow unmade{};
    PerBand<bool> anyUnmade;
    const int lookups = workers.ForRanges(
        static_cast<int>(items.size()), PATTERNS_PER_BAND, [&](int band, int from, int to) {
            bool found = false;
            for (int k = from; k < to; ++k) {
                const FlatItem& item = items[k];
                const Box box = BoxOf(item.X1, item.Y1, item.X2, item.Y2);
                const EllipseRow* pattern = nullptr;
                if (item.Disc && Meets(box, clip) && Patterned(box)) {
                    const auto& rows = ellipses_[PatternIndex(box)];
                    pattern = rows.empty() ? &unmade : rows.data();
                    found = found || rows.empty();
                }
                patterns_[k] = pattern;
            }
            anyUnmade[band] = found;
        });
    bool unmadeFound = false;
    for (int band = 0; band < lookups; ++band)
        unmadeFound = unmadeFound || anyUnmade[band];
    for (std::size_t k = 0; unmadeFound && k < items.size(); ++k) {
        if (patterns_[k] != &unmade) continue;
        const FlatItem& item = items[k];
        patterns_[k] = PatternFor(BoxOf(item.X1, item.Y1, item.X2, item.Y2));
    }
    std::array<int, BandWorkers::MAX_BANDS + 1> firstRows{};
    firstRows[0] = clip.Top;
    firstRows[1] = clip.Bottom;
    if (bands > 1) {
        const auto at = [&items](std::size_t k) -> const FlatItem& { return items[k]; };
        WeighRows(items.size(), at, clip, workers, [&clip](const FlatItem& item, double* weights) {
            if (item.Disc) {
                const Box box = BoxOf(item.X1, item.Y1, item.X2, item.Y2);
                if (Meets(box, clip))
                    weights[WeightRow(box.Top, box.Bottom, clip) - clip.Top] +=
                        4 + static_cast<double>(
                                std::min<std::int64_t>(box.Bottom - box.Top, clip.Height()));
            }
            for (int k = 0; k < item.Pieces; ++k) {
                const TextCoverage& c = item.Name[k];
                const std::int64_t top = std::int64_t{item.NameY} + c.Top;
                if (top + c.Height <= clip.Top || top >= clip.Bottom) continue;
                weights[WeightRow(top, top + c.Height, clip) - clip.Top] +=
                    2 + static_cast<double>(std::min(c.Height, clip.Height()));
            }
        });
        bands = SplitRows(clip, rowWeights_, bands, firstRows);
    }
    const Colour pen = ToColour(outline);
    auto job = [&](int band) {
        Rect own = clip;
        own.Top = firstRows[band];
        own.Bottom = firstRows[band + 1];
        std::vector<EllipseRow>& buffer = bandRows_[band];
        const CoverageBlender blender(textColour);
        for (std::size_t k = 0; k < items.size(); ++k) {
            const FlatItem& item = items[k];
            if (item.Disc) {
                EllipseIn(own, pixels, pen, ToColour(item.Fill),
                          BoxOf(item.X1, item.Y1, item.X2, item.Y2), patterns_[k], buffer);
            }
            for (int piece = 0; piece < item.Pieces; ++piece) {
                const TextCoverage& c = item.Name[piece];
                const std::int64_t top = std::int64_t{item.NameY} + c.Top;
                const std::int64_t from = std::max<std::int64_t>(top, own.Top);
                const std::int64_t to = std::min<std::int64_t>(top + c.Height, own.Bottom);
                if (from < to)
                    blender.Lines(pixels.Bits + from * pixels.Stride, pixels.Stride, c,
                                  static_cast<int>(from - top), static_cast<int>(to - from),
                                  item.NameX, own.Left, own.Right);
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers.Run(job);
    }
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        if (!item->Disc) continue;
        pen_ = pen;
        brush_ = ToColour(item->Fill);
        break;
    }
}

const RasterCanvas::Mask& RasterCanvas::MaskFor(std::string_view text, const FontSpec& font,
                                                bool mayForget) {
    int face = FaceAt(faces_, font.Face);
    if (face < 0) {
        if (mayForget && faces_.size() >= 256) {
            faces_.clear();
            ForgetMasks();
        }
        faces_.push_back(font.Face);
        face = static_cast<int>(faces_.size()) - 1;
    }
    const std::uint64_t key = KeyOf(text, FontCells::EffectiveHeight(font.Height), face);
    Recent& recent = recent_[RecentSlot(key)];
    if (recent.Key == key && Current(*recent.Found)) return *recent.Found;
    Mask* mask = nullptr;
    if (auto found = masks_.find(key); found != masks_.end()) {
        mask = &found->second;
        if (Current(*mask)) {
            recent = RecentOf(key, mask);
            return *mask;
        }
        maskBytes_ -= mask->Alpha.capacity();
    } else {
        if (mayForget && maskBytes_ > MASK_BUDGET) ForgetMasks();
        mask = &masks_[key];
        maskBytes_ += sizeof(Mask) + 64;
    }
    if (glyphs_.Layout(text, font, pen64_, advance64_)) {
        const Rect window = TextWindow(font);
        if (!Place(text, font, window, window, *mask)) Compose(text, font, window, *mask);
    } else {
        *mask = {};
        mask->Pieces[0] = WholeTextMask(text, font, mask->Alpha);
        mask->Count = 1;
    }
    maskBytes_ += mask->Alpha.capacity();
    recent_[RecentSlot(key)] = RecentOf(key, mask);
    return *mask;
}

TextCoverage RasterCanvas::WholeTextMask(std::string_view text, const FontSpec& font,
                                         std::vector<std::uint8_t>& alpha) {
    // Drawn in black on a transparent image with room for overhanging glyphs; the alpha of
    // each pixel is the coverage.
    const FontCells::Cell& cell = fonts_.Get(font);
    const QString string = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const int pad = cell.CellHeight / 2 + 2;
    const int width = QFontMetrics(cell.Font).horizontalAdvance(string) + 2 * pad;
    const int height2 = cell.CellHeight + 2 * pad;
    QImage image(width, height2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(cell.Font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(pad, pad + cell.Ascent), string);
    }
    TextCoverage view = CropCoverage(image, 0, height2, alpha);
    if (view.Width > 0) {
        view.Left -= pad;
        view.Top -= pad;
    }
    return view;
}

void RasterCanvas::Compose(std::string_view text, const FontSpec& font, const Rect& window,
                           Mask& out) {
    // Only the glyphs whose room (the advance and the image's margin either side) reaches the
    // window are drawn at all; each is then clipped to it, as Qt's image of the whole text
    // clips them.
    const FontCells::Cell& cell = fonts_.Get(font);
    const int pad = cell.CellHeight / 2 + 2;
    placed_.assign(text.size(), nullptr);
    Rect box{window.Right, window.Bottom, window.Left, window.Top};  // empty
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::int32_t x64 = pen64_[i];
        const std::int32_t next64 = i + 1 < text.size() ? pen64_[i + 1] : advance64_;
        const int ix = x64 >> 6;
        if (ix - pad > window.Right || (next64 + 63) / 64 + pad < window.Left) continue;
        const GlyphCache::Glyph& g =
            glyphs_.GlyphOf(font, static_cast<unsigned char>(text[i]), x64 & 63);
        placed_[i] = &g;
        const TextCoverage& v = g.View;
        const int left = std::max(ix + v.Left, window.Left);
        const int right = std::min(ix + v.Left + v.Width, window.Right);
        const int top = std::max(v.Top, window.Top);
        const int bottom = std::min(v.Top + v.Height, window.Bottom);
        if (left >= right || top >= bottom) continue;
        box = {std::min(box.Left, left), std::min(box.Top, top), std::max(box.Right, right),
               std::max(box.Bottom, bottom)};
    }
    out.Glyphs = false;
    out.Count = 1;
    TextCoverage& view = out.Pieces[0];
    view = {};
    out.Alpha.clear();
    if (box.Left < box.Right && box.Top < box.Bottom) {
        view = {box.Left, box.Top, box.Width(), box.Height(), nullptr};
        out.Alpha.assign(static_cast<std::size_t>(view.Width) * view.Height, 0);
        // Each glyph over those before it, as Qt lays its coverage over the image.
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (placed_[i] == nullptr) continue;
            const TextCoverage& g = placed_[i]->View;
            const int gx = (pen64_[i] >> 6) + g.Left;
            const int left = std::max(gx, box.Left), right = std::min(gx + g.Width, box.Right);
            const int top = std::max(g.Top, box.Top);
            const int bottom = std::min(g.Top + g.Height, box.Bottom);
            for (int y = top; y < bottom; ++y) {
                const std::uint8_t* from =
                    g.Alpha + static_cast<std::size_t>(y - g.Top) * g.Width + (left - gx);
                std::uint8_t* to = out.Alpha.data() +
                                   static_cast<std::size_t>(y - box.Top) * view.Width +
                                   (left - box.Left);
                for (int x = 0; x < right - left; ++x) {
                    const int c = from[x];
                    if (c != 0)
                        to[x] = static_cast<std::uint8_t>(c + (to[x] * (255 - c) + 127) / 255);
                }
            }
        }
    }
    view.Alpha = out.Alpha.data();
}

Rect RasterCanvas::TextWindow(const FontSpec& font) {
    const FontCells::Cell& cell = fonts_.Get(font);
    const int pad = cell.CellHeight / 2 + 2;
    return {-pad, -pad, (advance64_ + 63) / 64 + pad, cell.CellHeight + pad};
}

bool RasterCanvas::Place(std::string_view text, const FontSpec& font, const Rect& window,
                         const Rect& shown, Mask& out) {
    if (text.size() > out.Pieces.size()) return false;
    const FontCells::Cell& cell = fonts_.Get(font);
    const int pad = cell.CellHeight / 2 + 2;
    int count = 0;
    int lastRight = window.Left;  // glyphs advance to the right: each must start past the last
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::int32_t x64 = pen64_[i];
        const std::int32_t next64 = i + 1 < text.size() ? pen64_[i + 1] : advance64_;
        const int ix = x64 >> 6;
        if (ix - pad > shown.Right || (next64 + 63) / 64 + pad < shown.Left) continue;
        const TextCoverage& g =
            glyphs_.GlyphOf(font, static_cast<unsigned char>(text[i]), x64 & 63).View;
        if (g.Width == 0) continue;
        TextCoverage piece = g;
        piece.Left += ix;
        if (piece.Left < lastRight || piece.Left + piece.Width > window.Right ||
            piece.Top < window.Top || piece.Top + piece.Height > window.Bottom)
            return false;
        lastRight = piece.Left + piece.Width;
        out.Pieces[count++] = piece;
    }
    out.Count = count;
    out.Alpha.clear();
    out.Glyphs = true;
    out.Epoch = glyphs_.Epoch();
    return true;
}

const RasterCanvas::Mask* RasterCanvas::CoverageAt(int x, int y, std::string_view text,
                                                   const FontSpec& font, bool mayForget,
                                                   Mask* out) {
    if (!NearShown(x, y, text.size(), FontCells::EffectiveHeight(font.Height), Clip()))
        return &nothing_;
    if (!Unmasked(text, FontCells::EffectiveHeight(font.Height)))
        return &MaskFor(text, font, mayForget);
    const Rect clip = Clip();
    if (!glyphs_.Layout(text, font, pen64_, advance64_)) return nullptr;
    // Long or tall texts are placed for their shown part only, and not kept.
    const Rect window = TextWindow(font);
    const auto within = [](std::int64_t v, int lo, int hi) {
        return static_cast<int>(std::clamp<std::int64_t>(v, lo, hi));
    };
    const Rect shown{within(std::int64_t{clip.Left} - x, window.Left, window.Right),
                     within(std::int64_t{clip.Top} - y, window.Top, window.Bottom),
                     within(std::int64_t{clip.Right} - x, window.Left, window.Right),
                     within(std::int64_t{clip.Bottom} - y, window.Top, window.Bottom)};
    if (shown.Left >= shown.Right || shown.Top >= shown.Bottom) return &nothing_;
    Mask& placed = out != nullptr ? *out : handed_.emplace_back();
    if (!Place(text, font, window, shown, placed)) Compose(text, font, shown, placed);
    if (out == nullptr) handedBytes_ += sizeof(Mask) + placed.Alpha.capacity();
    return &placed;
}

void RasterCanvas::ForgetMasks() {
    masks_.clear();
    recent_.fill({});
    maskBytes_ = 0;
}

void RasterCanvas::Forget(bool mayForget) {
    if (!handed_.empty()) handed_.clear();
    handedBytes_ = 0;
    if (!mayForget) return;
    glyphs_.Trim(GLYPH_BUDGET);
    if (maskBytes_ > MASK_BUDGET) ForgetMasks();
    // A tall text's mask is not kept for the next.
    if (drawn_.Alpha.capacity() > (std::size_t{1} << 20)) drawn_.Alpha = {};
}

void RasterCanvas::ReleaseCoverages() {
    Forget(true);
}

void RasterCanvas::TextThroughPainter(int x, int y, std::string_view text, const FontSpec& font,
                                      Rgb colour) {
    const FontCells::Cell& cell = fonts_.Get(font);
    constexpr std::int64_t LIMIT = 1 << 22;
    const std::int64_t baseline = std::int64_t{y} + cell.Ascent;
    if (x > LIMIT || x < -LIMIT || baseline > LIMIT || baseline < -LIMIT) return;
    const Rect clip = Clip();
    if (clip.Left >= clip.Right || clip.Top >= clip.Bottom) return;
    QPainter painter(&image_);
    painter.setClipRect(clip.Left, clip.Top, clip.Width(), clip.Height());
    painter.setFont(cell.Font);
    painter.setPen(QColor(colour.R & 0xFF, colour.G & 0xFF, colour.B & 0xFF));
    painter.drawText(QPoint(x, static_cast<int>(baseline)),
                     QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void RasterCanvas::Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) {
    if (text.empty() || !FontCells::Available()) return;
    Forget(true);
    const Mask* found = CoverageAt(x, y, text, font, true, &drawn_);
    if (found == nullptr) {
        TextThroughPainter(x, y, text, font, colour);
        return;
    }
    const Rect clip = Clip();
    std::uint8_t* bits = image_.bits();
    const std::int64_t stride = image_.bytesPerLine();
    for (int k = 0; k < found->Count; ++k) {
        const TextCoverage& piece = found->Pieces[k];
        const std::int64_t top = std::int64_t{y} + piece.Top;
        const std::int64_t fromY = std::max<std::int64_t>(top, clip.Top);
        const std::int64_t toY = std::min<std::int64_t>(top + piece.Height, clip.Bottom);
        if (fromY < toY)
            BlendCoverageLines(bits + fromY * stride, stride, piece, static_cast<int>(fromY - top),
                               static_cast<int>(toY - fromY), x, colour, clip.Left, clip.Right);
    }
}

const TextCoverage* RasterCanvas::ReadyCoverage(int x, int y, std::string_view text,
                                                const FontSpec& font, int& pieces) const {
    return ReadyNames(*this, font, false).Find(x, y, text, font.Height, pieces);
}

const TextCoverage* RasterCanvas::KeptCoverage(std::uint64_t key, int& pieces) const {
    const auto found = masks_.find(key);
    if (found == masks_.end() || !Current(found->second)) return nullptr;
    pieces = found->second.Count;
    return found->second.Pieces.data();
}

ReadyNames::ReadyNames(const Canvas& canvas, const FontSpec& font, bool manyNames)
    : canvas_(canvas), raster_(dynamic_cast<const RasterCanvas*>(&canvas)) {
    // Only another canvas needs the font, to be asked name by name: no copy of the face for
    // the raster canvas's own one-name look-ups.
    if (raster_ == nullptr) {
        font_ = font;
        return;
    }
    if (manyNames) seen_ = std::make_unique<std::array<Seen, SEEN>>();
    available_ = FontCells::Available();
    face_ = FaceAt(raster_->faces_, font.Face);
    clip_ = raster_->Clip();
}

const TextCoverage* RasterCanvas::Coverage(int x, int y, std::string_view text,
                                           const FontSpec& font, int& pieces) {
    pieces = 0;
    if (text.empty() || !FontCells::Available()) return nothing_.Pieces.data();
    const Mask* found = CoverageAt(x, y, text, font, false, nullptr);
    if (found == nullptr) return nullptr;
    pieces = found->Count;
    return found->Pieces.data();
}

}  // namespace tarsel
