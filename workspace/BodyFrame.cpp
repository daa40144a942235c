#include "workspace/BodyFrame.h"

namespace tarsel {

void ComputeBodyCoordinates(Workspace& ws) {
    for (int i = 0; i <= ws.LastMolecule; ++i) {
        const MoleculeRecord& m = ws.Molecules[i];
        MoleculeBody& body = ws.Bodies[i];
        for (int j = 0; j < m.AtomCount; ++j) {
            const Vec3 d = Vec3{m.X[j], m.Y[j], m.Z[j]} - m.MassCentre;
            body.BodyX[j] = m.I1a * d.x + m.I1b * d.y + m.I1g * d.z;
            body.BodyY[j] = m.I2a * d.x + m.I2b * d.y + m.I2g * d.z;
            body.BodyZ[j] = m.I3a * d.x + m.I3b * d.y + m.I3g * d.z;
        }
    }
}

Matrix3 PoseRotation(const MoleculePose& p) {
    const double w = p.l0, x = p.l1, y = p.l2, z = p.l3;
    Matrix3 r;
    r.m[0][0] = 2 * (w * w + x * x) - 1;
    r.m[0][1] = 2 * (x * y - w * z);
    r.m[0][2] = 2 * (w * y + x * z);
    r.m[1][0] = 2 * (w * z + x * y);
    r.m[1][1] = 2 * (w * w + y * y) - 1;
    r.m[1][2] = 2 * (y * z - w * x);
    r.m[2][0] = 2 * (x * z - w * y);
    r.m[2][1] = 2 * (w * x + y * z);
    r.m[2][2] = 2 * (w * w + z * z) - 1;
    return r;
}

void PlaceMolecule(MoleculeRecord& molecule, const MoleculeBody& body, const MoleculePose& pose) {
    if (molecule.AtomCount <= 0) return;
    const Matrix3 r = PoseRotation(pose);
    const Vec3 p{pose.X0, pose.Y0, pose.Z0};
    for (int j = 0; j < molecule.AtomCount; ++j) {
        const Vec3 world = r * Vec3{body.BodyX[j], body.BodyY[j], body.BodyZ[j]} + p;
        molecule.X[j] = world.x;
        molecule.Y[j] = world.y;
        molecule.Z[j] = world.z;
    }
    molecule.MassCentre = p;
}

}  // namespace tarsel
