// The "Photo" mode through the viewer and the command-line tool: it is opt-in, and leaves
// nothing behind in the other two modes.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "app/cli/Cli.h"
#include "support/TestFiles.h"
#include "tools/ExampleRun.h"

namespace tarsel {
namespace {

std::string ExampleRun(const test::TempDir& dir) {
    examples::RunSpec recipe = examples::WaterExample();
    recipe.Frames = 2;
    std::string error;
    EXPECT_TRUE(examples::WriteRun(examples::GenerateRun(recipe), dir.File("water"), error)) << error;
    return dir.File("water.tsw");
}

QImage Picture(Viewer& v) {
    return v.Scene().Copy(v.Ws().VisibleRect, {0, 0, 0});
}

TEST(PhotoMode, OffLeavesTheOtherModesAsTheyWere) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir);
    for (const bool rayTracing : {false, true}) {
        HeadlessHost host({400, 300});
        Viewer v(host);
        v.Form().CheckBox26 = rayTracing;
        ASSERT_TRUE(v.LoadWorkspaceFile(run).Loaded);
        const QImage before = Picture(v);
        v.Form().PhotoCheckBox = true;
        v.Form().PhotoOcclusionEdit = "1";
        v.Form().PhotoOutlineEdit = "0.5";
        v.Form().PhotoDepthCueEdit = "1";
        v.BitBtn1Click();
        const QImage photo = Picture(v);
        EXPECT_NE(photo, before) << rayTracing;
        v.Form().PhotoCheckBox = false;
        v.BitBtn1Click();
        EXPECT_EQ(Picture(v), before) << rayTracing;
        // The settings stay with the dialog from one load to the next.
        v.Form().PhotoCheckBox = true;
        v.BitBtn1Click();
        ASSERT_TRUE(v.LoadWorkspaceFile(run).Loaded);
        EXPECT_TRUE(v.Ws().Photo);
        EXPECT_EQ(v.Ws().PhotoOutline, 0.5);
        EXPECT_EQ(Picture(v), photo) << rayTracing;
    }
}

TEST(PhotoMode, CommandLine) {
    test::TempDir dir;
    const std::string run = ExampleRun(dir), png = dir.File("out.png");
    const auto cli = [](std::vector<std::string> args) {
        std::ostringstream out, err;
        return RunCli(args, out, err);
    };
    ASSERT_EQ(cli({"render", run, "-o", png, "--photo"}), 0);
    const QImage photo(QString::fromStdString(png));
    ASSERT_EQ(cli({"render", run, "-o", png}), 0);
    EXPECT_NE(QImage(QString::fromStdString(png)), photo);
    EXPECT_EQ(cli({"render", run, "-o", png, "--photo", "--ray-tracing"}), 2);
    const std::string avi = dir.File("out.avi");
    EXPECT_EQ(cli({"movie", run, "-o", avi, "--photo", "--to", "0"}), 0);
}

}  // namespace
}  // namespace tarsel
