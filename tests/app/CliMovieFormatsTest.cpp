// tarsel-cli movie in the encoded formats, on threads, and in pieces.

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/cli/Cli.h"
#include "support/CliRun.h"
#include "support/Ffmpeg.h"
#include "support/TestFiles.h"
#include "tools/ExampleRun.h"

namespace tarsel {
namespace {

using test::Cli;
using test::CliRun;

// The bundled example's kind of run, short: water, methane and benzene, names, bonds, cube.
std::string ExampleRun(const test::TempDir& dir, int frames) {
    examples::RunSpec recipe = examples::WaterExample();
    recipe.Frames = frames;
    recipe.ViewWidth = 160;
    recipe.ViewHeight = 120;
    std::string error;
    EXPECT_TRUE(examples::WriteRun(examples::GenerateRun(recipe), dir.File("run"), error)) << error;
    return dir.File("run.tsw");
}

const std::vector<std::string> VIEW = {"--size", "160x120"};

std::string Movie(const std::string& run, std::vector<std::string> args) {
    args.insert(args.begin(), {"movie", run});
    args.insert(args.end(), VIEW.begin(), VIEW.end());
    const CliRun r = Cli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.err;
}

TEST(CliMovieFormats, ThreadsMakeTheSameMovieAndMp4PiecesJoin) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    test::TempDir dir;
    const std::string run = ExampleRun(dir, 7);
    Movie(run, {"-o", dir.File("one.avi"), "--jobs", "1"});
    Movie(run, {"-o", dir.File("two.avi"), "--jobs", "2", "--step", "1"});
    Movie(run, {"-o", dir.File("three.avi"), "--jobs", "3", "--ray-tracing"});
    Movie(run, {"-o", dir.File("shaded.avi"), "--jobs", "1", "--ray-tracing"});
    EXPECT_TRUE(test::ReadFile(dir.File("one.avi")) == test::ReadFile(dir.File("two.avi")));
    EXPECT_TRUE(test::ReadFile(dir.File("three.avi")) == test::ReadFile(dir.File("shaded.avi")));
    // The threads draw the in-between frames too.
    Movie(run, {"-o", dir.File("in1.avi"), "--jobs", "1", "--interpolate", "3"});
    Movie(run, {"-o", dir.File("in2.avi"), "--jobs", "2", "--interpolate", "3"});
    EXPECT_TRUE(test::ReadFile(dir.File("in1.avi")) == test::ReadFile(dir.File("in2.avi")));

    // Ranges recorded apart, joined without encoding again: every frame once, in order.
    Movie(run, {"-o", dir.File("a.mp4"), "--to", "2"});
    Movie(run, {"-o", dir.File("b.mp4"), "--from", "3", "--jobs", "2"});
    EXPECT_EQ(test::CountFrames(dir.File("a.mp4")), 3);
    EXPECT_EQ(test::CountFrames(dir.File("b.mp4")), 4);
    test::WriteFile(dir.File("pieces.txt"), "file 'a.mp4'\nfile 'b.mp4'\n");
    test::Ffmpeg("-f concat -safe 0 -i " + dir.File("pieces.txt") + " -c copy " +
                 dir.File("joined.mp4"));
    EXPECT_EQ(test::CountFrames(dir.File("joined.mp4")), 7);
    EXPECT_TRUE(test::DecodeBgr24(dir.File("joined.mp4")) ==
                test::DecodeBgr24(dir.File("a.mp4")) + test::DecodeBgr24(dir.File("b.mp4")));
}

TEST(CliMovieFormats, Mp4FrameIsTheRenderedPictureAt40Decibels) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    test::TempDir dir;
    const std::string run = ExampleRun(dir, 3), png = dir.File("two.png");
    ASSERT_EQ(Cli({"render", run, "-o", png, "--frame", "2", "--size", "160x120"}).status, 0);
    const std::string err = Movie(run, {"-o", dir.File("m.mp4"), "--from", "2"});
    EXPECT_EQ(err.find("tarsel-cli: wrote " + dir.File("m.mp4") + ": 1 frames of 160x120"), 0u);
    // Both in the movie's own yuv420p, by ffmpeg's standard conversion: what the encoder lost.
    const std::string rendered = test::DecodeRaw(png, "yuv420p");
    const std::string decoded = test::DecodeRaw(dir.File("m.mp4"), "yuv420p");
    ASSERT_EQ(decoded.size(), 160u * 120 * 3 / 2);
    EXPECT_GE(test::Psnr(rendered, decoded), 40.0);
}

TEST(CliMovieFormats, WrongNamesAndOptions) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir, 2);
    const std::string endings = "its name must end in .avi, .mp4, .webm, .gif, or .png with %d";
    // Status 2: the command line is wrong.
    const std::vector<std::tuple<std::vector<std::string>, std::string>> cases = {
        {{"-o", dir.File("m.mov")}, endings},
        {{"-o", dir.File("m.png")}, endings},
        {{"-o", dir.File("m%d%d.png")}, endings},
        {{"-o", dir.File("m.avi"), "--fps", "25"}, "an AVI always has 1000/30 frames a second"},
        {{"-o", dir.File("m.gif"), "--crf", "20"}, "--crf is for MP4 and WebM movies"},
        {{"-o", dir.File("m.mp4"), "--crf", "52"}, "--crf needs a quality from 0 (best) to 51"},
        {{"-o", dir.File("m.mp4"), "--fps", "0.5"}, "--fps needs frames a second from 1 to 240"},
        {{"-o", dir.File("m.mp4"), "--fps", "241"}, "--fps needs frames a second from 1 to 240"},
        {{"-o", dir.File("m.mp4"), "--jobs", "0"}, "--jobs needs a number of threads"},
    };
    for (const auto& [args, problem] : cases) {
        std::vector<std::string> all = {"movie", run};
        all.insert(all.end(), args.begin(), args.end());
        const CliRun r = Cli(all);
        EXPECT_EQ(r.status, 2) << problem;
        EXPECT_NE(r.err.find(problem), std::string::npos) << r.err;
    }
    // Status 1: the output cannot be written, and the movie says what it keeps: an MP4 cut
    // short has no index, so nothing.
    std::filesystem::create_symlink("/dev/full", dir.File("full.mp4"));
    const CliRun full = Cli({"movie", run, "-o", dir.File("full.mp4"), "--size", "160x120"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device.\nThe movie keeps the 0 frames"),
              std::string::npos)
        << full.err;
}

}  // namespace
}  // namespace tarsel
