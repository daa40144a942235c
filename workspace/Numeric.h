#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tarsel {

// Truncation toward zero into a 32-bit integer, the rule for every pixel coordinate, radius and
// font height. Values beyond the range saturate and NaN gives 0, so no garbage input can reach
// an undefined conversion.
constexpr std::int32_t Trunc(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace tarsel
