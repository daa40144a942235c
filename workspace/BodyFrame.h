#pragma once

#include "workspace/Workspace.h"

namespace tarsel {

struct Matrix3 {
    double m[3][3] = {};
    Vec3 operator*(Vec3 v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
};

// Atom positions of every molecule in its principal-axes frame, from the positions, mass
// centre and axes as read.
void ComputeBodyCoordinates(Workspace& ws);

// Rotation matrix of a pose's quaternion (l0 scalar), used as stored: not normalised.
Matrix3 PoseRotation(const MoleculePose& pose);

// Places a molecule's atoms by a trajectory pose; a molecule without atoms keeps its
// mass centre.
void PlaceMolecule(MoleculeRecord& molecule, const MoleculeBody& body, const MoleculePose& pose);

}  // namespace tarsel
