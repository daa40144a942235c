#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/CliCommon.h"
#include "export/DibBitmap.h"

namespace tarsel::cli {

// Draws a movie's frames on helper threads and hands the pictures out in the movie's order.
// With one job the caller's own viewer draws every frame (OwnFrame), its balls in bands on
// every core. With more, as many threads draw whole frames in turn, each in one band, each
// with its own viewer loaded with the caller's run (from what the caller's viewer read, not
// read again) and the same render options, so that no scene state is shared: a frame's picture
// is the one the single viewer would record, and the caller's thread is left to the encoder.
// One movie frame: a trajectory frame, or the in-between T of the way to the next.
struct MovieStep {
    std::int32_t Frame = 0;
    std::int32_t SubFrame = 0;
    double T = 0;
};

class MovieJobs {
  public:
    // loaded: the caller's viewer, which loads nothing more while the threads run.
    MovieJobs(const Viewer& loaded, const Options& o, std::vector<MovieStep> frames, int jobs);
    // Whether the caller draws frame i (counted in the movie) itself.
    bool OwnFrame(std::size_t) const { return jobs_.empty(); }
    ~MovieJobs();
    MovieJobs(const MovieJobs&) = delete;
    MovieJobs& operator=(const MovieJobs&) = delete;

    // The picture of frame i, which is not the caller's, waiting for it; valid until the next
    // call. Frames are asked for in order. Nothing when a thread could not load the workspace
    // (Problem() says why).
    const DibBitmap* Picture(std::size_t i);
    const std::string& Problem() const { return problem_; }
    // Stops the threads, then prints on err what their viewers would have shown in boxes.
    void Finish(std::ostream& err);

  private:
    struct Job;
    void Stop();
    void Draw(Job& job, int helper);

    const Viewer& loaded_;
    const Options options_;
    const std::vector<MovieStep> frames_;
    std::vector<std::unique_ptr<Job>> jobs_;
    std::unique_ptr<DibBitmap> current_;
    std::size_t currentJob_ = 0;
    std::string problem_;
};

}  // namespace tarsel::cli
