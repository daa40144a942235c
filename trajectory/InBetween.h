#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "trajectory/TrajectoryFile.h"
#include "workspace/Workspace.h"

namespace tarsel {

// The whole frames read last, so that a played sequence of in-between frames reads every frame
// of the file once. Reads go straight to the file; no whole trajectory is ever held.
class FrameCache {
  public:
    // Enough for the four frames one in-between needs and the two its neighbours add.
    static constexpr int SLOTS = 6;

    // The N records of whole frame n, read from the file unless they are held already; null
    // when the file does not supply the whole frame.
    const MoleculePose* Frame(TrajectoryFile& file, std::int32_t n, int moleculeCount);
    // Forgets every frame held: a new trajectory or workspace.
    void Clear();
    // Frames read from the file since construction.
    std::int64_t FramesRead() const { return framesRead_; }

  private:
    struct Slot {
        std::int32_t Frame = -1;
        int MoleculeCount = 0;
        std::uint64_t LastUse = 0;
        std::vector<MoleculePose> Poses;
    };
    std::array<Slot, SLOTS> slots_;
    std::uint64_t clock_ = 0;
    std::int64_t framesRead_ = 0;
};

// One molecule's pose at t (0 <= t < 1) between its record a of frame f and b of frame f + 1.
// before and after are its records of frames f - 1 and f + 2, or null where those frames do
// not exist. The centre follows the Catmull-Rom curve through the four when all are there,
// else the line from a to b; the orientation turns along the shorter arc between the
// normalised quaternions. A centre that moves by more than halfEdge between two frames went
// through a wall: a and b are then not joined (a's pose until t = 0.5, then b's), and such a
// neighbour is left out of the curve. At t = 0 the result is a itself.
MoleculePose InBetweenPose(const MoleculePose* before, const MoleculePose& a, const MoleculePose& b,
                           const MoleculePose* after, double t, double halfEdge);

// Puts the pose table at frame f + t (0 <= t < 1) and places the active molecules by it;
// passive molecules stay put. Frames f - 1 .. f + 2 come through the cache; beyond the last
// whole frame, frame f is held. At t = 0 the table holds frame f's records as read. False,
// with nothing changed, when frame f cannot be read whole.
bool PlaceInBetween(Workspace& ws, FrameCache& cache, TrajectoryFile& file, std::int32_t f,
                    double t);

}  // namespace tarsel
