#include "app/cli/CliCommon.h"
#include "app/cli/MovieChecks.h"
#include "app/cli/MovieJobs.h"
#include "app/cli/TimeLeft.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <limits>
#include <thread>
#include <vector>

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

// How an encoded movie is made: the rate and quality asked for, at the tool's own pace.
MovieSettings EncodingOf(const Options& o) {
    MovieSettings settings;
    if (o.Fps) {
        settings.RateNum = o.Fps->first;
        settings.RateDen = o.Fps->second;
    }
    if (o.Crf) settings.Crf = *o.Crf;
    return settings;
}

int DefaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

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
    if (const std::string problem = MovieFileProblem(viewer, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
    // Positions count steps of 1/k frame; the movie ends on the last whole frame it reaches.
    const std::int64_t k = o.Interpolate;
    const std::int64_t steps = (to - from) / o.Step * k + 1;
    std::vector<MovieStep> frames;
    for (std::int64_t i = 0, p = from * k; i < steps; ++i, p += o.Step) {
        frames.push_back({static_cast<std::int32_t>(p / k), static_cast<std::int32_t>(p % k),
                          static_cast<double>(p % k) / k});
    }
    const int total = static_cast<int>(frames.size());
    // The drawing threads set up their viewers while this one gets ready to record.
    const int jobs = std::min(o.Jobs > 0 ? o.Jobs : DefaultJobs(), total);
    MovieJobs helpers(viewer, o, frames, jobs);
    if (const std::string problem = ApplyRenderOptions(viewer, o); !problem.empty()) {
        return Fail(err, problem);
    }

    viewer.Form().SaveAVICheckBox = true;
    viewer.Form().SubFramesSpinBox = o.Interpolate;
    viewer.ApplySettings();
    viewer.StartRecording(o.Output, EncodingOf(o));
    if (!viewer.ActiveMovie()) return 1;  // the message is out already
    // Every frame asked for is due, the first one too.
    viewer.Ws().LastRecordedTime = -std::numeric_limits<double>::infinity();
    ProgressLine progress(err, total);
    int done = 0;
    for (std::size_t i = 0; i < frames.size() && viewer.ActiveMovie(); ++i) {
        // An in-between needs the frame after it too.
        const MovieStep& step = frames[i];
        std::string problem = FrameGoneProblem(viewer, step.Frame);
        if (problem.empty() && step.SubFrame > 0)
            problem = FrameGoneProblem(viewer, step.Frame + 1);
        if (!problem.empty()) {
            progress.End();
            helpers.Finish(err);
            const int recorded = viewer.ActiveMovie()->FrameCount();
            viewer.StopRecording();
            return Fail(err, CFormat("%s; the movie keeps the %d frames recorded before",
                                     problem.c_str(), recorded));
        }
        if (helpers.OwnFrame(i)) {
            viewer.ReadFrameAt(step.Frame, step.T);
            viewer.Ws().CurrentFrame = step.Frame;
            viewer.Ws().CurrentSubFrame = step.SubFrame;
        } else {
            const DibBitmap* picture = helpers.Picture(i);
            if (picture == nullptr) break;
            viewer.RecordPicture(*picture);
        }
        progress.Frame(++done);
    }
    helpers.Finish(err);
    if (!helpers.Problem().empty()) {
        progress.End();
        viewer.StopRecording();
        return Fail(err, helpers.Problem());
    }
    progress.End();
    if (!viewer.ActiveMovie()) return 1;  // a failed write stopped it, with its message
    const int recorded = viewer.ActiveMovie()->FrameCount();
    const ViewSize size = o.Size;
    if (!viewer.StopRecording()) return 1;  // the movie could not be completed, as it says
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
