#pragma once

#include <string>

namespace tarsel::cli {

// The time left of a movie as its progress line shows it, "m:ss"; "--:--" while the rate gives
// no sensible estimate (no rate yet, or more than 100 hours).
std::string TimeLeft(double framesLeft, double framesPerSecond);

}  // namespace tarsel::cli
