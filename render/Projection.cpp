#include "render/Projection.h"

#include <cmath>

#if defined(__SSE2__)
#include <immintrin.h>
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

#if defined(__SSE2__)
// ProjectLanes<Lanes4> is only ever inlined into the AVX function below, so the vectors never
// cross a call between code built for different instruction sets.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Two and four doubles a lane; each operation rounds every lane as the scalar one does.
struct Lanes2 {
    using D = __m128d;
    static constexpr int N = 2;
    static D All(double v) { return _mm_set1_pd(v); }
    static D Load(const double* p) { return _mm_loadu_pd(p); }
    static void Store(double* p, D v) { _mm_storeu_pd(p, v); }
    static D Sqrt(D v) { return _mm_sqrt_pd(v); }
    static int NotEqual(D a, D b) { return _mm_movemask_pd(_mm_cmpneq_pd(a, b)); }
    static int Equal(D a, D b) { return _mm_movemask_pd(_mm_cmpeq_pd(a, b)); }
    static int AtLeast(D a, D b) { return _mm_movemask_pd(_mm_cmpge_pd(a, b)); }
};

struct Lanes4 {
    using D = __m256d;
    static constexpr int N = 4;
    [[gnu::target("avx")]] static D All(double v) { return _mm256_set1_pd(v); }
    [[gnu::target("avx")]] static D Load(const double* p) { return _mm256_loadu_pd(p); }
    [[gnu::target("avx")]] static void Store(double* p, D v) { _mm256_storeu_pd(p, v); }
    [[gnu::target("avx")]] static D Sqrt(D v) { return _mm256_sqrt_pd(v); }
    [[gnu::target("avx")]] static int NotEqual(D a, D b) {
        return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_NEQ_UQ));
    }
    [[gnu::target("avx")]] static int Equal(D a, D b) {
        return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_EQ_OQ));
    }
    [[gnu::target("avx")]] static int AtLeast(D a, D b) {
        return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GE_OQ));
    }
};

// Every step in ProjectPoint's order; a point off the usual path (on the camera's plane,
// overflowing) takes ProjectPoint itself. Returns how many points it did.
template <typename L>
[[gnu::always_inline]] inline int ProjectLanes(const Projection& projection, const double* x,
                                               const double* y, const double* z, int n,
                                               ProjectedPoint* out) {
    using D = typename L::D;
    const ProjectionPlane& plane = projection.Plane();
    const CameraFrame& camera = projection.Camera();
    const Vec3 nn = plane.PlaneNormal, v0 = camera.V0, pc = plane.PlaneCentre, v2 = camera.V2,
               v3 = camera.V3;
    const D nx = L::All(nn.x), ny = L::All(nn.y), nz = L::All(nn.z);
    const D v0x = L::All(v0.x), v0y = L::All(v0.y), v0z = L::All(v0.z);
    const D pcx = L::All(pc.x), pcy = L::All(pc.y), pcz = L::All(pc.z);
    const D v2x = L::All(v2.x), v2y = L::All(v2.y), v2z = L::All(v2.z);
    const D v3x = L::All(v3.x), v3y = L::All(v3.y), v3z = L::All(v3.z);
    const D scale = L::All(projection.Scale()), cameraOffset = L::All(plane.CameraOffset);
    const D towards = L::All(-(Dot(nn, v0) + plane.PlaneOffset));
    const D zero = L::All(0);
    constexpr int ALL = (1 << L::N) - 1;
    int i = 0;
    for (; i + L::N <= n; i += L::N) {
        const D px = L::Load(x + i), py = L::Load(y + i), pz = L::Load(z + i);
        const D ux = v0x - px, uy = v0y - py, uz = v0z - pz;
        const D distance = L::Sqrt(ux * ux + uy * uy + uz * uz);
        const D along = nx * ux + ny * uy + nz * uz;
        const D t = towards / along;
        const D qx = v0x + t * ux, qy = v0y + t * uy, qz = v0z + t * uz;
        const D ox = qx - pcx, oy = qy - pcy, oz = qz - pcz;
        const D sx = scale * (ox * v2x + oy * v2y + oz * v2z);
        const D sy = scale * (ox * v3x + oy * v3y + oz * v3z);
        const D wx = v0x - qx, wy = v0y - qy, wz = v0z - qz;
        const D factor = scale * L::Sqrt(wx * wx + wy * wy + wz * wz) / distance;
        const D facing = nx * px + ny * py + nz * pz + cameraOffset;
        // A finite value less itself is 0; an infinite or NaN one gives NaN.
        const int usual = L::NotEqual(along, zero) & L::Equal(sx - sx, zero) &
                          L::Equal(sy - sy, zero) & L::Equal(factor - factor, zero) &
                          L::Equal(distance - distance, zero);
        const int visible = L::AtLeast(facing, zero);
        double lane[4][L::N];
        L::Store(lane[0], sx);
        L::Store(lane[1], sy);
        L::Store(lane[2], distance);
        L::Store(lane[3], factor);
        for (int k = 0; k < L::N; ++k) {
            ProjectedPoint& o = out[i + k];
            if ((usual & ALL) != ALL && (usual >> k & 1) == 0) {
                o = projection.ProjectPoint({x[i + k], y[i + k], z[i + k]});
                continue;
            }
            o.Projectable = true;
            o.Visible = (visible >> k & 1) != 0;
            o.sx = lane[0][k];
            o.sy = lane[1][k];
            o.Distance = lane[2][k];
            o.PerspectiveFactor = lane[3][k];
        }
    }
    return i;
}

[[gnu::target("avx")]] int ProjectLanes4(const Projection& projection, const double* x,
                                         const double* y, const double* z, int n,
                                         ProjectedPoint* out) {
    return ProjectLanes<Lanes4>(projection, x, y, z, n, out);
}

bool HasAvx() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx") != 0);
    return has;
}

}  // namespace
#endif

void Projection::ProjectPoints(const double* x, const double* y, const double* z, int n,
                               ProjectedPoint* out) const {
    int i = 0;
#if defined(__SSE2__)
    if (HasAvx()) i = ProjectLanes4(*this, x, y, z, n, out);
    i += ProjectLanes<Lanes2>(*this, x + i, y + i, z + i, n - i, out + i);
#endif
    for (; i < n; ++i)
        out[i] = ProjectPoint({x[i], y[i], z[i]});
}

}  // namespace tarsel
