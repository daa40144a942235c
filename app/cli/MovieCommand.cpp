#include "app/cli/CliCommon.h"
#include "app/cli/MovieChecks.h"
#include "app/cli/TimeLeft.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <limits>

#include "workspace/CText.h"

namespace tarsel::cli {

namespace {

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
        err_ << CFormat("\rframe %d of %d, %.1f frames/s, %s left   ", done, total_, fps,
                        TimeLeft(total_ - done, fps).c_str())
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

}  // namespace

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
    if (const std::string problem = MovieOutputProblem(viewer, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
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
        if (const std::string problem = FrameGoneProblem(viewer, n); !problem.empty()) {
            progress.End();
            const int recorded = viewer.ActiveRecorder()->frameCount;
            viewer.StopRecording();
            return Fail(err, CFormat("%s; the movie keeps the %d frames recorded before",
                                     problem.c_str(), recorded));
        }
        viewer.ReadFrame(static_cast<std::int32_t>(n));
        viewer.Ws().CurrentFrame = static_cast<std::int32_t>(n);
        progress.Frame(++done);
    }
    progress.End();
    if (!viewer.ActiveRecorder()) return 1;  // a failed write stopped it, with its message
    const int recorded = viewer.ActiveRecorder()->frameCount;
    const ViewSize size = o.Size;
    if (!viewer.StopRecording()) return 1;  // the index could not be written: said already
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
}  // namespace tarsel::cli
