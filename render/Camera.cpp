#include "render/Camera.h"

#include <cmath>

namespace tarsel {

namespace {

const RotationTriple& Pick(const StepRotation& steps, bool positive) {
    return positive ? steps.Plus : steps.Minus;
}

}  // namespace

RotationTriple MakeRotationTriple(double angle) {
    return {std::cos(angle), std::sin(angle), 1 - std::cos(angle)};
}

Matrix3 RotationMatrix(Vec3 axis, const RotationTriple& r) {
    const double x = axis.x, y = axis.y, z = axis.z;
    const double c = r.c, s = r.s, t = r.t;
    Matrix3 a;
    a.m[0][0] = x * x * t + c;
    a.m[0][1] = x * y * t - z * s;
    a.m[0][2] = x * z * t + y * s;
    a.m[1][0] = x * y * t + z * s;
    a.m[1][1] = y * y * t + c;
    a.m[1][2] = y * z * t - x * s;
    a.m[2][0] = x * z * t - y * s;
    a.m[2][1] = y * z * t + x * s;
    a.m[2][2] = z * z * t + c;
    return a;
}

void MoveCamera(CameraFrame& cam, double distance) {
    cam.V0 = cam.V0 + distance * cam.V1;
}

void PitchCamera(CameraFrame& cam, const StepRotation& steps, bool positive) {
    const Matrix3 m = RotationMatrix(cam.V2, Pick(steps, positive));
    cam.V1 = m * cam.V1;
    cam.V3 = m * cam.V3;
}

void TurnCamera(CameraFrame& cam, const StepRotation& steps, bool positive) {
    const Matrix3 m = RotationMatrix(cam.V3, Pick(steps, positive));
    cam.V1 = m * cam.V1;
    cam.V2 = m * cam.V2;
}

void RollCamera(CameraFrame& cam, const StepRotation& steps, bool positive) {
    const Matrix3 m = RotationMatrix(cam.V1, Pick(steps, positive));
    cam.V2 = m * cam.V2;
    cam.V3 = m * cam.V3;
}

bool OrbitCamera(CameraFrame& cam, Vec3 centre, const StepRotation& steps, bool positive) {
    const Vec3 d = cam.V0 - centre;
    const Vec3 a = Cross(d, cam.V2);
    const double length = Length(a);
    // Dividing by a zero (or non-finite) length would fill the frame with NaN for good.
    if (!(length > 0) || !std::isfinite(length)) return false;
    const Matrix3 m = RotationMatrix((1 / length) * a, Pick(steps, positive));
    cam.V0 = centre + m * d;
    cam.V1 = m * cam.V1;
    cam.V2 = m * cam.V2;
    return true;
}

}  // namespace tarsel
