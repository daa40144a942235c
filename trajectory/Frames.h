#pragma once

#include <cstdint>

#include "trajectory/TrajectoryFile.h"
#include "workspace/Workspace.h"

namespace tarsel {

inline constexpr int TRACK_BAR_MAX = 500;

// Position of the progress track bar (0..500) after frame n has been read:
// trunc((n + 1) / FrameCount x 500). Without frames the bar stays at 0.
int TrackBarPosition(std::int32_t n, std::int32_t frameCount);

// The frame that a track bar position chooses: trunc(position x FrameCount x 0.002).
std::int32_t TrackBarFrame(int position, std::int32_t frameCount);

// Reads the records of the frame at the stream's position into the pose table, one block of
// 64 x N bytes. Bytes the file does not supply keep what they held. Returns the bytes read.
std::size_t ReadPoses(TrajectoryFile& file, Workspace& ws);

// Places the atoms of every active molecule by its pose; passive molecules stay put.
void PlaceActiveMolecules(Workspace& ws);

}  // namespace tarsel
