#include <array>
#include <span>

#include "app/Measurement.h"
#include "app/cli/CliCommon.h"
#include "render/SceneRenderer.h"
#include "trajectory/Frames.h"
#include "workspace/CText.h"

namespace tarsel::cli {

namespace {

// Why the workspace does not hold the atom, or nothing.
std::string MissingAtom(const Workspace& ws, AtomRef a) {
    const int molecules = LoadedMolecules(ws);
    if (a.Molecule >= molecules) {
        return molecules == 0
                   ? CFormat("--atoms %d:%d: the workspace has no molecules", a.Molecule, a.Atom)
                   : CFormat("--atoms %d:%d: the workspace has molecules 0 to %d", a.Molecule,
                             a.Atom, molecules - 1);
    }
    const int atoms = AtomsOf(ws.Molecules[a.Molecule]);
    if (a.Atom >= atoms) {
        return atoms == 0 ? CFormat("--atoms %d:%d: molecule %d has no atoms", a.Molecule, a.Atom,
                                    a.Molecule)
                          : CFormat("--atoms %d:%d: molecule %d has atoms 0 to %d", a.Molecule,
                                    a.Atom, a.Molecule, atoms - 1);
    }
    return {};
}

// The value's field: empty when it is not defined (collinear atoms of a dihedral).
std::string Row(const std::string& frame, double timePs, const Workspace& ws,
                const std::vector<AtomRef>& atoms) {
    std::array<Vec3, MAX_MEASURED_ATOMS> at;
    for (std::size_t i = 0; i < atoms.size(); ++i)
        at[i] = AtomPosition(ws, atoms[i]);
    const std::optional<double> value =
        MeasureValue(std::span<const Vec3>(at.data(), atoms.size()));
    return frame + CFormat(",%.6f,", timePs) + (value ? CFormat("%.6f", *value) : "") + "\n";
}

}  // namespace

int Measure(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err) {
    Workspace& ws = viewer.Ws();
    for (const AtomRef a : o.MeasureAtoms) {
        if (const std::string problem = MissingAtom(ws, a); !problem.empty()) {
            return Fail(err, problem);
        }
    }
    const std::size_t n = o.MeasureAtoms.size();
    std::string csv = std::string("frame,time_ps,") +
                      (n == 2   ? "distance_A"
                       : n == 3 ? "angle_deg"
                                : "dihedral_deg") +
                      "\n";
    TrajectoryFile& trajectory = viewer.Trajectory();
    if (!trajectory.IsOpen()) {
        if (o.From || o.To) {
            return Fail(err, "--from and --to need a trajectory, and none was found");
        }
        // The positions of the workspace file, which belong to no frame.
        csv += Row("", ws.CurrentTime * 0.01, ws, o.MeasureAtoms);
    } else {
        const int count = ws.FrameCount;
        if (count < 1) return Fail(err, "measure: the trajectory holds no complete frame");
        for (const auto& [name, frame] : {std::pair{"--from", o.From}, {"--to", o.To}}) {
            if (frame && *frame >= count) {
                return Fail(err, CFormat("%s %lld is beyond the last frame: the trajectory has "
                                         "frames 0 to %d",
                                         name, static_cast<long long>(*frame), count - 1));
            }
        }
        const std::int64_t from = o.From.value_or(0), to = o.To.value_or(count - 1);
        const std::size_t record =
            sizeof(MoleculePose) * static_cast<std::size_t>(ws.MoleculeCount());
        // Frames are read and placed as ReadFrame does, without drawing each one.
        for (std::int64_t f = from; f <= to; f += o.Step) {
            const auto frame = static_cast<std::int32_t>(f);
            trajectory.Seek(FrameOffset(frame, ws.MoleculeCount()));
            if (trajectory.Error() || ReadPoses(trajectory, ws) != record) {
                return Fail(err, CFormat("can't read frame %d of the trajectory", frame));
            }
            PlaceActiveMolecules(ws);
            csv += Row(std::to_string(frame), frame * ws.FrameTime * 0.01, ws, o.MeasureAtoms);
        }
    }
    if (o.Output.empty()) {
        out << csv;
        return 0;
    }
    return WriteOutput(o.Output, csv, err);
}

}  // namespace tarsel::cli
