#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "workspace/Workspace.h"

namespace tarsel {

// Calls bond(j) for each j < atoms whose mark in the row is not '0', in order. Most of a row
// says "no bond", and a pass reads every row of every listed atom, so the row is compared 16
// (or 8) marks at a time.
template <typename Bond>
void ForEachBond(const std::array<char, MAX_ATOMS>& row, int atoms, Bond bond) {
    int j = 0;
#if defined(__SSE2__)
    const __m128i none = _mm_set1_epi8('0');
    for (; j + 16 <= atoms; j += 16) {
        const __m128i marks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&row[j]));
        for (unsigned bits = ~_mm_movemask_epi8(_mm_cmpeq_epi8(marks, none)) & 0xFFFFu; bits != 0;
             bits &= bits - 1)
            bond(j + std::countr_zero(bits));
    }
#endif
    static_assert(std::endian::native == std::endian::little);
    for (; j + 8 <= atoms; j += 8) {
        std::uint64_t w;
        std::memcpy(&w, &row[j], sizeof w);
        w ^= 0x3030303030303030ULL;  // "00000000"
        constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7FULL;
        // Byte k's top bit is set when mark k is not '0'.
        for (std::uint64_t bits = (((w & LOW7) + LOW7) | w) & ~LOW7; bits != 0; bits &= bits - 1)
            bond(j + std::countr_zero(bits) / 8);
    }
    for (; j < atoms; ++j) {
        if (row[j] != '0') bond(j);
    }
}

}  // namespace tarsel
