#include "render/ShadedBalls.h"

#include <algorithm>
#include <cmath>

#include "render/CoverageBlend.h"
#include "render/RasterCanvas.h"
#include "render/ShadedKernel.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace shading {

bool ShadePixel(const ShadingTerms& t, const BallRaster& b, std::int64_t i, std::int64_t j,
                std::uint8_t bgr[3]) {
    const double R = b.R, w = b.W;
    const double g =
        R * R - static_cast<double>(j * j) * w * w - static_cast<double>(i * i) * w * w;
    if (!(g > 0)) return false;  // outside the ball (and no ball at all when g is NaN)
    const double h = std::sqrt(g);
    const Vec3 S =
        b.P + (static_cast<double>(j) * w) * t.V1 + (static_cast<double>(i) * w) * t.V2 + h * t.V3;
    const Vec3 toS = S - t.V0;
    const double toSLength = Length(toS);
    const Vec3 E{toS.x / toSLength, toS.y / toSLength, toS.z / toSLength};
    const Vec3 out = S - b.P;
    const double outLength = Length(out);
    const Vec3 n{out.x / outLength, out.y / outLength, out.z / outLength};
    double d = Dot(E, n);
    if (d < 0) d = 0;
    const Vec3 half = E - t.Light;
    const double halfLength = Length(half);
    const Vec3 H{half.x / halfLength, half.y / halfLength, half.z / halfLength};
    double k = Dot(n, H);
    if (k < 0) k = 0;
    const double sp = t.Reflect * std::pow(k, 7);
    for (int c = 0; c < 3; ++c) {
        int value = Trunc(((t.Diffuse * d + t.Stray) * b.Colour[c] + sp) * 255);
        if (value > 255) value = 255;
        // Negative coefficients could give negative values; a byte cannot wrap them round.
        if (value < 0) value = 0;
        bgr[2 - c] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::int64_t HalfSpan(const BallRaster& b, std::int64_t i) {
    const double R = b.R, w = b.W;
    const double gi = static_cast<double>(i * i) * w * w;
    const auto inside = [&](std::int64_t j) {
        return R * R - static_cast<double>(j * j) * w * w - gi > 0;
    };
    if (!inside(0)) return -1;
    // g falls as j * j grows, so the columns inside run from -h to h. A square root finds h
    // to within a column or two; the exact test settles it, by halving if the guess is poor.
    const double guess = std::sqrt((R * R - gi) / (w * w));
    std::int64_t h = guess >= 0 && guess < static_cast<double>(b.Radius)
                         ? static_cast<std::int64_t>(guess)
                         : b.Radius;
    for (int tries = 0; tries < 4; ++tries) {
        if (!inside(h)) {
            --h;
        } else if (h < b.Radius && inside(h + 1)) {
            ++h;
        } else {
            return h;
        }
    }
    std::int64_t lo = 0, hi = b.Radius;  // inside(lo); the answer is in lo .. hi
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (inside(mid)) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return lo;
}

}  // namespace shading

namespace {

shading::RowsKernel KernelFunction(ShadingKernel kernel) {
    switch (kernel) {
#if defined(TARSEL_X86_KERNELS)
        case ShadingKernel::Sse2:
            return shading::RowsSse2;
        case ShadingKernel::Avx2:
            return shading::RowsAvx2;
        case ShadingKernel::Avx512:
            return shading::RowsAvx512;
#endif
        default:
            return shading::RowsPortable;
    }
}

// Below this many pixels a stretch of balls is drawn on the calling thread: waking the
// workers would cost more.
constexpr double PARALLEL_PIXELS = 20000;
// Balls made on one thread below twice this many.
constexpr int ITEMS_PER_BAND = 2000;

double SquarePixels(const BallRaster& b) {
    const double side = 2 * static_cast<double>(std::min<std::int64_t>(b.Radius, SCENE_SIZE)) + 1;
    return b.Radius > 0 ? side * side : 0;
}

}  // namespace

ShadingTerms ShadingTermsOf(const Workspace& ws) {
    const CameraFrame& c = ws.Camera;
    return {c.V0,
            c.V1,
            c.V2,
            c.V3,
            ws.LightPosition,
            ws.DiffuseCoefficient,
            ws.ReflectCoefficient,
            ws.StrayCoefficient};
}

void DrawShadedBallPlain(const ShadingTerms& terms, const BallRaster& ball, Canvas& canvas) {
    const std::int64_t rp = ball.Radius;
    if (rp <= 0) return;
    for (std::int64_t i = -rp; i <= rp; ++i) {
        const std::int64_t y = ball.Cy - i;
        if (y < 0 || y > SCENE_SIZE - 1) continue;
        std::uint8_t* row = canvas.Row(static_cast<int>(y));
        for (std::int64_t j = -rp; j <= rp; ++j) {
            std::uint8_t bgr[3];
            if (!shading::ShadePixel(terms, ball, i, j, bgr)) continue;
            const std::int64_t x = ball.Cx + j;
            if (x < 0 || x > SCENE_SIZE - 1) continue;
            row[3 * x] = bgr[0];
            row[3 * x + 1] = bgr[1];
            row[3 * x + 2] = bgr[2];
        }
    }
}

std::vector<ShadingKernel> AvailableKernels() {
    std::vector<ShadingKernel> kernels{ShadingKernel::Portable};
#if defined(TARSEL_X86_KERNELS)
    kernels.push_back(ShadingKernel::Sse2);
    __builtin_cpu_init();  // this may run before the constructors that would do it
    if (__builtin_cpu_supports("avx2")) kernels.push_back(ShadingKernel::Avx2);
    if (__builtin_cpu_supports("avx512f")) kernels.push_back(ShadingKernel::Avx512);
#endif
    return kernels;
}

std::string_view KernelName(ShadingKernel kernel) {
    switch (kernel) {
        case ShadingKernel::Sse2:
            return "SSE2";
        case ShadingKernel::Avx2:
            return "AVX2";
        case ShadingKernel::Avx512:
            return "AVX-512";
        default:
            return "portable";
    }
}

ShadedBalls::ShadedBalls(int bands) : ShadedBalls(bands, AvailableKernels().back()) {}

ShadedBalls::ShadedBalls(int bands, ShadingKernel kernel) : workers_(bands), kernel_(kernel) {}

void ShadedBalls::FetchRows(Canvas& canvas) {
    const Rect& shown = canvas.ShownArea();
    clip_ = {std::max(shown.Left, 0), std::max(shown.Top, 0), std::min(shown.Right, SCENE_SIZE),
             std::min(shown.Bottom, SCENE_SIZE)};
    rows_.resize(SCENE_SIZE);
    for (int y = 0; y < SCENE_SIZE; ++y)
        rows_[y] = canvas.Row(y);
    rowStride_ = EvenRowStride(rows_.data(), SCENE_SIZE);
}

void ShadedBalls::DrawItems(const ShadingTerms& terms, std::size_t from, std::size_t to,
                            bool serial) {
    const shading::RowsKernel kernel = KernelFunction(kernel_);
    const int bands = serial ? 1 : workers_.Bands();
    std::uint8_t* const* rows = rows_.data();
    // The first row at or after y that belongs to the band.
    const auto firstOfBand = [bands](std::int64_t y, int band) {
        return y + ((band - y) % bands + bands) % bands;
    };
    // Only the shown part of the bitmap is drawn.
    const Rect clip = clip_;
    auto job = [&](int band) {
        const CoverageBlender blender({0, 0, 0});
        for (std::size_t k = from; k < to; ++k) {
            const Item& item = items_[k];
            const BallRaster& b = item.Ball;
            if (b.Radius > 0 && b.Cx + b.Radius >= clip.Left && b.Cx - b.Radius < clip.Right) {
                const std::int64_t first = std::max<std::int64_t>(b.Cy - b.Radius, clip.Top);
                const std::int64_t last = std::min<std::int64_t>(b.Cy + b.Radius, clip.Bottom - 1);
                if (first <= last)
                    kernel(terms, b, rows, firstOfBand(first, band), last, bands, clip.Left,
                           clip.Right - 1);
            }
            for (int piece = 0; piece < item.Pieces; ++piece) {
                const TextCoverage& c = item.Coverage[piece];
                const std::int64_t top = std::int64_t{item.NameY} + c.Top;
                const std::int64_t end = std::min<std::int64_t>(top + c.Height, clip.Bottom);
                const std::int64_t y0 = firstOfBand(std::max<std::int64_t>(top, clip.Top), band);
                if (y0 >= end) continue;
                if (rowStride_ != 0) {
                    // The band's lines in one call: every bands-th row and line.
                    blender.Lines(rows[y0], rowStride_ * bands, c, static_cast<int>(y0 - top),
                                  static_cast<int>((end - y0 + bands - 1) / bands), item.NameX,
                                  clip.Left, clip.Right, bands);
                    continue;
                }
                for (std::int64_t y = y0; y < end; y += bands)
                    blender.Lines(rows[y], 0, c, static_cast<int>(y - top), 1, item.NameX,
                                  clip.Left, clip.Right);
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
}

void ShadedBalls::DrawBalls(const ShadingTerms& terms, std::span<const BallRaster> balls,
                            Canvas& canvas) {
    FetchRows(canvas);
    items_.resize(balls.size());
    double pixels = 0;
    for (std::size_t k = 0; k < balls.size(); ++k) {
        items_[k] = Item{};
        items_[k].Ball = balls[k];
        pixels += SquarePixels(balls[k]);
    }
    DrawItems(terms, 0, items_.size(), pixels < PARALLEL_PIXELS);
}

void ShadedBalls::DrawShadedBalls(const Workspace& ws, std::span<const ListedAtom> atoms,
                                  Canvas& canvas, FontSpec& labelFont) {
    DrawAtoms(
        ws, atoms.size(),
        [atoms](std::size_t k) {
            return std::pair<const ListedAtom&, const ListedAtom&>(atoms[k], atoms[k]);
        },
        canvas, labelFont);
}

void ShadedBalls::DrawShadedBalls(const Workspace& ws, const VisibleAtomList& list,
                                  const std::vector<AtomRecord>& records, Canvas& canvas,
                                  FontSpec& labelFont) {
    const auto count = static_cast<std::size_t>(list.Count());
    // The records lie all over the table: each is fetched ahead of its turn.
    constexpr std::size_t AHEAD = 16;
    const auto atom = [&list, &records, count](std::size_t k) {
        if (k + AHEAD < count) {
            const VisibleAtom& next = list[static_cast<int>(count - 1 - (k + AHEAD))];
            __builtin_prefetch(&records[next.Molecule * MAX_ATOMS + next.Atom]);
        }
        const VisibleAtom& e = list[static_cast<int>(count - 1 - k)];
        return std::pair<const AtomRecord&, const VisibleAtom&>(
            records[e.Molecule * MAX_ATOMS + e.Atom], e);
    };
    DrawAtoms(ws, count, atom, canvas, labelFont);
}

template <typename AtomAt>
void ShadedBalls::DrawAtoms(const Workspace& ws, std::size_t count, AtomAt atomAt, Canvas& canvas,
                            FontSpec& labelFont) {
    canvas.SetBrush(ws.BackgroundColour);
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.ReleaseCoverages();
    FetchRows(canvas);
    const ShadingTerms terms = ShadingTermsOf(ws);
    const double fontScale = ws.Projection.FontScale;
    items_.resize(count);
    const auto nameHeight = [&](double factor) {
        return Trunc(Trunc(factor) * fontScale + 3 * pixelScale_);
    };
    // The balls, and the names whose pieces the canvas has ready, on the bands.
    workers_.ForRanges(static_cast<int>(count), ITEMS_PER_BAND, [&](int, int from, int to) {
        ReadyNames ready(canvas, labelFont);
        for (int k = from; k < to; ++k) {
            const auto [atom, at] = atomAt(static_cast<std::size_t>(k));
            Item& item = items_[k];
            // Every field set one by one: zeroing the whole item first costs more than the
            // ball itself.
            item.Coverage = nullptr;
            item.Pieces = 0;
            item.NameX = item.NameY = 0;
            PlaceBall(item.Ball, atom.P, atom.R, atom.Colour, atom.Factor, at.sx, at.sy,
                      ws.HalfAtomRadius, centreX_, centreY_);
            if (!ws.ShowAtomNames) continue;
            item.NameX = static_cast<std::int32_t>(item.Ball.Cx);
            item.NameY = static_cast<std::int32_t>(item.Ball.Cy);
            item.Coverage = ready.Find(item.NameX, item.NameY, atom.Name.View(),
                                       nameHeight(atom.Factor), item.Pieces);
        }
    });
    // The balls are drawn in stretches; a name that the canvas must draw itself ends one, and
    // with it the pieces found ready, which are looked up again.
    std::size_t from = 0;
    double pixels = 0;
    bool ready = true;
    for (std::size_t k = 0; k < items_.size(); ++k) {
        Item& item = items_[k];
        pixels += SquarePixels(item.Ball);
        if (!ws.ShowAtomNames || (ready && item.Coverage != nullptr)) continue;
        const auto [atom, at] = atomAt(k);
        labelFont.Height = nameHeight(atom.Factor);
        const AtomName& name = atom.Name;
        item.Coverage =
            canvas.Coverage(item.NameX, item.NameY, name.View(), labelFont, item.Pieces);
        if (item.Coverage != nullptr) continue;
        DrawItems(terms, from, k + 1, pixels < PARALLEL_PIXELS);
        canvas.Text(item.NameX, item.NameY, name.View(), labelFont, {0, 0, 0});
        ready = false;
        from = k + 1;
        pixels = 0;
    }
    // The font is left as the last name's, looked up here or not.
    if (ws.ShowAtomNames && count > 0)
        labelFont.Height = nameHeight(atomAt(count - 1).first.Factor);
    DrawItems(terms, from, items_.size(), pixels < PARALLEL_PIXELS);
    canvas.ReleaseCoverages();
}

}  // namespace tarsel
