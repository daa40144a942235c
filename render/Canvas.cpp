#include "render/Canvas.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tarsel {

namespace {

// No branch per pixel: a coverage of 0 gives the pixel back as it was ((p * 255 + 127) / 255
// is p), and small glyphs are half empty, in no pattern a branch predictor could follow.
void BlendPlain(std::uint8_t* p, const std::uint8_t* alpha, std::int64_t n, Rgb colour) {
    const unsigned b = colour.B & 0xFF, g = colour.G & 0xFF, r = colour.R & 0xFF;
    for (std::int64_t i = 0; i < n; ++i, p += 3) {
        const unsigned a = alpha[i];
        p[0] = static_cast<std::uint8_t>((p[0] * (255 - a) + b * a + 127) / 255);
        p[1] = static_cast<std::uint8_t>((p[1] * (255 - a) + g * a + 127) / 255);
        p[2] = static_cast<std::uint8_t>((p[2] * (255 - a) + r * a + 127) / 255);
    }
}

#if defined(__x86_64__)
const bool HAS_SSSE3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}();

// Five pixels a step, read and written as 16 bytes: the 16th, and the pixels past the last,
// are blended with no coverage and so written back as they were. Each 16-bit lane holds
// p * (255 - a) + c * a + 127 <= 65152, and (v * 0x8081) >> 23 is v / 255 for every 16-bit v.
// `room`: the pixels from a row's p on that may be read and written back. Lines of pixels
// `stride` bytes apart take lines of coverage `alphaStride` bytes apart; the pixels the steps
// leave at a line's end are blended one by one.
__attribute__((target("ssse3"))) void BlendSsse3(std::uint8_t* p, std::int64_t stride,
                                                 const std::uint8_t* alpha,
                                                 std::int64_t alphaStride,
                                                 const std::uint8_t* alphaEnd, std::int64_t lines,
                                                 std::int64_t n, std::int64_t room, Rgb colour) {
    const int b = colour.B & 0xFF, g = colour.G & 0xFF, r = colour.R & 0xFF;
    const __m128i low = _mm_setr_epi16(
        static_cast<short>(b), static_cast<short>(g), static_cast<short>(r), static_cast<short>(b),
        static_cast<short>(g), static_cast<short>(r), static_cast<short>(b), static_cast<short>(g));
    const __m128i high = _mm_setr_epi16(
        static_cast<short>(r), static_cast<short>(b), static_cast<short>(g), static_cast<short>(r),
        static_cast<short>(b), static_cast<short>(g), static_cast<short>(r), static_cast<short>(b));
    const __m128i spread = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, -1);
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255), half = _mm_set1_epi16(127);
    const __m128i by255 = _mm_set1_epi16(static_cast<short>(0x8081));
    const auto blend = [&](__m128i px, __m128i al, __m128i c) {
        const __m128i v = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(px, _mm_sub_epi16(full, al)), _mm_mullo_epi16(c, al)),
            half);
        return _mm_srli_epi16(_mm_mulhi_epu16(v, by255), 7);
    };
    for (std::int64_t line = 0; line < lines; ++line, p += stride, alpha += alphaStride) {
        std::int64_t i = 0;
        for (; i < n && i + 5 < room; i += 5) {
            const std::int64_t k = std::min<std::int64_t>(5, n - i);
            std::uint64_t bits = 0;
            if (alphaEnd - (alpha + i) >= 8) {
                std::memcpy(&bits, alpha + i, 8);
            } else {
                for (std::int64_t j = 0; j < k; ++j)
                    bits |= std::uint64_t{alpha[i + j]} << (8 * j);
            }
            bits &= ~std::uint64_t{0} >> (64 - 8 * k);
            const __m128i a =
                _mm_shuffle_epi8(_mm_cvtsi64_si128(static_cast<long long>(bits)), spread);
            std::uint8_t* at = p + 3 * i;
            const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i lo =
                blend(_mm_unpacklo_epi8(pixels, zero), _mm_unpacklo_epi8(a, zero), low);
            const __m128i hi =
                blend(_mm_unpackhi_epi8(pixels, zero), _mm_unpackhi_epi8(a, zero), high);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(lo, hi));
        }
        BlendPlain(p + 3 * i, alpha + i, n - i, colour);
    }
}
#endif

}  // namespace

void BlendCoverageLines(std::uint8_t* top, std::int64_t stride, const TextCoverage& c,
                        int firstLine, int lines, std::int64_t x, Rgb colour, std::int64_t lo,
                        std::int64_t hi, int lineStep) {
    const std::int64_t left = x + c.Left;
    const std::int64_t from = left < lo ? lo : left;
    const std::int64_t to = left + c.Width > hi ? hi : left + c.Width;
    if (from >= to || lines <= 0) return;
    const std::uint8_t* alpha =
        c.Alpha + static_cast<std::int64_t>(firstLine) * c.Width + (from - left);
    std::uint8_t* p = top + 3 * from;
#if defined(__x86_64__)
    if (HAS_SSSE3) {
        const std::uint8_t* alphaEnd =
            c.Alpha + static_cast<std::int64_t>(c.Width) * static_cast<std::int64_t>(c.Height);
        BlendSsse3(p, stride, alpha, std::int64_t{c.Width} * lineStep, alphaEnd, lines, to - from,
                   hi - from, colour);
        return;
    }
#endif
    for (int line = 0; line < lines; ++line, p += stride, alpha += std::int64_t{c.Width} * lineStep)
        BlendPlain(p, alpha, to - from, colour);
}

std::int64_t EvenRowStride(std::uint8_t* const* rows, int count) {
    if (count < 2) return 0;
    const std::int64_t stride = rows[1] - rows[0];
    for (int y = 2; y < count; ++y) {
        if (rows[y] - rows[y - 1] != stride) return 0;
    }
    return stride;
}

void BlendCoverageSpan(std::uint8_t* row, const TextCoverage& c, int line, std::int64_t x,
                       Rgb colour, std::int64_t lo, std::int64_t hi) {
    BlendCoverageLines(row, 0, c, line, 1, x, colour, lo, hi);
}

void Canvas::Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
                   BandWorkers& /*workers*/) {
    for (const BatchLine& l : lines) {
        if (l.Pen >= 0) SetPen(pens[l.Pen].Colour, pens[l.Pen].Style);
        if (!l.Draw) continue;
        Line(l.X1, l.Y1, l.X2, l.Y2);
        if (l.Both) Line(l.X2, l.Y2, l.X1, l.Y1);
    }
}

void Canvas::LineRuns(std::span<const std::span<const BatchLine>> runs,
                      std::span<const LinePen> pens, BandWorkers& workers) {
    // The pen a run leaves is the one the next starts with.
    for (const std::span<const BatchLine>& run : runs)
        Lines(run, pens, workers);
}

void Canvas::FlatItems(std::span<const FlatItem> items, Rgb outline, Rgb textColour,
                       BandWorkers& /*workers*/) {
    const std::int64_t top = std::max(shown_.Top, 0), bottom = std::min(shown_.Bottom, SCENE_SIZE);
    const std::int64_t left = std::max(shown_.Left, 0), right = std::min(shown_.Right, SCENE_SIZE);
    for (const FlatItem& item : items) {
        if (item.Disc) {
            SetPenColour(outline);
            SetBrush(item.Fill);
            Ellipse(item.X1, item.Y1, item.X2, item.Y2);
        }
        for (int k = 0; k < item.Pieces; ++k) {
            const TextCoverage& c = item.Name[k];
            const std::int64_t y0 = std::int64_t{item.NameY} + c.Top;
            const std::int64_t from = std::max(y0, top), to = std::min(y0 + c.Height, bottom);
            for (std::int64_t y = from; y < to; ++y)
                BlendCoverageSpan(Row(static_cast<int>(y)), c, static_cast<int>(y - y0), item.NameX,
                                  textColour, left, right);
        }
    }
}

}  // namespace tarsel
