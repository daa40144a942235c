#pragma once

#include <vector>

#include "workspace/Workspace.h"

// The two drivers of the camera over time: the held and coasting motion keys, stepped by the
// key motion timer, and the camera programme, stepped by the render pass as the simulation time
// moves on. Both use the step values and rotation triples kept in the workspace.

namespace tarsel {

// Step limits of the key motion.
inline constexpr double TURN_STEP_MIN = 0.001;
inline constexpr double TURN_STEP_MAX = 0.01;
inline constexpr double ROLL_STEP_MIN = 0.005;
inline constexpr double ROLL_STEP_MAX = 0.04;
inline constexpr double MOVE_STEP_MIN = 0.2;
inline constexpr double MOVE_STEP_MAX = 3.0;

// The camera operation of a motion key (its step as the workspace holds it now).
void ApplyMotionKey(Workspace& ws, MotionKey key);

// One tick of the key motion timer without its render pass: held arrows (growth before the
// turn), held A, D, Q, E (roll before the growth), held W and S, then the coasting keys.
void KeyMotionStep(Workspace& ws);

// "Smooth Motion": each tick of the key motion split into Parts() sub-ticks on a clock that many
// times finer. The first sub-tick of a tick takes the tick's steps, growth and coasting as
// KeyMotionStep does; every sub-tick then applies each of the tick's camera operations by
// 1 / Parts() of its angle or distance. The speed and its rise and fall over time are those of
// the ticks; after Parts() sub-ticks one key moves the camera as one tick does, up to rounding.
// Keys held together take their parts in turn, a finer path than the whole steps one after
// the other.
class KeyMotionSubSteps {
  public:
    explicit KeyMotionSubSteps(int parts);
    int Parts() const { return parts_; }
    void Step(Workspace& ws);
    // Sub-ticks of the tick are left, or a key is held or coasting.
    bool Pending(const Workspace& ws) const;
    // The rest of the tick at once, so that the camera stands where the ticks leave it; false
    // when no tick was under way.
    bool Finish(Workspace& ws);
    // Drops the rest of the tick (the camera was put back).
    void Clear();

  private:
    struct Op {
        MotionKey Key;
        double Amount;  // the signed angle or distance of the whole tick
    };
    void ApplyPart(Workspace& ws, const Op& op) const;

    int parts_;
    int done_ = 0;  // sub-ticks of the tick taken
    std::vector<Op> ops_;
};

// A motion key is held or coasting: the next tick of the key motion timer moves the camera.
bool KeyMotionPending(const Workspace& ws);

// The programme's actions, as the combo boxes list them.
enum class ProgrammeAction {
    None,
    Forward,
    Backward,
    RotateLeft,
    RotateRight,
    BankLeft,
    BankRight
};

// One step of the camera programme when the simulation time has moved on by the programme
// interval in the playing direction: each row whose end lies ahead applies its action once.
void CameraProgrammeStep(Workspace& ws);

}  // namespace tarsel
