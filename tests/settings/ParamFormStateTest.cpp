#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "settings/ParamFormState.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

TEST(LoadMemo, LinesAreFoundAcrossAppends) {
    LoadMemo memo;
    memo.Append("", 0);  // nothing to append
    memo.Append("\nLoad a.tsw\nN=1", 3);
    memo.Append("", 1);  // one empty line
    memo.Append("a much longer line than the others\nx", 2);
    EXPECT_EQ(memo.Text(), "LoadMemo\n\nLoad a.tsw\nN=1\n\na much longer line than the others\nx");
    const char* expected[] = {
        "LoadMemo", "", "Load a.tsw", "N=1", "", "a much longer line than the others", "x"};
    ASSERT_EQ(memo.LineCount(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(memo.Line(i), expected[i]) << i;
    EXPECT_EQ(memo.LongestLine(), 5);
}

class DialogTest : public ::testing::Test {
  protected:
    void Load(const test::WorkspaceLines& w, const std::string& name = "run") {
        test::WriteFile(dir.File(name + ".tsw"), test::Text(w));
        test::WriteFile(dir.File(name + ".xyz"), std::string(64, '\0'));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File(name + ".tsw")).Loaded);
    }

    test::TempDir dir;
    HeadlessHost host;
    Viewer viewer{host};
    ParamFormState& form = viewer.Form();
    Workspace& ws = viewer.Ws();
};

TEST_F(DialogTest, OkWithTheDesignDefaults) {
    host.ParamFormVisible = true;
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.FrameTime, 1.0);
    EXPECT_EQ(ws.ProgrammeInterval, 1.0);
    EXPECT_EQ(ws.PeriodEnd, (std::array<double, 3>{200, 200, 50}));
    EXPECT_EQ(ws.Projection.FontScale, 0.1);
    EXPECT_TRUE(ws.ShowBalls && ws.ZBuffered && ws.ShowBonds && ws.ShowAtomNames && ws.ShowCube);
    EXPECT_FALSE(ws.RayTracing || ws.HalfRadius || ws.RecordAvi || host.BorderFixed);
    EXPECT_FALSE(host.ParamFormVisible);
}

// "Play" and the step buttons apply the "View" page only.
TEST_F(DialogTest, ApplySettingsLeavesFrameTimeAndTheRayTracingPage) {
    form.Edit24 = "1e1 ps";
    form.ComboBox3 = 3;
    form.SaveAVICheckBox = true;
    form.FrameTimeEdit = "5";
    form.Edit5 = "0.9";
    form.CheckBox27 = false;
    viewer.ApplySettings();
    EXPECT_EQ(ws.PeriodEnd[1], 1000);
    EXPECT_EQ(ws.PeriodAction[2], 3);
    EXPECT_TRUE(host.BorderFixed);
    EXPECT_EQ(ws.FrameTime, 0);
    EXPECT_EQ(ws.DiffuseCoefficient, 0.6);
    EXPECT_TRUE(ws.HalfAtomRadius);
}

TEST_F(DialogTest, RayTracingPageShowsTheWorkspaceFromCreationAndAfterALoad) {
    EXPECT_EQ(form.Edit5, "0.600000");
    EXPECT_EQ(form.Edit7, "0.300000");
    EXPECT_EQ(form.Edit10, "180");  // the workspace's grey, not the design's "200"
    EXPECT_EQ(form.Edit2, "0.000000");
    EXPECT_TRUE(form.CheckBox27);

    test::WorkspaceLines w;
    w.V0 = "1,2,3";
    w.V1 = "1,0,0";
    w.V2 = "0,1,0";
    w.V3 = "0,0,1";
    host.ChangedControls.clear();
    Load(w);
    // The load places the light at V0 + (40, 40, -40) for a cube of 10.
    EXPECT_EQ(form.Edit2, "41.000000");
    EXPECT_EQ(form.Edit4, "-37.000000");
    for (ParamControl c : RAY_TRACING_PAGE_CONTROLS)
        EXPECT_NE(std::find(host.ChangedControls.begin(), host.ChangedControls.end(), c),
                  host.ChangedControls.end());
}

TEST_F(DialogTest, OkAppliesEditedRayTracingBoxes) {
    form.Edit5 = "0.9";
    form.Edit6 = " 1.5e0 gloss";
    form.Edit7 = "none";
    form.Edit8 = "300";
    form.Edit9 = "-4";
    form.Edit10 = "12.9";
    form.Edit3 = "-2.5";
    form.Edit4 = "1e3";
    form.CheckBox27 = false;
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.DiffuseCoefficient, 0.9);
    EXPECT_EQ(ws.ReflectCoefficient, 1.5);
    EXPECT_EQ(ws.StrayCoefficient, 0);
    EXPECT_EQ(ws.BackgroundColour, (Rgb{255, 0, 12}));
    EXPECT_EQ(ws.LightPosition, (Vec3{0, -2.5, 1000}));
    EXPECT_FALSE(ws.HalfAtomRadius);
    // The boxes show what was applied.
    EXPECT_EQ(form.Edit6, "1.500000");
    EXPECT_EQ(form.Edit8, "255");
    EXPECT_EQ(form.Edit9, "0");
}

TEST_F(DialogTest, OkKeepsTheFullPrecisionOfBoxesNotEdited) {
    ws.LightPosition = {1.23456789, -0.000000125, 2};
    viewer.FormShow();
    EXPECT_EQ(form.Edit2, "1.234568");
    EXPECT_EQ(form.Edit3, "-0.000000");
    form.Edit4 = "3";
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.LightPosition, (Vec3{1.23456789, -0.000000125, 3}));
}

TEST_F(DialogTest, EditedRayTracingValuesOutliveALoadLikeTheViewFlags) {
    form.Edit5 = "0.9";
    form.Edit10 = "200";
    form.BallCheckBox = false;
    viewer.BitBtn1Click();
    Load(test::WorkspaceLines{});
    EXPECT_EQ(ws.DiffuseCoefficient, 0.9);
    EXPECT_EQ(ws.BackgroundColour, (Rgb{180, 180, 200}));
    EXPECT_FALSE(ws.ShowBalls);
    EXPECT_EQ(ws.ReflectCoefficient, 0.7);
}

TEST_F(DialogTest, WorkSpaceMenuShowsTheDialogAndRemakesTheLabelFont) {
    test::WorkspaceLines w;
    w.ScaleLine = "40,0.25";
    form.AtomColorCheckBox = false;  // names would leave the nearest atom's font behind
    Load(w);
    ASSERT_EQ(viewer.LabelFont().Height, 15);
    ws.Projection.Scale = 100;  // as the wheel leaves it
    const int scenes = host.ScenesShown;
    viewer.N4Click();
    EXPECT_TRUE(host.ParamFormVisible);
    EXPECT_EQ(viewer.LabelFont(), (FontSpec{"Arial Cyr", 30}));
    EXPECT_EQ(host.ScenesShown, scenes + 1);
}

}  // namespace
}  // namespace tarsel
