#include "trajectory/InBetween.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "trajectory/Frames.h"

namespace tarsel {

const MoleculePose* FrameCache::Frame(TrajectoryFile& file, std::int32_t n, int moleculeCount) {
    if (n < 0 || moleculeCount <= 0 || !file.IsOpen()) return nullptr;
    ++clock_;
    for (Slot& slot : slots_) {
        if (slot.Frame == n && slot.MoleculeCount == moleculeCount) {
            slot.LastUse = clock_;
            return slot.Poses.data();
        }
    }
    Slot& slot = *std::min_element(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) {
        return a.LastUse < b.LastUse;
    });
    slot.Frame = -1;
    slot.Poses.resize(static_cast<std::size_t>(moleculeCount));
    const std::size_t bytes = sizeof(MoleculePose) * slot.Poses.size();
    ++framesRead_;
    if (!file.Seek(FrameOffset(n, moleculeCount)) || file.Read(slot.Poses.data(), bytes) != bytes)
        return nullptr;
    slot.Frame = n;
    slot.MoleculeCount = moleculeCount;
    slot.LastUse = clock_;
    return slot.Poses.data();
}

void FrameCache::Clear() {
    for (Slot& slot : slots_)
        slot.Frame = -1;
}

// The least recently used slot is the one replaced: with room for four, the frames one
// in-between asks for never push each other out.
static_assert(FrameCache::SLOTS >= 4);

namespace {

struct Quaternion {
    double w, x, y, z;
};

double Dot(const Quaternion& a, const Quaternion& b) {
    return a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
}

// False for a quaternion that names no orientation (zero or not finite).
bool Normalise(Quaternion& q) {
    const double norm = std::sqrt(Dot(q, q));
    if (!(norm > 0) || !std::isfinite(norm)) return false;
    q = {q.w / norm, q.x / norm, q.y / norm, q.z / norm};
    return true;
}

Vec3 Centre(const MoleculePose& p) {
    return {p.X0, p.Y0, p.Z0};
}

// Two centres no farther apart than halfEdge; a NaN counts as a jump.
bool Joined(const MoleculePose& a, const MoleculePose& b, double halfEdge) {
    return Length(Centre(b) - Centre(a)) <= halfEdge;
}

// Uniform Catmull-Rom between p1 (t = 0) and p2 (t = 1).
Vec3 CatmullRom(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, double t) {
    const double t2 = t * t, t3 = t2 * t;
    return 0.5 * (2.0 * p1 + t * (p2 - p0) + t2 * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) +
                  t3 * (3.0 * p1 - p0 - 3.0 * p2 + p3));
}

Quaternion Slerp(Quaternion a, Quaternion b, double t) {
    double cosine = Dot(a, b);
    // q and -q are one orientation: take the shorter way round.
    if (cosine < 0) {
        b = {-b.w, -b.x, -b.y, -b.z};
        cosine = -cosine;
    }
    double ka = 1 - t, kb = t;
    // Nearly equal orientations: the sine below vanishes, and the chord is as good.
    if (cosine < 0.9995) {
        const double angle = std::acos(cosine), sine = std::sin(angle);
        ka = std::sin((1 - t) * angle) / sine;
        kb = std::sin(t * angle) / sine;
    }
    Quaternion q{ka * a.w + kb * b.w, ka * a.x + kb * b.x, ka * a.y + kb * b.y,
                 ka * a.z + kb * b.z};
    Normalise(q);
    return q;
}

}  // namespace

MoleculePose InBetweenPose(const MoleculePose* before, const MoleculePose& a, const MoleculePose& b,
                           const MoleculePose* after, double t, double halfEdge) {
    if (t == 0) return a;
    Quaternion qa{a.l0, a.l1, a.l2, a.l3}, qb{b.l0, b.l1, b.l2, b.l3};
    // Through a wall, or without an orientation to turn from or to: a jump at half-way.
    if (!Joined(a, b, halfEdge) || !Normalise(qa) || !Normalise(qb)) return t < 0.5 ? a : b;
    MoleculePose pose = a;
    const bool curve = before != nullptr && after != nullptr && Joined(*before, a, halfEdge) &&
                       Joined(b, *after, halfEdge);
    const Vec3 centre = curve ? CatmullRom(Centre(*before), Centre(a), Centre(b), Centre(*after), t)
                              : Centre(a) + t * (Centre(b) - Centre(a));
    pose.X0 = centre.x;
    pose.Y0 = centre.y;
    pose.Z0 = centre.z;
    const Quaternion q = Slerp(qa, qb, t);
    pose.l0 = q.w;
    pose.l1 = q.x;
    pose.l2 = q.y;
    pose.l3 = q.z;
    return pose;
}

bool PlaceInBetween(Workspace& ws, FrameCache& cache, TrajectoryFile& file, std::int32_t f,
                    double t) {
    const int count = std::clamp(ws.MoleculeCount(), 0, MAX_MOLECULES);
    if (f < 0 || f >= ws.FrameCount || count == 0) return false;
    const MoleculePose* a = cache.Frame(file, f, count);
    if (a == nullptr) return false;
    const bool joined = t > 0 && f + 1 < ws.FrameCount;
    const MoleculePose* b = joined ? cache.Frame(file, f + 1, count) : nullptr;
    if (b == nullptr) {
        std::memcpy(ws.Poses.data(), a, sizeof(MoleculePose) * static_cast<std::size_t>(count));
        PlaceActiveMolecules(ws);
        return true;
    }
    const MoleculePose* before = f > 0 ? cache.Frame(file, f - 1, count) : nullptr;
    const MoleculePose* after =
        std::int64_t{f} + 2 < ws.FrameCount ? cache.Frame(file, f + 2, count) : nullptr;
    const double edge = ws.Cube.CubeLength;
    const double halfEdge =
        edge > 0 && std::isfinite(edge) ? edge * 0.5 : std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) {
        ws.Poses[i] = InBetweenPose(before ? before + i : nullptr, a[i], b[i],
                                    after ? after + i : nullptr, t, halfEdge);
    }
    PlaceActiveMolecules(ws);
    return true;
}

}  // namespace tarsel
