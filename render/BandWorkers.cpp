#include "render/BandWorkers.h"

#include <algorithm>

namespace tarsel {

namespace {

thread_local int threadBands = 0;

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
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        call_ = call;
        running_ = bands_ - 1;
        ++generation_;
    }
    start_.notify_all();
    call(job, 0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
}

void BandWorkers::Work(int band) {
    std::uint64_t seen = 0;
    for (;;) {
        void* job;
        Call call;
        {
            std::unique_lock lock(mutex_);
            start_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            job = job_;
            call = call_;
        }
        call(job, band);
        bool last;
        {
            std::lock_guard lock(mutex_);
            last = --running_ == 0;
        }
        if (last) done_.notify_one();
    }
}

}  // namespace tarsel
