#include "trajectory/InBetween.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "support/TestFiles.h"
#include "trajectory/Frames.h"
#include "workspace/BodyFrame.h"

namespace tarsel {
namespace {

constexpr int MOLECULES = 3, ATOMS = 5, FRAMES = 4;

// Random molecules (the last one passive) and random poses whose quaternions have the given
// length, not normalised.
std::unique_ptr<Workspace> RandomRun(double quaternionLength, std::string& trajectory) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    auto ws = std::make_unique<Workspace>();
    ws->LastMolecule = MOLECULES - 1;
    ws->Cube.CubeLength = 20;
    ws->FrameCount = FRAMES;
    for (int i = 0; i < MOLECULES; ++i) {
        ws->Molecules[i].AtomCount = ATOMS;
        ws->Molecules[i].Active = i < MOLECULES - 1;
        for (int j = 0; j < ATOMS; ++j) {
            ws->Bodies[i].BodyX[j] = u(rng), ws->Bodies[i].BodyY[j] = u(rng);
            ws->Bodies[i].BodyZ[j] = u(rng);
        }
    }
    for (int r = 0; r < FRAMES * MOLECULES; ++r) {
        MoleculePose p;
        p.X0 = 0.3 * r + u(rng), p.Y0 = u(rng), p.Z0 = u(rng);
        double q[4] = {u(rng), u(rng), u(rng), u(rng)};
        const double k =
            quaternionLength / std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        p.l0 = k * q[0], p.l1 = k * q[1], p.l2 = k * q[2], p.l3 = k * q[3];
        trajectory.append(reinterpret_cast<const char*>(&p), sizeof p);
    }
    return ws;
}

bool SameAtoms(const MoleculeRecord& a, const MoleculeRecord& b) {
    return std::memcmp(a.X.data(), b.X.data(), sizeof a.X) == 0 &&
           std::memcmp(a.Y.data(), b.Y.data(), sizeof a.Y) == 0 &&
           std::memcmp(a.Z.data(), b.Z.data(), sizeof a.Z) == 0 &&
           std::memcmp(&a.MassCentre, &b.MassCentre, sizeof(Vec3)) == 0;
}

TEST(InBetween, TZeroIsReadFrameBitForBitAndInBetweensStayRigid) {
    test::TempDir dir;
    std::string bytes;
    const std::unique_ptr<Workspace> ws = RandomRun(1.3, bytes);  // used as stored at t = 0
    test::WriteFile(dir.File("run.xyz"), bytes);
    TrajectoryFile file;
    ASSERT_TRUE(file.Open(dir.File("run.xyz")));
    FrameCache cache;
    auto byReadFrame = std::make_unique<Workspace>(*ws);
    const MoleculeRecord passive = ws->Molecules[MOLECULES - 1];
    for (int f = 0; f < FRAMES; ++f) {
        file.Seek(FrameOffset(f, MOLECULES));
        ReadPoses(file, *byReadFrame);
        PlaceActiveMolecules(*byReadFrame);
        ASSERT_TRUE(PlaceInBetween(*ws, cache, file, f, 0.0));
        EXPECT_EQ(std::memcmp(ws->Poses.data(), byReadFrame->Poses.data(), 64 * MOLECULES), 0);
        for (int i = 0; i < MOLECULES; ++i)
            EXPECT_TRUE(SameAtoms(ws->Molecules[i], byReadFrame->Molecules[i])) << f << " " << i;

        for (int s = 1; f + 1 < FRAMES && s < 64; ++s) {
            ASSERT_TRUE(PlaceInBetween(*ws, cache, file, f, s / 64.0));
            for (int i = 0; i < MOLECULES - 1; ++i) {
                const MoleculeRecord& m = ws->Molecules[i];
                const MoleculeBody& b = ws->Bodies[i];
                for (int j = 1; j < ATOMS; ++j) {
                    const double placed =
                        Length(Vec3{m.X[j] - m.X[0], m.Y[j] - m.Y[0], m.Z[j] - m.Z[0]});
                    const double body = Length(Vec3{
                        b.BodyX[j] - b.BodyX[0], b.BodyY[j] - b.BodyY[0], b.BodyZ[j] - b.BodyZ[0]});
                    ASSERT_NEAR(placed, body, 1e-9) << f << " + " << s << "/64, molecule " << i;
                }
            }
        }
    }
    EXPECT_TRUE(SameAtoms(ws->Molecules[MOLECULES - 1], passive));
}

MoleculePose At(double x, double w = 1, double z = 0) {
    MoleculePose p;
    p.X0 = x, p.l0 = w, p.l3 = z;
    return p;
}

TEST(InBetween, QuaternionSignDoesNotChangeTheInBetween) {
    // A turn of 100 degrees about z, stored as q or -q in either frame.
    const double c = std::cos(0.8727), s = std::sin(0.8727);
    const MoleculePose a = At(0), b = At(1, c, s), minusA = At(0, -1), minusB = At(1, -c, -s);
    for (double t : {0.25, 0.5, 0.9}) {
        const Matrix3 reference = PoseRotation(InBetweenPose(nullptr, a, b, nullptr, t, 10));
        for (auto [first, second] : {std::pair{&minusA, &b}, {&a, &minusB}, {&minusA, &minusB}}) {
            const Matrix3 r = PoseRotation(InBetweenPose(nullptr, *first, *second, nullptr, t, 10));
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    EXPECT_NEAR(r.m[i][j], reference.m[i][j], 1e-12) << t;
        }
    }
}

// Centres x = k^2 at frame k: the Catmull-Rom curve of uniform samples follows a parabola
// exactly, the line between two frames does not.
TEST(InBetween, CentreFollowsTheCurveWhereItsFramesAreThereAndJumpsThroughWalls) {
    auto line = [](double a, double b, double t) { return a + t * (b - a); };
    const MoleculePose k0 = At(0), k1 = At(1), k2 = At(4), k3 = At(9), far = At(-15, -0.5, 0.5);
    const struct {
        const char* Name;
        const MoleculePose *Before, *A, *B, *After;
        double T, Expected;
    } cases[] = {
        {"all four frames", &k0, &k1, &k2, &k3, 0.3, 1.3 * 1.3},
        {"all four frames, late", &k0, &k1, &k2, &k3, 0.8, 1.8 * 1.8},
        {"no frame before", nullptr, &k1, &k2, &k3, 0.3, line(1, 4, 0.3)},
        {"no frame after", &k0, &k1, &k2, nullptr, 0.3, line(1, 4, 0.3)},
        {"frame before beyond a wall", &far, &k1, &k2, &k3, 0.3, line(1, 4, 0.3)},
        {"through a wall, before half-way", nullptr, &k0, &far, nullptr, 0.49, 0},
        {"through a wall, at half-way", nullptr, &k0, &far, nullptr, 0.5, -15},
    };
    for (const auto& c : cases) {
        const MoleculePose p = InBetweenPose(c.Before, *c.A, *c.B, c.After, c.T, 10);
        EXPECT_NEAR(p.X0, c.Expected, 1e-12) << c.Name;
        // Through a wall the pose is the stored record itself, quaternion included.
        if (c.B == &far) {
            EXPECT_EQ(std::memcmp(&p, c.T < 0.5 ? c.A : c.B, sizeof p), 0) << c.Name;
        }
    }
}

}  // namespace
}  // namespace tarsel
