#include "workspace/BodyFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tarsel {
namespace {

void ExpectNear(Vec3 a, Vec3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
    EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST(BodyFrame, BodyCoordinatesUseTheAxesAsRows) {
    auto ws = std::make_unique<Workspace>();
    ws->LastMolecule = 0;
    MoleculeRecord& m = ws->Molecules[0];
    m.AtomCount = 1;
    m.X[0] = 2;
    m.Y[0] = 3;
    m.Z[0] = 4;
    m.MassCentre = {1, 1, 1};
    // Axis 1 is world y, axis 2 world z, axis 3 world x.
    m.I1b = 1;
    m.I2g = 1;
    m.I3a = 1;
    ComputeBodyCoordinates(*ws);
    const MoleculeBody& b = ws->Bodies[0];
    ExpectNear({b.BodyX[0], b.BodyY[0], b.BodyZ[0]}, {2, 3, 1});
}

TEST(BodyFrame, QuaternionsPlaceTheAtoms) {
    MoleculeRecord m;
    MoleculeBody body;
    m.AtomCount = 2;
    body.BodyX[0] = 1;
    body.BodyY[0] = 2;
    body.BodyZ[0] = 3;
    body.BodyX[1] = -1;

    MoleculePose identity;
    identity.l0 = 1;
    identity.X0 = 10;
    identity.Y0 = 20;
    identity.Z0 = 30;
    PlaceMolecule(m, body, identity);
    ExpectNear({m.X[0], m.Y[0], m.Z[0]}, {11, 22, 33});
    ExpectNear(m.MassCentre, {10, 20, 30});

    MoleculePose halfTurn;  // about z: diag(-1, -1, 1)
    halfTurn.l3 = 1;
    PlaceMolecule(m, body, halfTurn);
    ExpectNear({m.X[0], m.Y[0], m.Z[0]}, {-1, -2, 3});
    ExpectNear({m.X[1], m.Y[1], m.Z[1]}, {1, 0, 0});

    // Not normalised: a quaternion of length 2 scales as well as turns.
    MoleculePose doubled;
    doubled.l0 = 2;
    const Matrix3 r = PoseRotation(doubled);
    EXPECT_EQ(r.m[0][0], 7.0);
}

TEST(BodyFrame, MoleculeWithoutAtomsKeepsItsMassCentre) {
    MoleculeRecord m;
    MoleculeBody body;
    m.MassCentre = {5, 6, 7};
    MoleculePose pose;
    pose.l0 = 1;
    pose.X0 = 1;
    PlaceMolecule(m, body, pose);
    EXPECT_EQ(m.MassCentre, (Vec3{5, 6, 7}));
}

}  // namespace
}  // namespace tarsel
