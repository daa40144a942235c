#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace tarsel {

// A few threads that split a drawing job by bands of bitmap rows: Run calls the job once per
// band, on the calling thread and on the workers at the same time, and returns when all are
// done. Each band owns its rows, so painter's order holds within every band without locks.
// The threads start with the first job that has more than one band.
class BandWorkers {
  public:
    // bands 0 means one per processor (at most MAX_BANDS).
    explicit BandWorkers(int bands = 0);
    ~BandWorkers();
    BandWorkers(const BandWorkers&) = delete;
    BandWorkers& operator=(const BandWorkers&) = delete;

    static constexpr int MAX_BANDS = 8;

    // The bands that BandWorkers(0) made on the calling thread get from now on (0: one per
    // processor): a thread that draws whole frames beside others draws each in one band.
    static void SetThreadBands(int bands);

    int Bands() const { return bands_; }

    // job(band) for every band 0 .. Bands() - 1; band 0 runs on the calling thread.
    template <typename Job>
    void Run(Job& job) {
        RunErased(&job, [](void* j, int band) { (*static_cast<Job*>(j))(band); });
    }

    // Splits 0 .. count - 1 into one run of indices per band and calls body(band, from, to)
    // for each, at the same time; with fewer than 2 * minimum indices it all goes to band 0 on
    // the calling thread. Returns the number of runs.
    template <typename Body>
    int ForRanges(int count, int minimum, Body body) {
        const int runs = count < 2 * minimum ? 1 : bands_;
        auto job = [&](int band) {
            body(band, RangeStart(count, runs, band), RangeStart(count, runs, band + 1));
        };
        if (runs == 1) {
            job(0);
        } else {
            Run(job);
        }
        return runs;
    }
    static int RangeStart(int count, int runs, int run) {
        return static_cast<int>(static_cast<std::int64_t>(count) * run / runs);
    }

  private:
    using Call = void (*)(void*, int);
    void RunErased(void* job, Call call);
    void Work(int band);

    int bands_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable start_;
    std::condition_variable done_;
    void* job_ = nullptr;
    Call call_ = nullptr;
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<int> running_{0};
    std::atomic<int> sleepers_{0};           // workers asleep, or about to be, on start_
    std::atomic<bool> callerAsleep_{false};  // the calling thread on done_
    std::atomic<bool> stop_{false};
};

// One value per band (or per piece of work), each on its own cache lines: bands that grow
// their own vectors at the same time would otherwise pass the line that holds the vectors'
// ends back and forth.
template <typename T, int N = BandWorkers::MAX_BANDS>
class PerBand {
  public:
    T& operator[](int band) { return slots_[band].Value; }
    const T& operator[](int band) const { return slots_[band].Value; }

  private:
    struct alignas(64) Slot {
        T Value;
    };
    std::array<Slot, N> slots_;
};

}  // namespace tarsel
