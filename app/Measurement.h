#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

// Measuring between picked atoms (a distance, an angle or a dihedral) and following a
// molecule with the camera. Geometry and texts only; the viewer and the tool share them.

namespace tarsel {

// An atom by its molecule and its place in the molecule, both counted from 0.
struct AtomRef {
    int Molecule = 0;
    int Atom = 0;
    friend constexpr bool operator==(AtomRef, AtomRef) = default;
};

inline constexpr int MAX_MEASURED_ATOMS = 4;

// The atoms picked for one measurement, in the order picked.
class Measurement {
  public:
    // A fifth atom starts a new measurement. An atom already in the measurement is not taken
    // twice (a second click on it would only make the value undefined): false.
    bool Add(AtomRef atom);
    void Clear() { count_ = 0; }
    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    AtomRef operator[](int i) const { return atoms_[i]; }

  private:
    std::array<AtomRef, MAX_MEASURED_ATOMS> atoms_{};
    int count_ = 0;
};

double Distance(Vec3 a, Vec3 b);
// The angle a-b-c at b, in degrees; undefined when b coincides with a or c.
std::optional<double> AngleDegrees(Vec3 a, Vec3 b, Vec3 c);
// The dihedral a-b-c-d about b-c, in degrees from -180 to 180, positive when a must turn
// clockwise, seen from b towards c, to cover d; undefined when three of the atoms lie on a line.
std::optional<double> DihedralDegrees(Vec3 a, Vec3 b, Vec3 c, Vec3 d);
// By the number of points: 2 a distance, 3 an angle, 4 a dihedral; otherwise nothing.
std::optional<double> MeasureValue(std::span<const Vec3> points);

// Where the workspace has placed an atom now.
inline Vec3 AtomPosition(const Workspace& ws, AtomRef a) {
    const MoleculeRecord& m = ws.Molecules[a.Molecule];
    return {m.X[a.Atom], m.Y[a.Atom], m.Z[a.Atom]};
}

// How the Angstrom and degree signs can be written: not at all ("A", no sign), or as the
// bytes of a Latin-1 text (the scene's texts) or of a UTF-8 one (the status bar).
enum class UnitSigns { Plain, Latin1, Utf8 };

// "d=2.853 A", "angle=104.52", "dihedral=-63.20" (with the signs when asked), "n/a" for an
// undefined value; "" for fewer than two atoms.
std::string MeasureText(int atoms, std::optional<double> value, UnitSigns signs);

// "M:A,M:A[,M:A[,M:A]]": two to four different atoms. Nothing, with the problem, otherwise.
std::optional<std::vector<AtomRef>> ParseAtomList(std::string_view text, std::string& problem);

// The mass centre of a molecule's atoms where they are placed now (their plain centre when the
// masses add up to nothing).
Vec3 PlacedMassCentre(const MoleculeRecord& m);

// The step from one mass centre to the next. In a cube with passing-through walls a molecule
// that leaves by one wall comes back by the opposite one: the step across the wall is the
// short one, not a jump over the cube.
Vec3 UnwrappedStep(const SimulationCube& cube, Vec3 from, Vec3 to);

}  // namespace tarsel
