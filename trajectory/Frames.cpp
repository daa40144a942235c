#include "trajectory/Frames.h"

#include <algorithm>

#include "workspace/BodyFrame.h"
#include "workspace/Numeric.h"

namespace tarsel {

int TrackBarPosition(std::int32_t n, std::int32_t frameCount) {
    if (frameCount <= 0) return 0;
    const double position = (n + 1.0) / frameCount * 500.0;
    return std::clamp(Trunc(position), 0, TRACK_BAR_MAX);
}

std::int32_t TrackBarFrame(int position, std::int32_t frameCount) {
    return Trunc(position * static_cast<double>(frameCount) * 0.002);
}

std::size_t ReadPoses(TrajectoryFile& file, Workspace& ws) {
    const int count = std::clamp(ws.MoleculeCount(), 0, MAX_MOLECULES);
    return file.Read(ws.Poses.data(), sizeof(MoleculePose) * static_cast<std::size_t>(count));
}

void PlaceActiveMolecules(Workspace& ws) {
    for (int i = 0; i <= ws.LastMolecule; ++i) {
        if (ws.Molecules[i].Active) PlaceMolecule(ws.Molecules[i], ws.Bodies[i], ws.Poses[i]);
    }
}

}  // namespace tarsel
