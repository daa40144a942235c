#include "trajectory/TrajectoryFile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"

namespace tarsel {
namespace {

TEST(TrajectoryFile, FrameCountIgnoresATrailingPartialFrame) {
    EXPECT_EQ(ComputeFrameCount(6400, 10), 10);
    EXPECT_EQ(ComputeFrameCount(6399, 10), 9);
    EXPECT_EQ(ComputeFrameCount(63, 1), 0);
    // A workspace without molecules has frames of no size: no frames.
    EXPECT_EQ(ComputeFrameCount(6400, 0), 0);
    EXPECT_EQ(ComputeFrameCount(6400, -3), 0);
    EXPECT_EQ(ComputeFrameCount(0, 10), 0);
}

TEST(TrajectoryFile, SizesAndOffsetsBeyond2GiB) {
    EXPECT_EQ(FrameOffset(2, 3), 384);
    EXPECT_EQ(FrameOffset(100000, 500), 3200000000LL);
    EXPECT_EQ(ComputeFrameCount(3200000000LL + 100, 500), 100000);
    EXPECT_EQ(ComputeFrameCount(64LL * 3000000000LL, 1), 2147483647);
}

TEST(TrajectoryFile, OpensAndMeasuresAFile) {
    test::TempDir dir;
    const std::string path = dir.File("run.xyz");
    test::WriteFile(path, std::string(6399, 'x'));
    TrajectoryFile f;
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Size(), -1);
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.Size(), 6399);
    EXPECT_FALSE(f.Error());
    EXPECT_FALSE(f.Open(dir.File("missing.xyz")));
    EXPECT_FALSE(f.IsOpen());
}

}  // namespace
}  // namespace tarsel
