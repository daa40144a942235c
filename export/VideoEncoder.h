#pragma once

#include <memory>
#include <string>

#include "export/MovieWriter.h"

namespace tarsel {

// An encoded movie through FFmpeg's libraries: MP4 (H.264, yuv420p, index at the front), WebM
// (VP9, yuv420p), GIF (a palette per frame from its own colours, dithered) or a numbered PNG
// per frame. yuv420p wants even sizes, so an odd width or height gets one more column or row
// of the settings' pad colour. Nothing when the file cannot be made or this FFmpeg lacks the
// encoder, with the reason in *problem.
std::unique_ptr<MovieWriter> OpenVideoEncoder(const std::string& path, MovieFormat format,
                                              const MovieSettings& settings, std::string* problem);

}  // namespace tarsel
