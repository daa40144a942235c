#include "render/Projection.h"

#include <cmath>

namespace tarsel {

void Projection::PrepareProjection(const CameraFrame& camera, const ProjectionParams& params) {
    camera_ = camera;
    scale_ = params.Scale;
    plane_.PlaneCentre = camera.V0 - params.PP * camera.V1;
    plane_.PlaneNormal = Cross(camera.V2, camera.V3);
    plane_.PlaneOffset = -Dot(plane_.PlaneNormal, plane_.PlaneCentre);
    plane_.CameraOffset = -Dot(plane_.PlaneNormal, camera.V0);
}

ProjectedPoint Projection::ProjectPoint(Vec3 p) const {
    const Vec3 n = plane_.PlaneNormal;
    const Vec3 v0 = camera_.V0;
    const Vec3 u = v0 - p;
    ProjectedPoint out;
    out.Distance = Length(u);
    const double along = Dot(n, u);
    // On the plane through the camera point the line of sight is parallel to the projection
    // plane: there is no image, and dividing would send infinities on to the pixel conversions.
    if (along == 0) return out;
    const double t = -(Dot(n, v0) + plane_.PlaneOffset) / along;
    const Vec3 q = v0 + t * u;
    const Vec3 offset = q - plane_.PlaneCentre;
    const double sx = scale_ * Dot(offset, camera_.V2);
    const double sy = scale_ * Dot(offset, camera_.V3);
    const double factor = scale_ * Length(v0 - q) / out.Distance;
    if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(factor) ||
        !std::isfinite(out.Distance)) {
        return out;
    }
    out.Projectable = true;
    out.Visible = Dot(n, p) + plane_.CameraOffset >= 0;
    out.sx = sx;
    out.sy = sy;
    out.PerspectiveFactor = factor;
    return out;
}

}  // namespace tarsel
