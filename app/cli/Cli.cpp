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
#include <csignal>
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
#include "app/Viewer.h"
#include "app/cli/CliCommon.h"
#include "app/cli/FrameArgument.h"
#include "render/BandWorkers.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

using namespace cli;

constexpr const char* kUsage =
    "usage: tarsel-cli COMMAND FILE.tsw [OPTIONS]\n"
    "commands:\n"
    "  log FILE.tsw     print the load log as the \"Load\" page shows it\n"
    "  info FILE.tsw    print a summary of the loaded workspace\n"
    "  render FILE.tsw -o OUT.png [--frame N] [--size WxH] [--select M] [--no-cube]\n"
    "                   [--no-bonds] [--no-names] [--no-balls] [--half-radius]\n"
    "                   [--ray-tracing | --photo] [--light X,Y,Z]\n"
    "                   draw the scene as the main window shows it after the load (or at\n"
    "                   frame N) and write it as a PNG; the view is 800x600 unless --size\n"
    "                   says otherwise, --select selects molecule M (counted from 0);\n"
    "                   --ray-tracing draws shaded balls, --light puts the light at the\n"
    "                   point X,Y,Z (world coordinates) as the \"Light (X,Y,Z)\" boxes do;\n"
    "                   --photo draws true spheres with occlusion, outlines and depth;\n"
    "                   --antialias N (1 to 4) smooths edges: the scene drawn N times\n"
    "                   larger and each N x N block averaged into one pixel\n"
    "  export FILE.tsw --frame N [-o OUT]\n"
    "                   write frame N as \"Save as File\" does (default name frameN.txt)\n"
    "  atoms FILE.tsw [--frame N] [-o OUT.xyz]\n"
    "                   write the placed atoms (of frame N, or of the workspace file) as an\n"
    "                   XYZ file, to standard output unless -o is given\n"
    "  movie FILE.tsw -o OUT.avi [--from A] [--to B] [--step K] [--interpolate I]\n"
    "                   [--ray-tracing] [--fps R] [--crf N] [--jobs N] [--antialias N]\n"
    "                   [the render options but --frame]\n"
    "                   record frames A, A+K, ... up to B (all frames unless told) as \"Save\n"
    "                   AVI\" records them: uncompressed AVI at 1000/30 frames a second;\n"
    "                   --interpolate I (1 to 16) adds in-between frames, I movie frames\n"
    "                   per trajectory frame; OUT.mp4 (H.264), OUT.webm (VP9), OUT.gif or\n"
    "                   a numbered PNG per frame (frames/f%05d.png) at 1000/30 frames a\n"
    "                   second unless --fps R (1 to 240), MP4 and WebM at quality --crf N\n"
    "                   (0 to 51; 18 and 32 unless told); --jobs N draws frames on N\n"
    "                   threads (default: one per core; 1 keeps to one core)\n"
    "  world FILE.tsw -o OUT.png [--size WxH] [--frame N] [--turn A,B] [--antialias N]\n"
    "                   draw the world window's picture after the load (or at frame N) as a\n"
    "                   PNG; the window's client size unless --size says otherwise, --turn\n"
    "                   adds A and B radians to its first two angles, as the arrow keys do\n"
    "  measure FILE.tsw --atoms M:A,M:A[,M:A[,M:A]] [--from A] [--to B] [--step K]\n"
    "                   [-o OUT.csv]\n"
    "                   the distance (2 atoms, in A), angle (3, degrees, at the middle atom)\n"
    "                   or dihedral (4, degrees) as CSV: frame,time in ps,value for frames\n"
    "                   A, A+K, ... up to B (all unless told), or one row for the workspace\n"
    "                   file without a trajectory; M:A is molecule M, atom A, from 0\n"
    "  In render, atoms and world N may be a decimal such as 12.5: the molecules in between\n"
    "  frames 12 and 13, each moved and turned as a rigid body.\n";

// A command line that makes no sense whatever the files hold: status 2, with the usage.
int Usage(std::ostream& err, const std::string& problem) {
    err << "tarsel-cli: " << problem << "\n" << kUsage;
    return 2;
}

// A whole decimal number without sign or other characters, of any length; numbers beyond
// any frame, molecule or size the tool can have are held as one very large value.
std::optional<std::int64_t> WholeNumber(std::string_view text) {
    constexpr std::int64_t CAP = std::int64_t{1} << 62;
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value > (CAP - (c - '0')) / 10 ? CAP : value * 10 + (c - '0');
    }
    return value;
}

// Frames, steps and molecules are counted in 32 bits: a larger number is a wrong command line,
// not a frame the files lack.
constexpr std::int64_t MAX_COUNT = std::numeric_limits<std::int32_t>::max();

std::string TooLarge(const std::string& option, const std::string& text) {
    return option + " " + text + " is out of range: the largest number it takes is " +
           std::to_string(MAX_COUNT);
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

// The options each command takes.
const std::set<std::string>& Allowed(const std::string& command) {
    static const std::set<std::string> none;
    // The render options: how the scene is drawn, for a picture and for a movie alike.
    static const std::set<std::string> renderOptions = {
        "--size",        "--select",      "--no-cube", "--no-bonds", "--no-names", "--no-balls",
        "--half-radius", "--ray-tracing", "--light",   "--photo",    "--antialias"};
    static const std::set<std::string> render = [] {
        std::set<std::string> s = renderOptions;
        s.insert({"-o", "--frame"});
        return s;
    }();
    static const std::set<std::string> movie = [] {
        std::set<std::string> s = renderOptions;
        s.insert({"-o", "--from", "--to", "--step", "--interpolate", "--fps", "--crf", "--jobs"});
        return s;
    }();
    static const std::set<std::string> frameAndOutput = {"-o", "--frame"};
    static const std::set<std::string> world = {"-o", "--frame", "--size", "--turn", "--antialias"};
    if (command == "render") return render;
    if (command == "movie") return movie;
    if (command == "world") return world;
    if (command == "export" || command == "atoms") return frameAndOutput;
    static const std::set<std::string> measure = {"-o", "--atoms", "--from", "--to", "--step"};
    if (command == "measure") return measure;
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
        } else if (a == "--frame" && o.Command != "export") {
            // An in-between is a picture of its own; export writes records, whole frames only.
            if (!value(v) || !DecimalFrame(v, o.Frame, o.FrameFraction)) {
                return "--frame needs a frame number counted from 0, such as 12 or 12.5";
            }
            if (*o.Frame > MAX_COUNT) return TooLarge(a, v);
        } else if (a == "--frame") {
            if (!value(v) || !(o.Frame = WholeNumber(v))) {
                return "--frame needs a frame number counted from 0";
            }
            if (*o.Frame > MAX_COUNT) return TooLarge(a, v);
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
            if (*o.Select > MAX_COUNT) return TooLarge(a, v);
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
        } else if (a == "--antialias") {
            const std::optional<std::int64_t> n = value(v) ? WholeNumber(v) : std::nullopt;
            if (!n || *n < 1 || *n > MAX_SMOOTH_EDGES) {
                return "--antialias needs the samples a side of each pixel, 1 to " +
                       std::to_string(MAX_SMOOTH_EDGES);
            }
            o.Antialias = static_cast<int>(*n);
        } else if (a == "--photo") {
            o.Photo = true;
        } else if (a == "--from" || a == "--to") {
            std::optional<std::int64_t>& into = a == "--from" ? o.From : o.To;
            if (!value(v) || !(into = WholeNumber(v))) {
                return a + " needs a frame number counted from 0";
            }
            if (*into > MAX_COUNT) return TooLarge(a, v);
        } else if (a == "--step") {
            const std::optional<std::int64_t> step = value(v) ? WholeNumber(v) : std::nullopt;
            if (!step || *step < 1) return "--step needs a number of frames from 1 up";
            if (*step > MAX_COUNT) return TooLarge(a, v);
            o.Step = *step;
        } else if (a == "--atoms") {
            std::string problem;
            if (!value(v)) return "--atoms needs M:A,M:A[,M:A[,M:A]]";
            const auto atoms = ParseAtomList(v, problem);
            if (!atoms) return problem;
            o.MeasureAtoms = *atoms;
        } else if (a == "--interpolate") {
            const std::optional<std::int64_t> k = value(v) ? WholeNumber(v) : std::nullopt;
            if (!k || *k < 1 || *k > MAX_SUB_FRAMES) {
                return "--interpolate needs a number of movie frames per trajectory frame from 1 "
                       "to 16";
            }
            o.Interpolate = static_cast<int>(*k);
        } else if (const std::optional<std::string> problem = ParseMovieOption(args, i, o)) {
            if (!problem->empty()) return *problem;
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
    if (o.Command == "movie") {
        if (std::string problem = MovieOutputProblem(o); !problem.empty()) return problem;
    }
    if (o.From && o.To && *o.From > *o.To) {
        return CFormat("--from %lld is after --to %lld", static_cast<long long>(*o.From),
                       static_cast<long long>(*o.To));
    }
    if (o.Command == "export" && !o.Frame) return "export needs --frame N";
    if (o.Command == "measure" && o.MeasureAtoms.empty()) {
        return "measure needs --atoms M:A,M:A[,M:A[,M:A]]";
    }
    if (o.Photo && o.RayTracing) return "--photo and --ray-tracing are alternatives: give one";
    return {};
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    static const std::set<std::string> commands = {"log",   "info",  "render", "export",
                                                   "atoms", "movie", "world",  "measure"};
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
    // "--jobs 1" asks for one core: the pass then draws in one band instead of one per core.
    const bool oneCore = command == "movie" && o.Jobs == 1;
    if (oneCore) BandWorkers::SetThreadBands(1);
    const struct BandsBack {
        bool Set;
        ~BandsBack() {
            if (Set) BandWorkers::SetThreadBands(0);
        }
    } bandsBack{oneCore};
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
    if (command == "measure") return Measure(viewer, o, out, err);
    return Atoms(viewer, o, out, err);
}

}  // namespace

// Every command ends here: what it wrote to standard output must have got there (a full disk,
// a closed pipe). The first failed write stops the command, while errno still tells why.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Past a file-size limit (ulimit -f) a write then fails with its error: the tool says so and
    // removes what it wrote, instead of being killed half-way with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
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