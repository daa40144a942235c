#include "support/WorkspaceText.h"

namespace tarsel::test {

std::vector<std::string> Lines(const WorkspaceLines& w) {
    std::vector<std::string> out = w.Comments;
    out.push_back(w.Count.value_or(std::to_string(w.Molecules.size())));
    for (const std::string* s : {&w.TimeStep, &w.SaveToGraph, &w.AveragingTime, &w.VolumeTime,
                                 &w.VirialTime, &w.ConservationCheckTime}) {
        out.push_back(*s);
    }
    out.push_back("Cube:");
    out.push_back(w.CubeCentre);
    out.push_back(w.CubeLength);
    out.push_back(w.Boundary);
    out.push_back("Camera:");
    for (const std::string* s : {&w.V0, &w.V1, &w.V2, &w.V3, &w.PP, &w.ScaleLine}) {
        out.push_back(*s);
    }
    for (const MoleculeLines& m : w.Molecules) {
        out.push_back("--- molecule");
        out.push_back(m.Name);
        out.push_back(m.Count.value_or(std::to_string(m.Atoms.size())));
        for (const AtomLines& a : m.Atoms)
            out.push_back(a.Position);
        out.push_back("Atoms:");
        for (const AtomLines& a : m.Atoms)
            out.push_back(a.Identity);
        for (const AtomLines& a : m.Atoms) {
            out.push_back(a.ChargeRadius);
            out.push_back(a.Colour);
        }
        out.push_back("Inertia:");
        for (const std::string* s : {&m.MassCentre, &m.Moments, &m.Axis1, &m.Axis2, &m.Axis3}) {
            out.push_back(*s);
        }
        out.push_back("Velocity:");
        for (const std::string* s : {&m.Velocity, &m.AngularVelocity, &m.Mass, &m.Activity}) {
            out.push_back(*s);
        }
        if (m.BondRows.empty()) {
            for (std::size_t k = 0; k < m.Atoms.size(); ++k) {
                out.push_back(std::string(m.Atoms.size(), '0'));
            }
        } else {
            for (const std::string& row : m.BondRows)
                out.push_back(row);
        }
    }
    return out;
}

std::string Text(const WorkspaceLines& w) {
    std::string text;
    for (const std::string& line : Lines(w))
        text += line + w.LineEnd;
    return text;
}

std::string FirstLines(const WorkspaceLines& w, int n) {
    std::string text;
    const std::vector<std::string> lines = Lines(w);
    for (int i = 0; i < n && i < static_cast<int>(lines.size()); ++i)
        text += lines[i] + w.LineEnd;
    return text;
}

}  // namespace tarsel::test
