#pragma once

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
