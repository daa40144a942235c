#pragma once

#include <string>
#include <string_view>

#include "workspace/Workspace.h"

namespace tarsel {

// The chemical element of an atom, from the leading letters of its three-letter name checked
// against its mass: "OW" of 15.9994 is O, "CA" of 40.08 is Ca but of 12.011 is C. An atom
// that matches no element within half a mass unit is "X".
std::string_view ElementOf(char c1, char c2, char c3, double mass);

// All atoms of molecules 0..LastMolecule in the standard XYZ format: the atom count, the
// comment line, then one line per atom: element and x y z in world coordinates.
std::string AtomsXyzText(const Workspace& ws, const std::string& comment);

}  // namespace tarsel
