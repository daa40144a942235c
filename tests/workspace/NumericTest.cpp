#include "workspace/Numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarsel {
namespace {

TEST(Numeric, TruncSaturatesAndSendsNaNToZero) {
    constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double v;
        std::int32_t expected;
    } cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {0.99, 0},
        {-0.99, 0},
        {2.5, 2},
        {-2.5, -2},
        {2147483646.9, 2147483646},
        {2147483647.0, MAX},
        {2147483647.9, MAX},
        {2147483648.0, MAX},
        {1e300, MAX},
        {inf, MAX},
        {-2147483647.9, -2147483647},
        {-2147483648.0, MIN},
        {-2147483648.9, MIN},
        {-2147483649.0, MIN},
        {-1e300, MIN},
        {-inf, MIN},
        {std::nan(""), 0},
    };
    for (const auto& c : cases) {
        volatile double v = c.v;  // the run-time conversion, not the compiler's
        EXPECT_EQ(Trunc(v), c.expected) << c.v;
    }
    static_assert(Trunc(-2147483649.0) == MIN && Trunc(3e9) == MAX && Trunc(-7.9) == -7);
}

}  // namespace
}  // namespace tarsel
