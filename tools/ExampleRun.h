#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

// Writes example runs: rigid molecules with real geometries flying and tumbling freely in a
// reflecting cube, as a workspace file and its binary trajectory.

namespace tarsel::examples {

struct AtomSpec {
    std::string Name;  // three letters
    int RefNum = 0;    // atomic number
    double Mass = 0;
    double Q = 0;       // partial charge
    double Radius = 0;  // drawing radius, Angstrom
    Rgb Colour;
    Vec3 Position;  // in any molecular frame, Angstrom
};

struct MoleculeSpec {
    std::string Name;
    std::vector<AtomSpec> Atoms;
    struct Bond {
        int A = 0;
        int B = 0;
        char Kind = 'S';
    };
    std::vector<Bond> Bonds;
};

MoleculeSpec Water();
MoleculeSpec Methane();
MoleculeSpec Benzene();
// A 100-atom chain, C33H67, for the largest workspaces.
MoleculeSpec Chain100();

// A molecule's principal-axes description: atoms in the body frame, ascending moments.
struct RigidBody {
    std::vector<Vec3> Body;
    double Moments[3] = {0, 0, 0};
    double Mass = 0;
    double BoundingRadius = 0;
};
RigidBody MakeRigidBody(const MoleculeSpec& recipe);

struct RunSpec {
    std::string Title;
    std::vector<std::pair<MoleculeSpec, int>> Mix;  // molecule and how many of it
    double CubeLength = 24.0;
    Vec3 CubeCentre;
    bool Reflect = true;
    int Frames = 240;
    double TimeStep = 0.2;  // units of 10 fs
    int StepsPerFrame = 5;
    double Temperature = 300.0;
    std::uint32_t Seed = 1;
    int PassiveEvery = 0;  // every n-th molecule passive; 0 = all active
    double FontScale = 0.5;
    // View size that the camera is set up to frame.
    int ViewWidth = 800;
    int ViewHeight = 600;
};

// The bundled example: water with some methane and benzene in a 24 A cube.
RunSpec WaterExample();
// The largest workspace the viewer holds: 500 molecules of 100 atoms.
RunSpec LargestWorkspace(int frames);

struct GeneratedRun {
    std::string Workspace;   // text of the .tsw
    std::string Trajectory;  // bytes of the .xyz
};
GeneratedRun GenerateRun(const RunSpec& recipe);

// Writes base + ".tsw" and base + ".xyz"; false with a reason in error on failure.
bool WriteRun(const GeneratedRun& run, const std::string& base, std::string& error);

}  // namespace tarsel::examples
