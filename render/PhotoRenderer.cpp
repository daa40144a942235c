#include "render/PhotoRenderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "render/BondRow.h"
#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

constexpr float FAR = std::numeric_limits<float>::infinity();
// A bond's radius against the smaller of its two atoms' radii.
constexpr double BOND_RADIUS = 0.25;
// Neighbours occlude an atom up to this many of its radii beyond its surface; this much of
// their summed weight darkens it fully.
constexpr double OCCLUSION_REACH = 1.0;
constexpr double OCCLUSION_FULL = 6.0;
constexpr int SHININESS = 20;
// Above this many cells the occlusion grid takes larger cells.
constexpr std::int64_t MAX_CELLS = 1 << 21;

Vec3 Unit(Vec3 a) {
    const double l = Length(a);
    return l > 0 ? (1 / l) * a : Vec3{};
}

// The first pixel of a box of doubles inside lo .. hi (inclusive), kept finite.
int ClampPixel(double v, int lo, int hi) {
    if (!(v > lo)) return lo;  // NaN too
    if (v > hi) return hi;
    return static_cast<int>(v);
}

struct V3f {
    float x, y, z;
};
inline V3f ToFloat(Vec3 v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// What a row of pixels needs of a sphere: at the row's first pixel and per pixel to the right.
struct SphereRowTerms {
    V3f D, Du;  // the ray
    V3f G, Gu;  // o x d
    float Od, Odu;
    float R2;
};

// One row of a sphere: each pixel keeps the nearer of its depth and the sphere's.
void SphereRowPortable(float* depth, std::int32_t* owner, int n, const SphereRowTerms& terms,
                       std::int32_t id) {
    const SphereRowTerms s = terms;
    for (int i = 0; i < n; ++i) {
        const float u = static_cast<float>(i);
        const float dx = s.D.x + u * s.Du.x, dy = s.D.y + u * s.Du.y, dz = s.D.z + u * s.Du.z;
        const float gx = s.G.x + u * s.Gu.x, gy = s.G.y + u * s.Gu.y, gz = s.G.z + u * s.Gu.z;
        const float dd = dx * dx + dy * dy + dz * dz;
        const float disc = dd * s.R2 - (gx * gx + gy * gy + gz * gz);
        const float t = (s.Od + u * s.Odu - std::sqrt(std::max(disc, 0.0f))) / dd;
        const bool hit = (disc >= 0) & (t > 0) & (t < depth[i]);
        depth[i] = hit ? t : depth[i];
        owner[i] = hit ? id : owner[i];
    }
}

struct CylinderRowTerms {
    V3f D, Du;  // the ray, for d . Axis
    V3f Axis;
    V3f F, Fu;
    V3f E, Eu;
    float B, Bu;  // d . W
    float R2, Wa, S0, S1, PieceScale;
    int Pieces;
};

// One row of a bond, as a sphere's row; the dashes of 'D' and 'Z' leave every other piece out.
void CylinderRowPortable(float* depth, std::int32_t* owner, int n, const CylinderRowTerms& terms,
                         std::int32_t id) {
    const CylinderRowTerms c = terms;
    for (int i = 0; i < n; ++i) {
        const float u = static_cast<float>(i);
        const float fx = c.F.x + u * c.Fu.x, fy = c.F.y + u * c.Fu.y, fz = c.F.z + u * c.Fu.z;
        const float ex = c.E.x + u * c.Eu.x, ey = c.E.y + u * c.Eu.y, ez = c.E.z + u * c.Eu.z;
        const float alpha = fx * fx + fy * fy + fz * fz;
        const float disc = alpha * c.R2 - (ex * ex + ey * ey + ez * ez);
        const float t = (-(c.B + u * c.Bu) - std::sqrt(std::max(disc, 0.0f))) / alpha;
        const float da = (c.D.x + u * c.Du.x) * c.Axis.x + (c.D.y + u * c.Du.y) * c.Axis.y +
                         (c.D.z + u * c.Du.z) * c.Axis.z;
        const float s = c.Wa + t * da;
        const float along = (s - c.S0) * c.PieceScale;
        const int piece = along > 0 && along < 1e6f ? static_cast<int>(along) : 0;
        const bool hit = (alpha > 0) & (disc >= 0) & (t > 0) & (t < depth[i]) & (s >= c.S0) &
                         (s <= c.S1) & ((c.Pieces == 1) | ((piece & 1) == 0));
        depth[i] = hit ? t : depth[i];
        owner[i] = hit ? id : owner[i];
    }
}

#if defined(__x86_64__)
// The same eight pixels at a time; the last vector of a row is masked.
__attribute__((target("avx2"))) inline __m256 Lanes() {
    return _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
}
__attribute__((target("avx2"))) inline __m256i TailMask(int left) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(left), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}
__attribute__((target("avx2"))) inline __m256 Step(float at, float per, __m256 u) {
    return _mm256_add_ps(_mm256_set1_ps(at), _mm256_mul_ps(u, _mm256_set1_ps(per)));
}
__attribute__((target("avx2"))) inline __m256 Square3(__m256 x, __m256 y, __m256 z) {
    return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(x, x), _mm256_mul_ps(y, y)),
                         _mm256_mul_ps(z, z));
}

__attribute__((target("avx2"))) void SphereRowAvx2(float* depth, std::int32_t* owner, int n,
                                                   const SphereRowTerms& terms, std::int32_t id) {
    const SphereRowTerms s = terms;
    const __m256 zero = _mm256_setzero_ps();
    const __m256i ids = _mm256_set1_epi32(id);
    for (int i = 0; i < n; i += 8) {
        const __m256i valid = TailMask(n - i);
        const __m256 u = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(i)), Lanes());
        const __m256 dd =
            Square3(Step(s.D.x, s.Du.x, u), Step(s.D.y, s.Du.y, u), Step(s.D.z, s.Du.z, u));
        const __m256 gg =
            Square3(Step(s.G.x, s.Gu.x, u), Step(s.G.y, s.Gu.y, u), Step(s.G.z, s.Gu.z, u));
        const __m256 disc = _mm256_sub_ps(_mm256_mul_ps(dd, _mm256_set1_ps(s.R2)), gg);
        const __m256 t = _mm256_div_ps(
            _mm256_sub_ps(Step(s.Od, s.Odu, u), _mm256_sqrt_ps(_mm256_max_ps(disc, zero))), dd);
        const __m256 old = _mm256_maskload_ps(depth + i, valid);
        __m256 hit = _mm256_and_ps(_mm256_cmp_ps(disc, zero, _CMP_GE_OQ),
                                   _mm256_cmp_ps(t, zero, _CMP_GT_OQ));
        hit = _mm256_and_ps(hit, _mm256_cmp_ps(t, old, _CMP_LT_OQ));
        const __m256i store = _mm256_and_si256(_mm256_castps_si256(hit), valid);
        _mm256_maskstore_ps(depth + i, store, t);
        _mm256_maskstore_epi32(owner + i, store, ids);
    }
}

__attribute__((target("avx2"))) void CylinderRowAvx2(float* depth, std::int32_t* owner, int n,
                                                     const CylinderRowTerms& terms,
                                                     std::int32_t id) {
    const CylinderRowTerms c = terms;
    const __m256 zero = _mm256_setzero_ps();
    const __m256i ids = _mm256_set1_epi32(id);
    const __m256i one = _mm256_set1_epi32(1);
    for (int i = 0; i < n; i += 8) {
        const __m256i valid = TailMask(n - i);
        const __m256 u = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(i)), Lanes());
        const __m256 alpha =
            Square3(Step(c.F.x, c.Fu.x, u), Step(c.F.y, c.Fu.y, u), Step(c.F.z, c.Fu.z, u));
        const __m256 ee =
            Square3(Step(c.E.x, c.Eu.x, u), Step(c.E.y, c.Eu.y, u), Step(c.E.z, c.Eu.z, u));
        const __m256 disc = _mm256_sub_ps(_mm256_mul_ps(alpha, _mm256_set1_ps(c.R2)), ee);
        const __m256 t = _mm256_div_ps(_mm256_sub_ps(_mm256_sub_ps(zero, Step(c.B, c.Bu, u)),
                                                     _mm256_sqrt_ps(_mm256_max_ps(disc, zero))),
                                       alpha);
        const __m256 da = _mm256_add_ps(
            _mm256_add_ps(_mm256_mul_ps(Step(c.D.x, c.Du.x, u), _mm256_set1_ps(c.Axis.x)),
                          _mm256_mul_ps(Step(c.D.y, c.Du.y, u), _mm256_set1_ps(c.Axis.y))),
            _mm256_mul_ps(Step(c.D.z, c.Du.z, u), _mm256_set1_ps(c.Axis.z)));
        const __m256 sa = _mm256_add_ps(_mm256_set1_ps(c.Wa), _mm256_mul_ps(t, da));
        const __m256 old = _mm256_maskload_ps(depth + i, valid);
        __m256 hit = _mm256_and_ps(_mm256_cmp_ps(alpha, zero, _CMP_GT_OQ),
                                   _mm256_cmp_ps(disc, zero, _CMP_GE_OQ));
        hit = _mm256_and_ps(hit, _mm256_cmp_ps(t, zero, _CMP_GT_OQ));
        hit = _mm256_and_ps(hit, _mm256_cmp_ps(t, old, _CMP_LT_OQ));
        hit = _mm256_and_ps(hit, _mm256_cmp_ps(sa, _mm256_set1_ps(c.S0), _CMP_GE_OQ));
        hit = _mm256_and_ps(hit, _mm256_cmp_ps(sa, _mm256_set1_ps(c.S1), _CMP_LE_OQ));
        __m256i store = _mm256_and_si256(_mm256_castps_si256(hit), valid);
        if (c.Pieces > 1) {
            const __m256i piece = _mm256_cvttps_epi32(
                _mm256_max_ps(_mm256_mul_ps(_mm256_sub_ps(sa, _mm256_set1_ps(c.S0)),
                                            _mm256_set1_ps(c.PieceScale)),
                              zero));
            store =
                _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(piece, one), one), store);
        }
        _mm256_maskstore_ps(depth + i, store, t);
        _mm256_maskstore_epi32(owner + i, store, ids);
    }
}

const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

void SphereRow(bool vector, float* depth, std::int32_t* owner, int n, const SphereRowTerms& s,
               std::int32_t id) {
#if defined(__x86_64__)
    if (vector && HAS_AVX2) return SphereRowAvx2(depth, owner, n, s, id);
#else
    (void)vector;
#endif
    SphereRowPortable(depth, owner, n, s, id);
}

void CylinderRow(bool vector, float* depth, std::int32_t* owner, int n, const CylinderRowTerms& c,
                 std::int32_t id) {
#if defined(__x86_64__)
    if (vector && HAS_AVX2) return CylinderRowAvx2(depth, owner, n, c, id);
#else
    (void)vector;
#endif
    CylinderRowPortable(depth, owner, n, c, id);
}

// 1 / sqrt(x) to about a float's precision: the processor's estimate and one Newton step,
// several times faster than a root and a division.
inline float InverseRoot(float x) {
#if defined(__x86_64__)
    const float e = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x)));
    return e * (1.5f - 0.5f * x * e * e);
#else
    return 1 / std::sqrt(x);
#endif
}

// What the shading of a row reads besides the buffers. Spheres points at the shading records,
// 16 floats each: the centre, 1 / R, the occlusion and its direction, the pixel radius, the
// screen centre and the colour as three integers.
struct ShadeTerms {
    const float* Spheres = nullptr;
    int Count = 0;
    V3f Du, L;
    float Kd = 0, Ks = 0, Ka = 0, Cue = 0, FogStart = 0, FogScale = 0, Strength = 0, Outline = 0,
          Pp = 0;
    float Bg[3] = {};
};

#if defined(__x86_64__)
// std::max(a, b) and std::min(a, b) exactly, NaN and signed zeros too: (a < b) ? b : a.
__attribute__((target("avx2"))) inline __m256 Max(__m256 a, __m256 b) {
    return _mm256_max_ps(b, a);
}
__attribute__((target("avx2"))) inline __m256 Min(__m256 a, __m256 b) {
    return _mm256_min_ps(b, a);
}
__attribute__((target("avx2"))) inline __m256 Dot3(__m256 ax, __m256 ay, __m256 az, __m256 bx,
                                                   __m256 by, __m256 bz) {
    return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(ax, bx), _mm256_mul_ps(ay, by)),
                         _mm256_mul_ps(az, bz));
}
// InverseRoot, eight at a time: the vector estimate equals the scalar one.
__attribute__((target("avx2"))) inline __m256 InverseRoot8(__m256 x) {
    const __m256 e = _mm256_rsqrt_ps(x);
    const __m256 ee = _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(0.5f), x), e), e);
    return _mm256_mul_ps(e, _mm256_sub_ps(_mm256_set1_ps(1.5f), ee));
}

// Field k of the shading records of eight pixels' spheres; one read when they are the same.
__attribute__((target("avx2"))) inline __m256 Field(const float* spheres, bool same,
                                                    std::int32_t first, __m256i at, int k) {
    return same ? _mm256_set1_ps(spheres[16 * static_cast<std::size_t>(first) + k])
                : _mm256_i32gather_ps(spheres + k, at, 4);
}

// The sphere pixels of columns from .. to - 1 of a row, eight at a time, in the scalar code's
// order of operations, so that each byte is the same. The pixels of bonds and those within an
// outline's width of a rim are left to the scalar code: their columns go to left, their count
// is returned.
__attribute__((target("avx2"))) int ShadeRowAvx2(const ShadeTerms& s, V3f dRow,
                                                 const std::int32_t* owner, const float* depth,
                                                 int from, int to, std::uint8_t* pixels,
                                                 int* left) {
    int leftCount = 0;
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    const __m256i none = _mm256_set1_epi32(-1), count = _mm256_set1_epi32(s.Count);
    for (int i = from; i < to; i += 8) {
        const __m256i valid = TailMask(to - i);
        const __m256i ids =
            _mm256_blendv_epi8(none, _mm256_maskload_epi32(owner + i, valid), valid);
        const __m256i isSphere =
            _mm256_and_si256(_mm256_cmpgt_epi32(ids, none), _mm256_cmpgt_epi32(count, ids));
        const int drawn = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(ids, none)));
        if (drawn == 0) continue;
        int sphereLanes = _mm256_movemask_ps(_mm256_castsi256_ps(isSphere));
        for (int rest = drawn & ~sphereLanes; rest != 0; rest &= rest - 1)
            left[leftCount++] = i + std::countr_zero(static_cast<unsigned>(rest));
        if (sphereLanes == 0) continue;
        // Bond lanes read sphere 0's record, never used.
        const __m256i at = _mm256_slli_epi32(_mm256_and_si256(ids, isSphere), 4);
        const std::int32_t first = _mm256_extract_epi32(ids, 0);
        const bool same =
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(ids, _mm256_set1_epi32(first))) == -1;
#define field(k) Field(s.Spheres, same, first, at, k)
        const __m256 t = _mm256_maskload_ps(depth + i, valid);
        const __m256 u = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(i)), Lanes());
        const __m256 dx = Step(dRow.x, s.Du.x, u), dy = Step(dRow.y, s.Du.y, u),
                     dz = Step(dRow.z, s.Du.z, u);
        const __m256 hx = _mm256_mul_ps(t, dx), hy = _mm256_mul_ps(t, dy),
                     hz = _mm256_mul_ps(t, dz);
        const __m256 ox = field(0), oy = field(1), oz = field(2), invR = field(3);
        const __m256 nx = _mm256_mul_ps(_mm256_sub_ps(hx, ox), invR),
                     ny = _mm256_mul_ps(_mm256_sub_ps(hy, oy), invR),
                     nz = _mm256_mul_ps(_mm256_sub_ps(hz, oz), invR);
        const __m256 facing =
            _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(one, _mm256_mul_ps(nx, field(5))),
                                        _mm256_mul_ps(ny, field(6))),
                          _mm256_mul_ps(nz, field(7)));
        const __m256 occ = Min(one, _mm256_mul_ps(field(4), Max(zero, facing)));
        const __m256 pixelRadius = field(8);
        const __m256 lineWidth = _mm256_mul_ps(_mm256_set1_ps(s.Outline), pixelRadius);
        {
            const __m256 cx = _mm256_sub_ps(_mm256_mul_ps(oy, dz), _mm256_mul_ps(oz, dy)),
                         cy = _mm256_sub_ps(_mm256_mul_ps(oz, dx), _mm256_mul_ps(ox, dz)),
                         cz = _mm256_sub_ps(_mm256_mul_ps(ox, dy), _mm256_mul_ps(oy, dx));
            const __m256 q = _mm256_mul_ps(
                _mm256_mul_ps(
                    _mm256_div_ps(Dot3(cx, cy, cz, cx, cy, cz), Dot3(dx, dy, dz, dx, dy, dz)),
                    invR),
                invR);
            // std::clamp(q, 0, 1): (q < 0) ? 0 : std::min(q, 1).
            const __m256 clamped =
                _mm256_blendv_ps(Min(q, one), zero, _mm256_cmp_ps(q, zero, _CMP_LT_OQ));
            const __m256 fromRim =
                _mm256_mul_ps(pixelRadius, _mm256_sub_ps(one, _mm256_sqrt_ps(clamped)));
            const __m256 edge = _mm256_and_ps(_mm256_cmp_ps(lineWidth, zero, _CMP_GT_OQ),
                                              _mm256_cmp_ps(fromRim, lineWidth, _CMP_LT_OQ));
            for (int rest = _mm256_movemask_ps(edge) & sphereLanes; rest != 0; rest &= rest - 1)
                left[leftCount++] = i + std::countr_zero(static_cast<unsigned>(rest));
            sphereLanes &= ~_mm256_movemask_ps(edge);
        }
        if (sphereLanes == 0) continue;
        const __m256 ax = _mm256_sub_ps(_mm256_set1_ps(s.L.x), hx),
                     ay = _mm256_sub_ps(_mm256_set1_ps(s.L.y), hy),
                     az = _mm256_sub_ps(_mm256_set1_ps(s.L.z), hz);
        const __m256 ka = InverseRoot8(Dot3(ax, ay, az, ax, ay, az));
        const __m256 lx = _mm256_mul_ps(ax, ka), ly = _mm256_mul_ps(ay, ka),
                     lz = _mm256_mul_ps(az, ka);
        const __m256 sign = _mm256_set1_ps(-0.0f);
        const __m256 ex = _mm256_xor_ps(dx, sign), ey = _mm256_xor_ps(dy, sign),
                     ez = _mm256_xor_ps(dz, sign);
        const __m256 ke = InverseRoot8(Dot3(ex, ey, ez, ex, ey, ez));
        const __m256 vx = _mm256_mul_ps(ex, ke), vy = _mm256_mul_ps(ey, ke),
                     vz = _mm256_mul_ps(ez, ke);
        const __m256 diffuse = Max(Dot3(nx, ny, nz, lx, ly, lz), zero);
        const __m256 bx = _mm256_add_ps(lx, vx), by = _mm256_add_ps(ly, vy),
                     bz = _mm256_add_ps(lz, vz);
        const __m256 kb = InverseRoot8(Dot3(bx, by, bz, bx, by, bz));
        const __m256 k = Max(
            Dot3(nx, ny, nz, _mm256_mul_ps(bx, kb), _mm256_mul_ps(by, kb), _mm256_mul_ps(bz, kb)),
            zero);
        const __m256 k2 = _mm256_mul_ps(k, k), k4 = _mm256_mul_ps(k2, k2);
        const __m256 k16 = _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(k4, k4), k4), k4);
        const __m256 specular = _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(s.Ks), k16), k4);
        const __m256 ao = _mm256_sub_ps(one, _mm256_mul_ps(_mm256_set1_ps(s.Strength), occ));
        const __m256 f = _mm256_mul_ps(
            _mm256_sub_ps(_mm256_mul_ps(t, _mm256_set1_ps(s.Pp)), _mm256_set1_ps(s.FogStart)),
            _mm256_set1_ps(s.FogScale));
        const __m256 fog =
            _mm256_mul_ps(_mm256_set1_ps(s.Cue),
                          _mm256_blendv_ps(Min(f, one), zero, _mm256_cmp_ps(f, zero, _CMP_LT_OQ)));
        const __m256 lit =
            _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(s.Kd), diffuse), _mm256_set1_ps(s.Ka));
        alignas(32) std::int32_t bytes[3][8];
        for (int ch = 0; ch < 3; ++ch) {
            const __m256 base =
                same ? _mm256_set1_ps(static_cast<float>(std::bit_cast<std::int32_t>(
                           s.Spheres[16 * static_cast<std::size_t>(first) + 11 + ch])))
                     : _mm256_cvtepi32_ps(_mm256_i32gather_epi32(
                           reinterpret_cast<const int*>(s.Spheres + 11 + ch), at, 4));
            __m256 value =
                _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(lit, base),
                                                                        _mm256_set1_ps(1 / 255.0f)),
                                                          specular),
                                            ao),
                              _mm256_set1_ps(255.0f));
            value = Min(value, _mm256_set1_ps(255.0f));
            value = _mm256_add_ps(
                value, _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(s.Bg[ch]), value), fog));
            // Byte: 0 unless above 0 (NaN too), 255 from 255 on, else truncated.
            __m256i b = _mm256_cvttps_epi32(value);
            b = _mm256_blendv_epi8(
                b, _mm256_set1_epi32(255),
                _mm256_castps_si256(_mm256_cmp_ps(value, _mm256_set1_ps(255.0f), _CMP_GE_OQ)));
            b = _mm256_and_si256(b, _mm256_castps_si256(_mm256_cmp_ps(value, zero, _CMP_GT_OQ)));
            _mm256_store_si256(reinterpret_cast<__m256i*>(bytes[ch]), b);
        }
        for (int rest = sphereLanes; rest != 0; rest &= rest - 1) {
            const int lane = std::countr_zero(static_cast<unsigned>(rest));
            std::uint8_t* p = pixels + 3 * static_cast<std::size_t>(i + lane);
            p[0] = static_cast<std::uint8_t>(bytes[2][lane]);
            p[1] = static_cast<std::uint8_t>(bytes[1][lane]);
            p[2] = static_cast<std::uint8_t>(bytes[0][lane]);
        }
    }
    return leftCount;
}
#undef field
#endif

int Byte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return Trunc(v);
}

}  // namespace

Rgb PhotoAtomColour(Rgb atom, bool selected) {
    Rgb c = atom;
    if (c.R == 0 && c.G == 0 && c.B == 0)
        c = {PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM};
    c = {std::clamp(c.R, 0, 255), std::clamp(c.G, 0, 255), std::clamp(c.B, 0, 255)};
    if (!selected) return c;
    return {std::min(c.R + 30, 255), std::min(c.G + 30, 255), std::min(c.B + 30, 255)};
}

PhotoRenderer::PhotoRenderer(int bands, bool vectorKernels)
    : workers_(bands), vectorKernels_(vectorKernels) {}

void PhotoRenderer::DrawPhoto(const Workspace& ws, const Projection& proj,
                              const VisibleAtomList& visible, Canvas& canvas, FontSpec& labelFont) {
    static thread_local std::vector<std::uint8_t*> rows;
    rows.resize(SCENE_SIZE);
    for (int y = 0; y < SCENE_SIZE; ++y)
        rows[y] = canvas.Row(y);
    PhotoTarget target;
    target.Rows = rows.data();
    target.Width = SCENE_SIZE;
    target.Height = SCENE_SIZE;
    target.Region = ClipToScene(ws.VisibleRect);
    target.CentreX = proj.CentreX();
    target.CentreY = proj.CentreY();
    DrawPhoto(ws, proj, visible, canvas, labelFont, target, true);
}

void PhotoRenderer::DrawPhoto(const Workspace& ws, const Projection& proj,
                              const VisibleAtomList& visible, Canvas& canvas, FontSpec& labelFont,
                              const PhotoTarget& target, bool targetIsCanvas) {
    const Rect& region = target.Region;
    if (region.Width() <= 0 || region.Height() <= 0) return;
    const CameraFrame& cam = proj.Camera();
    const double scale = proj.Scale();
    pixelScale_ = proj.PixelScale();
    pp_ = Length(proj.Plane().PlaneCentre - cam.V0);
    V0_ = cam.V0;
    D0_ = pp_ * cam.V1;
    Du_ = scale != 0 ? (-1 / scale) * cam.V2 : Vec3{};
    Dv_ = scale != 0 ? (-1 / scale) * cam.V3 : Vec3{};
    GatherListedAtoms(ws, visible, records_, listed_, workers_);
    spheres_.clear();
    cylinderRuns_ = 0;
    // Without a usable projection no ray meets anything: the background stays.
    if (!(pp_ > 0) || !(std::fabs(scale) > 0) || !std::isfinite(pp_ * scale)) {
        listed_.clear();
    } else {
        BuildSpheres(ws, proj, visible, target);
        if (ws.ShowBonds) BuildCylinders(ws, visible, target);
    }
    if (ws.ShowBalls) ComputeOcclusion(ws);
    Rasterise(target);
    Shade(ws, target);
    DrawNames(ws, canvas, labelFont, target, targetIsCanvas);
}

void PhotoRenderer::BuildSpheres(const Workspace& ws, const Projection& proj,
                                 const VisibleAtomList& visible, const PhotoTarget& target) {
    const int count = static_cast<int>(listed_.size());
    slotScreen_.resize(VisibleAtomList::CAPACITY);
    const Vec3 V1 = Unit(proj.Camera().V1);
    const double focal = std::fabs(proj.Scale()) * pp_;
    const Rect& region = target.Region;
    spheres_.resize(listed_.size());
    workers_.ForRanges(
        static_cast<int>(listed_.size()), ATOMS_PER_BAND, [&](int, int from, int to) {
            for (int k = from; k < to; ++k) {
                const ListedAtom& a = listed_[k];
                Sphere& s = spheres_[k];
                s = Sphere{};
                s.P = a.P;
                s.R = ws.HalfRadius ? a.R * 0.5 : a.R;
                s.U = a.sx;
                s.V = a.sy;
                s.Colour = PhotoAtomColour(a.Colour, a.Molecule == ws.SelectedMolecule);
                s.Slot = a.Molecule * MAX_ATOMS + visible[count - 1 - k].Atom;
                // Where the bonds find their ends' pixels, in the order they read them.
                slotScreen_[s.Slot] = {a.sx, a.sy};
                if (!ws.ShowBalls || !(s.R > 0) || !std::isfinite(s.R)) continue;
                const Vec3 o = a.P - V0_;
                const double zc = Dot(V1, o);
                // A sphere that reaches the camera's plane has no outline on the screen.
                if (!(zc > s.R * 1.000001)) continue;
                s.PixelRadius = focal * s.R / std::sqrt(zc * zc - s.R * s.R);
                const double tan2 = (a.sx * a.sx + a.sy * a.sy) / (focal * focal);
                // Off the axis the outline is an ellipse stretched away from the centre, by
                // about 1 / cos^2 of the angle for a small sphere; a near one gets the exact
                // reach of its far side, focal (tan(angle + its half angle) - tan(angle)).
                double half = s.PixelRadius * (1 + tan2) * 1.02 + 0.5;
                const double sinHalfAngle = s.R / Length(o);
                if (sinHalfAngle > 0.05) {
                    const double angle = std::atan(std::sqrt(tan2));
                    const double reach = angle + std::asin(std::min(sinHalfAngle, 1.0));
                    half = reach < 1.5707 ? focal * (std::tan(reach) - std::sqrt(tan2)) + 2 : 1e9;
                }
                const double cx = target.CentreX + a.sx, cy = target.CentreY - a.sy;
                s.X0 = ClampPixel(std::floor(cx - half), region.Left, region.Right - 1);
                s.X1 = ClampPixel(std::ceil(cx + half), region.Left - 1, region.Right - 1);
                s.Y0 = ClampPixel(std::floor(cy - half), region.Top, region.Bottom - 1);
                s.Y1 = ClampPixel(std::ceil(cy + half), region.Top - 1, region.Bottom - 1);
                if (cx + half < region.Left || cy + half < region.Top) s.X1 = s.X0 - 1;
                s.Od0 = Dot(o, D0_);
                s.Odu = Dot(o, Du_);
                s.Odv = Dot(o, Dv_);
                s.C = Dot(o, o) - s.R * s.R;
                s.G0 = Cross(o, D0_);
                s.Gu = Cross(o, Du_);
                s.Gv = Cross(o, Dv_);
            }
        });
}

void PhotoRenderer::BuildCylinders(const Workspace& ws, const VisibleAtomList& visible,
                                   const PhotoTarget& target) {
    const Rect& region = target.Region;
    // Each band collects the bonds of a run of molecules, reading the bond tables in memory
    // order (the other row of a bond was read just before); the runs are joined in order.
    const int runs = workers_.ForRanges(
        LoadedMolecules(ws), MoleculesPerBand(ws), [&](int band, int from, int to) {
            std::vector<Cylinder>& found = bandCylinders_[band];
            found.clear();
            for (int m = from; m < to; ++m) {
                const MoleculeRecord& mol = ws.Molecules[m];
                const int atoms = AtomsOf(mol);
                for (int a = 0; a < atoms; ++a) {
                    const int pa = visible.Find(m, a);
                    if (pa < 0) continue;
                    const auto& row = mol.Bonds[a];
                    const auto bond = [&](int j) {
                        if (j == a) return;
                        // A bond marked in both rows is drawn once, from the lower atom's row.
                        if (j < a && mol.Bonds[j][a] != '0') return;
                        const int pb = visible.Find(m, j);
                        if (pb < 0) return;
                        const ScreenPoint& ea = slotScreen_[m * MAX_ATOMS + a];
                        const ScreenPoint& eb = slotScreen_[m * MAX_ATOMS + j];
                        const Vec3 A{mol.X[a], mol.Y[a], mol.Z[a]};
                        const Vec3 B{mol.X[j], mol.Y[j], mol.Z[j]};
                        const double ra = ws.HalfRadius ? mol.R[a] * 0.5 : mol.R[a];
                        const double rb = ws.HalfRadius ? mol.R[j] * 0.5 : mol.R[j];
                        Cylinder c;
                        c.A = A;
                        const Vec3 ab = B - A;
                        const double length = Length(ab);
                        if (!(length > 0) || !std::isfinite(length)) return;
                        c.R = BOND_RADIUS * std::min(ra, rb);
                        if (!(c.R > 0)) c.R = BOND_RADIUS * std::max({ra, rb, 0.0});
                        if (!(c.R > 0) || !std::isfinite(c.R)) return;
                        // From the surface of one ball to the surface of the other.
                        const auto leave = [&](double r) {
                            return ws.ShowBalls && r > c.R ? std::sqrt(r * r - c.R * c.R) : 0.0;
                        };
                        c.S0 = leave(ra);
                        c.S1 = length - leave(rb);
                        if (!(c.S1 > c.S0)) return;
                        c.Axis = (1 / length) * ab;
                        const char kind = row[j];
                        c.Pieces = kind == 'D' ? 5 : kind == 'Z' ? 9 : 1;
                        c.Colour = kind == 'S'                  ? Rgb{0, 0, 255}
                                   : kind == 'D' || kind == 'Z' ? Rgb{0, 128, 0}
                                                                : Rgb{128, 128, 128};
                        const double half =
                            c.R * std::max(mol.PerspectiveFactor[a], mol.PerspectiveFactor[j]) *
                                1.5 +
                            1;
                        const double xa = target.CentreX + ea.sx, ya = target.CentreY - ea.sy;
                        const double xb = target.CentreX + eb.sx, yb = target.CentreY - eb.sy;
                        const double left = std::min(xa, xb) - half,
                                     right = std::max(xa, xb) + half;
                        const double top = std::min(ya, yb) - half,
                                     bottom = std::max(ya, yb) + half;
                        if (right < region.Left || bottom < region.Top) return;
                        if (left >= region.Right || top >= region.Bottom) return;
                        c.X0 = ClampPixel(std::floor(left), region.Left, region.Right - 1);
                        c.X1 = ClampPixel(std::ceil(right), region.Left - 1, region.Right - 1);
                        c.Y0 = ClampPixel(std::floor(top), region.Top, region.Bottom - 1);
                        c.Y1 = ClampPixel(std::ceil(bottom), region.Top - 1, region.Bottom - 1);
                        const Vec3 toCamera = V0_ - c.A;
                        c.Wa = Dot(toCamera, c.Axis);
                        c.W = toCamera - c.Wa * c.Axis;
                        c.Xa = xa;
                        c.Ya = ya;
                        c.Xb = xb;
                        c.Yb = yb;
                        c.Half = half;
                        found.push_back(c);
                    };
                    ForEachBond(row, atoms, bond);
                }
            }
        });
    cylinderRuns_ = runs;
}

void PhotoRenderer::ComputeOcclusion(const Workspace& ws) {
    // Occlusion depends on the atoms alone, not on the camera: while the camera flies over one
    // frame it is computed once.
    std::uint64_t key = 1469598103934665603ULL;
    const auto mix = [&key](std::uint64_t v) { key = (key ^ v) * 1099511628211ULL; };
    const int molecules = LoadedMolecules(ws);
    mix(static_cast<std::uint64_t>(molecules) * 2 + (ws.HalfRadius ? 1 : 0));
    for (int m = 0; m < molecules; ++m) {
        const MoleculeRecord& mol = ws.Molecules[m];
        const int atoms = AtomsOf(mol);
        mix(static_cast<std::uint64_t>(atoms));
        for (int a = 0; a < atoms; ++a) {
            mix(std::bit_cast<std::uint64_t>(mol.X[a]) ^
                std::rotl(std::bit_cast<std::uint64_t>(mol.Y[a]), 21) ^
                std::rotl(std::bit_cast<std::uint64_t>(mol.Z[a]), 42));
            mix(std::bit_cast<std::uint64_t>(mol.R[a]));
        }
    }
    if (occlusionKnown_ && key == occlusionKey_) return;
    occlusionKnown_ = true;
    occlusionKey_ = key;
    occlusion_.assign(VisibleAtomList::CAPACITY, 0.0f);
    occlusionDir_.assign(static_cast<std::size_t>(VisibleAtomList::CAPACITY) * 3, 0.0f);
    aoAtoms_.clear();
    for (int m = 0; m < molecules; ++m) {
        const MoleculeRecord& mol = ws.Molecules[m];
        const int atoms = AtomsOf(mol);
        for (int a = 0; a < atoms; ++a) {
            const double r = ws.HalfRadius ? mol.R[a] * 0.5 : mol.R[a];
            const Vec3 p{mol.X[a], mol.Y[a], mol.Z[a]};
            if (!(r > 0) || !std::isfinite(r) || !std::isfinite(p.x + p.y + p.z)) continue;
            aoAtoms_.push_back({p, r, m * MAX_ATOMS + a});
        }
    }
    const int count = static_cast<int>(aoAtoms_.size());
    if (count < 2) return;
    // A grid of cells at least as wide as any atom's reach, so that the 27 cells around an
    // atom hold every neighbour that can occlude it.
    double rmax = 0;
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const OccludingAtom& s : aoAtoms_) {
        rmax = std::max(rmax, s.R);
        lo = {std::min(lo.x, s.P.x), std::min(lo.y, s.P.y), std::min(lo.z, s.P.z)};
        hi = {std::max(hi.x, s.P.x), std::max(hi.y, s.P.y), std::max(hi.z, s.P.z)};
    }
    if (!(rmax > 0)) return;
    double cell = (2 + OCCLUSION_REACH) * rmax;
    std::int64_t nx, ny, nz;
    for (;;) {
        nx = static_cast<std::int64_t>(std::min((hi.x - lo.x) / cell, 1e6)) + 1;
        ny = static_cast<std::int64_t>(std::min((hi.y - lo.y) / cell, 1e6)) + 1;
        nz = static_cast<std::int64_t>(std::min((hi.z - lo.z) / cell, 1e6)) + 1;
        if (nx * ny * nz <= MAX_CELLS) break;
        cell *= 1.5;
    }
    const auto coord = [&](double v, double origin, std::int64_t n) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>((v - origin) / cell), 0, n - 1);
    };
    const std::int32_t cells = static_cast<std::int32_t>(nx * ny * nz);
    cellStart_.assign(static_cast<std::size_t>(cells) + 1, 0);
    atomCell_.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const OccludingAtom& s = aoAtoms_[k];
        atomCell_[k] = static_cast<std::int32_t>(
            (coord(s.P.z, lo.z, nz) * ny + coord(s.P.y, lo.y, ny)) * nx + coord(s.P.x, lo.x, nx));
        ++cellStart_[atomCell_[k] + 1];
    }
    for (std::int32_t c = 0; c < cells; ++c)
        cellStart_[c + 1] += cellStart_[c];
    // The atoms in cell order, packed as x, y, z, r relative to the grid's corner: a cell's
    // neighbours are read from a few short runs of memory.
    const std::int32_t placed = cellStart_[cells];
    cellAtoms_.resize(static_cast<std::size_t>(placed));
    packed_.resize(static_cast<std::size_t>(placed) * 4);
    {
        std::vector<std::int32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (int k = 0; k < count; ++k) {
            const std::int32_t q = fill[atomCell_[k]]++;
            cellAtoms_[q] = aoAtoms_[k].Slot;
            const OccludingAtom& s = aoAtoms_[k];
            float* p = &packed_[4 * static_cast<std::size_t>(q)];
            p[0] = static_cast<float>(s.P.x - lo.x);
            p[1] = static_cast<float>(s.P.y - lo.y);
            p[2] = static_cast<float>(s.P.z - lo.z);
            p[3] = static_cast<float>(s.R);
        }
    }
    const float reachShare = static_cast<float>(OCCLUSION_REACH);
    const float full = static_cast<float>(OCCLUSION_FULL);
    workers_.ForRanges(placed, ATOMS_PER_BAND / 4, [&](int, int from, int to) {
        for (int q = from; q < to; ++q) {
            const float* me = &packed_[4 * static_cast<std::size_t>(q)];
            const float px = me[0], py = me[1], pz = me[2], r = me[3];
            const float reach = reachShare * r;
            const std::int64_t cx = std::min<std::int64_t>(static_cast<std::int64_t>(px / cell),
                                                           nx - 1),
                               cy = std::min<std::int64_t>(static_cast<std::int64_t>(py / cell),
                                                           ny - 1),
                               cz = std::min<std::int64_t>(static_cast<std::int64_t>(pz / cell),
                                                           nz - 1);
            float sum = 0, dx = 0, dy = 0, dz = 0;
            for (std::int64_t iz = std::max<std::int64_t>(cz - 1, 0);
                 iz <= std::min(cz + 1, nz - 1); ++iz)
                for (std::int64_t iy = std::max<std::int64_t>(cy - 1, 0);
                     iy <= std::min(cy + 1, ny - 1); ++iy) {
                    // The three cells of a row of x are one run.
                    const std::int64_t rowCell = (iz * ny + iy) * nx;
                    const std::int32_t begin =
                        cellStart_[rowCell + std::max<std::int64_t>(cx - 1, 0)];
                    const std::int32_t end = cellStart_[rowCell + std::min(cx + 1, nx - 1) + 1];
                    for (std::int32_t o = begin; o < end; ++o) {
                        const float* n = &packed_[4 * static_cast<std::size_t>(o)];
                        const float ex = n[0] - px, ey = n[1] - py, ez = n[2] - pz;
                        const float dist2 = ex * ex + ey * ey + ez * ez;
                        const float limit = r + n[3] + reach;
                        if (o == q || dist2 >= limit * limit) continue;
                        const float dist = std::sqrt(dist2);
                        const float gap = std::max(dist - r - n[3], 0.0f);
                        const float near = 1 - gap / reach;
                        const float size = std::min(1.0f, (n[3] * n[3]) / (r * r));
                        const float w = near * near * size;
                        sum += w;
                        const float along = dist > 0 ? w / dist : 0;
                        dx += along * ex;
                        dy += along * ey;
                        dz += along * ez;
                    }
                }
            const int k = cellAtoms_[q];
            occlusion_[k] = std::min(1.0f, sum / full);
            if (sum > 0) {
                occlusionDir_[3 * k] = dx / sum;
                occlusionDir_[3 * k + 1] = dy / sum;
                occlusionDir_[3 * k + 2] = dz / sum;
            }
        }
    });
}

void PhotoRenderer::Rasterise(const PhotoTarget& target) {
    const Rect& region = target.Region;
    const int width = region.Width(), height = region.Height();
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // The same buffers as the last pass: only the spans it wrote need clearing.
    const int bands = workers_.Bands();
    const int stripes = (height + STRIPE - 1) / STRIPE;
    const bool reuse = width == bufferWidth_ && height == bufferHeight_ && depth_.size() == size &&
                       owner_.size() == size && spans_.size() == static_cast<std::size_t>(stripes);
    bufferWidth_ = width;
    bufferHeight_ = height;
    if (!reuse) {
        depth_.resize(size);
        owner_.resize(size);
        StripeSpans all;
        all.Rows.fill(RowSpan{0, width});
        spans_.assign(static_cast<std::size_t>(stripes), all);
        stripeBand_.resize(spans_.size());
        for (int k = 0; k < stripes; ++k)
            stripeBand_[k] = k % bands;
    }
    const Vec3 D0 = D0_, Du = Du_, Dv = Dv_;
    const double g00 = Dot(D0, D0), g0u = Dot(D0, Du), g0v = Dot(D0, Dv);
    const double guu = Dot(Du, Du), guv = Dot(Du, Dv), gvv = Dot(Dv, Dv);
    const int spheres = static_cast<int>(spheres_.size());
    // Bands own stripes of rows, so that a small sphere is mostly one band's work.
    const auto forRows = [&](int band, int y0, int y1, auto&& row) {
        for (int y = y0; y <= y1;) {
            const int stripe = (y - region.Top) / STRIPE;
            const int stripeEnd = region.Top + (stripe + 1) * STRIPE;
            if (stripeBand_[stripe] == band) {
                const int end = std::min(y1 + 1, stripeEnd);
                for (; y < end; ++y)
                    row(y);
            }
            y = stripeEnd;
        }
    };
    auto job = [&](int band) {
        forRows(band, region.Top, region.Bottom - 1, [&](int y) {
            const std::size_t base = static_cast<std::size_t>(y - region.Top) * width;
            RowSpan& span = SpanOf(y - region.Top);
            if (span.From < span.To) {
                std::fill_n(depth_.data() + base + span.From, span.To - span.From, FAR);
                std::fill_n(owner_.data() + base + span.From, span.To - span.From, -1);
            }
            span = {width, 0};
        });
        // Each band widens the spans of its own rows only.
        const auto mark = [&](int y, int x0, int x1) {
            RowSpan& span = SpanOf(y - region.Top);
            span.From = std::min(span.From, x0 - region.Left);
            span.To = std::max(span.To, x1 + 1 - region.Left);
        };
        for (int k = 0; k < spheres; ++k) {
            const Sphere& s = spheres_[k];
            if (s.X1 < s.X0) continue;
            const double qa = s.Odu * s.Odu - guu * s.C;
            const double halfOverQa = 0.5 / qa;
            // A box one vector wide costs the kernel the same narrowed or not.
            const bool narrow = qa < 0 && s.X1 - s.X0 >= 8;
            SphereRowTerms terms;
            terms.Du = ToFloat(Du_);
            terms.Gu = ToFloat(s.Gu);
            terms.Odu = static_cast<float>(s.Odu);
            terms.R2 = static_cast<float>(s.R * s.R);
            forRows(band, s.Y0, s.Y1, [&](int y) {
                const double v = target.CentreY - y;
                const double od = s.Od0 + v * s.Odv;
                const double q0 = g00 + 2 * v * g0v + v * v * gvv, q1 = 2 * (g0u + v * guv);
                // The row's pixels inside the outline: where the discriminant, a quadratic in
                // u, is not negative; a pixel more on each side for the rounding of floats.
                int x0 = s.X0, x1 = s.X1;
                const double qb = 2 * od * s.Odu - q1 * s.C;
                const double qc = od * od - q0 * s.C;
                const double d = qb * qb - 4 * qa * qc;
                if (qa < 0 && !(d >= 0)) return;
                if (narrow) {
                    const double root = std::sqrt(d);
                    const double lo = target.CentreX + (-qb + root) * halfOverQa;
                    const double hi = target.CentreX + (-qb - root) * halfOverQa;
                    x0 = std::max(x0, ClampPixel(std::floor(lo) - 1, s.X0, s.X1 + 1));
                    x1 = std::min(x1, ClampPixel(std::ceil(hi) + 1, s.X0 - 1, s.X1));
                    if (x1 < x0) return;
                }
                const std::size_t at =
                    static_cast<std::size_t>(y - region.Top) * width + (x0 - region.Left);
                const double u = x0 - target.CentreX;
                terms.D = ToFloat(D0_ + u * Du_ + v * Dv_);
                terms.G = ToFloat(s.G0 + u * s.Gu + v * s.Gv);
                terms.Od = static_cast<float>(od + u * s.Odu);
                mark(y, x0, x1);
                SphereRow(vectorKernels_, depth_.data() + at, owner_.data() + at, x1 - x0 + 1,
                          terms, k);
            });
        }
        std::int32_t id = spheres;
        for (int run = 0; run < cylinderRuns_; ++run) {
            for (const Cylinder& cy : bandCylinders_[run]) {
                const std::int32_t cid = id++;
                if (cy.X1 < cy.X0) continue;
                // What does not change from row to row.
                const Vec3 aw = Cross(cy.Axis, cy.W);
                CylinderRowTerms terms;
                terms.Du = ToFloat(Du_);
                terms.Axis = ToFloat(cy.Axis);
                terms.Fu = ToFloat(Cross(Du_, cy.Axis));
                terms.Eu = ToFloat(Cross(Du_, cy.W) - Dot(Du_, cy.Axis) * aw);
                terms.Bu = static_cast<float>(Dot(Du_, cy.W));
                terms.R2 = static_cast<float>(cy.R * cy.R);
                terms.Wa = static_cast<float>(cy.Wa);
                terms.S0 = static_cast<float>(cy.S0);
                terms.S1 = static_cast<float>(cy.S1);
                terms.PieceScale = static_cast<float>(cy.Pieces / (cy.S1 - cy.S0));
                terms.Pieces = cy.Pieces;
                const double dy = cy.Yb - cy.Ya;
                const bool steep = std::fabs(dy) > 1e-9;
                const double perDy = steep ? 1 / dy : 0;
                forRows(band, cy.Y0, cy.Y1, [&](int y) {
                    // Only the columns the thickened axis covers in this row.
                    double t0 = 0, t1 = 1;
                    if (steep) {
                        t0 = (y - cy.Half - cy.Ya) * perDy;
                        t1 = (y + cy.Half - cy.Ya) * perDy;
                        if (t0 > t1) std::swap(t0, t1);
                        t0 = std::max(t0, 0.0);
                        t1 = std::min(t1, 1.0);
                        if (t0 > t1) return;
                    }
                    const double xa = cy.Xa + t0 * (cy.Xb - cy.Xa),
                                 xb = cy.Xa + t1 * (cy.Xb - cy.Xa);
                    const int x0 = std::max(
                        cy.X0,
                        ClampPixel(std::floor(std::min(xa, xb) - cy.Half), cy.X0, cy.X1 + 1));
                    const int x1 = std::min(
                        cy.X1, ClampPixel(std::ceil(std::max(xa, xb) + cy.Half), cy.X0 - 1, cy.X1));
                    if (x1 < x0) return;
                    const double v = target.CentreY - y;
                    const double u = x0 - target.CentreX;
                    // The row's terms from its first pixel: the ray d and the cross products of
                    // the discriminant, then their steps per pixel to the right.
                    const Vec3 d = D0_ + u * Du_ + v * Dv_;
                    terms.D = ToFloat(d);
                    terms.F = ToFloat(Cross(d, cy.Axis));
                    terms.E = ToFloat(Cross(d, cy.W) - Dot(d, cy.Axis) * aw);
                    terms.B = static_cast<float>(Dot(d, cy.W));
                    const std::size_t at =
                        static_cast<std::size_t>(y - region.Top) * width + (x0 - region.Left);
                    mark(y, x0, x1);
                    CylinderRow(vectorKernels_, depth_.data() + at, owner_.data() + at, x1 - x0 + 1,
                                terms, cid);
                });
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
}

void PhotoRenderer::Shade(const Workspace& ws, const PhotoTarget& target) {
    const Rect& region = target.Region;
    const int width = region.Width();
    const int bands = workers_.Bands();
    const int spheres = static_cast<int>(spheres_.size());
    const Vec3 V1 = Unit(D0_);
    // The depth cue fades from the near side of the cube to its far side; without a cube,
    // over the depths of the atoms.
    double fogNear = 0, fogFar = 0;
    {
        double lo = 1e300, hi = -1e300;
        const double h = ws.Cube.CubeLength / 2;
        for (int corner = 0; corner < 8; ++corner) {
            const Vec3 p = ws.Cube.CubeCentre +
                           Vec3{corner & 1 ? h : -h, corner & 2 ? h : -h, corner & 4 ? h : -h};
            const double z = Dot(V1, p - V0_);
            lo = std::min(lo, z);
            hi = std::max(hi, z);
        }
        if (!(h > 0) || !(hi > 0)) {
            lo = 1e300, hi = -1e300;
            for (const Sphere& s : spheres_) {
                const double z = Dot(V1, s.P - V0_);
                lo = std::min(lo, z);
                hi = std::max(hi, z);
            }
        }
        fogNear = std::max(lo, 0.0);
        fogFar = hi;
    }
    const double fogSpan = fogFar - fogNear;
    const double cue = std::clamp(ws.PhotoDepthCue, 0.0, 1.0);
    const double occlusionStrength = std::clamp(ws.PhotoOcclusion, 0.0, 1.0);
    const double outline = std::max(ws.PhotoOutline, 0.0);
    const double kd = ws.DiffuseCoefficient, ks = ws.ReflectCoefficient, ka = ws.StrayCoefficient;
    const Vec3 light = ws.LightPosition;
    const double bg[3] = {static_cast<double>(ws.BackgroundColour.R & 0xFF),
                          static_cast<double>(ws.BackgroundColour.G & 0xFF),
                          static_cast<double>(ws.BackgroundColour.B & 0xFF)};
    // Per pixel in floats, relative to the camera point: the hit point is t d, a sphere's
    // centre o = P - V0, the light l = L - V0.
    const float pp = static_cast<float>(pp_);
    const V3f du = ToFloat(Du_);
    const V3f l = ToFloat(light - V0_);
    const float fkd = static_cast<float>(kd), fks = static_cast<float>(ks),
                fka = static_cast<float>(ka);
    const float fcue = static_cast<float>(cue), fogStart = static_cast<float>(fogNear),
                fogScale = fogSpan > 0 ? static_cast<float>(1 / fogSpan) : 0.0f;
    const float strength = static_cast<float>(occlusionStrength);
    const float foutline = static_cast<float>(outline);
    const float fbg[3] = {static_cast<float>(bg[0]), static_cast<float>(bg[1]),
                          static_cast<float>(bg[2])};
    // What the shading reads of each sphere, in one cache line: the pixels visit the spheres in
    // no order, and the whole records with the occlusion tables beside them would miss the
    // cache several times a pixel.
    shaded_.resize(spheres_.size());
    workers_.ForRanges(spheres, ATOMS_PER_BAND, [&](int, int from, int to) {
        for (int k = from; k < to; ++k) {
            const Sphere& sp = spheres_[k];
            ShadedSphere& h = shaded_[k];
            const V3f o = ToFloat(sp.P - V0_);
            h.Ox = o.x;
            h.Oy = o.y;
            h.Oz = o.z;
            h.InvR = static_cast<float>(1 / sp.R);
            const bool known = sp.Slot < static_cast<int>(occlusion_.size());
            h.Occlusion = known ? occlusion_[sp.Slot] : 0;
            h.Dx = known ? occlusionDir_[3 * static_cast<std::size_t>(sp.Slot)] : 0;
            h.Dy = known ? occlusionDir_[3 * static_cast<std::size_t>(sp.Slot) + 1] : 0;
            h.Dz = known ? occlusionDir_[3 * static_cast<std::size_t>(sp.Slot) + 2] : 0;
            h.PixelRadius = static_cast<float>(sp.PixelRadius);
            h.U = static_cast<float>(sp.U);
            h.V = static_cast<float>(sp.V);
            h.Colour[0] = sp.Colour.R;
            h.Colour[1] = sp.Colour.G;
            h.Colour[2] = sp.Colour.B;
        }
    });
    const auto dot = [](V3f a, V3f b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    const auto unit = [&](V3f a) {
        const float k = InverseRoot(dot(a, a));
        return V3f{a.x * k, a.y * k, a.z * k};
    };
    // One pixel; the vector kernel leaves the pixels of bonds and of outlines to this.
    const auto shadePixel = [&](int x, int y, std::size_t row, double v, V3f dRow,
                                std::uint8_t* pixels) {
        const std::int32_t id = owner_[row + (x - region.Left)];
        if (id < 0) return;
        const float t = depth_[row + (x - region.Left)];
        const float i = static_cast<float>(x - region.Left);
        const V3f d{dRow.x + i * du.x, dRow.y + i * du.y, dRow.z + i * du.z};
        const V3f hit{t * d.x, t * d.y, t * d.z};
        V3f n;
        Rgb colour;
        float occ = 0, edge = 0;
        if (id < spheres) {
            const ShadedSphere& s = shaded_[id];
            const V3f o{s.Ox, s.Oy, s.Oz};
            const float invR = s.InvR;
            n = {(hit.x - o.x) * invR, (hit.y - o.y) * invR, (hit.z - o.z) * invR};
            colour = {s.Colour[0], s.Colour[1], s.Colour[2]};
            // Darker on the side that faces the neighbours.
            occ = std::min(1.0f,
                           s.Occlusion * std::max(0.0f, 1 + n.x * s.Dx + n.y * s.Dy + n.z * s.Dz));
            // The outline: pixels within its width of the sphere's rim, where what lies
            // just beyond the rim is deeper by about a radius or more.
            const float pixelRadius = s.PixelRadius;
            const float lineWidth = foutline * pixelRadius;
            if (lineWidth > 0) {
                // The ray's distance from the centre, |o x d| / |d|, against R.
                const V3f c{o.y * d.z - o.z * d.y, o.z * d.x - o.x * d.z, o.x * d.y - o.y * d.x};
                const float rim =
                    std::sqrt(std::clamp(dot(c, c) / dot(d, d) * invR * invR, 0.0f, 1.0f));
                const float fromRim = pixelRadius * (1 - rim);
                if (fromRim < lineWidth) {
                    double eu = (x - target.CentreX) - s.U, ev = v - s.V;
                    const double len = std::sqrt(eu * eu + ev * ev);
                    float jump = 1;
                    if (len > 0) {
                        eu /= len;
                        ev /= len;
                        const double step = fromRim + 1.5;
                        const int px = x + static_cast<int>(std::lround(eu * step));
                        const int py = y - static_cast<int>(std::lround(ev * step));
                        if (px >= region.Left && px < region.Right && py >= region.Top &&
                            py < region.Bottom) {
                            const float beyond =
                                depth_[static_cast<std::size_t>(py - region.Top) * width +
                                       (px - region.Left)];
                            if (beyond != FAR)
                                jump = std::clamp((beyond - t) * pp * invR, 0.0f, 1.0f);
                        }
                    } else {
                        jump = 0;
                    }
                    edge = std::clamp(lineWidth - fromRim, 0.0f, 1.0f) * jump;
                }
            }
        } else {
            const Cylinder& c = CylinderAt(static_cast<std::size_t>(id - spheres));
            const V3f a = ToFloat(c.A - V0_), axis = ToFloat(c.Axis);
            const V3f fromA{hit.x - a.x, hit.y - a.y, hit.z - a.z};
            const float along = dot(fromA, axis);
            const float invR = static_cast<float>(1 / c.R);
            n = {(fromA.x - along * axis.x) * invR, (fromA.y - along * axis.y) * invR,
                 (fromA.z - along * axis.z) * invR};
            colour = c.Colour;
        }
        const V3f toLight = unit({l.x - hit.x, l.y - hit.y, l.z - hit.z});
        const V3f toEye = unit({-d.x, -d.y, -d.z});
        const float diffuse = std::max(dot(n, toLight), 0.0f);
        const float k = std::max(
            dot(n, unit({toLight.x + toEye.x, toLight.y + toEye.y, toLight.z + toEye.z})), 0.0f);
        const float k2 = k * k, k4 = k2 * k2, k16 = k4 * k4 * k4 * k4;
        static_assert(SHININESS == 20);
        const float specular = fks * k16 * k4;
        const float ao = 1 - strength * occ;
        const float fog = fcue * std::clamp((t * pp - fogStart) * fogScale, 0.0f, 1.0f);
        const float lit = fkd * diffuse + fka;
        const int base[3] = {colour.R, colour.G, colour.B};
        std::uint8_t* p = pixels + 3 * x;
        for (int ch = 0; ch < 3; ++ch) {
            float value = (lit * static_cast<float>(base[ch]) * (1 / 255.0f) + specular) * ao * 255;
            value = std::min(value, 255.0f);
            value += (fbg[ch] - value) * fog;
            value *= 1 - edge;
            p[2 - ch] = static_cast<std::uint8_t>(Byte(value));
        }
    };
    ShadeTerms terms;
    static_assert(sizeof(ShadedSphere) == 16 * sizeof(float) &&
                  offsetof(ShadedSphere, Occlusion) == 4 * sizeof(float) &&
                  offsetof(ShadedSphere, PixelRadius) == 8 * sizeof(float) &&
                  offsetof(ShadedSphere, Colour) == 11 * sizeof(float));
    terms.Spheres = reinterpret_cast<const float*>(shaded_.data());
    terms.Count = spheres;
    terms.Du = du;
    terms.L = l;
    terms.Kd = fkd;
    terms.Ks = fks;
    terms.Ka = fka;
    terms.Cue = fcue;
    terms.FogStart = fogStart;
    terms.FogScale = fogScale;
    terms.Strength = strength;
    terms.Outline = foutline;
    terms.Pp = pp;
    terms.Bg[0] = fbg[0];
    terms.Bg[1] = fbg[1];
    terms.Bg[2] = fbg[2];
    auto job = [&](int band) {
        std::vector<int> left(static_cast<std::size_t>(width) + 8);
        for (int y = region.Top + band; y < region.Bottom; y += bands) {
            const RowSpan span = SpanOf(y - region.Top);
            if (span.From >= span.To) continue;
            const std::size_t row = static_cast<std::size_t>(y - region.Top) * width;
            std::uint8_t* pixels = target.Rows[y];
            const double v = target.CentreY - y;
            const V3f dRow = ToFloat(D0_ + v * Dv_ + (region.Left - target.CentreX) * Du_);
#if defined(__x86_64__)
            if (vectorKernels_ && HAS_AVX2) {
                const int n =
                    ShadeRowAvx2(terms, dRow, owner_.data() + row, depth_.data() + row, span.From,
                                 span.To, pixels + 3 * region.Left, left.data());
                for (int k = 0; k < n; ++k)
                    shadePixel(region.Left + left[k], y, row, v, dRow, pixels);
                continue;
            }
#endif
            for (int x = region.Left + span.From; x < region.Left + span.To; ++x)
                shadePixel(x, y, row, v, dRow, pixels);
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
}

void PhotoRenderer::DrawNames(const Workspace& ws, Canvas& canvas, FontSpec& labelFont,
                              const PhotoTarget& target, bool targetIsCanvas) {
    names_.clear();
    if (!ws.ShowAtomNames) return;
    const Rect& region = target.Region;
    const double fontScale = ws.Projection.FontScale;
    const int count = static_cast<int>(listed_.size());
    const Vec3 D0 = D0_, Du = Du_, Dv = Dv_;
    const auto heightOf = [&](const ListedAtom& atom) {
        return Trunc(atom.Factor * fontScale + 3 * pixelScale_);
    };
    // Which names are seen, and the pieces the canvas has ready, on the bands.
    nameLookups_.resize(static_cast<std::size_t>(count));
    workers_.ForRanges(count, NAMES_PER_BAND, [&](int, int from, int to) {
        FontSpec font = labelFont;
        for (int k = from; k < to; ++k) {
            const ListedAtom& atom = listed_[k];
            NameLookup& look = nameLookups_[k];
            look = {nullptr, 0, Trunc(target.CentreX + atom.sx), Trunc(target.CentreY - atom.sy),
                    false};
            const int x = look.X, y = look.Y;
            // Only a name whose atom is seen at its centre: nearer atoms hide the rest.
            if (x < region.Left || x >= region.Right || y < region.Top || y >= region.Bottom)
                continue;
            const std::size_t at =
                static_cast<std::size_t>(y - region.Top) * bufferWidth_ + (x - region.Left);
            if (owner_[at] != k) {
                const double u = x - target.CentreX, v = target.CentreY - y;
                const Vec3 d = D0 + u * Du + v * Dv;
                const double tCentre = Dot(d, atom.P - V0_) / Dot(d, d);
                if (!(depth_[at] >= tCentre)) continue;
            }
            look.Seen = true;
            font.Height = heightOf(atom);
            look.Coverage = canvas.ReadyCoverage(x, y, atom.Name.View(), font, look.Pieces);
        }
    });
    // In order: the names found ready, until the canvas draws one itself; the others looked up.
    bool ready = true;
    for (int k = 0; k < count; ++k) {
        const NameLookup& look = nameLookups_[k];
        if (!look.Seen) continue;
        const ListedAtom& atom = listed_[k];
        labelFont.Height = heightOf(atom);
        if (ready && look.Coverage != nullptr) {
            names_.push_back({look.Coverage, look.Pieces, look.X, look.Y});
            continue;
        }
        int pieces = 0;
        const TextCoverage* c =
            canvas.Coverage(look.X, look.Y, atom.Name.View(), labelFont, pieces);
        if (c != nullptr) {
            names_.push_back({c, pieces, look.X, look.Y});
        } else if (targetIsCanvas) {
            // The canvas draws this one itself, which may end the coverages collected so far.
            BlendNames(target);
            canvas.Text(look.X, look.Y, atom.Name.View(), labelFont, {0, 0, 0});
            ready = false;
        }
    }
    BlendNames(target);
    canvas.ReleaseCoverages();
}

void PhotoRenderer::BlendNames(const PhotoTarget& target) {
    // Each band blends every name in order, but only into its own rows.
    const int bands = names_.size() < 64 ? 1 : workers_.Bands();
    // Rows evenly spaced take a piece's lines in one call.
    const std::int64_t stride = EvenRowStride(target.Rows, target.Height);
    auto job = [&](int band) {
        for (const NameItem& item : names_) {
            for (int piece = 0; piece < item.Pieces; ++piece) {
                const TextCoverage& c = item.Coverage[piece];
                const std::int64_t top = std::int64_t{item.Y} + c.Top;
                const std::int64_t end = std::min<std::int64_t>(top + c.Height, target.Height);
                std::int64_t row = std::max<std::int64_t>(top, 0);
                row += ((band - row) % bands + bands) % bands;
                if (row >= end) continue;
                if (stride != 0) {
                    BlendCoverageLines(target.Rows[row], stride * bands, c,
                                       static_cast<int>(row - top),
                                       static_cast<int>((end - row + bands - 1) / bands), item.X,
                                       {0, 0, 0}, 0, target.Width, bands);
                    continue;
                }
                for (; row < end; row += bands)
                    BlendCoverageRow(target.Rows[row], c, static_cast<int>(row - top), item.X,
                                     {0, 0, 0}, target.Width);
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
    names_.clear();
}

}  // namespace tarsel
