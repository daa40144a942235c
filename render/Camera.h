#pragma once

#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

// The camera operations that the key motion and the camera programme use to steer the camera.
// They change only the CameraFrame; the next render pass's PrepareProjection shows the effect.

namespace tarsel {

// cos a, sin a, 1 - cos a for the angle a.
RotationTriple MakeRotationTriple(double angle);

// The right-handed rotation about the unit axis by the angle whose cosine and sine the triple
// holds.
Matrix3 RotationMatrix(Vec3 axis, const RotationTriple& r);

// V0 moves along the viewing axis V1; positive is forward.
void MoveCamera(CameraFrame& cam, double distance);

// Rotations about V2, V3 and V1 by the step angle: +a when positive, -a otherwise. The axes are
// used as they are, not normalised.
void PitchCamera(CameraFrame& cam, const StepRotation& steps, bool positive);
void TurnCamera(CameraFrame& cam, const StepRotation& steps, bool positive);
void RollCamera(CameraFrame& cam, const StepRotation& steps, bool positive);

// Moves the camera about the centre, turning V1 and V2 with it (V3 keeps its value). The axis
// is (V0 - centre) x V2; when it has no length (camera on the centre, or V0 - centre parallel to
// V2) there is nothing to turn about and the frame is left as it is. Returns whether it moved.
bool OrbitCamera(CameraFrame& cam, Vec3 centre, const StepRotation& steps, bool positive);

}  // namespace tarsel
