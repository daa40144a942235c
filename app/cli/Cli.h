#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarsel {

// The headless tool: runs the viewer's own operations without a display. Returns the exit
// status: 0 done, 1 the workspace could not be loaded, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarsel
