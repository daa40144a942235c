#include "render/Projection.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void Projection::ProjectPoints(const double* x, const double* y, const double* z, int n,
                               ProjectedPoint* out) const {
    int i = 0;
#if defined(__SSE2__)
    // Every step in ProjectPoint's order, each lane rounded as the scalar operation rounds;
    // a point off the usual path (on the camera's plane, overflowing) takes ProjectPoint.
    using D2 = __m128d;
    const Vec3 nn = plane_.PlaneNormal, v0 = camera_.V0, pc = plane_.PlaneCentre,
               v2 = camera_.V2, v3 = camera_.V3;
    const auto all = [](double v) { return _mm_set1_pd(v); };
    const D2 nx = all(nn.x), ny = all(nn.y), nz = all(nn.z);
    const D2 v0x = all(v0.x), v0y = all(v0.y), v0z = all(v0.z);
    const D2 pcx = all(pc.x), pcy = all(pc.y), pcz = all(pc.z);
    const D2 v2x = all(v2.x), v2y = all(v2.y), v2z = all(v2.z);
    const D2 v3x = all(v3.x), v3y = all(v3.y), v3z = all(v3.z);
    const D2 scale = all(scale_), cameraOffset = all(plane_.CameraOffset);
    const D2 towards = all(-(Dot(nn, v0) + plane_.PlaneOffset));
    for (; i + 2 <= n; i += 2) {
        const D2 px = _mm_loadu_pd(x + i), py = _mm_loadu_pd(y + i), pz = _mm_loadu_pd(z + i);
        const D2 ux = v0x - px, uy = v0y - py, uz = v0z - pz;
        const D2 distance = _mm_sqrt_pd(ux * ux + uy * uy + uz * uz);
        const D2 along = nx * ux + ny * uy + nz * uz;
        const D2 t = towards / along;
        const D2 qx = v0x + t * ux, qy = v0y + t * uy, qz = v0z + t * uz;
        const D2 ox = qx - pcx, oy = qy - pcy, oz = qz - pcz;
        const D2 sx = scale * (ox * v2x + oy * v2y + oz * v2z);
        const D2 sy = scale * (ox * v3x + oy * v3y + oz * v3z);
        const D2 wx = v0x - qx, wy = v0y - qy, wz = v0z - qz;
        const D2 factor = scale * _mm_sqrt_pd(wx * wx + wy * wy + wz * wz) / distance;
        const D2 facing = nx * px + ny * py + nz * pz + cameraOffset;
        // Finite values are those whose difference with themselves is 0 (not NaN).
        const D2 zero = _mm_setzero_pd();
        const D2 usual =
            _mm_and_pd(_mm_and_pd(_mm_cmpneq_pd(along, zero), _mm_cmpeq_pd(sx - sx, zero)),
                       _mm_and_pd(_mm_and_pd(_mm_cmpeq_pd(sy - sy, zero),
                                             _mm_cmpeq_pd(factor - factor, zero)),
                                  _mm_cmpeq_pd(distance - distance, zero)));
        const int usualLanes = _mm_movemask_pd(usual);
        const int visibleLanes = _mm_movemask_pd(_mm_cmpge_pd(facing, zero));
        alignas(16) double lane[4][2];
        _mm_store_pd(lane[0], sx);
        _mm_store_pd(lane[1], sy);
        _mm_store_pd(lane[2], distance);
        _mm_store_pd(lane[3], factor);
        for (int k = 0; k < 2; ++k) {
            if ((usualLanes >> k & 1) == 0) {
                out[i + k] = ProjectPoint({x[i + k], y[i + k], z[i + k]});
                continue;
            }
            ProjectedPoint& o = out[i + k];
            o.Projectable = true;
            o.Visible = (visibleLanes >> k & 1) != 0;
            o.sx = lane[0][k];
            o.sy = lane[1][k];
            o.Distance = lane[2][k];
            o.PerspectiveFactor = lane[3][k];
        }
    }
#endif
    for (; i < n; ++i)
        out[i] = ProjectPoint({x[i], y[i], z[i]});
}

}  // namespace tarsel
