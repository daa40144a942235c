#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "render/Canvas.h"

namespace tarsel {

// Blends text coverages in one colour: each byte p of a pixel under coverage a becomes
// (p (255 - a) + c a + 127) / 255. Made once for a batch of names and inlined where they are
// drawn: most names of a pass cover a few pixels on a line or two, and a call with its set-up
// for each piece would cost more than the blend itself.
class CoverageBlender {
  public:
    explicit CoverageBlender(Rgb colour)
        : b_(colour.B & 0xFF), g_(colour.G & 0xFF), r_(colour.R & 0xFF) {
#if defined(__x86_64__)
        const auto s = [](unsigned v) { return static_cast<short>(v); };
        low_ = _mm_setr_epi16(s(b_), s(g_), s(r_), s(b_), s(g_), s(r_), s(b_), s(g_));
        high_ = _mm_setr_epi16(s(r_), s(b_), s(g_), s(r_), s(b_), s(g_), s(r_), s(b_));
#endif
    }

    // As BlendCoverageLines; in line even where the compiler would rather call it.
    [[gnu::always_inline]] void Lines(std::uint8_t* top, std::int64_t stride, const TextCoverage& c,
                                      int firstLine, int lines, std::int64_t x, std::int64_t lo,
                                      std::int64_t hi, int lineStep = 1) const {
        const std::int64_t left = x + c.Left;
        const std::int64_t from = left < lo ? lo : left;
        const std::int64_t to = left + c.Width > hi ? hi : left + c.Width;
        if (from >= to || lines <= 0) return;
        const std::uint8_t* alpha =
            c.Alpha + static_cast<std::int64_t>(firstLine) * c.Width + (from - left);
        const std::uint8_t* alphaEnd =
            c.Alpha + static_cast<std::int64_t>(c.Width) * static_cast<std::int64_t>(c.Height);
        const std::int64_t alphaStride = std::int64_t{c.Width} * lineStep;
        const std::int64_t n = to - from, room = hi - from;
        std::uint8_t* p = top + 3 * from;
        for (int line = 0; line < lines; ++line, p += stride, alpha += alphaStride) {
            std::int64_t i = 0;
#if defined(__x86_64__)
            // Five pixels a step, read and written as 16 bytes: the 16th, and the pixels past
            // the last, are blended with no coverage and so written back as they were. `room`:
            // the pixels from p on that may be read and written back.
            for (; i < n && i + 5 < room; i += 5)
                Five(p + 3 * i, alpha + i, alphaEnd, std::min<std::int64_t>(5, n - i));
#endif
            Plain(p + 3 * i, alpha + i, n - i);
        }
    }

  private:
    // No branch per pixel: a coverage of 0 gives the pixel back as it was.
    void Plain(std::uint8_t* p, const std::uint8_t* alpha, std::int64_t n) const {
        for (std::int64_t i = 0; i < n; ++i, p += 3) {
            const unsigned a = alpha[i];
            p[0] = static_cast<std::uint8_t>((p[0] * (255 - a) + b_ * a + 127) / 255);
            p[1] = static_cast<std::uint8_t>((p[1] * (255 - a) + g_ * a + 127) / 255);
            p[2] = static_cast<std::uint8_t>((p[2] * (255 - a) + r_ * a + 127) / 255);
        }
    }

#if defined(__x86_64__)
    // k (1 .. 5) pixels at `at` under the coverages from alpha on. Each 16-bit lane holds
    // p * (255 - a) + c * a + 127 <= 65152, and (v * 0x8081) >> 23 is v / 255 for every
    // 16-bit v.
    void Five(std::uint8_t* at, const std::uint8_t* alpha, const std::uint8_t* alphaEnd,
              std::int64_t k) const {
        std::uint64_t bits = 0;
        if (alphaEnd - alpha >= 8) {
            std::memcpy(&bits, alpha, 8);
        } else {
            for (std::int64_t j = 0; j < k; ++j)
                bits |= std::uint64_t{alpha[j]} << (8 * j);
        }
        bits &= ~std::uint64_t{0} >> (64 - 8 * k);
        const __m128i zero = _mm_setzero_si128();
        // The five coverages as words a0 .. a4, each spread over its pixel's three bytes:
        // a0 a0 a0 a1 a1 a1 a2 a2 | a2 a3 a3 a3 a4 a4 a4 0.
        const __m128i words =
            _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(bits)), zero);
        const __m128i twice = _mm_unpacklo_epi64(words, words);
        const __m128i alphaLow =
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(twice, 0x40), 0xA5);  // 0001 | 1122
        const __m128i alphaHigh =
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, 0xFE), 0x40);  // 2333 | 4440
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i lo = Blend(_mm_unpacklo_epi8(pixels, zero), alphaLow, low_);
        const __m128i hi = Blend(_mm_unpackhi_epi8(pixels, zero), alphaHigh, high_);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(lo, hi));
    }
    static __m128i Blend(__m128i px, __m128i al, __m128i c) {
        const __m128i full = _mm_set1_epi16(255), half = _mm_set1_epi16(127);
        const __m128i v = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(px, _mm_sub_epi16(full, al)), _mm_mullo_epi16(c, al)),
            half);
        return _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
    }

    __m128i low_, high_;  // the colour's bytes as words, in the order of five pixels' bytes
#endif
    unsigned b_, g_, r_;
};

}  // namespace tarsel
