#include "app/cli/Cli.h"

#include <QGuiApplication>
#include <QImage>
#include <memory>
#include <optional>
#include <string_view>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr const char* kUsage =
    "usage: tarsel-cli COMMAND FILE.tsw [OPTIONS]\n"
    "commands:\n"
    "  log FILE.tsw     print the load log as the \"Load\" page shows it\n"
    "  info FILE.tsw    print a summary of the loaded workspace\n"
    "  render FILE.tsw -o OUT.png [--size WxH] [--select M] [--no-cube] [--no-bonds]\n"
    "                   [--no-names] [--no-balls] [--half-radius]\n"
    "                   draw the scene as the main window shows it after the load and write\n"
    "                   it as a PNG; the view is 800x600 unless --size says otherwise, --select\n"
    "                   selects molecule M (counted from 0)\n";

// The largest view the tool draws; the window itself has no limit, but a PNG of this size is
// already some hundred megabytes.
constexpr int MAX_VIEW_SIDE = 10000;

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

// A whole decimal number without sign or other characters.
std::optional<int> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

struct RenderOptions {
    std::string Workspace;
    std::string Output;
    ViewSize Size{800, 600};
    std::optional<int> Select;
    bool NoCube = false, NoBonds = false, NoNames = false, NoBalls = false, HalfRadius = false;
};

// Reads the render command's arguments; on a usage error returns the problem.
std::string ParseRender(const std::vector<std::string>& args, RenderOptions& o) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o") {
            if (!value(o.Output)) return "-o needs a file name";
        } else if (a == "--frame") {
            return "--frame needs trajectory frames (not yet available)";
        } else if (a == "--size") {
            if (!value(v)) return "--size needs WxH";
            const std::size_t x = v.find('x');
            const auto w = WholeNumber(std::string_view(v).substr(0, x));
            const auto h = x == std::string::npos ? std::nullopt
                                                  : WholeNumber(std::string_view(v).substr(x + 1));
            if (!w || !h || *w < 1 || *h < 1 || *w > MAX_VIEW_SIDE || *h > MAX_VIEW_SIDE)
                return "--size needs WxH, each from 1 to " + std::to_string(MAX_VIEW_SIDE);
            o.Size = {*w, *h};
        } else if (a == "--select") {
            if (!value(v)) return "--select needs a molecule number";
            o.Select = WholeNumber(v);
            if (!o.Select) return "--select needs a molecule number counted from 0";
        } else if (a == "--no-cube") {
            o.NoCube = true;
        } else if (a == "--no-bonds") {
            o.NoBonds = true;
        } else if (a == "--no-names") {
            o.NoNames = true;
        } else if (a == "--no-balls") {
            o.NoBalls = true;
        } else if (a == "--half-radius") {
            o.HalfRadius = true;
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option '" + a + "'";
        } else if (o.Workspace.empty()) {
            o.Workspace = a;
        } else {
            return "render takes one workspace file";
        }
    }
    if (o.Workspace.empty()) return "render needs a workspace file";
    if (o.Output.empty()) return "render needs -o OUT.png";
    return {};
}

// Text needs fonts, and fonts need a QGuiApplication; one on the offscreen platform is made
// for the drawing commands unless the caller runs one already.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarsel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int Render(const std::vector<std::string>& args, std::ostream& err) {
    RenderOptions o;
    if (const std::string problem = ParseRender(args, o); !problem.empty())
        return Usage(err, problem);

    const std::unique_ptr<QGuiApplication> app = EnsureGuiApplication();
    HeadlessHost host;
    host.OnMessage = [&err](const HeadlessHost::Message& m) {
        err << m.Caption << ": " << m.Text << "\n";
    };
    Viewer viewer(host);
    // The window gets its size before anything is loaded into it.
    host.SetDrawingAreaSize(o.Size);
    viewer.FormResize();
    const LoadResult result = viewer.LoadWorkspaceFile(o.Workspace);
    if (!result.Loaded) return 1;  // the host printed the reason

    const int last = viewer.Ws().LastMolecule;
    if (o.Select && *o.Select > last) {
        return Usage(err,
                     CFormat("--select %d: the workspace has molecules 0 to %d", *o.Select, last));
    }
    // The flags are the dialog's check boxes, applied by its OK.
    ParamFormState& form = viewer.Form();
    if (o.NoCube) form.WorldAxwsCheckBox = false;
    if (o.NoBonds) form.BondCheckBox = false;
    if (o.NoNames) form.AtomColorCheckBox = false;
    if (o.NoBalls) form.BallCheckBox = false;
    if (o.HalfRadius) form.CheckBox28 = true;
    if (o.Select) viewer.Ws().SelectedMolecule = *o.Select;
    viewer.BitBtn1Click();

    const Workspace& ws = viewer.Ws();
    const QImage picture = viewer.Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
    if (!picture.save(QString::fromStdString(o.Output), "PNG")) {
        err << "tarsel-cli: can't write \"" << o.Output << "\"\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "render") return Render(args, err);
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
