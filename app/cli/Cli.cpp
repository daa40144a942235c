#include "app/cli/Cli.h"

#include <string_view>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr const char* kUsage =
    "usage: tarsel-cli COMMAND FILE.tsw\n"
    "commands:\n"
    "  log FILE.tsw    print the load log as the \"Load\" page shows it\n"
    "  info FILE.tsw   print a summary of the loaded workspace\n";

int Usage(std::ostream& err, const std::string& problem) {
    err << "tarsel-cli: " << problem << "\n" << kUsage;
    return 2;
}

std::string Triple(Vec3 v) {
    return CFormat("%f, %f, %f", v.x, v.y, v.z);
}

void PrintInfo(const Viewer& viewer, const HeadlessHost& host, std::ostream& out) {
    const Workspace& ws = viewer.Ws();
    const ParamFormState& form = viewer.Form();
    int atoms = 0;
    for (int i = 0; i <= ws.LastMolecule; ++i)
        atoms += std::max(ws.Molecules[i].AtomCount, 0);
    out << "Workspace:  " << form.WorkspaceFileName << "\n";
    out << "Trajectory: " << form.TrajectoryFileName << "\n";
    out << "Molecules:  " << ws.MoleculeCount() << "\n";
    out << "Atoms:      " << atoms << "\n";
    out << "Frames:     " << ws.FrameCount << "\n";
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

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command != "log" && command != "info")
        return Usage(err, "unknown command '" + command + "'");
    if (args.size() != 2) return Usage(err, command + " takes one workspace file");

    HeadlessHost host;
    Viewer viewer(host);
    const LoadResult result = viewer.LoadWorkspaceFile(args[1]);
    if (!result.Loaded) {
        err << "tarsel-cli: " << result.Error << "\n";
        return 1;
    }
    if (command == "log") {
        for (const HeadlessHost::Message& m : host.Messages) {
            err << m.Caption << ": " << m.Text << "\n";
        }
        out << viewer.Form().Memo.Text() << "\n";
    } else {
        PrintInfo(viewer, host, out);
    }
    return 0;
}

}  // namespace tarsel
