#include "app/cli/MovieJobs.h"

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "render/BandWorkers.h"

namespace tarsel::cli {

namespace {

// Pictures a thread may draw ahead of the encoder.
constexpr std::size_t AHEAD = 2;

}  // namespace

struct MovieJobs::Job {
    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<std::unique_ptr<DibBitmap>> Ready;  // in the movie's order
    // Pictures the encoder is done with, drawn into again: a fresh 1.4 MB bitmap a frame costs
    // its pages' faults every time.
    std::vector<std::unique_ptr<DibBitmap>> Spare;
    bool Stop = false;   // the movie needs no more
    bool Ended = false;  // the thread drew all it had or failed
    std::string Problem;
    std::vector<HeadlessHost::Message> Messages;
};

MovieJobs::MovieJobs(const Viewer& loaded, const Options& o, std::vector<MovieStep> frames,
                     int jobs)
    : loaded_(loaded), options_(o), frames_(std::move(frames)) {
    for (int k = 0; jobs > 1 && k < jobs; ++k)
        jobs_.push_back(std::make_unique<Job>());
    for (std::size_t k = 0; k < jobs_.size(); ++k)
        jobs_[k]->Thread = std::thread([this, k] { Draw(*jobs_[k], static_cast<int>(k)); });
}

MovieJobs::~MovieJobs() {
    Stop();
}

void MovieJobs::Stop() {
    for (auto& job : jobs_) {
        {
            std::lock_guard<std::mutex> lock(job->Lock);
            job->Stop = true;
        }
        job->Changed.notify_all();
    }
    for (auto& job : jobs_) {
        if (job->Thread.joinable()) job->Thread.join();
    }
}

void MovieJobs::Finish(std::ostream& err) {
    Stop();
    for (auto& job : jobs_) {
        std::lock_guard<std::mutex> lock(job->Lock);
        for (const HeadlessHost::Message& m : job->Messages)
            err << m.Caption << ": " << m.Text << "\n";
        job->Messages.clear();
    }
}

// Helper k draws frames k, k + jobs, k + 2 jobs, ... of the movie.
void MovieJobs::Draw(Job& job, int helper) {
    // The cores are taken by the helpers already: bands would only wait for each other.
    BandWorkers::SetThreadBands(1);
    HeadlessHost host(options_.Size);
    Viewer viewer(host);
    viewer.FormResize();
    const LoadResult loaded = viewer.LoadWorkspaceLike(loaded_);
    std::string problem = loaded.Loaded ? ApplyRenderOptions(viewer, options_) : loaded.Error;
    if (problem.empty()) {
        // What the load said, the main viewer said already.
        host.Messages.clear();
        const std::size_t jobs = jobs_.size();
        for (std::size_t i = helper; i < frames_.size(); i += jobs) {
            viewer.ReadFrameAt(frames_[i].Frame, frames_[i].T);
            std::unique_ptr<DibBitmap> picture;
            {
                std::lock_guard<std::mutex> lock(job.Lock);
                if (!job.Spare.empty()) {
                    picture = std::move(job.Spare.back());
                    job.Spare.pop_back();
                }
            }
            if (!picture) {
                picture = std::make_unique<DibBitmap>(options_.Size.Width, options_.Size.Height);
            }
            viewer.CopyRecordedPicture(*picture);
            std::unique_lock<std::mutex> lock(job.Lock);
            job.Changed.wait(lock, [&] { return job.Stop || job.Ready.size() < AHEAD; });
            if (job.Stop) break;
            job.Ready.push_back(std::move(picture));
            job.Changed.notify_all();
        }
    }
    std::lock_guard<std::mutex> lock(job.Lock);
    job.Problem = problem.empty() ? "" : "a drawing thread can't load the workspace: " + problem;
    job.Messages = host.Messages;
    job.Ended = true;
    job.Changed.notify_all();
}

const DibBitmap* MovieJobs::Picture(std::size_t i) {
    if (current_) {
        Job& last = *jobs_[currentJob_];
        std::lock_guard<std::mutex> lock(last.Lock);
        last.Spare.push_back(std::move(current_));
    }
    currentJob_ = i % jobs_.size();
    Job& job = *jobs_[currentJob_];
    std::unique_lock<std::mutex> lock(job.Lock);
    job.Changed.wait(lock, [&] { return !job.Ready.empty() || job.Ended; });
    if (job.Ready.empty()) {
        problem_ = job.Problem;
        return nullptr;
    }
    current_ = std::move(job.Ready.front());
    job.Ready.pop_front();
    job.Changed.notify_all();
    return current_.get();
}

}  // namespace tarsel::cli
