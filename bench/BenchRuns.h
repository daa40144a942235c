#pragma once

#include <string>

namespace tarsel::bench {

// The largest workspace (500 molecules of 100 atoms, 20 frames) written once per process into
// a temporary folder that lives as long as the process; returns its base path.
const std::string& LargestWorkspaceBase();

// The bundled example, Examples/water.tsw.
std::string WaterExample();

}  // namespace tarsel::bench
