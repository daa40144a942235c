#pragma once

#include "workspace/Workspace.h"

namespace tarsel {

// Atom positions of every molecule in its principal-axes frame, from the positions, mass
// centre and axes as read.
void ComputeBodyCoordinates(Workspace& ws);

// Rotation matrix of a pose's quaternion (l0 scalar), used as stored: not normalised.
Matrix3 PoseRotation(const MoleculePose& pose);

// Places a molecule's atoms by a trajectory pose; a molecule without atoms keeps its
// mass centre.
void PlaceMolecule(MoleculeRecord& molecule, const MoleculeBody& body, const MoleculePose& pose);

}  // namespace tarsel
