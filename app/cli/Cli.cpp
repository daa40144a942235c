#include "app/cli/Cli.h"

#include <QGuiApplication>
#include <QImage>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "export/AtomsXyz.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr const char* kUsage =
    "usage: tarsel-cli COMMAND FILE.tsw [OPTIONS]\n"
    "commands:\n"
    "  log FILE.tsw     print the load log as the \"Load\" page shows it\n"
    "  info FILE.tsw    print a summary of the loaded workspace\n"
    "  render FILE.tsw -o OUT.png [--frame N] [--size WxH] [--select M] [--no-cube]\n"
    "                   [--no-bonds] [--no-names] [--no-balls] [--half-radius]\n"
    "                   [--ray-tracing] [--light X,Y,Z]\n"
    "                   draw the scene as the main window shows it after the load (or at\n"
    "                   frame N) and write it as a PNG; the view is 800x600 unless --size\n"
    "                   says otherwise, --select selects molecule M (counted from 0);\n"
    "                   --ray-tracing draws shaded balls, --light puts the light at the\n"
    "                   point X,Y,Z (world coordinates) as the \"Light (X,Y,Z)\" boxes do\n"
    "  export FILE.tsw --frame N [-o OUT]\n"
    "                   write frame N as \"Save as File\" does (default name frameN.txt)\n"
    "  atoms FILE.tsw [--frame N] [-o OUT.xyz]\n"
    "                   write the placed atoms (of frame N, or of the workspace file) as an\n"
    "                   XYZ file, to standard output unless -o is given\n";

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

// Three decimal numbers separated by commas, each kept as it was typed.
std::optional<std::array<std::string, 3>> Point(std::string_view text) {
    std::array<std::string, 3> parts;
    for (int k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const std::string_view part = text.substr(0, comma);
        double number;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), number);
        if (part.empty() || error != std::errc() || end != part.data() + part.size() ||
            !std::isfinite(number)) {
            return std::nullopt;
        }
        parts[k] = std::string(part);
        text.remove_prefix(k < 2 ? comma + 1 : comma);
    }
    return parts;
}

struct Options {
    std::string Command;
    std::string Workspace;
    std::string Output;
    std::optional<int> Frame;
    ViewSize Size{800, 600};
    std::optional<int> Select;
    bool NoCube = false, NoBonds = false, NoNames = false, NoBalls = false, HalfRadius = false;
    bool RayTracing = false;
    std::optional<std::array<std::string, 3>> Light;  // as typed into the light's boxes
};

// The options each command takes.
const std::set<std::string>& Allowed(const std::string& command) {
    static const std::set<std::string> none;
    static const std::set<std::string> render = {
        "-o",         "--frame",    "--size",        "--select",      "--no-cube", "--no-bonds",
        "--no-names", "--no-balls", "--half-radius", "--ray-tracing", "--light"};
    static const std::set<std::string> frameAndOutput = {"-o", "--frame"};
    if (command == "render") return render;
    if (command == "export" || command == "atoms") return frameAndOutput;
    return none;
}

// Reads a command's arguments; on a usage error returns the problem.
std::string Parse(const std::vector<std::string>& args, Options& o) {
    o.Command = args[0];
    const std::set<std::string>& allowed = Allowed(o.Command);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!a.empty() && a[0] == '-' && allowed.count(a) == 0) {
            return o.Command + " does not take the option '" + a + "'";
        }
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o") {
            if (!value(o.Output)) return "-o needs a file name";
        } else if (a == "--frame") {
            if (!value(v) || !(o.Frame = WholeNumber(v))) {
                return "--frame needs a frame number counted from 0";
            }
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
        } else if (a == "--ray-tracing") {
            o.RayTracing = true;
        } else if (a == "--light") {
            if (!value(v) || !(o.Light = Point(v))) return "--light needs X,Y,Z, three numbers";
        } else if (o.Workspace.empty()) {
            o.Workspace = a;
        } else {
            return o.Command + " takes one workspace file";
        }
    }
    if (o.Workspace.empty()) return o.Command + " needs a workspace file";
    if (o.Command == "render" && o.Output.empty()) return "render needs -o OUT.png";
    if (o.Command == "export" && !o.Frame) return "export needs --frame N";
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

// A frame of the trajectory, as "Go to Frame" shows it. Only whole frames are offered.
std::string ShowFrame(Viewer& viewer, int frame) {
    const int count = viewer.Ws().FrameCount;
    if (!viewer.Trajectory().IsOpen()) return "--frame needs a trajectory, and none was found";
    if (frame >= count) {
        return CFormat("--frame %d: the trajectory has frames 0 to %d", frame, count - 1);
    }
    viewer.Form().FrameNumberEdit = std::to_string(frame);
    viewer.Button1Click();
    return {};
}

int Render(Viewer& viewer, const Options& o, std::ostream& err) {
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
    if (o.RayTracing) form.CheckBox26 = true;
    if (o.Light) {
        form.Edit2 = (*o.Light)[0];
        form.Edit3 = (*o.Light)[1];
        form.Edit4 = (*o.Light)[2];
    }
    if (o.Select) viewer.Ws().SelectedMolecule = *o.Select;
    viewer.BitBtn1Click();
    if (o.Frame) {
        if (const std::string problem = ShowFrame(viewer, *o.Frame); !problem.empty()) {
            return Usage(err, problem);
        }
    }
    const Workspace& ws = viewer.Ws();
    const QImage picture = viewer.Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
    if (!picture.save(QString::fromStdString(o.Output), "PNG")) {
        err << "tarsel-cli: can't write \"" << o.Output << "\"\n";
        return 1;
    }
    return 0;
}

int Export(Viewer& viewer, const Options& o, std::ostream& err) {
    const int count = viewer.Ws().FrameCount;
    if (viewer.Trajectory().IsOpen() && *o.Frame >= count) {
        return Usage(err,
                     CFormat("--frame %d: the trajectory has frames 0 to %d", *o.Frame, count - 1));
    }
    viewer.Form().FrameNumberEdit = std::to_string(*o.Frame);
    return viewer.ExportFrameText(*o.Frame, o.Output) ? 0 : 1;
}

int Atoms(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.Frame) {
        if (const std::string problem = ShowFrame(viewer, *o.Frame); !problem.empty()) {
            return Usage(err, problem);
        }
    }
    const Workspace& ws = viewer.Ws();
    std::string path = viewer.Form().WorkspaceFileName;
    for (char& c : path) {
        if (c == '"') c = '\'';
    }
    std::string comment = "workspace=\"" + path + "\"";
    if (o.Frame) comment += CFormat(" frame=%d", *o.Frame);
    comment += CFormat(" time_ps=%.3f", ws.CurrentTime * 0.01);
    const std::string text = AtomsXyzText(ws, comment);
    if (o.Output.empty()) {
        out << text;
        return 0;
    }
    std::FILE* f = std::fopen(o.Output.c_str(), "wb");
    const bool written = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f == nullptr || std::fclose(f) != 0 || !written) {
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
    static const std::set<std::string> commands = {"log", "info", "render", "export", "atoms"};
    if (commands.count(command) == 0) return Usage(err, "unknown command '" + command + "'");
    Options o;
    if (const std::string problem = Parse(args, o); !problem.empty()) return Usage(err, problem);

    const std::unique_ptr<QGuiApplication> app =
        command == "render" ? EnsureGuiApplication() : nullptr;
    HeadlessHost host;
    // The boxes the load and the commands would show go to stderr as they come; "info"
    // lists them in its summary instead.
    if (command != "info") {
        host.OnMessage = [&err](const HeadlessHost::Message& m) {
            err << m.Caption << ": " << m.Text << "\n";
        };
    }
    Viewer viewer(host);
    if (command == "render") {
        // The window gets its size before anything is loaded into it.
        host.SetDrawingAreaSize(o.Size);
        viewer.FormResize();
    }
    const LoadResult result = viewer.LoadWorkspaceFile(o.Workspace);
    if (!result.Loaded) {
        // The other commands printed the box's text as it was shown.
        if (command == "info") err << "tarsel-cli: " << result.Error << "\n";
        return 1;
    }

    if (command == "log") {
        out << viewer.Form().Memo.Text() << "\n";
        return 0;
    }
    if (command == "info") {
        PrintInfo(viewer, host, out);
        return 0;
    }
    if (command == "render") return Render(viewer, o, err);
    if (command == "export") return Export(viewer, o, err);
    return Atoms(viewer, o, out, err);
}

}  // namespace tarsel
