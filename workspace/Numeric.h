#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarsel {

// Truncation toward zero into a 32-bit integer, the rule for every pixel coordinate, radius and
// font height. Values beyond the range saturate and NaN gives 0, so no garbage input can reach
// an undefined conversion.
constexpr std::int32_t Trunc(double v) {
#if defined(__SSE2__)
    // The processor's conversion gives INT_MIN for NaN and for anything out of range, so one
    // test that is almost never true sends the rare cases the long way; a pass truncates a
    // dozen values per atom.
    if (!std::is_constant_evaluated()) {
        const std::int32_t r = _mm_cvttsd_si32(_mm_set_sd(v));
        if (r != std::numeric_limits<std::int32_t>::min()) [[likely]]
            return r;
    }
#endif
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace tarsel
