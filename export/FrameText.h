#pragma once

#include <string>

#include "workspace/Workspace.h"

namespace tarsel {

// The name "Save as File" writes to: "frame" + the frame box's text as typed + ".txt".
std::string FrameTextFileName(const std::string& frameBoxText);

// The table of one frame's records: an empty first line, the workspace's base path, the
// header, one line per molecule with the raw trajectory values. Lines end with CR LF, as the
// text-mode file of the original did on Windows; the last line has no line end.
std::string FrameText(const std::string& basePath, const MoleculePose* poses, int count);

}  // namespace tarsel
