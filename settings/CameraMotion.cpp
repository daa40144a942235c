#include "settings/CameraMotion.h"

#include <cmath>

#include "render/Camera.h"

namespace tarsel {

namespace {

using K = MotionKey;

constexpr int Index(MotionKey key) {
    return static_cast<int>(key);
}

constexpr MotionKey Opposite(MotionKey key) {
    switch (key) {
        case K::Right:
            return K::Left;
        case K::Left:
            return K::Right;
        case K::Up:
            return K::Down;
        case K::Down:
            return K::Up;
        case K::W:
            return K::S;
        case K::S:
            return K::W;
        case K::A:
            return K::D;
        case K::D:
            return K::A;
        case K::Q:
            return K::E;
        case K::E:
            return K::Q;
    }
    return key;
}

// Right, Up, W, A and Q turn, move or roll the positive way.
constexpr bool Positive(MotionKey key) {
    return key == K::Right || key == K::Up || key == K::W || key == K::A || key == K::Q;
}

// The triple of the key's sign for the step angle a.
void Recompute(Workspace& ws, MotionKey key, double a) {
    if (Positive(key)) {
        ws.Rotation.Plus = MakeRotationTriple(a);
    } else {
        ws.Rotation.Minus = MakeRotationTriple(-a);
    }
}

bool Held(const Workspace& ws, MotionKey key) {
    return ws.KeyHeld[Index(key)];
}
bool Coasting(const Workspace& ws, MotionKey key) {
    return ws.KeyCoasting[Index(key)];
}
void StopCoasting(Workspace& ws, MotionKey key) {
    ws.KeyCoasting[Index(key)] = false;
}

template <class Apply>
void KeyMotionTick(Workspace& ws, Apply apply) {
    for (MotionKey key : {K::Right, K::Left, K::Up, K::Down}) {
        if (!Held(ws, key)) continue;
        StopCoasting(ws, Opposite(key));
        if (ws.TurnStep < TURN_STEP_MAX) ws.TurnStep += 0.001;
        Recompute(ws, key, ws.TurnStep);
        apply(key);
    }
    // The roll comes before the growth: the first step after a press uses the triple that the
    // last computation left, by whichever key.
    for (MotionKey key : {K::A, K::D, K::Q, K::E}) {
        if (!Held(ws, key)) continue;
        apply(key);
        StopCoasting(ws, Opposite(key));
        if (ws.RollStep < ROLL_STEP_MAX) ws.RollStep += 0.002;
        Recompute(ws, key, ws.RollStep);
    }
    for (MotionKey key : {K::W, K::S}) {
        if (!Held(ws, key)) continue;
        StopCoasting(ws, Opposite(key));
        apply(key);
        if (ws.MoveStep <= MOVE_STEP_MAX) ws.MoveStep += 0.1;
    }
    for (MotionKey key : {K::Right, K::Left, K::Up, K::Down, K::W, K::S, K::A, K::D, K::Q, K::E}) {
        if (!Coasting(ws, key)) continue;
        switch (key) {
            case K::W:
            case K::S:
                if (ws.MoveStep > MOVE_STEP_MIN) {
                    ws.MoveStep -= 0.1;
                } else {
                    StopCoasting(ws, key);
                }
                break;
            case K::Right:
            case K::Left:
            case K::Up:
            case K::Down:
                if (ws.TurnStep > TURN_STEP_MIN) {
                    ws.TurnStep -= 0.001;
                } else {
                    StopCoasting(ws, key);
                }
                Recompute(ws, key, ws.TurnStep);
                break;
            default:
                if (ws.RollStep > ROLL_STEP_MIN) {
                    ws.RollStep -= 0.002;
                } else {
                    StopCoasting(ws, key);
                }
                Recompute(ws, key, ws.RollStep);
                break;
        }
        apply(key);
    }
}

}  // namespace

void ApplyMotionKey(Workspace& ws, MotionKey key) {
    CameraFrame& cam = ws.Camera;
    const bool positive = Positive(key);
    switch (key) {
        case K::Right:
        case K::Left:
            TurnCamera(cam, ws.Rotation, positive);
            break;
        case K::Up:
        case K::Down:
            PitchCamera(cam, ws.Rotation, positive);
            break;
        case K::A:
        case K::D:
            RollCamera(cam, ws.Rotation, positive);
            break;
        case K::Q:
        case K::E:
            OrbitCamera(cam, ws.Cube.CubeCentre, ws.Rotation, positive);
            break;
        case K::W:
            MoveCamera(cam, ws.MoveStep);
            break;
        case K::S:
            MoveCamera(cam, -ws.MoveStep);
            break;
    }
}

void KeyMotionStep(Workspace& ws) {
    KeyMotionTick(ws, [&ws](MotionKey key) { ApplyMotionKey(ws, key); });
}

KeyMotionSubSteps::KeyMotionSubSteps(int parts) : parts_(parts) {}

void KeyMotionSubSteps::Step(Workspace& ws) {
    if (done_ == 0) {
        // The tick's steps, growth and coasting as one tick takes them; only the camera
        // operations wait, each kept with the angle or distance it would have used.
        ops_.clear();
        KeyMotionTick(ws, [this, &ws](MotionKey key) {
            if (key == K::W || key == K::S) {
                ops_.push_back({key, key == K::W ? ws.MoveStep : -ws.MoveStep});
            } else {
                const RotationTriple& r = Positive(key) ? ws.Rotation.Plus : ws.Rotation.Minus;
                ops_.push_back({key, std::atan2(r.s, r.c)});
            }
        });
    }
    for (const Op& op : ops_)
        ApplyPart(ws, op);
    done_ = (done_ + 1) % parts_;
}

bool KeyMotionSubSteps::Pending(const Workspace& ws) const {
    return done_ != 0 || KeyMotionPending(ws);
}

bool KeyMotionSubSteps::Finish(Workspace& ws) {
    if (done_ == 0) return false;
    while (done_ != 0)
        Step(ws);
    return true;
}

void KeyMotionSubSteps::Clear() {
    ops_.clear();
    done_ = 0;
}

void KeyMotionSubSteps::ApplyPart(Workspace& ws, const Op& op) const {
    CameraFrame& cam = ws.Camera;
    const double part = op.Amount / parts_;
    if (op.Key == K::W || op.Key == K::S) {
        MoveCamera(cam, part);
        return;
    }
    // Both signs get the part's triple: the operation picks one by the key's sign.
    const RotationTriple r = MakeRotationTriple(part);
    const StepRotation steps{r, r};
    const bool positive = Positive(op.Key);
    switch (op.Key) {
        case K::Right:
        case K::Left:
            TurnCamera(cam, steps, positive);
            break;
        case K::Up:
        case K::Down:
            PitchCamera(cam, steps, positive);
            break;
        case K::A:
        case K::D:
            RollCamera(cam, steps, positive);
            break;
        default:
            OrbitCamera(cam, ws.Cube.CubeCentre, steps, positive);
            break;
    }
}

bool KeyMotionPending(const Workspace& ws) {
    for (int i = 0; i < MOTION_KEY_COUNT; ++i) {
        if (ws.KeyHeld[i] || ws.KeyCoasting[i]) return true;
    }
    return false;
}

void CameraProgrammeStep(Workspace& ws) {
    const bool due = ws.PlayForward ? ws.LastProgrammeTime + ws.ProgrammeInterval <= ws.CurrentTime
                                    : ws.CurrentTime <= ws.LastProgrammeTime - ws.ProgrammeInterval;
    if (!due) return;
    CameraFrame& cam = ws.Camera;
    for (int row = 0; row < 3; ++row) {
        if (!(ws.CurrentTime < ws.PeriodEnd[row])) continue;
        switch (static_cast<ProgrammeAction>(ws.PeriodAction[row])) {
            case ProgrammeAction::Forward:
                MoveCamera(cam, ws.MoveStep);
                break;
            case ProgrammeAction::Backward:
                MoveCamera(cam, -ws.MoveStep);
                break;
            case ProgrammeAction::RotateLeft:
                OrbitCamera(cam, ws.Cube.CubeCentre, ws.Rotation, true);
                break;
            case ProgrammeAction::RotateRight:
                OrbitCamera(cam, ws.Cube.CubeCentre, ws.Rotation, false);
                break;
            case ProgrammeAction::BankLeft:
                RollCamera(cam, ws.Rotation, true);
                break;
            case ProgrammeAction::BankRight:
                RollCamera(cam, ws.Rotation, false);
                break;
            default:
                break;  // "None" and any index the boxes do not list
        }
    }
    ws.LastProgrammeTime = ws.CurrentTime;
}

}  // namespace tarsel
