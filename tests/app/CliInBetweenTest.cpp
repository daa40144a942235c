#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "support/AviParse.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

struct CliResult {
    int status;
    std::string out, err;
};

CliResult Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

// One one-atom molecule at x = k in frame k, frames 0..4.
std::string LineRun(const test::TempDir& dir) {
    test::WorkspaceLines w;
    w.CubeLength = "1000";
    test::WriteFile(dir.File("run.tsw"), test::Text(w));
    test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(1, 5));
    return dir.File("run.tsw");
}

TEST(CliInBetween, DecimalFramesAndInterpolationAreCheckedAsTyped) {
    test::TempDir dir;
    const std::string run = LineRun(dir), png = dir.File("out.png"), avi = dir.File("out.avi");
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string Message;
    } cases[] = {
        {{"render", run, "-o", png, "--frame", "1,5"}, 2, "--frame needs a frame number"},
        {{"world", run, "-o", png, "--frame", "1."}, 2, "--frame needs a frame number"},
        {{"export", run, "--frame", "1.5"}, 2, "--frame needs a frame number counted from 0"},
        {{"movie", run, "-o", avi, "--interpolate", "0"}, 2, "from 1 to 16"},
        {{"movie", run, "-o", avi, "--interpolate", "17"}, 2, "from 1 to 16"},
        {{"atoms", run, "--frame", "4.5"},
         1,
         "--frame 4.5 is beyond the last frame: the "
         "trajectory has frames 0 to 4"},
    };
    for (const auto& c : cases) {
        const CliResult r = Cli(c.Args);
        EXPECT_EQ(r.status, c.Status) << c.Args[0] << " " << c.Args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.Message), std::string::npos) << r.err;
    }
}

TEST(CliInBetween, AtomsOfADecimalFrameLieInBetween) {
    test::TempDir dir;
    const CliResult r = Cli({"atoms", LineRun(dir), "--frame", "2.2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" frame=2.2 time_ps=0.022\n"), std::string::npos) << r.out;
    std::istringstream xyz(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1));
    std::string name;
    double x = 0;
    xyz >> name >> x;
    EXPECT_NEAR(x, 2.2, 1e-6) << r.out;
}

TEST(CliInBetween, MovieWritesKFramesPerTrajectoryFrame) {
    test::TempDir dir;
    const std::string run = LineRun(dir), avi = dir.File("out.avi");
    const struct {
        std::vector<std::string> Range;
        int K, Frames;
    } cases[] = {
        {{}, 4, 4 * 4 + 1},
        {{"--from", "1", "--to", "3"}, 16, 2 * 16 + 1},
        {{"--from", "0", "--to", "3", "--step", "2"}, 3, 1 * 3 + 1},  // ends on frame 2
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {
            "movie", run, "-o", avi, "--size", "40x30", "--interpolate", std::to_string(c.K)};
        args.insert(args.end(), c.Range.begin(), c.Range.end());
        const CliResult r = Cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<test::RiffChunk> movie = test::ParseRiff(test::ReadFile(avi));
        ASSERT_EQ(movie.size(), 1u);
        EXPECT_EQ(movie[0].Child("idx1").Size, 16u * c.Frames) << "K " << c.K;
    }
}

}  // namespace
}  // namespace tarsel
