#include "tools/ExampleRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "support/TestFiles.h"
#include "workspace/BodyFrame.h"
#include "workspace/WorkspaceReader.h"

namespace tarsel::examples {
namespace {

TEST(ExampleRun, RigidBodiesHaveTheirPrincipalAxes) {
    for (const MoleculeSpec& recipe : {Water(), Methane(), Benzene(), Chain100()}) {
        const RigidBody body = MakeRigidBody(recipe);
        EXPECT_LE(body.Moments[0], body.Moments[1] + 1e-9) << recipe.Name;
        EXPECT_LE(body.Moments[1], body.Moments[2] + 1e-9) << recipe.Name;
        // In the principal frame the inertia tensor is diagonal with those moments.
        double products[3] = {0, 0, 0}, diagonal[3] = {0, 0, 0};
        Vec3 centre;
        for (std::size_t j = 0; j < recipe.Atoms.size(); ++j) {
            const Vec3 r = body.Body[j];
            const double m = recipe.Atoms[j].Mass;
            centre = centre + m * r;
            products[0] += m * r.x * r.y;
            products[1] += m * r.x * r.z;
            products[2] += m * r.y * r.z;
            diagonal[0] += m * (r.y * r.y + r.z * r.z);
            diagonal[1] += m * (r.x * r.x + r.z * r.z);
            diagonal[2] += m * (r.x * r.x + r.y * r.y);
        }
        EXPECT_NEAR(Length(centre), 0.0, 1e-9) << recipe.Name;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(products[k], 0.0, 1e-8) << recipe.Name;
            EXPECT_NEAR(diagonal[k], body.Moments[k], 1e-8) << recipe.Name;
        }
    }
    EXPECT_EQ(Chain100().Atoms.size(), 100u);
    EXPECT_NEAR(MakeRigidBody(Water()).Mass, 18.0154, 1e-9);
}

// The written workspace and trajectory agree with the reader's conventions: the body
// coordinates computed from the file, placed by frame 0's pose, give the file's positions.
TEST(ExampleRun, FrameZeroReproducesTheWorkspacePositions) {
    RunSpec recipe = WaterExample();
    recipe.Frames = 30;
    const GeneratedRun run = GenerateRun(recipe);
    auto ws = std::make_unique<Workspace>();
    LoadLog log;
    ASSERT_TRUE(ReadWorkspaceText(run.Workspace, "water.tsw", *ws, log).Refusal.empty());
    const int n = ws->MoleculeCount();
    EXPECT_EQ(n, 160);
    ASSERT_EQ(run.Trajectory.size(), static_cast<std::size_t>(64 * n * recipe.Frames));
    const auto* frames = reinterpret_cast<const MoleculePose*>(run.Trajectory.data());
    for (int i = 0; i < n; ++i) {
        MoleculeRecord placed = ws->Molecules[i];
        PlaceMolecule(placed, ws->Bodies[i], frames[i]);
        for (int j = 0; j < placed.AtomCount; ++j) {
            EXPECT_NEAR(placed.X[j], ws->Molecules[i].X[j], 2e-6);
            EXPECT_NEAR(placed.Y[j], ws->Molecules[i].Y[j], 2e-6);
            EXPECT_NEAR(placed.Z[j], ws->Molecules[i].Z[j], 2e-6);
        }
        EXPECT_EQ(frames[i].Number, i + 1);
    }
    // Every later frame keeps unit quaternions, mass centres inside the cube, and moves.
    const double half = recipe.CubeLength / 2;
    const MoleculePose* last = frames + static_cast<std::ptrdiff_t>(n) * (recipe.Frames - 1);
    int moved = 0;
    for (int i = 0; i < n; ++i) {
        const MoleculePose& p = last[i];
        EXPECT_NEAR(p.l0 * p.l0 + p.l1 * p.l1 + p.l2 * p.l2 + p.l3 * p.l3, 1.0, 1e-9);
        EXPECT_LE(std::fabs(p.X0), half);
        EXPECT_LE(std::fabs(p.Y0), half);
        EXPECT_LE(std::fabs(p.Z0), half);
        if (std::fabs(p.X0 - frames[i].X0) > 0.05) ++moved;
    }
    EXPECT_GT(moved, n / 2);
}

TEST(ExampleRun, CameraFramesTheCube) {
    const GeneratedRun run = GenerateRun(WaterExample());
    auto ws = std::make_unique<Workspace>();
    LoadLog log;
    ReadWorkspaceText(run.Workspace, "water.tsw", *ws, log);
    const CameraFrame& c = ws->Camera;
    // An orthonormal right-handed frame looking at the cube centre from outside.
    EXPECT_NEAR(Length(c.V1), 1.0, 1e-9);
    EXPECT_NEAR(Dot(c.V1, c.V2), 0.0, 1e-9);
    EXPECT_NEAR(Dot(c.V2, c.V3), 0.0, 1e-9);
    const Vec3 toCentre = ws->Cube.CubeCentre - c.V0;
    EXPECT_NEAR(Dot(toCentre, c.V1) / Length(toCentre), 1.0, 1e-9);
    EXPECT_GT(Length(toCentre), ws->Cube.CubeLength);
    // Every corner lands inside an 800 x 600 view (closed form of the projection).
    const double k = ws->Projection.Scale * ws->Projection.PP;
    const double b = ws->Cube.CubeLength / 2;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p{corner & 1 ? b : -b, corner & 2 ? b : -b, corner & 4 ? b : -b};
        const Vec3 r = p - c.V0;
        const double z = Dot(c.V1, r);
        EXPECT_LT(std::fabs(k * Dot(c.V2, r) / z), 400.0);
        EXPECT_LT(std::fabs(k * Dot(c.V3, r) / z), 300.0);
    }
}

TEST(ExampleRun, BundledExampleIsTheGeneratorsOutput) {
    const std::string example = std::string(TARSEL_SOURCE_DIR) + "/Examples/water";
    const GeneratedRun run = GenerateRun(WaterExample());
    EXPECT_EQ(test::ReadFile(example + ".tsw"), run.Workspace);
    EXPECT_TRUE(test::ReadFile(example + ".xyz") == run.Trajectory);
}

TEST(ExampleRun, TheViewerLoadsTheBundledExample) {
    HeadlessHost host;
    Viewer viewer(host);
    const LoadResult r =
        viewer.LoadWorkspaceFile(std::string(TARSEL_SOURCE_DIR) + "/Examples/water.tsw");
    ASSERT_TRUE(r.Loaded) << r.Error;
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(viewer.Ws().FrameCount, 240);
    EXPECT_EQ(viewer.Ws().MoleculeCount(), 160);
}

}  // namespace
}  // namespace tarsel::examples
