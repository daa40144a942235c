// Smooth edges: --antialias and the viewer's "Smooth edges" box.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "render/RasterCanvas.h"
#include "render/WideCanvas.h"
#include "support/CliRun.h"
#include "support/TestFiles.h"
#include "tools/ExampleRun.h"

namespace tarsel {
namespace {

using test::Cli;

std::string ExampleRun(const test::TempDir& dir) {
    examples::RunSpec recipe = examples::WaterExample();
    recipe.Frames = 3;
    std::string error;
    EXPECT_TRUE(examples::WriteRun(examples::GenerateRun(recipe), dir.File("water"), error))
        << error;
    return dir.File("water.tsw");
}

TEST(SmoothEdges, OneIsThePictureWithoutTheOption) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    const std::vector<std::vector<std::string>> commands = {
        {"render", "-o", "OUT.png", "--frame", "1"},
        {"render", "-o", "OUT.png", "--photo", "--size", "320x240"},
        {"world", "-o", "OUT.png"},
        {"movie", "-o", "OUT.avi", "--size", "160x120", "--ray-tracing"},
        {"movie", "-o", "OUT.avi", "--size", "160x120", "--jobs", "2"},
    };
    for (const std::vector<std::string>& command : commands) {
        std::string bytes[2];
        for (int with = 0; with < 2; ++with) {
            std::vector<std::string> args = {command[0], run};
            const std::string out = dir.File(with ? "with" : "without") + command[2].substr(3);
            for (std::size_t i = 1; i < command.size(); ++i)
                args.push_back(command[i] == command[2] ? out : command[i]);
            if (with) args.insert(args.end(), {"--antialias", "1"});
            const test::CliRun r = Cli(args);
            ASSERT_EQ(r.status, 0) << r.err;
            bytes[with] = test::ReadFile(out);
        }
        EXPECT_FALSE(bytes[0].empty());
        EXPECT_TRUE(bytes[0] == bytes[1]) << command[0] << " " << command.back();
    }
}

// Each pixel the rounded mean of its 2 x 2 block.
QImage Halved(const QImage& large) {
    QImage out(large.width() / 2, large.height() / 2, QImage::Format_BGR888);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < 2; ++j) {
                    for (int i = 0; i < 2; ++i)
                        sum += large.constScanLine(2 * y + j)[3 * (2 * x + i) + c];
                }
                out.scanLine(y)[3 * x + c] = static_cast<uchar>((sum + 2) / 4);
            }
        }
    }
    return out;
}

TEST(SmoothEdges, TwoIsTheFilteredPictureOfTheViewTwiceAsLarge) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    for (const int mode : {0, 1, 2}) {  // flat, ray tracing, photo
        // Twice the size, twice the scale, pens two pixels wide; names and the cube are left
        // out, their heights and clipping box being the smooth pass's own.
        HeadlessHost largeHost({640, 480});
        Viewer large(largeHost);
        RasterCanvas raster(large.Scene());
        large.SetCanvas(std::make_unique<WideCanvas>(raster, 2));
        HeadlessHost host({320, 240});
        Viewer v(host);
        for (Viewer* viewer : {&large, &v}) {
            viewer->Form().AtomColorCheckBox = false;
            viewer->Form().WorldAxwsCheckBox = false;
            viewer->Form().CheckBox26 = mode == 1;
            viewer->Form().PhotoCheckBox = mode == 2;
            ASSERT_TRUE(viewer->LoadWorkspaceFile(run).Loaded);
        }
        large.Ws().Projection.Scale *= 2;
        large.RenderScene();
        const QImage expected = Halved(large.Scene().Copy(large.Ws().VisibleRect, {0, 0, 0}));
        const QImage before = v.Scene().Copy(v.Ws().VisibleRect, {0, 0, 0});
        const QImage smooth = v.SmoothPicture(2);
        EXPECT_TRUE(smooth == expected) << mode;
        EXPECT_FALSE(smooth == before) << mode;
        // The window's picture is drawn again as it was.
        EXPECT_TRUE(v.Scene().Copy(v.Ws().VisibleRect, {0, 0, 0}) == before) << mode;
    }
}

TEST(SmoothEdges, MovieFramesAreSmoothOnEveryThread) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    std::string movies[3];
    for (int k = 0; k < 3; ++k) {
        const std::string out = dir.File("m" + std::to_string(k) + ".avi");
        const test::CliRun r = Cli({"movie", run, "-o", out, "--size", "160x120", "--jobs",
                                    k == 2 ? "2" : "1", "--antialias", k == 0 ? "1" : "2"});
        ASSERT_EQ(r.status, 0) << r.err;
        movies[k] = test::ReadFile(out);
    }
    EXPECT_EQ(movies[0].size(), movies[1].size());
    EXPECT_FALSE(movies[0] == movies[1]);
    EXPECT_TRUE(movies[1] == movies[2]);
}

// The largest difference of a colour byte between two pictures of one size.
int LargestDifference(const QImage& a, const QImage& b) {
    EXPECT_EQ(a.size(), b.size());
    int most = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < 3 * std::min(a.width(), b.width()); ++x)
            most = std::max(most, std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]));
    }
    return most;
}

// The flat and shaded passes draw the same pixels wherever the view's piece lies on the bitmap;
// "Photo" walks its rays in floats from the left of the part it draws, so its shades may differ
// by a rounding step.
TEST(SmoothEdges, PiecesJoinWithoutSeams) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    for (const int mode : {0, 1, 2}) {
        HeadlessHost host({300, 220});
        Viewer v(host);
        v.Form().CheckBox26 = mode == 1;
        v.Form().PhotoCheckBox = mode == 2;
        ASSERT_TRUE(v.LoadWorkspaceFile(run).Loaded);
        v.MeasureClick(150, 110);
        for (const int n : {2, 3}) {
            const QImage whole = v.SmoothPicture(n);
            EXPECT_LE(LargestDifference(v.SmoothPicture(n, 150), whole), mode == 2 ? 1 : 0)
                << mode << " " << n;
        }
    }
}

TEST(SmoothEdges, WrongSampleCountsAreUsageErrors) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    for (const char* command : {"render", "movie", "world"}) {
        for (const char* n : {"0", "5", "two", "2.5"}) {
            const test::CliRun r = Cli({command, run, "-o", dir.File("out.png"), "--antialias", n});
            EXPECT_EQ(r.status, 2) << command << " " << n;
            EXPECT_NE(r.err.find("--antialias needs"), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(Cli({"render", run, "-o", dir.File("out.png"), "--antialias"}).status, 2);
    EXPECT_EQ(Cli({"export", run, "--frame", "0", "--antialias", "2"}).status, 2);
}

}  // namespace
}  // namespace tarsel
