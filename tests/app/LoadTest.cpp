#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Resets.h"
#include "app/Viewer.h"
#include "app/WorkspacePaths.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

using test::TempDir;
using test::WorkspaceLines;

// A workspace file and, unless told otherwise, a trajectory of `frames` whole frames.
void WriteRun(const std::string& base, const WorkspaceLines& w, int frames = 3,
              const std::string& trajectoryExtension = ".xyz") {
    test::WriteFile(base + ".tsw", test::Text(w));
    if (frames >= 0) {
        test::WriteFile(base + trajectoryExtension,
                        std::string(64 * w.Molecules.size() * frames, '\0'));
    }
}

class LoadTest : public ::testing::Test {
  protected:
    HeadlessHost host{{800, 600}};
    Viewer viewer{host};
    TempDir dir;
};

TEST_F(LoadTest, StartValues) {
    const Workspace& ws = viewer.Ws();
    EXPECT_TRUE(ws.NothingLoaded);
    EXPECT_TRUE(ws.ShowCube);
    EXPECT_EQ(ws.LastMolecule, 0);
    EXPECT_EQ(host.StatusPanels[1], "Use: W,S,A,D,Q,E,Arrows");
    EXPECT_EQ(host.StatusPanels[2], "PgUp/PgDn");
    EXPECT_FALSE(host.Timer1On);
    EXPECT_EQ(viewer.LabelFont(), (FontSpec{"Arial Cyr", 18}));
    EXPECT_EQ(viewer.AxisFont(), (FontSpec{"Arial Cyr", 19}));
    EXPECT_EQ(viewer.Form().WorkspaceFileName, "tarsel.tsw");
    EXPECT_EQ(viewer.Form().Memo.Text(), "LoadMemo");
    EXPECT_TRUE(viewer.Form().BallCheckBox);
    EXPECT_EQ(ws.Projection.FontScale, 0.25);
    EXPECT_DOUBLE_EQ(ws.Rotation.Plus.s, std::sin(0.005));
    EXPECT_DOUBLE_EQ(ws.Rotation.Minus.s, std::sin(-0.005));
    EXPECT_DOUBLE_EQ(ws.Rotation.Minus.t, 1 - std::cos(0.005));
    EXPECT_EQ(viewer.Scene().Image().size(), QSize(2000, 2000));
    EXPECT_EQ(viewer.Scene().Pixel(0, 0), (Rgb{180, 180, 180}));
    EXPECT_EQ(viewer.Scene().Pixel(1999, 1999), (Rgb{180, 180, 180}));
    EXPECT_EQ(ws.ExamplesDirectory, ws.StartDirectory + "/Examples/");

    // Before a load, a render pass only shows the bitmap; the time panel stays empty.
    viewer.RenderScene();
    EXPECT_EQ(host.ScenesShown, 1);
    EXPECT_EQ(host.StatusPanels[3], "");
}

TEST(WorkspacePaths, ExtensionIsCutFromTheFileNameOnly) {
    WorkspacePaths p = DeriveWorkspacePaths("/data/my.runs/a.tsw");
    EXPECT_EQ(p.Base, "/data/my.runs/a");
    EXPECT_EQ(p.WorkspaceFile, "/data/my.runs/a.tsw");
    EXPECT_EQ(p.TrajectoryFile, "/data/my.runs/a.xyz");
    p = DeriveWorkspacePaths("RUN.TSW");
    EXPECT_EQ(p.WorkspaceFile, "RUN.TSW");
    EXPECT_EQ(p.TrajectoryFile, "RUN.xyz");
    EXPECT_EQ(p.TrajectoryUpper, "RUN.XYZ");
    EXPECT_EQ(DeriveWorkspacePaths("a.b.tsw").Base, "a.b");
    EXPECT_EQ(DeriveWorkspacePaths("/x.y/run").Base, "/x.y/run");
    EXPECT_EQ(DeriveWorkspacePaths("/runs/.hidden").Base, "/runs/.hidden");
}

TEST_F(LoadTest, AFolderNamedLikeTheTrajectoryIsNoTrajectory) {
    WriteRun(dir.File("run"), WorkspaceLines{}, -1);
    std::filesystem::create_directory(dir.File("run.xyz"));
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "File *.xyz not found!");
    EXPECT_EQ(viewer.Ws().FrameCount, 0);
    EXPECT_FALSE(viewer.Trajectory().IsOpen());
}

TEST_F(LoadTest, LoadFinishesWithNamesFramesFontAndLight) {
    WorkspaceLines w;
    w.Molecules.assign(10, test::MoleculeLines{});
    w.V0 = "1,2,3";
    w.V1 = "1,0,0";
    w.V2 = "0,1,0";
    w.V3 = "0,0,1";
    w.CubeLength = "10";
    w.ScaleLine = "40,0.25";
    const std::string base = dir.File("my.runs");
    std::filesystem::create_directory(base);
    WriteRun(base + "/run", w, 0);
    test::WriteFile(base + "/run.xyz", std::string(6399, '\0'));  // 9 whole frames of 10 records
    host.ParamFormVisible = true;

    const LoadResult result = viewer.LoadWorkspaceFile(base + "/run.tsw");
    ASSERT_TRUE(result.Loaded) << result.Error;
    const Workspace& ws = viewer.Ws();
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(ws.WorkspaceBasePath, base + "/run");
    EXPECT_EQ(host.Caption, base + "/run");
    EXPECT_EQ(viewer.Form().WorkspaceFileName, base + "/run.tsw");
    EXPECT_EQ(viewer.Form().TrajectoryFileName, base + "/run.xyz");
    EXPECT_EQ(ws.FrameCount, 9);
    EXPECT_EQ(ws.LastMolecule, 9);
    EXPECT_FALSE(ws.NothingLoaded);
    EXPECT_FALSE(host.ParamFormVisible);  // the OK action closes the dialog
    EXPECT_EQ(viewer.Form().FontScaleEdit, "0.250000");
    EXPECT_EQ(ws.Projection.FontScale, 0.25);
    EXPECT_EQ(ws.FrameTime, 1.0);  // "Frame Time" design default
    EXPECT_EQ(viewer.LabelFont().Height, 15);
    // k = 2 x 10 x (V2.y + V3.z) = 40.
    EXPECT_EQ(ws.LightPosition, (Vec3{41, 42, -37}));
    EXPECT_EQ(host.StatusPanels[3], "0.000 pS ");
    EXPECT_EQ(ws.VisibleRect, (Rect{600, 700, 1400, 1300}));
    EXPECT_EQ(ws.WindowRect, (Rect{0, 0, 800, 600}));
    EXPECT_EQ(ws.HalfViewWidth, 400);
    EXPECT_EQ(ws.SelectedMolecule, -1);
}

TEST_F(LoadTest, LabelFontHeightTruncates) {
    WorkspaceLines w;
    w.ScaleLine = "44,0.1";
    WriteRun(dir.File("run"), w);
    // The load's render pass makes a label font for every name it draws; without names it
    // keeps the one the load made.
    viewer.Form().AtomColorCheckBox = false;
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_EQ(viewer.LabelFont().Height, 9);
    // With the default axes the light sits at the camera.
    EXPECT_EQ(viewer.Ws().LightPosition, viewer.Ws().Camera.V0);
}

TEST_F(LoadTest, UpperCaseNamesAreReadAsChosen) {
    WriteRun(dir.File("RUN"), WorkspaceLines{}, 4, ".XYZ");
    std::filesystem::rename(dir.File("RUN.tsw"), dir.File("RUN.TSW"));
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("RUN.TSW")).Loaded);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(viewer.Form().WorkspaceFileName, dir.File("RUN.TSW"));
    EXPECT_EQ(viewer.Form().TrajectoryFileName, dir.File("RUN.XYZ"));
    EXPECT_EQ(viewer.Ws().FrameCount, 4);
}

TEST_F(LoadTest, MissingTrajectoryIsReportedAndTheLoadFinishes) {
    WorkspaceLines w;
    w.Molecules[0].Atoms[0].Position = "4,5,6";
    WriteRun(dir.File("run"), w, -1);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "File *.xyz not found!");
    EXPECT_EQ(host.Messages[0].Caption, "Error");
    EXPECT_EQ(viewer.Ws().FrameCount, 0);
    EXPECT_FALSE(viewer.Trajectory().IsOpen());
    EXPECT_FALSE(viewer.Ws().NothingLoaded);
    EXPECT_EQ(viewer.Ws().Molecules[0].X[0], 4.0);
}

TEST_F(LoadTest, WorkspaceWithoutMoleculesHasNoFrames) {
    WorkspaceLines w;
    w.Molecules.clear();
    WriteRun(dir.File("run"), w);
    test::WriteFile(dir.File("run.xyz"), std::string(640, '\0'));
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_EQ(viewer.Ws().LastMolecule, -1);
    EXPECT_EQ(viewer.Ws().FrameCount, 0);
}

TEST_F(LoadTest, TwoLoadsAppendTheirLogsAndReplaceTheMolecules) {
    WorkspaceLines first;
    first.Molecules.assign(3, test::MoleculeLines{});
    WriteRun(dir.File("first"), first);
    WorkspaceLines second;
    second.Molecules[0].Name = "Second";
    WriteRun(dir.File("second"), second);

    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("first.tsw")).Loaded);
    const std::string afterFirst = viewer.Form().Memo.Text();
    const int linesAfterFirst = viewer.Form().Memo.LineCount();
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("second.tsw")).Loaded);
    const std::string& memo = viewer.Form().Memo.Text();
    EXPECT_EQ(memo.compare(0, afterFirst.size(), afterFirst), 0);
    EXPECT_EQ(memo.substr(afterFirst.size(), 2 + 5), "\n\nLoad ");
    EXPECT_NE(memo.find("(Second)"), std::string::npos);
    EXPECT_EQ(viewer.Form().Memo.LineCount(), linesAfterFirst + 39);  // a one-atom molecule
    EXPECT_EQ(host.MemoAppends, 2);
    EXPECT_EQ(viewer.Ws().LastMolecule, 0);
    EXPECT_EQ(viewer.Ws().Molecules[1].AtomCount, 0);
    EXPECT_STREQ(viewer.Ws().Molecules[0].Name, "Second");
}

TEST_F(LoadTest, RefusedOrUnreadableFilesLeaveTheLoadedRunAlone) {
    WorkspaceLines good;
    good.Molecules.assign(2, test::MoleculeLines{});
    WriteRun(dir.File("good"), good, 5);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("good.tsw")).Loaded);
    const std::string memo = viewer.Form().Memo.Text();

    WorkspaceLines tooMany;
    tooMany.Count = "600";
    WriteRun(dir.File("big"), tooMany);
    const LoadResult refused = viewer.LoadWorkspaceFile(dir.File("big.tsw"));
    EXPECT_FALSE(refused.Loaded);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Caption, "Error");
    EXPECT_NE(host.Messages[0].Text.find("Line 2: the workspace declares 600 molecules; Tarsel "
                                         "holds at most 500."),
              std::string::npos);
    EXPECT_EQ(refused.Error, host.Messages[0].Text);

    const LoadResult missing = viewer.LoadWorkspaceFile(dir.File("nothing.tsw"));
    EXPECT_FALSE(missing.Loaded);
    EXPECT_NE(missing.Error.find("No such file or directory"), std::string::npos);

    // Files that are no workspace: refused at the line where the count of molecules should be.
    const struct {
        const char* name;
        std::string text;
        const char* line;
    } notWorkspaces[] = {
        {"notes.tsw", "Run 7 looked odd.\n42 is the answer.\n", "Line 1: "},
        {"empty.tsw", "", "Line 1: "},
        {"comments.tsw", ";one\n;two\n", "Line 3: "},
        {"late.tsw", ";count below\n\n3\n", "Line 2: "},
        {"trajectory.tsw", std::string("\x9a\x99\x99\x99\x99\x99\xf1?\0\0\n7", 12), "Line 1: "},
    };
    for (const auto& f : notWorkspaces) {
        host.Messages.clear();
        test::WriteFile(dir.File(f.name), f.text);
        const LoadResult notes = viewer.LoadWorkspaceFile(dir.File(f.name));
        EXPECT_FALSE(notes.Loaded) << f.name;
        ASSERT_EQ(host.Messages.size(), 1u) << f.name;
        EXPECT_NE(notes.Error.find(dir.File(f.name)), std::string::npos) << notes.Error;
        EXPECT_NE(notes.Error.find(f.line), std::string::npos) << notes.Error;
        EXPECT_NE(notes.Error.find("not a workspace"), std::string::npos) << notes.Error;
    }

    EXPECT_EQ(viewer.Ws().LastMolecule, 1);
    EXPECT_EQ(viewer.Ws().FrameCount, 5);
    EXPECT_EQ(host.Caption, dir.File("good"));
    EXPECT_EQ(viewer.Form().WorkspaceFileName, dir.File("good.tsw"));
    EXPECT_EQ(viewer.Form().Memo.Text(), memo);
    EXPECT_TRUE(viewer.Trajectory().IsOpen());
}

TEST_F(LoadTest, OpenFileDialogCancelChangesNothing) {
    host.FileToChoose = std::nullopt;
    viewer.Loadworkspace1Click();
    host.FileToChoose = "";
    viewer.Loadworkspace1Click();
    EXPECT_TRUE(viewer.Ws().NothingLoaded);
    EXPECT_TRUE(host.Messages.empty());

    WriteRun(dir.File("run"), WorkspaceLines{});
    host.FileToChoose = dir.File("run.tsw");
    viewer.Loadworkspace1Click();
    EXPECT_FALSE(viewer.Ws().NothingLoaded);
}

TEST_F(LoadTest, ResetsClearTheMoleculesAndKeepTheFileValues) {
    WorkspaceLines w;
    w.PP = "7";
    WriteRun(dir.File("run"), w);
    Workspace& ws = viewer.Ws();
    ws.KeyHeld[3] = true;
    ws.CurrentTime = 55;
    ws.Molecules[7].AtomCount = 5;
    ws.Molecules[7].Bonds[3][4] = 'S';
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_FALSE(ws.KeyHeld[3]);
    EXPECT_EQ(ws.CurrentTime, 0.0);
    EXPECT_EQ(ws.Molecules[7].AtomCount, 0);
    EXPECT_EQ(ws.Molecules[7].Bonds[3][4], '0');
    EXPECT_EQ(ws.Molecules[7].RefNum[0], 63);
    EXPECT_EQ(ws.Molecules[7].NameChar2[0], ' ');
    EXPECT_EQ(ws.Projection.PP, 7.0);
    EXPECT_EQ(ws.MoveStep, 0.2);
    EXPECT_EQ(ws.BackgroundColour, (Rgb{180, 180, 180}));
}

TEST_F(LoadTest, GermanLocaleLoadsTheSameNumbers) {
    WorkspaceLines w;
    w.ScaleLine = "40.5,0.125";
    WriteRun(dir.File("run"), w);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8";
    const LoadResult result = viewer.LoadWorkspaceFile(dir.File("run.tsw"));
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_TRUE(result.Loaded);
    EXPECT_EQ(viewer.Ws().Projection.Scale, 40.5);
    EXPECT_EQ(viewer.Ws().Projection.FontScale, 0.125);
    EXPECT_EQ(viewer.Form().FontScaleEdit, "0.125000");
    EXPECT_NE(viewer.Form().Memo.Text().find("Scale=40.500000, FontScale=0.125000"),
              std::string::npos);
}

}  // namespace
}  // namespace tarsel
