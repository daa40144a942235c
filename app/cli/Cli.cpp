#include "app/cli/Cli.h"

#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "app/HeadlessHost.h"
#include "app/ScenePicture.h"
#include "app/Viewer.h"
#include "export/AtomsXyz.h"
#include "export/SafeFile.h"
#include "workspace/CText.h"
#include "world/WorldView.h"

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
    "                   XYZ file, to standard output unless -o is given\n"
    "  movie FILE.tsw -o OUT.avi [--from A] [--to B] [--step K] [--ray-tracing]\n"
    "                   [the render options but --frame]\n"
    "                   record frames A, A+K, ... up to B (all frames unless told) as \"Save\n"
    "                   AVI\" records them: uncompressed AVI at 1000/30 frames a second\n"
    "  world FILE.tsw -o OUT.png [--size WxH] [--frame N] [--turn A,B]\n"
    "                   draw the world window's picture after the load (or at frame N) as a\n"
    "                   PNG; the window's client size unless --size says otherwise, --turn\n"
    "                   adds A and B radians to its first two angles, as the arrow keys do\n";

// The largest view the tool draws; the window itself has no limit, but a PNG of this size is
// already some hundred megabytes.
constexpr int MAX_VIEW_SIDE = 10000;

// A command line that makes no sense whatever the files hold: status 2, with the usage.
int Usage(std::ostream& err, const std::string& problem) {
    err << "tarsel-cli: " << problem << "\n" << kUsage;
    return 2;
}

// The files cannot give what was asked (no workspace, no trajectory, no such frame or
// molecule) or an output could not be written: status 1.
int Fail(std::ostream& err, const std::string& problem) {
    err << "tarsel-cli: " << problem << "\n";
    return 1;
}

// A file the command writes (-o): whole, or not at all.
int WriteOutput(const std::string& path, std::string_view bytes, std::ostream& err) {
    const FileWriteResult result = WriteFileSafely(path, bytes);
    return result.Ok() ? 0 : Fail(err, result.Error);
}

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

// A whole decimal number without sign or other characters, of any length; numbers beyond
// any frame, molecule or size the tool can have are held as one very large value.
std::optional<std::int64_t> WholeNumber(std::string_view text) {
    constexpr std::int64_t CAP = std::int64_t{1} << 62;
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min(value * 10 + (c - '0'), CAP);
    }
    return value;
}

// Two finite decimal numbers "A,B".
std::optional<std::pair<double, double>> TurnAngles(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view t) -> std::optional<double> {
        double value = 0;
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
        if (t.empty() || error != std::errc() || end != t.data() + t.size()) return std::nullopt;
        if (!std::isfinite(value)) return std::nullopt;
        return value;
    };
    const auto a = number(text.substr(0, comma)), b = number(text.substr(comma + 1));
    if (!a || !b) return std::nullopt;
    return std::make_pair(*a, *b);
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
    std::optional<std::int64_t> Frame;
    std::optional<std::int64_t> From, To;
    std::int64_t Step = 1;
    ViewSize Size{800, 600};
    bool SizeGiven = false;
    std::optional<std::pair<double, double>> Turn;
    std::optional<std::int64_t> Select;
    bool NoCube = false, NoBonds = false, NoNames = false, NoBalls = false, HalfRadius = false;
    bool RayTracing = false;
    std::optional<std::array<std::string, 3>> Light;  // as typed into the light's boxes
};

// The options each command takes.
const std::set<std::string>& Allowed(const std::string& command) {
    static const std::set<std::string> none;
    // The render options: how the scene is drawn, for a picture and for a movie alike.
    static const std::set<std::string> renderOptions = {
        "--size",     "--select",      "--no-cube",     "--no-bonds", "--no-names",
        "--no-balls", "--half-radius", "--ray-tracing", "--light"};
    static const std::set<std::string> render = [] {
        std::set<std::string> s = renderOptions;
        s.insert({"-o", "--frame"});
        return s;
    }();
    static const std::set<std::string> movie = [] {
        std::set<std::string> s = renderOptions;
        s.insert({"-o", "--from", "--to", "--step"});
        return s;
    }();
    static const std::set<std::string> frameAndOutput = {"-o", "--frame"};
    static const std::set<std::string> world = {"-o", "--frame", "--size", "--turn"};
    if (command == "render") return render;
    if (command == "movie") return movie;
    if (command == "world") return world;
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
            o.Size = {static_cast<int>(*w), static_cast<int>(*h)};
            o.SizeGiven = true;
        } else if (a == "--turn") {
            if (!value(v) || !(o.Turn = TurnAngles(v))) return "--turn needs A,B in radians";
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
        } else if (a == "--from" || a == "--to") {
            std::optional<std::int64_t>& into = a == "--from" ? o.From : o.To;
            if (!value(v) || !(into = WholeNumber(v))) {
                return a + " needs a frame number counted from 0";
            }
        } else if (a == "--step") {
            const std::optional<std::int64_t> step = value(v) ? WholeNumber(v) : std::nullopt;
            if (!step || *step < 1) return "--step needs a number of frames from 1 up";
            o.Step = *step;
        } else if (a == "--light") {
            if (!value(v) || !(o.Light = Point(v))) return "--light needs X,Y,Z, three numbers";
        } else if (o.Workspace.empty()) {
            o.Workspace = a;
        } else {
            return o.Command + " takes one workspace file";
        }
    }
    if (o.Workspace.empty()) return o.Command + " needs a workspace file";
    if ((o.Command == "render" || o.Command == "world") && o.Output.empty())
        return o.Command + " needs -o OUT.png";
    if (o.Command == "movie" && o.Output.empty()) return "movie needs -o OUT.avi";
    if (o.From && o.To && *o.From > *o.To) {
        return CFormat("--from %lld is after --to %lld", static_cast<long long>(*o.From),
                       static_cast<long long>(*o.To));
    }
    if (o.Command == "export" && !o.Frame) return "export needs --frame N";
    return {};
}

// Qt wants a private runtime folder and warns on stderr when the session has none (a cluster
// job, ssh, cron). Without one, the tool lends Qt a fresh folder for as long as it runs.
class RuntimeFolder {
  public:
    RuntimeFolder() {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarsel-cli-runtime-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;  // then Qt finds its own way
        path_ = pattern;
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(path_));
    }
    ~RuntimeFolder() {
        if (path_.empty()) return;
        qunsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

  private:
    std::string path_;
};

// The folder is made before the application and removed after it.
class HeadlessGuiApplication : private RuntimeFolder, public QGuiApplication {
  public:
    HeadlessGuiApplication(int& argc, char** argv) : QGuiApplication(argc, argv) {}
};

// Text needs fonts, and fonts need a QGuiApplication; one on the offscreen platform is made
// for the drawing commands unless the caller runs one already.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarsel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<HeadlessGuiApplication>(argc, argv);
}

// Why --frame cannot be had, or nothing. The whole frames are on offer, and with endToo also
// the end of the trajectory, frame FrameCount.
std::string FrameProblem(Viewer& viewer, std::int64_t frame, bool endToo) {
    if (!viewer.Trajectory().IsOpen()) return "--frame needs a trajectory, and none was found";
    const long long count = viewer.Ws().FrameCount, n = frame;
    if (frame < count || (endToo && frame == count)) return {};
    if (count == 0) return CFormat("--frame %lld: the trajectory holds no complete frame", n);
    if (endToo) {
        return CFormat(
            "--frame %lld is beyond the end: the trajectory has frames 0 to %lld, "
            "and %lld is its end",
            n, count - 1, count);
    }
    return CFormat("--frame %lld is beyond the last frame: the trajectory has frames 0 to %lld", n,
                   count - 1);
}

// A frame of the trajectory, as "Go to Frame" shows it. Only whole frames are offered.
std::string ShowFrame(Viewer& viewer, std::int64_t frame) {
    if (std::string problem = FrameProblem(viewer, frame, false); !problem.empty()) {
        return problem;
    }
    viewer.Form().FrameNumberEdit = std::to_string(frame);
    viewer.Button1Click();
    return {};
}

// The render options: the dialog's check boxes, applied by its OK. What the workspace cannot
// give (a molecule it lacks), or nothing.
std::string ApplyRenderOptions(Viewer& viewer, const Options& o) {
    const int last = viewer.Ws().LastMolecule;
    if (o.Select && *o.Select > last) {
        const long long select = *o.Select;
        return last < 0
                   ? CFormat("--select %lld: the workspace has no molecules", select)
                   : CFormat("--select %lld: the workspace has molecules 0 to %d", select, last);
    }
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
    if (o.Select) viewer.Ws().SelectedMolecule = static_cast<int>(*o.Select);
    viewer.BitBtn1Click();
    return {};
}

int Render(Viewer& viewer, const Options& o, std::ostream& err) {
    if (const std::string problem = ApplyRenderOptions(viewer, o); !problem.empty()) {
        return Fail(err, problem);
    }
    if (o.Frame) {
        if (const std::string problem = ShowFrame(viewer, *o.Frame); !problem.empty()) {
            return Fail(err, problem);
        }
    }
    if (const std::string problem = SaveScenePicture(viewer, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
    return 0;
}

// Progress of a movie on a terminal: one line, rewritten at most five times a second.
class ProgressLine {
  public:
    ProgressLine(std::ostream& err, int total)
        : err_(err), total_(total), terminal_(&err == &std::cerr && ::isatty(STDERR_FILENO)) {}

    void Frame(int done) {
        if (!terminal_) return;
        const double t = Seconds();
        if (done < total_ && t - shownAt_ < 0.2) return;
        shownAt_ = t;
        const double fps = t > 0 ? done / t : 0;
        const int left = fps > 0 ? static_cast<int>((total_ - done) / fps + 0.5) : 0;
        err_ << CFormat("\rframe %d of %d, %.1f frames/s, %d:%02d left   ", done, total_, fps,
                        left / 60, left % 60)
             << std::flush;
    }
    void End() {
        if (terminal_ && shownAt_ >= 0) err_ << "\n";
    }
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::ostream& err_;
    int total_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double shownAt_ = -1;
};

int Movie(Viewer& viewer, const Options& o, std::ostream& err) {
    const int count = viewer.Ws().FrameCount;
    if (!viewer.Trajectory().IsOpen()) {
        return Fail(err, "movie needs a trajectory, and none was found");
    }
    if (count < 1) return Fail(err, "movie: the trajectory holds no complete frame");
    for (const auto& [name, frame] : {std::pair{"--from", o.From}, {"--to", o.To}}) {
        if (frame && *frame >= count) {
            return Fail(err, CFormat("%s %lld is beyond the last frame: the trajectory has frames "
                                     "0 to %d",
                                     name, static_cast<long long>(*frame), count - 1));
        }
    }
    const int from = static_cast<int>(o.From.value_or(0));
    const int to = static_cast<int>(o.To.value_or(count - 1));
    if (const std::string problem = ApplyRenderOptions(viewer, o); !problem.empty()) {
        return Fail(err, problem);
    }

    viewer.Form().SaveAVICheckBox = true;
    viewer.ApplySettings();
    viewer.StartRecording(o.Output);
    if (!viewer.ActiveRecorder()) return 1;  // the message is out already
    // Every frame asked for is due, the first one too.
    viewer.Ws().LastRecordedTime = -std::numeric_limits<double>::infinity();
    const int total = static_cast<int>((to - from) / o.Step + 1);
    ProgressLine progress(err, total);
    int done = 0;
    for (std::int64_t n = from; n <= to && viewer.ActiveRecorder(); n += o.Step) {
        viewer.ReadFrame(static_cast<std::int32_t>(n));
        viewer.Ws().CurrentFrame = static_cast<std::int32_t>(n);
        progress.Frame(++done);
    }
    progress.End();
    if (!viewer.ActiveRecorder()) return 1;  // a failed write stopped it, with its message
    const int recorded = viewer.ActiveRecorder()->frameCount;
    const ViewSize size = o.Size;
    viewer.StopRecording();
    if (recorded != total) {
        err << CFormat("tarsel-cli: only %d of %d frames were recorded\n", recorded, total);
        return 1;
    }
    const double seconds = progress.Seconds();
    err << CFormat("tarsel-cli: wrote %s: %d frames of %dx%d in %.1f s (%.1f frames/s)\n",
                   o.Output.c_str(), recorded, size.Width, size.Height, seconds,
                   seconds > 0 ? recorded / seconds : 0.0);
    return 0;
}

// The world window's picture, drawn by the window's own code.
int World(Viewer& viewer, const Options& o, std::ostream& err) {
    if (o.Frame) {
        if (const std::string problem = ShowFrame(viewer, *o.Frame); !problem.empty()) {
            return Fail(err, problem);
        }
    }
    WorldView view = o.SizeGiven ? WorldView(o.Size.Width, o.Size.Height) : WorldView();
    if (o.Turn) {
        view.Angles.A += o.Turn->first;
        view.Angles.B += o.Turn->second;
    }
    QImage picture;
    PaintWorldImage(view, viewer.Ws(), viewer.Renderer().Proj().Plane(), picture);
    if (const std::string problem = SavePng(picture, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
    return 0;
}

// Frames 0 .. FrameCount, as "Save as File" takes them: the end of the trajectory lists the
// records read last.
int Export(Viewer& viewer, const Options& o, std::ostream& err) {
    if (const std::string problem = FrameProblem(viewer, *o.Frame, true); !problem.empty()) {
        return Fail(err, problem);
    }
    const auto frame = static_cast<std::int32_t>(*o.Frame);
    viewer.Form().FrameNumberEdit = std::to_string(frame);
    std::string writeError;
    if (viewer.ExportFrameText(frame, o.Output, &writeError)) return 0;
    // The other refusals were shown as boxes, which went to stderr.
    return writeError.empty() ? 1 : Fail(err, writeError);
}

int Atoms(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.Frame) {
        if (const std::string problem = ShowFrame(viewer, *o.Frame); !problem.empty()) {
            return Fail(err, problem);
        }
    }
    const Workspace& ws = viewer.Ws();
    std::string path = viewer.Form().WorkspaceFileName;
    for (char& c : path) {
        if (c == '"') c = '\'';
    }
    std::string comment = "workspace=\"" + path + "\"";
    if (o.Frame) comment += CFormat(" frame=%lld", static_cast<long long>(*o.Frame));
    comment += CFormat(" time_ps=%.3f", ws.CurrentTime * 0.01);
    const std::string text = AtomsXyzText(ws, comment);
    if (o.Output.empty()) {
        out << text;
        return 0;
    }
    return WriteOutput(o.Output, text, err);
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    static const std::set<std::string> commands = {"log",   "info",  "render", "export",
                                                   "atoms", "movie", "world"};
    if (commands.count(command) == 0) return Usage(err, "unknown command '" + command + "'");
    Options o;
    if (const std::string problem = Parse(args, o); !problem.empty()) return Usage(err, problem);

    const bool draws = command == "render" || command == "movie";
    const std::unique_ptr<QGuiApplication> app =
        draws || command == "world" ? EnsureGuiApplication() : nullptr;
    HeadlessHost host;
    // The boxes the load and the commands would show go to stderr as they come; "info"
    // lists them in its summary instead.
    if (command != "info") {
        host.OnMessage = [&err](const HeadlessHost::Message& m) {
            err << m.Caption << ": " << m.Text << "\n";
        };
    }
    Viewer viewer(host);
    if (draws) {
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
    if (command == "movie") return Movie(viewer, o, err);
    if (command == "world") return World(viewer, o, err);
    return Atoms(viewer, o, out, err);
}

}  // namespace

// Every command ends here: what it wrote to standard output must have got there (a full disk,
// a closed pipe). The first failed write stops the command, while errno still tells why.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::ios::iostate exceptions = out.exceptions();
    out.exceptions(std::ios::badbit | std::ios::failbit);
    int status = 0;
    int error = 0;
    try {
        errno = 0;
        status = RunCommand(args, out, err);
        out.flush();
    } catch (const std::ios::failure&) {
        error = errno != 0 ? errno : EIO;
    }
    out.clear();
    out.exceptions(exceptions);
    if (error == 0) return status;
    err << "tarsel-cli: can't write to standard output: " << std::strerror(error) << "\n";
    return status == 0 ? 1 : status;
}

}  // namespace tarsel
