#include "app/Measurement.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "render/SceneRenderer.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

// Below this sine the three atoms count as on one line: the plane of a dihedral is then not
// defined, and rounding alone would pick a sign.
constexpr double COLLINEAR_SINE = 1e-10;

double Degrees(double radians) {
    return radians * (180.0 / std::numbers::pi);
}

// A whole number without sign, held within int.
std::optional<int> Index(std::string_view text) {
    if (text.empty()) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

}  // namespace

bool Measurement::Add(AtomRef atom) {
    if (count_ == MAX_MEASURED_ATOMS) count_ = 0;
    if (std::find(atoms_.begin(), atoms_.begin() + count_, atom) != atoms_.begin() + count_) {
        return false;
    }
    atoms_[count_++] = atom;
    return true;
}

double Distance(Vec3 a, Vec3 b) {
    return Length(a - b);
}

std::optional<double> AngleDegrees(Vec3 a, Vec3 b, Vec3 c) {
    const Vec3 u = a - b, v = c - b;
    if (Length(u) == 0 || Length(v) == 0) return std::nullopt;
    // atan2 keeps its precision near 0 and 180 degrees, where acos of the cosine does not.
    return Degrees(std::atan2(Length(Cross(u, v)), Dot(u, v)));
}

std::optional<double> DihedralDegrees(Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
    const Vec3 b1 = b - a, b2 = c - b, b3 = d - c;
    const Vec3 n1 = Cross(b1, b2), n2 = Cross(b2, b3);
    const double l1 = Length(b1), l2 = Length(b2), l3 = Length(b3);
    if (!(Length(n1) > COLLINEAR_SINE * l1 * l2) || !(Length(n2) > COLLINEAR_SINE * l2 * l3)) {
        return std::nullopt;
    }
    return Degrees(std::atan2(l2 * Dot(b1, n2), Dot(n1, n2)));
}

std::optional<double> MeasureValue(std::span<const Vec3> p) {
    switch (p.size()) {
        case 2:
            return Distance(p[0], p[1]);
        case 3:
            return AngleDegrees(p[0], p[1], p[2]);
        case 4:
            return DihedralDegrees(p[0], p[1], p[2], p[3]);
        default:
            return std::nullopt;
    }
}

std::string MeasureText(int atoms, std::optional<double> value, UnitSigns signs) {
    if (atoms < 2 || atoms > MAX_MEASURED_ATOMS) return {};
    const char* angstrom = signs == UnitSigns::Latin1 ? "\xC5"
                           : signs == UnitSigns::Utf8 ? "\xC3\x85"
                                                      : "A";
    const char* degree = signs == UnitSigns::Latin1 ? "\xB0"
                         : signs == UnitSigns::Utf8 ? "\xC2\xB0"
                                                    : "";
    const char* name = atoms == 2 ? "d" : atoms == 3 ? "angle" : "dihedral";
    if (!value) return std::string(name) + "=n/a";
    if (atoms == 2) return CFormat("d=%.3f %s", *value, angstrom);
    return CFormat("%s=%.2f%s", name, *value, degree);
}

std::optional<std::vector<AtomRef>> ParseAtomList(std::string_view text, std::string& problem) {
    std::vector<AtomRef> atoms;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t colon = item.find(':');
        const std::optional<int> m =
            colon == std::string_view::npos ? std::nullopt : Index(item.substr(0, colon));
        const std::optional<int> a =
            colon == std::string_view::npos ? std::nullopt : Index(item.substr(colon + 1));
        if (!m || !a) {
            problem = "--atoms: '" + std::string(item) +
                      "' is not MOLECULE:ATOM (two numbers counted from 0, like 3:0)";
            return std::nullopt;
        }
        const AtomRef atom{*m, *a};
        if (std::find(atoms.begin(), atoms.end(), atom) != atoms.end()) {
            problem = "--atoms: atom " + std::string(item) + " is given twice";
            return std::nullopt;
        }
        atoms.push_back(atom);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (atoms.size() < 2 || atoms.size() > MAX_MEASURED_ATOMS) {
        problem =
            CFormat("--atoms needs 2 atoms (a distance), 3 (an angle) or 4 (a dihedral), not %d",
                    static_cast<int>(atoms.size()));
        return std::nullopt;
    }
    return atoms;
}

Vec3 PlacedMassCentre(const MoleculeRecord& m) {
    const int atoms = AtomsOf(m);
    Vec3 weighted, plain;
    double mass = 0;
    for (int a = 0; a < atoms; ++a) {
        const Vec3 p{m.X[a], m.Y[a], m.Z[a]};
        weighted = weighted + m.Mass[a] * p;
        plain = plain + p;
        mass += m.Mass[a];
    }
    if (mass != 0 && std::isfinite(mass)) return (1 / mass) * weighted;
    return atoms > 0 ? (1.0 / atoms) * plain : m.MassCentre;
}

Vec3 UnwrappedStep(const SimulationCube& cube, Vec3 from, Vec3 to) {
    Vec3 d = to - from;
    const double l = cube.CubeLength;
    if (cube.BoundaryReflect || !(l > 0) || !std::isfinite(l)) return d;
    for (double* c : {&d.x, &d.y, &d.z})
        *c -= l * std::nearbyint(*c / l);
    return d;
}

}  // namespace tarsel
