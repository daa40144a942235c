#include "app/cli/CliCommon.h"

#include <algorithm>

#include "app/HeadlessHost.h"
#include "trajectory/TrajectoryFile.h"
#include "workspace/CText.h"

namespace tarsel::cli {

namespace {

std::string Triple(Vec3 v) {
    return CFormat("%f, %f, %f", v.x, v.y, v.z);
}

// A trajectory whose size is no whole number of frames was cut short or belongs to another
// workspace; the partial frame is never shown.
std::string PartialFrameWarning(Viewer& viewer) {
    const Workspace& ws = viewer.Ws();
    const std::int64_t size = viewer.Trajectory().Size();
    const std::int64_t frameBytes = FrameOffset(1, ws.MoleculeCount());
    if (size < 0 || frameBytes <= 0 || size % frameBytes == 0) return {};
    return CFormat(
        "the trajectory's %lld bytes are not a whole number of frames of %lld "
        "bytes; its last %lld bytes are not shown",
        static_cast<long long>(size), static_cast<long long>(frameBytes),
        static_cast<long long>(size % frameBytes));
}

}  // namespace

void PrintInfo(Viewer& viewer, const HeadlessHost& host, std::ostream& out) {
    const Workspace& ws = viewer.Ws();
    const ParamFormState& form = viewer.Form();
    int atoms = 0;
    for (int i = 0; i <= ws.LastMolecule; ++i)
        atoms += std::max(ws.Molecules[i].AtomCount, 0);
    out << "Workspace:  " << form.WorkspaceFileName << "\n";
    out << "Trajectory: " << form.TrajectoryFileName << "\n";
    out << "Molecules:  " << std::max(ws.MoleculeCount(), 0) << "\n";
    out << "Atoms:      " << atoms << "\n";
    out << "Frames:     " << ws.FrameCount << "\n";
    if (const std::string warning = PartialFrameWarning(viewer); !warning.empty()) {
        out << "Warning:    " << warning << "\n";
    }
    out << "Cube:       centre " << Triple(ws.Cube.CubeCentre) << "; length "
        << CFormat("%f", ws.Cube.CubeLength) << "\n";
    out << "Camera:     V0 " << Triple(ws.Camera.V0) << "\n";
    out << "            V1 " << Triple(ws.Camera.V1) << "\n";
    out << "            V2 " << Triple(ws.Camera.V2) << "\n";
    out << "            V3 " << Triple(ws.Camera.V3) << "\n";
    out << "PP:         " << CFormat("%f", ws.Projection.PP) << "\n";
    out << "Scale:      " << CFormat("%f", ws.Projection.Scale) << "\n";
    out << "FontScale:  " << CFormat("%f", ws.Projection.FontScale) << "\n";
    for (const HeadlessHost::Message& m : host.Messages) {
        out << "Message (" << m.Caption << "): " << m.Text << "\n";
    }
}
}  // namespace tarsel::cli
