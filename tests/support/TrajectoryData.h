#pragma once

#include <string>
#include <vector>

#include "workspace/Workspace.h"

namespace tarsel::test {

// Trajectory bytes of frames whose records tell where they come from: molecule i of frame k
// has Number i + 1, mass centre (k, i, 0.5) and the identity quaternion.
std::string LabelledFrames(int molecules, int frames);

// The record LabelledFrames writes for molecule i of frame k.
MoleculePose LabelledPose(int molecule, int frame);

}  // namespace tarsel::test
