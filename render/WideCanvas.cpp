#include "render/WideCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tarsel {

namespace {

// The one-pixel pen's patterns (on, period) along the major axis, as the canvases draw them.
constexpr int DASH_ON = 18, DASH_PERIOD = 24;
constexpr int DOT_ON = 3, DOT_PERIOD = 6;

}  // namespace

WideCanvas::WideCanvas(Canvas& inner, int n, bool growFixed)
    : inner_(inner), n_(std::max(n, 1)), growFixed_(growFixed) {
    shown_ = inner.ShownArea();
}

void WideCanvas::FillRect(const Rect& r, Rgb colour) {
    if (!growFixed_) {
        inner_.FillRect(r, colour);
        return;
    }
    const auto grown = [this](int from, int to) {
        return static_cast<int>(std::clamp<std::int64_t>(
            from + static_cast<std::int64_t>(n_) * (static_cast<std::int64_t>(to) - from),
            -(1LL << 31), (1LL << 31) - 1));
    };
    inner_.FillRect({r.Left, r.Top, grown(r.Left, r.Right), grown(r.Top, r.Bottom)}, colour);
}

void WideCanvas::SetPen(Rgb colour, PenStyle style) {
    pen_ = colour;
    style_ = style;
    inner_.SetPen(colour, style);
}

void WideCanvas::SetPenColour(Rgb colour) {
    pen_ = colour;
    inner_.SetPenColour(colour);
}

void WideCanvas::SetPenStyle(PenStyle style) {
    style_ = style;
    inner_.SetPenStyle(style);
}

void WideCanvas::SetBrush(Rgb colour) {
    brush_ = colour;
    inner_.SetBrush(colour);
}

void WideCanvas::SetShownArea(const Rect& area) {
    Canvas::SetShownArea(area);
    inner_.SetShownArea(area);
}

void WideCanvas::SolidLine(int x1, int y1, int x2, int y2) {
    const bool xMajor = std::abs(static_cast<std::int64_t>(x2) - x1) >=
                        std::abs(static_cast<std::int64_t>(y2) - y1);
    for (int k = 0; k < n_; ++k) {
        const int o = k - (n_ - 1) / 2;
        if (xMajor) {
            inner_.Line(x1, y1 + o, x2, y2 + o);
        } else {
            inner_.Line(x1 + o, y1, x2 + o, y2);
        }
    }
}

void WideCanvas::Line(int x1, int y1, int x2, int y2) {
    if (style_ == PenStyle::Solid) {
        SolidLine(x1, y1, x2, y2);
        return;
    }
    // The pattern n times longer, counted from the start as the one-pixel pen counts it: each
    // dash and gap a solid piece, the gaps in the brush's colour.
    const int on = n_ * (style_ == PenStyle::Dash ? DASH_ON : DOT_ON);
    const int period = n_ * (style_ == PenStyle::Dash ? DASH_PERIOD : DOT_PERIOD);
    const double dx = static_cast<double>(x2) - x1, dy = static_cast<double>(y2) - y1;
    const double length = std::max(std::abs(dx), std::abs(dy));
    const auto at = [&](double s, double from, double d) {
        return static_cast<int>(std::floor(from + s * d / length + 0.5));
    };
    inner_.SetPenStyle(PenStyle::Solid);
    for (double s = 0; s < length; s += period) {
        const double mid = std::min(s + on, length), end = std::min(s + period, length);
        inner_.SetPenColour(pen_);
        SolidLine(at(s, x1, dx), at(s, y1, dy), at(mid, x1, dx), at(mid, y1, dy));
        if (mid < end) {
            inner_.SetPenColour(brush_);
            SolidLine(at(mid, x1, dx), at(mid, y1, dy), at(end, x1, dx), at(end, y1, dy));
        }
    }
    inner_.SetPen(pen_, style_);
}

void WideCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    std::int64_t l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2),
                 b = std::max(y1, y2);
    if (growFixed_) {
        // About the box's centre: (l + r) / 2 + n (l - (l + r) / 2), in halves of a pixel.
        const std::int64_t cx2 = l + r, cy2 = t + b;
        l = (cx2 + n_ * (2 * l - cx2)) / 2;
        r = (cx2 + n_ * (2 * r - cx2)) / 2;
        t = (cy2 + n_ * (2 * t - cy2)) / 2;
        b = (cy2 + n_ * (2 * b - cy2)) / 2;
    }
    const auto clamp = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -(1LL << 31), (1LL << 31) - 1));
    };
    // The outline is the ring between the whole ellipse in the pen's colour and the one
    // n - 1 pixels inside it with the one-pixel outline.
    const int in = n_ - 1;
    inner_.SetBrush(pen_);
    inner_.Ellipse(clamp(l), clamp(t), clamp(r), clamp(b));
    inner_.SetBrush(brush_);
    if (r - l > 2 * in && b - t > 2 * in)
        inner_.Ellipse(clamp(l + in), clamp(t + in), clamp(r - in), clamp(b - in));
}

FontSpec WideCanvas::Grown(const FontSpec& font) const {
    if (!growFixed_) return font;
    return {font.Face, font.Height * n_};
}

void WideCanvas::Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) {
    inner_.Text(x, y, text, Grown(font), colour);
}

const TextCoverage* WideCanvas::Coverage(int x, int y, std::string_view text, const FontSpec& font,
                                         int& pieces) {
    return inner_.Coverage(x, y, text, Grown(font), pieces);
}

const TextCoverage* WideCanvas::ReadyCoverage(int x, int y, std::string_view text,
                                              const FontSpec& font, int& pieces) const {
    return inner_.ReadyCoverage(x, y, text, Grown(font), pieces);
}

void BoxFilter(const QImage& src, const Rect& from, int n, QImage& dst, int dx, int dy) {
    const int w = from.Width() / n, h = from.Height() / n;
    const int area = n * n;
    std::vector<int> sums(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int j = 0; j < n; ++j) {
            const std::uint8_t* row = src.constScanLine(from.Top + y * n + j) + 3 * from.Left;
            for (int x = 0; x < w; ++x) {
                for (int i = 0; i < n; ++i) {
                    const std::uint8_t* p = row + 3 * (x * n + i);
                    sums[3 * x] += p[0];
                    sums[3 * x + 1] += p[1];
                    sums[3 * x + 2] += p[2];
                }
            }
        }
        std::uint8_t* out = dst.scanLine(dy + y) + 3 * dx;
        for (int k = 0; k < 3 * w; ++k)
            out[k] = static_cast<std::uint8_t>((sums[k] + area / 2) / area);
    }
}

}  // namespace tarsel
