#pragma once

#include <optional>
#include <string>
#include <vector>

// Inline workspace files for the tests: every line as text, so a test changes just the line it
// is about and the rest stays a valid file.

namespace tarsel::test {

struct AtomLines {
    std::string Position = "1.0,2.0,3.0";
    std::string Identity = "8,15.9994,O,W, ";
    std::string ChargeRadius = "-0.8476,0.6";
    std::string Colour = "RGB: 240,0,0";
};

struct MoleculeLines {
    std::string Name = "Water";
    std::optional<std::string> Count;  // default: the number of atoms
    std::vector<AtomLines> Atoms = {AtomLines{}};
    std::string MassCentre = "1.0,2.0,3.0";
    std::string Moments = "0.6,1.2,1.8";
    std::string Axis1 = "1,0,0";
    std::string Axis2 = "0,1,0";
    std::string Axis3 = "0,0,1";
    std::string Velocity = "0.1,0.2,0.3";
    std::string AngularVelocity = "0.01,0.02,0.03";
    std::string Mass = "18.0154";
    std::string Activity = "1";
    std::vector<std::string> BondRows;  // default: one row of '0' per atom
};

struct WorkspaceLines {
    std::vector<std::string> Comments = {"; a test workspace"};
    std::optional<std::string> Count;  // default: the number of molecules
    std::string TimeStep = "0.2";
    std::string SaveToGraph = "0.001";
    std::string AveragingTime = "100";
    std::string VolumeTime = "10";
    std::string VirialTime = "10";
    std::string ConservationCheckTime = "100";
    std::string CubeCentre = "0,0,0";
    std::string CubeLength = "10";
    std::string Boundary = "Reflect";
    std::string V0 = "0,0,-50";
    std::string V1 = "0,0,1";
    std::string V2 = "1,0,0";
    std::string V3 = "0,1,0";
    std::string PP = "1";
    std::string ScaleLine = "100,0.25";
    std::vector<MoleculeLines> Molecules = {MoleculeLines{}};
    std::string LineEnd = "\n";
};

// The file's lines in reading order, without line ends.
std::vector<std::string> Lines(const WorkspaceLines& w);
// The whole file.
std::string Text(const WorkspaceLines& w);
// The file cut after its first n lines.
std::string FirstLines(const WorkspaceLines& w, int n);

}  // namespace tarsel::test
