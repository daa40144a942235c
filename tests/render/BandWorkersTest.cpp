#include "render/BandWorkers.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

namespace {

// Workers wait awake for a moment after a job, then sleep: jobs that follow at once and jobs
// that come after a pause must each run once on every band, and Run must return only then.
TEST(BandWorkers, EveryBandRunsEachJobOnceWhetherItsWorkerWasAwakeOrAsleep) {
    for (const int bands : {2, 3}) {
        tarsel::BandWorkers workers(bands);
        std::array<int, tarsel::BandWorkers::MAX_BANDS> runs{};
        for (const auto pause : {std::chrono::microseconds(0), std::chrono::microseconds(2000)}) {
            for (int job = 1; job <= 50; ++job) {
                auto count = [&](int band) { ++runs[band]; };
                workers.Run(count);
                for (int band = 0; band < bands; ++band)
                    ASSERT_EQ(runs[band], runs[0]) << "band " << band << " of " << bands;
                std::this_thread::sleep_for(pause);
            }
        }
        EXPECT_EQ(runs[0], 100);
    }
}

}  // namespace
