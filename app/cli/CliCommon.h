#pragma once

// What the tool's commands share: the parsed command line, the exit-status helpers and the
// steps that put the viewer where a command wants it.

#include <QGuiApplication>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Measurement.h"
#include "app/Viewer.h"

namespace tarsel {
class HeadlessHost;
}

namespace tarsel::cli {

// The largest view the tool draws; the window itself has no limit, but a PNG of this size is
// already some hundred megabytes.
constexpr int MAX_VIEW_SIDE = 10000;

struct Options {
    std::string Command;
    std::string Workspace;
    std::string Output;
    std::optional<std::int64_t> Frame;
    double FrameFraction = 0;  // the ".5" of --frame 12.5, an in-between
    int Interpolate = 1;       // movie frames per trajectory frame
    std::optional<std::int64_t> From, To;
    std::int64_t Step = 1;
    ViewSize Size{800, 600};
    bool SizeGiven = false;
    std::optional<std::pair<double, double>> Turn;
    std::optional<std::int64_t> Select;
    bool NoCube = false, NoBonds = false, NoNames = false, NoBalls = false, HalfRadius = false;
    bool RayTracing = false;
    bool Photo = false;
    std::optional<std::array<std::string, 3>> Light;  // as typed into the light's boxes
    std::vector<AtomRef> MeasureAtoms;                // --atoms of measure
    // Encoded movies: frames a second as a fraction, and the constant quality.
    std::optional<std::pair<int, int>> Fps;
    std::optional<int> Crf;
    int Jobs = 0;       // threads drawing a movie's frames; 0: one per core
    int Antialias = 1;  // --antialias: samples a side of each pixel, 1 (as the window) .. 4
};

// Reads args[i] when it is --fps, --crf or --jobs (with its value, moving i on):
// empty when it is right, the problem when not; nothing when args[i] is none of them.
std::optional<std::string> ParseMovieOption(const std::vector<std::string>& args, std::size_t& i,
                                            Options& o);
// What is wrong with the movie's -o and the encoding options for its format, or nothing.
std::string MovieOutputProblem(const Options& o);

// The files cannot give what was asked (no workspace, no trajectory, no such frame or
// molecule) or an output could not be written: status 1.
int Fail(std::ostream& err, const std::string& problem);

// A file the command writes (-o): whole, or not at all.
int WriteOutput(const std::string& path, std::string_view bytes, std::ostream& err);

// Text needs fonts, and fonts need a QGuiApplication; one on the offscreen platform is made
// for the drawing commands unless the caller runs one already.
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

// Why --frame cannot be had, or nothing. The whole frames are on offer, and with endToo also
// the end of the trajectory, frame FrameCount.
std::string FrameProblem(Viewer& viewer, std::int64_t frame, bool endToo);

// A frame of the trajectory, as "Go to Frame" shows it. Only whole frames are offered.
std::string ShowFrame(Viewer& viewer, std::int64_t frame);

// The render options: the dialog's check boxes, applied by its OK. What the workspace cannot
// give (a molecule it lacks), or nothing.
std::string ApplyRenderOptions(Viewer& viewer, const Options& o);

// The commands, each after the load of o.Workspace into viewer.
void PrintInfo(Viewer& viewer, const HeadlessHost& host, std::ostream& out);
int Render(Viewer& viewer, const Options& o, std::ostream& err);
int Movie(Viewer& viewer, const Options& o, std::ostream& err);
int World(Viewer& viewer, const Options& o, std::ostream& err);
int Export(Viewer& viewer, const Options& o, std::ostream& err);
int Atoms(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err);
int Measure(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err);

}  // namespace tarsel::cli
