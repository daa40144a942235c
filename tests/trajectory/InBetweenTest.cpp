#include "trajectory/InBetween.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "trajectory/Frames.h"

namespace tarsel {
namespace {

// A run of random rigid molecules (the last one passive) in a cube of edge 20, with its
// trajectory file; poses[k][i] is molecule i's record in frame k.
struct RigidRun {
    static constexpr int MOLECULES = 4, ATOMS = 5;
    test::TempDir dir;
    std::string path = dir.File("run.xyz");
    std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
    std::vector<std::vector<MoleculePose>> poses;
    TrajectoryFile file;
    FrameCache cache;

    // quaternionScale: how far from unit length the stored quaternions are.
    explicit RigidRun(int frames, double quaternionScale = 1.0, unsigned seed = 7) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(-1, 1);
        ws->LastMolecule = MOLECULES - 1;
        ws->Cube.CubeLength = 20;
        for (int i = 0; i < MOLECULES; ++i) {
            ws->Molecules[i].AtomCount = ATOMS;
            ws->Molecules[i].Active = i < MOLECULES - 1;
            for (int j = 0; j < ATOMS; ++j) {
                ws->Bodies[i].BodyX[j] = 2 * u(rng);
                ws->Bodies[i].BodyY[j] = 2 * u(rng);
                ws->Bodies[i].BodyZ[j] = 2 * u(rng);
            }
        }
        poses.assign(frames, std::vector<MoleculePose>(MOLECULES));
        for (int k = 0; k < frames; ++k) {
            for (int i = 0; i < MOLECULES; ++i) {
                MoleculePose& p = poses[k][i];
                p.Number = i + 1;
                p.X0 = 3 * i + 0.3 * k + 0.2 * u(rng);
                p.Y0 = 0.5 * u(rng);
                p.Z0 = 0.5 * u(rng);
                double q[4] = {u(rng), u(rng), u(rng), u(rng)};
                const double norm =
                    std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
                p.l0 = q[0] / norm * quaternionScale;
                p.l1 = q[1] / norm * quaternionScale;
                p.l2 = q[2] / norm * quaternionScale;
                p.l3 = q[3] / norm * quaternionScale;
            }
        }
        Write();
    }

    void Write() {
        std::string bytes;
        for (const auto& frame : poses)
            bytes.append(reinterpret_cast<const char*>(frame.data()), 64 * frame.size());
        test::WriteFile(path, bytes);
        file.Close();
        cache.Clear();
        ASSERT_TRUE(file.Open(path));
        ws->FrameCount = ComputeFrameCount(file.Size(), MOLECULES);
    }

    Vec3 Atom(int i, int j) const {
        const MoleculeRecord& m = ws->Molecules[i];
        return {m.X[j], m.Y[j], m.Z[j]};
    }
};

// The placed atoms and the mass centre, bit for bit.
bool SameAtoms(const MoleculeRecord& a, const MoleculeRecord& b) {
    return std::memcmp(a.X.data(), b.X.data(), sizeof a.X) == 0 &&
           std::memcmp(a.Y.data(), b.Y.data(), sizeof a.Y) == 0 &&
           std::memcmp(a.Z.data(), b.Z.data(), sizeof a.Z) == 0 &&
           std::memcmp(&a.MassCentre, &b.MassCentre, sizeof(Vec3)) == 0;
}

TEST(InBetween, TZeroPlacesAtomsAsReadFrameDoesBitForBit) {
    // Stored quaternions of length 1.3: used as stored, not normalised.
    RigidRun run(6, 1.3);
    auto byReadFrame = std::make_unique<Workspace>(*run.ws);
    for (int f : {0, 2, 5}) {
        run.file.Seek(FrameOffset(f, RigidRun::MOLECULES));
        ReadPoses(run.file, *byReadFrame);
        PlaceActiveMolecules(*byReadFrame);
        ASSERT_TRUE(PlaceInBetween(*run.ws, run.cache, run.file, f, 0.0));
        EXPECT_EQ(std::memcmp(run.ws->Poses.data(), byReadFrame->Poses.data(),
                              sizeof(MoleculePose) * RigidRun::MOLECULES),
                  0);
        for (int i = 0; i < RigidRun::MOLECULES; ++i) {
            EXPECT_TRUE(SameAtoms(run.ws->Molecules[i], byReadFrame->Molecules[i]))
                << "frame " << f << ", molecule " << i;
        }
    }
}

TEST(InBetween, MoleculesStayRigidAndPassiveOnesStayPut) {
    RigidRun run(6, 0.8);
    const auto before = std::make_unique<Workspace>(*run.ws);
    for (int f = 0; f + 1 < run.ws->FrameCount; ++f) {
        for (int s = 1; s < 64; ++s) {
            ASSERT_TRUE(PlaceInBetween(*run.ws, run.cache, run.file, f, s / 64.0));
            for (int i = 0; i < RigidRun::MOLECULES - 1; ++i) {
                const MoleculeBody& b = run.ws->Bodies[i];
                for (int j = 0; j < RigidRun::ATOMS; ++j) {
                    for (int l = j + 1; l < RigidRun::ATOMS; ++l) {
                        const double body = Length(Vec3{b.BodyX[j], b.BodyY[j], b.BodyZ[j]} -
                                                   Vec3{b.BodyX[l], b.BodyY[l], b.BodyZ[l]});
                        ASSERT_NEAR(Length(run.Atom(i, j) - run.Atom(i, l)), body, 1e-9)
                            << "frame " << f << " + " << s << "/64, molecule " << i;
                    }
                }
            }
        }
    }
    const int passive = RigidRun::MOLECULES - 1;
    EXPECT_TRUE(SameAtoms(run.ws->Molecules[passive], before->Molecules[passive]));
}

TEST(InBetween, QuaternionSignDoesNotChangeTheInBetween) {
    RigidRun reference(4);
    RigidRun flipped(4);
    // q and -q: the same orientation, whichever frame of the pair or both store it negated.
    const struct {
        const char* Name;
        bool FlipA, FlipB;
    } cases[] = {{"frame f", true, false}, {"frame f + 1", false, true}, {"both", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        flipped.poses = reference.poses;
        for (int i = 0; i < RigidRun::MOLECULES; ++i) {
            for (auto [frame, flip] : {std::pair{1, c.FlipA}, {2, c.FlipB}}) {
                MoleculePose& p = flipped.poses[frame][i];
                if (flip) p.l0 = -p.l0, p.l1 = -p.l1, p.l2 = -p.l2, p.l3 = -p.l3;
            }
        }
        flipped.Write();
        for (double t : {0.25, 0.5, 0.9}) {
            ASSERT_TRUE(PlaceInBetween(*reference.ws, reference.cache, reference.file, 1, t));
            ASSERT_TRUE(PlaceInBetween(*flipped.ws, flipped.cache, flipped.file, 1, t));
            for (int i = 0; i < RigidRun::MOLECULES - 1; ++i) {
                for (int j = 0; j < RigidRun::ATOMS; ++j) {
                    EXPECT_LT(Length(flipped.Atom(i, j) - reference.Atom(i, j)), 1e-12)
                        << "t " << t << ", molecule " << i;
                }
            }
        }
    }
}

// Centres x = k^2 at frame k, identity orientation: the Catmull-Rom curve of uniform samples
// follows a parabola exactly, the line between two frames does not.
TEST(InBetween, CentreFollowsTheCurveWhereItsFramesAreThereAndJumpsThroughWalls) {
    const double halfEdge = 10;
    auto at = [](double x) {
        MoleculePose p;
        p.X0 = x;
        p.l0 = 1;
        return p;
    };
    auto line = [](double a, double b, double t) { return a + t * (b - a); };
    const MoleculePose k0 = at(0), k1 = at(1), k2 = at(4), k3 = at(9), far = at(-15);
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
        {"through a wall, after half-way", nullptr, &k0, &far, nullptr, 0.75, -15},
    };
    for (const auto& c : cases) {
        const MoleculePose p = InBetweenPose(c.Before, *c.A, *c.B, c.After, c.T, halfEdge);
        EXPECT_NEAR(p.X0, c.Expected, 1e-12) << c.Name;
    }
    // Through a wall the pose is the stored record itself, quaternion included.
    MoleculePose jumped = far;
    jumped.l0 = -0.5;
    jumped.l3 = 0.5;
    const MoleculePose p = InBetweenPose(nullptr, k0, jumped, nullptr, 0.5, halfEdge);
    EXPECT_EQ(std::memcmp(&p, &jumped, sizeof p), 0);
}

TEST(InBetween, PlayedSequenceReadsEachFrameOnce) {
    RigidRun run(8);
    for (int f = 0; f + 1 < run.ws->FrameCount; ++f) {
        for (int s = 0; s < 4; ++s)
            PlaceInBetween(*run.ws, run.cache, run.file, f, s / 4.0);
    }
    for (int f = run.ws->FrameCount - 1; f >= 0; --f) {
        for (int s = 3; s >= 0; --s)
            PlaceInBetween(*run.ws, run.cache, run.file, f, s / 4.0);
    }
    // Forward all 8, then backward again only those that left the cache.
    EXPECT_EQ(run.cache.FramesRead(), 8 + 8 - FrameCache::SLOTS);
}

}  // namespace
}  // namespace tarsel
