#pragma once

// A decimal --frame such as 12.5: the molecules in between two frames of the trajectory.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/Viewer.h"

namespace tarsel::cli {

// Digits, optionally a point and more digits ("12", "12.5"); no sign, comma or other text.
// The whole part is held as WholeNumber holds it; the fraction stays below 1.
bool DecimalFrame(std::string_view text, std::optional<std::int64_t>& whole, double& fraction);

// The frame as the command line gave it, for messages and comments.
std::string FrameText(std::int64_t whole, double fraction);

// Frame whole + fraction, as "Go to Frame" shows a whole frame; an in-between needs the whole
// frame after it. Why it cannot be had, or nothing.
std::string ShowFrameAt(Viewer& viewer, std::int64_t whole, double fraction);

}  // namespace tarsel::cli
