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

// Draws a movie's frames on several threads and hands the pictures out in the movie's order.
// Each thread has its own viewer, loaded from the same files with the same render options, so
// that no scene state is shared: a frame's picture is the one the single viewer would record.
class MovieJobs {
  public:
    MovieJobs(const Options& o, std::vector<std::int32_t> frames, int jobs);
    // Stops the threads, then prints on err what their viewers would have shown in boxes.
    ~MovieJobs();
    MovieJobs(const MovieJobs&) = delete;
    MovieJobs& operator=(const MovieJobs&) = delete;

    // The next frame's picture, waiting for it; valid until the next call. Nothing after the
    // last frame, or when a thread could not load the workspace (Problem() says why).
    const DibBitmap* Next();
    const std::string& Problem() const { return problem_; }
    void ReportMessages(std::ostream& err);

  private:
    struct Job;
    void Draw(Job& job, int first);

    const Options options_;
    const std::vector<std::int32_t> frames_;
    std::vector<std::unique_ptr<Job>> jobs_;
    std::size_t next_ = 0;
    std::unique_ptr<DibBitmap> current_;
    std::string problem_;
};

}  // namespace tarsel::cli
