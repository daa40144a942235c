#include "app/cli/TimeLeft.h"

#include <cmath>

#include "workspace/CText.h"

namespace tarsel::cli {

std::string TimeLeft(double framesLeft, double framesPerSecond) {
    constexpr double kLongest = 100 * 3600;
    // The estimate stays a double until it is known to fit: a stalled rate gives huge values.
    const double seconds = framesLeft / framesPerSecond;
    if (!(framesPerSecond > 0) || !std::isfinite(seconds) || seconds < 0 || seconds >= kLongest)
        return "--:--";
    const int left = static_cast<int>(seconds + 0.5);
    return CFormat("%d:%02d", left / 60, left % 60);
}

}  // namespace tarsel::cli
