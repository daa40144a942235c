#pragma once

#include <cstdint>
#include <string>

#include "app/Viewer.h"

namespace tarsel::cli {

// Why the movie cannot go to `output`, or nothing: a pipe or socket (the headers are written
// back into), or the workspace or trajectory being recorded.
std::string MovieFileProblem(Viewer& viewer, const std::string& output);

// Why frame n cannot be recorded although it was there when the movie started, or nothing: the
// trajectory has been cut short since.
std::string FrameGoneProblem(Viewer& viewer, std::int64_t n);

}  // namespace tarsel::cli
