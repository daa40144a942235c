#include "tools/ExampleRun.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "workspace/BodyFrame.h"
#include "workspace/CText.h"

namespace tarsel::examples {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Boltzmann's constant in amu A^2 / (10 fs)^2 per kelvin.
constexpr double kBoltzmann = 8.31446e-5;

const Rgb kOxygen{240, 0, 0};
const Rgb kHydrogen{255, 255, 255};
const Rgb kCarbon{144, 144, 144};

AtomSpec Atom(const char* name, int z, double mass, double q, double radius, Rgb colour, Vec3 p) {
    return {name, z, mass, q, radius, colour, p};
}

// Eigen-decomposition of a symmetric 3 x 3 matrix by cyclic Jacobi rotations; the columns of
// vectors are the eigenvectors.
void Jacobi(double a[3][3], double values[3], double vectors[3][3]) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            vectors[i][j] = i == j ? 1.0 : 0.0;
    }
    for (int sweep = 0; sweep < 50; ++sweep) {
        const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off < 1e-30) break;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (std::fabs(a[p][q]) < 1e-300) continue;
                const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < 3; ++k) {  // A := A J
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 3; ++k) {  // A := J^T A
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = vectors[k][p], vkq = vectors[k][q];
                    vectors[k][p] = c * vkp - s * vkq;
                    vectors[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
    for (int i = 0; i < 3; ++i)
        values[i] = a[i][i];
}

struct Quat {
    double w = 1, x = 0, y = 0, z = 0;
};

Quat Multiply(Quat a, Quat b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quat Normalised(Quat q) {
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

Matrix3 Rotation(Quat q) {
    MoleculePose p;
    p.l0 = q.w;
    p.l1 = q.x;
    p.l2 = q.y;
    p.l3 = q.z;
    return PoseRotation(p);
}

// A reproducible random source (the same example on every machine).
class Random {
  public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    double Uniform() { return (engine_() + 0.5) / 4294967296.0; }
    double Normal() {
        const double u1 = Uniform(), u2 = Uniform();
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
    }
    // A uniformly distributed orientation (Shoemake).
    Quat Orientation() {
        const double u1 = Uniform(), u2 = Uniform(), u3 = Uniform();
        const double a = std::sqrt(1 - u1), b = std::sqrt(u1);
        return {b * std::cos(2 * kPi * u3), a * std::sin(2 * kPi * u2), a * std::cos(2 * kPi * u2),
                b * std::sin(2 * kPi * u3)};
    }

  private:
    std::mt19937 engine_;
};

// One molecule in flight: mass centre, velocity, orientation and body angular velocity.
struct Flight {
    Vec3 P, V;
    Quat Q;
    Vec3 W;  // angular velocity in the body frame
};

struct Derivative {
    Quat dQ;
    Vec3 dW;
};

Derivative Rates(const Quat& q, const Vec3& w, const double I[3]) {
    Derivative d;
    const Quat spin = Multiply(q, Quat{0, w.x, w.y, w.z});
    d.dQ = {0.5 * spin.w, 0.5 * spin.x, 0.5 * spin.y, 0.5 * spin.z};
    d.dW = {(I[1] - I[2]) / I[0] * w.y * w.z, (I[2] - I[0]) / I[1] * w.z * w.x,
            (I[0] - I[1]) / I[2] * w.x * w.y};
    return d;
}

Quat Add(Quat q, Quat d, double h) {
    return {q.w + h * d.w, q.x + h * d.x, q.y + h * d.y, q.z + h * d.z};
}

// Torque-free rotation (Euler's equations) by one fourth-order Runge-Kutta step.
void Rotate(Flight& f, const double I[3], double dt) {
    if (I[0] <= 1e-9 || I[1] <= 1e-9 || I[2] <= 1e-9) return;
    const Derivative k1 = Rates(f.Q, f.W, I);
    const Derivative k2 = Rates(Add(f.Q, k1.dQ, dt / 2), f.W + (dt / 2) * k1.dW, I);
    const Derivative k3 = Rates(Add(f.Q, k2.dQ, dt / 2), f.W + (dt / 2) * k2.dW, I);
    const Derivative k4 = Rates(Add(f.Q, k3.dQ, dt), f.W + dt * k3.dW, I);
    Quat q = f.Q;
    q = Add(q, k1.dQ, dt / 6);
    q = Add(q, k2.dQ, dt / 3);
    q = Add(q, k3.dQ, dt / 3);
    q = Add(q, k4.dQ, dt / 6);
    f.Q = Normalised(q);
    f.W = f.W + (dt / 6) * (k1.dW + 2.0 * k2.dW + 2.0 * k3.dW + k4.dW);
}

// Free flight with reflection of the mass centre at the walls, kept a molecule's radius inside.
void Fly(Flight& f, double radius, const RunSpec& recipe, double dt) {
    f.P = f.P + dt * f.V;
    double* p[3] = {&f.P.x, &f.P.y, &f.P.z};
    double* v[3] = {&f.V.x, &f.V.y, &f.V.z};
    const double c[3] = {recipe.CubeCentre.x, recipe.CubeCentre.y, recipe.CubeCentre.z};
    const double half = std::max(recipe.CubeLength / 2 - radius, 0.0);
    for (int k = 0; k < 3; ++k) {
        const double lo = c[k] - half, hi = c[k] + half;
        if (!recipe.Reflect) {
            if (*p[k] > hi) *p[k] -= hi - lo;
            if (*p[k] < lo) *p[k] += hi - lo;
        } else if (*p[k] > hi) {
            *p[k] = 2 * hi - *p[k];
            *v[k] = -*v[k];
        } else if (*p[k] < lo) {
            *p[k] = 2 * lo - *p[k];
            *v[k] = -*v[k];
        }
    }
}

std::string F(double v, int decimals) {
    return CFormat("%.*f", decimals, v);
}
std::string Triple(Vec3 v, int decimals) {
    return F(v.x, decimals) + "," + F(v.y, decimals) + "," + F(v.z, decimals);
}

// The camera: outside the cube, looking at its centre from a little above and to the side,
// with the projection chosen so that all eight corners fit in the view.
struct Camera {
    Vec3 V0, V1, V2, V3;
    double PP = 10, Scale = 1;
};

Camera FrameCube(const RunSpec& recipe) {
    Camera cam;
    const Vec3 direction{0.35, 0.45, -1.0};
    const Vec3 d = (1 / Length(direction)) * direction;
    cam.V0 = recipe.CubeCentre + (2.6 * recipe.CubeLength) * d;
    cam.V1 = -1.0 * d;
    const Vec3 up{0, 1, 0};
    const Vec3 upPerp = up - Dot(up, cam.V1) * cam.V1;
    cam.V3 = (-1 / Length(upPerp)) * upPerp;  // screen up is -V3
    cam.V2 = Cross(cam.V3, cam.V1);           // screen right is -V2
    double k = 1e300;
    const double b = recipe.CubeLength / 2;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p =
            recipe.CubeCentre + Vec3{corner & 1 ? b : -b, corner & 2 ? b : -b, corner & 4 ? b : -b};
        const Vec3 r = p - cam.V0;
        const double z = Dot(cam.V1, r);
        const double a = std::fabs(Dot(cam.V2, r)), c = std::fabs(Dot(cam.V3, r));
        if (a > 0) k = std::min(k, 0.45 * recipe.ViewWidth * z / a);
        if (c > 0) k = std::min(k, 0.45 * recipe.ViewHeight * z / c);
    }
    cam.Scale = k / cam.PP;
    return cam;
}

}  // namespace

MoleculeSpec Water() {
    // Gas-phase geometry: O-H 0.9572 A, H-O-H 104.52 degrees; SPC/E charges.
    const double half = 104.52 / 2 * kPi / 180, oh = 0.9572;
    MoleculeSpec m{"Water", {}, {}};
    m.Atoms.push_back(Atom("OW ", 8, 15.9994, -0.8476, 0.60, kOxygen, {0, 0, 0}));
    m.Atoms.push_back(Atom("HW1", 1, 1.008, 0.4238, 0.35, kHydrogen,
                           {oh * std::sin(half), oh * std::cos(half), 0}));
    m.Atoms.push_back(Atom("HW2", 1, 1.008, 0.4238, 0.35, kHydrogen,
                           {-oh * std::sin(half), oh * std::cos(half), 0}));
    m.Bonds = {{0, 1, 'S'}, {0, 2, 'S'}};
    return m;
}

MoleculeSpec Methane() {
    // C-H 1.087 A along the tetrahedral directions.
    const double ch = 1.087 / std::sqrt(3.0);
    MoleculeSpec m{"Methane", {}, {}};
    m.Atoms.push_back(Atom("CT ", 6, 12.011, -0.24, 0.70, kCarbon, {0, 0, 0}));
    const Vec3 dirs[4] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    const char* names[4] = {"HC1", "HC2", "HC3", "HC4"};
    for (int i = 0; i < 4; ++i) {
        m.Atoms.push_back(Atom(names[i], 1, 1.008, 0.06, 0.35, kHydrogen, ch * dirs[i]));
        m.Bonds.push_back({0, i + 1, 'S'});
    }
    return m;
}

MoleculeSpec Benzene() {
    // Planar ring: C-C 1.39 A, C-H 1.09 A; Kekule single and double bonds.
    MoleculeSpec m{"Benzene", {}, {}};
    const char* carbons[6] = {"CA1", "CA2", "CA3", "CA4", "CA5", "CA6"};
    const char* hydrogens[6] = {"HA1", "HA2", "HA3", "HA4", "HA5", "HA6"};
    for (int i = 0; i < 6; ++i) {
        const double a = i * kPi / 3;
        m.Atoms.push_back(Atom(carbons[i], 6, 12.011, -0.115, 0.70, kCarbon,
                               {1.39 * std::cos(a), 1.39 * std::sin(a), 0}));
    }
    for (int i = 0; i < 6; ++i) {
        const double a = i * kPi / 3;
        m.Atoms.push_back(Atom(hydrogens[i], 1, 1.008, 0.115, 0.35, kHydrogen,
                               {2.48 * std::cos(a), 2.48 * std::sin(a), 0}));
        m.Bonds.push_back({i, (i + 1) % 6, i % 2 == 0 ? 'D' : 'S'});
        m.Bonds.push_back({i, 6 + i, 'S'});
    }
    return m;
}

MoleculeSpec Chain100() {
    // All-trans zigzag of 33 carbons (C-C 1.54 A, tetrahedral angles), two hydrogens on each
    // carbon and one more at the first end: C33H67, 100 atoms.
    MoleculeSpec m{"C33H67", {}, {}};
    const double along = 1.54 * std::sin(109.47 / 2 * kPi / 180);
    const double across = 1.54 * std::cos(109.47 / 2 * kPi / 180);
    for (int i = 0; i < 33; ++i) {
        m.Atoms.push_back(Atom(CFormat("C%02d", i + 1).c_str(), 6, 12.011, -0.12, 0.70, kCarbon,
                               {i * along, (i % 2) * across, 0}));
        if (i > 0) m.Bonds.push_back({i - 1, i, 'S'});
    }
    int h = 0;
    for (int i = 0; i < 33; ++i) {
        const Vec3 c{m.Atoms[i].Position};
        const double s = i % 2 == 0 ? -1.0 : 1.0;  // away from the chain's other side
        for (double z : {0.889, -0.889}) {
            m.Atoms.push_back(Atom(CFormat("H%02d", ++h).c_str(), 1, 1.008, 0.06, 0.35, kHydrogen,
                                   c + Vec3{0, s * 0.629, z}));
            m.Bonds.push_back({i, static_cast<int>(m.Atoms.size()) - 1, 'S'});
        }
    }
    m.Atoms.push_back(
        Atom(CFormat("H%02d", ++h).c_str(), 1, 1.008, 0.06, 0.35, kHydrogen, {-1.09, -0.0, 0}));
    m.Bonds.push_back({0, static_cast<int>(m.Atoms.size()) - 1, 'S'});
    return m;
}

RigidBody MakeRigidBody(const MoleculeSpec& recipe) {
    RigidBody body;
    Vec3 centre;
    for (const AtomSpec& a : recipe.Atoms) {
        body.Mass += a.Mass;
        centre = centre + a.Mass * a.Position;
    }
    centre = (1 / body.Mass) * centre;
    double inertia[3][3] = {};
    for (const AtomSpec& a : recipe.Atoms) {
        const Vec3 r = a.Position - centre;
        const double rr[3] = {r.x, r.y, r.z};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                inertia[i][j] += a.Mass * ((i == j ? Dot(r, r) : 0.0) - rr[i] * rr[j]);
            }
        }
    }
    double values[3], vectors[3][3];
    Jacobi(inertia, values, vectors);
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int a, int b) { return values[a] < values[b]; });
    Vec3 axes[3];
    for (int k = 0; k < 3; ++k) {
        body.Moments[k] = values[order[k]];
        axes[k] = {vectors[0][order[k]], vectors[1][order[k]], vectors[2][order[k]]};
    }
    axes[2] = Cross(axes[0], axes[1]);  // right-handed principal frame
    for (const AtomSpec& a : recipe.Atoms) {
        const Vec3 r = a.Position - centre;
        body.Body.push_back({Dot(axes[0], r), Dot(axes[1], r), Dot(axes[2], r)});
        body.BoundingRadius = std::max(body.BoundingRadius, Length(r) + a.Radius);
    }
    return body;
}

RunSpec WaterExample() {
    RunSpec recipe;
    recipe.Title = "Water with methane and benzene in a reflecting 24 A cube";
    recipe.Mix = {{Water(), 130}, {Methane(), 20}, {Benzene(), 10}};
    recipe.CubeLength = 24.0;
    recipe.Frames = 240;
    recipe.Seed = 20261207;
    return recipe;
}

RunSpec LargestWorkspace(int frames) {
    RunSpec recipe;
    recipe.Title = "500 C33H67 chains: the largest workspace";
    recipe.Mix = {{Chain100(), MAX_MOLECULES}};
    recipe.CubeLength = 150.0;
    recipe.Frames = frames;
    recipe.Seed = 7;
    recipe.FontScale = 0.25;
    return recipe;
}

GeneratedRun GenerateRun(const RunSpec& recipe) {
    Random random(recipe.Seed);
    struct Molecule {
        const MoleculeSpec* Recipe;
        const RigidBody* Body;
        Flight State;
        bool Active;
    };
    std::vector<RigidBody> bodies;
    for (const auto& [m, count] : recipe.Mix)
        bodies.push_back(MakeRigidBody(m));
    std::vector<Molecule> molecules;
    for (std::size_t k = 0; k < recipe.Mix.size(); ++k) {
        for (int n = 0; n < recipe.Mix[k].second; ++n) {
            molecules.push_back({&recipe.Mix[k].first, &bodies[k], {}, true});
        }
    }
    const int total = static_cast<int>(molecules.size());

    // Start on a grid, in random order, with thermal velocities and random orientations.
    const int cells = std::max(1, static_cast<int>(std::ceil(std::cbrt(total))));
    std::vector<int> slots(cells * cells * cells);
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = static_cast<int>(i);
    for (std::size_t i = slots.size(); i > 1; --i) {
        std::swap(slots[i - 1], slots[static_cast<std::size_t>(random.Uniform() * i) % i]);
    }
    const double spacing = recipe.CubeLength / cells;
    const double kT = kBoltzmann * recipe.Temperature;
    for (int i = 0; i < total; ++i) {
        Molecule& m = molecules[i];
        const int slot = slots[i];
        const Vec3 cell{(slot % cells + 0.5) * spacing, (slot / cells % cells + 0.5) * spacing,
                        (slot / (cells * cells) + 0.5) * spacing};
        const Vec3 jitter{random.Uniform() - 0.5, random.Uniform() - 0.5, random.Uniform() - 0.5};
        m.State.P = recipe.CubeCentre + cell + (0.3 * spacing) * jitter -
                    Vec3{1, 1, 1} * (recipe.CubeLength / 2);
        const double sv = std::sqrt(kT / m.Body->Mass);
        m.State.V = {sv * random.Normal(), sv * random.Normal(), sv * random.Normal()};
        m.State.Q = random.Orientation();
        double w[3];
        for (int k = 0; k < 3; ++k) {
            w[k] = m.Body->Moments[k] > 1e-9 ? std::sqrt(kT / m.Body->Moments[k]) * random.Normal()
                                             : 0.0;
        }
        m.State.W = {w[0], w[1], w[2]};
        m.Active = recipe.PassiveEvery <= 0 || (i + 1) % recipe.PassiveEvery != 0;
    }

    const Camera cam = FrameCube(recipe);
    GeneratedRun run;
    std::string& w = run.Workspace;
    auto line = [&w](const std::string& s) {
        w += s;
        w += '\n';
    };
    line("; Tarsel example run: " + recipe.Title);
    line("; written by tarsel-gen; lengths in Angstrom, times in units of 10 fs");
    line(std::to_string(total));
    line(F(recipe.TimeStep, 6));
    line(F(0.001, 6));
    line(F(100.0, 6));
    line(F(10.0, 6));
    line(F(10.0, 6));
    line(F(100.0, 6));
    line("Cube: centre, edge length, walls");
    line(Triple(recipe.CubeCentre, 6));
    line(F(recipe.CubeLength, 6));
    line(recipe.Reflect ? "Reflect" : "Thru");
    line("Camera: position, axes V1, V2, V3, projection distance, scale and font scale");
    line(Triple(cam.V0, 10));
    line(Triple(cam.V1, 10));
    line(Triple(cam.V2, 10));
    line(Triple(cam.V3, 10));
    line(F(cam.PP, 6));
    line(F(cam.Scale, 6) + "," + F(recipe.FontScale, 6));

    for (int i = 0; i < total; ++i) {
        const Molecule& m = molecules[i];
        const MoleculeSpec& ms = *m.Recipe;
        const int n = static_cast<int>(ms.Atoms.size());
        const Matrix3 r = Rotation(m.State.Q);
        line(CFormat("--- molecule %d", i + 1));
        line(ms.Name);
        line(std::to_string(n));
        for (int j = 0; j < n; ++j)
            line(Triple(r * m.Body->Body[j] + m.State.P, 6));
        line("Atoms: reference number, mass, name; charge, radius; colour");
        for (const AtomSpec& a : ms.Atoms) {
            line(CFormat("%d,%.4f,%c,%c,%c", a.RefNum, a.Mass, a.Name[0], a.Name[1], a.Name[2]));
        }
        for (const AtomSpec& a : ms.Atoms) {
            line(F(a.Q, 4) + "," + F(a.Radius, 3));
            line(CFormat("RGB: %d,%d,%d", a.Colour.R, a.Colour.G, a.Colour.B));
        }
        line("Inertia: mass centre, principal moments, principal axes");
        line(Triple(m.State.P, 6));
        line(Triple({m.Body->Moments[0], m.Body->Moments[1], m.Body->Moments[2]}, 6));
        for (int k = 0; k < 3; ++k) {  // axis k in world coordinates: column k of r
            line(Triple({r.m[0][k], r.m[1][k], r.m[2][k]}, 10));
        }
        line("Initial velocity and angular velocity");
        line(Triple(m.State.V, 8));
        line(Triple(m.State.W, 8));
        line(F(m.Body->Mass, 4));
        line(m.Active ? "1" : "0");
        std::vector<std::string> rows(n, std::string(n, '0'));
        for (const MoleculeSpec::Bond& b : ms.Bonds) {
            rows[b.A][b.B] = b.Kind;
            rows[b.B][b.A] = b.Kind;
        }
        for (const std::string& row : rows)
            line(row);
    }

    // Frame 0 is the starting configuration; then free flight, frame by frame.
    std::vector<Flight> state;
    for (const Molecule& m : molecules)
        state.push_back(m.State);
    std::vector<MoleculePose> frame(total);
    run.Trajectory.reserve(static_cast<std::size_t>(recipe.Frames) * total * sizeof(MoleculePose));
    for (int f = 0; f < recipe.Frames; ++f) {
        if (f > 0) {
            for (int step = 0; step < recipe.StepsPerFrame; ++step) {
                for (int i = 0; i < total; ++i) {
                    Fly(state[i], molecules[i].Body->BoundingRadius, recipe, recipe.TimeStep);
                    Rotate(state[i], molecules[i].Body->Moments, recipe.TimeStep);
                }
            }
        }
        for (int i = 0; i < total; ++i) {
            const Flight& s = state[i];
            MoleculePose& p = frame[i];
            p = MoleculePose{};
            p.Number = i + 1;
            p.X0 = s.P.x;
            p.Y0 = s.P.y;
            p.Z0 = s.P.z;
            p.l0 = s.Q.w;
            p.l1 = s.Q.x;
            p.l2 = s.Q.y;
            p.l3 = s.Q.z;
        }
        run.Trajectory.append(reinterpret_cast<const char*>(frame.data()),
                              frame.size() * sizeof(MoleculePose));
    }
    return run;
}

bool WriteRun(const GeneratedRun& run, const std::string& base, std::string& error) {
    const std::pair<std::string, const std::string*> files[] = {{base + ".tsw", &run.Workspace},
                                                                {base + ".xyz", &run.Trajectory}};
    for (const auto& [path, content] : files) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        const bool ok = std::fwrite(content->data(), 1, content->size(), f) == content->size();
        if (std::fclose(f) != 0 || !ok) {
            error = path + ": write failed";
            return false;
        }
    }
    return true;
}

}  // namespace tarsel::examples
