#include "render/BandWorkers.h"

#include <algorithm>
#include <chrono>

namespace tarsel {

namespace {

thread_local int threadBands = 0;

// The jobs of one pass follow each other closely: a thread that has finished one waits awake
// for a short while, since a wake-up from sleep takes tens of microseconds on a busy machine;
// past that it sleeps, so that an idle viewer uses no processor.
constexpr auto SPIN_TIME = std::chrono::microseconds(150);

template <typename Ready>
bool SpinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + SPIN_TIME;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        if (std::chrono::steady_clock::now() >= until) return ready();
    }
}

}  // namespace

void BandWorkers::SetThreadBands(int bands) {
    threadBands = bands;
}

BandWorkers::BandWorkers(int bands) {
    if (bands <= 0) bands = threadBands;
    if (bands <= 0) bands = static_cast<int>(std::thread::hardware_concurrency());
    bands_ = std::clamp(bands, 1, MAX_BANDS);
}

BandWorkers::~BandWorkers() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        generation_.fetch_add(1);
    }
    start_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void BandWorkers::RunErased(void* job, Call call) {
    if (bands_ == 1) {
        call(job, 0);
        return;
    }
    if (threads_.empty()) {
        for (int band = 1; band < bands_; ++band)
            threads_.emplace_back([this, band] { Work(band); });
    }
    job_ = job;
    call_ = call;
    running_.store(bands_ - 1);
    // Workers that are awake see the new generation; those that went to sleep are woken. The
    // two sides each write before reading the other's flag, so one of them sees the other.
    generation_.fetch_add(1);
    if (sleepers_.load() > 0) {
        std::lock_guard lock(mutex_);
        start_.notify_all();
    }
    call(job, 0);
    if (SpinUntil([this] { return running_.load(std::memory_order_acquire) == 0; })) return;
    std::unique_lock lock(mutex_);
    callerAsleep_.store(true);
    done_.wait(lock, [this] { return running_.load() == 0; });
    callerAsleep_.store(false);
}

void BandWorkers::Work(int band) {
    std::uint64_t seen = 0;
    for (;;) {
        const auto fresh = [&] { return generation_.load(std::memory_order_acquire) != seen; };
        if (!SpinUntil(fresh)) {
            std::unique_lock lock(mutex_);
            sleepers_.fetch_add(1);
            start_.wait(lock, fresh);
            sleepers_.fetch_sub(1);
        }
        seen = generation_.load(std::memory_order_acquire);
        if (stop_) return;
        call_(job_, band);
        if (running_.fetch_sub(1) == 1 && callerAsleep_.load()) {
            std::lock_guard lock(mutex_);
            done_.notify_one();
        }
    }
}

}  // namespace tarsel
