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
    ASSERT_EQ(memo.LineCount(), 1);
    EXPECT_EQ(memo.Line(0), "LoadMemo");

    memo.Append("", 0);  // nothing to append
    EXPECT_EQ(memo.Text(), "LoadMemo");
    memo.Append("\nLoad a.tsw\nN=1", 3);
    memo.Append("", 1);  // one empty line
    memo.Append("a much longer line than the others\nx", 2);
    EXPECT_EQ(memo.Text(), "LoadMemo\n\nLoad a.tsw\nN=1\n\na much longer line than the others\nx");
    ASSERT_EQ(memo.LineCount(), 7);
    const char* expected[] = {
        "LoadMemo", "", "Load a.tsw", "N=1", "", "a much longer line than the others", "x"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(memo.Line(i), expected[i]) << i;
    EXPECT_EQ(memo.LongestLine(), 5);
}

class DialogTest : public ::testing::Test {
  protected:
    void Load(const test::WorkspaceLines& w, const std::string& name = "run") {
        test::WriteFile(dir.File(name + ".tsw"), test::Text(w));
        test::WriteFile(dir.File(name + ".xyz"), std::string(64 * 2, '\0'));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File(name + ".tsw")).Loaded);
    }
    bool Changed(ParamControl c) const {
        return std::count(host.ChangedControls.begin(), host.ChangedControls.end(), c) > 0;
    }

    test::TempDir dir;
    HeadlessHost host;
    Viewer viewer{host};
    ParamFormState& form = viewer.Form();
    Workspace& ws = viewer.Ws();
};

TEST_F(DialogTest, OkWithTheDesignDefaults) {
    host.ParamFormVisible = true;
    const int scenes = host.ScenesShown;
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.FrameTime, 1.0);
    EXPECT_EQ(ws.ProgrammeInterval, 1.0);
    EXPECT_EQ(ws.PeriodEnd, (std::array<double, 3>{200, 200, 50}));
    EXPECT_EQ(ws.PeriodAction, (std::array<std::int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(ws.Projection.FontScale, 0.1);
    EXPECT_TRUE(ws.ShowBalls && ws.ZBuffered && ws.ShowBonds && ws.ShowAtomNames && ws.ShowCube);
    EXPECT_FALSE(ws.RayTracing || ws.HalfRadius || ws.RecordAvi);
    EXPECT_FALSE(ws.CameraProgrammeOn);
    EXPECT_FALSE(host.BorderFixed);
    EXPECT_FALSE(host.ParamFormVisible);
    EXPECT_EQ(host.ScenesShown, scenes + 1);
}

TEST_F(DialogTest, ApplySettingsTakesTheViewPageButNotFrameTimeNorTheRayTracingPage) {
    form.FontScaleEdit = "abc";
    form.BallCheckBox = false;
    form.CheckBox26 = true;
    form.Edit25 = " 2.5x";
    form.Edit23 = "-1";
    form.Edit24 = "1e1";
    form.Edit26 = "";
    form.ComboBox1 = 6;
    form.ComboBox3 = 3;
    form.SaveAVICheckBox = true;
    form.FrameTimeEdit = "5";
    form.Edit5 = "0.9";
    form.Edit8 = "10";
    form.CheckBox27 = false;
    viewer.ApplySettings();
    EXPECT_EQ(ws.Projection.FontScale, 0);
    EXPECT_FALSE(ws.ShowBalls);
    EXPECT_TRUE(ws.RayTracing);
    EXPECT_EQ(ws.ProgrammeInterval, 2.5);
    EXPECT_EQ(ws.PeriodEnd, (std::array<double, 3>{-100, 1000, 0}));
    EXPECT_EQ(ws.PeriodAction, (std::array<std::int32_t, 3>{6, 0, 3}));
    EXPECT_TRUE(ws.RecordAvi);
    EXPECT_TRUE(host.BorderFixed);
    EXPECT_EQ(ws.FrameTime, 0);
    EXPECT_EQ(ws.DiffuseCoefficient, 0.6);
    EXPECT_EQ(ws.BackgroundColour, (Rgb{180, 180, 180}));
    EXPECT_TRUE(ws.HalfAtomRadius);

    form.SaveAVICheckBox = false;
    viewer.BitBtn1Click();
    EXPECT_FALSE(host.BorderFixed);
    EXPECT_EQ(ws.FrameTime, 5);
}

TEST_F(DialogTest, CameraMotionSwitchesAtOnceAndTheRowsFollowWithTheNextApply) {
    form.Edit23 = "7";
    form.CheckBox1 = true;
    viewer.CheckBox1Click();
    EXPECT_TRUE(ws.CameraProgrammeOn);
    EXPECT_TRUE(Changed(ParamControl::CheckBox1));
    EXPECT_EQ(ws.PeriodEnd[0], 0);
    viewer.ApplySettings();
    EXPECT_EQ(ws.PeriodEnd[0], 700);

    form.CheckBox1 = false;
    viewer.CheckBox1Click();
    EXPECT_FALSE(ws.CameraProgrammeOn);
}

TEST_F(DialogTest, RayTracingPageShowsTheWorkspaceFromCreationAndAfterALoad) {
    EXPECT_EQ(form.Edit5, "0.600000");
    EXPECT_EQ(form.Edit6, "0.700000");
    EXPECT_EQ(form.Edit7, "0.300000");
    EXPECT_EQ(form.Edit8, "180");
    EXPECT_EQ(form.Edit10, "180");  // the workspace's grey, not the design's "200"
    EXPECT_EQ(form.Edit2, "0.000000");
    EXPECT_TRUE(form.CheckBox27);

    test::WorkspaceLines w;
    w.V0 = "1,2,3";
    w.V2 = "0,1,0";
    w.V3 = "0,0,1";
    w.V1 = "1,0,0";
    w.CubeLength = "10";
    host.ChangedControls.clear();
    Load(w);
    // The load places the light at V0 + (40, 40, -40).
    EXPECT_EQ(form.Edit2, "41.000000");
    EXPECT_EQ(form.Edit3, "42.000000");
    EXPECT_EQ(form.Edit4, "-37.000000");
    for (ParamControl c : RAY_TRACING_PAGE_CONTROLS)
        EXPECT_TRUE(Changed(c)) << static_cast<int>(c);
}

TEST_F(DialogTest, OkAppliesEditedRayTracingBoxes) {
    form.Edit5 = "0.9";
    form.Edit6 = " 1.5e0 gloss";
    form.Edit7 = "none";
    form.Edit8 = "300";
    form.Edit9 = "-4";
    form.Edit10 = "12.9";
    form.Edit2 = "1";
    form.Edit3 = "-2.5";
    form.Edit4 = "1e3";
    form.CheckBox27 = false;
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.DiffuseCoefficient, 0.9);
    EXPECT_EQ(ws.ReflectCoefficient, 1.5);
    EXPECT_EQ(ws.StrayCoefficient, 0);
    // Components are clamped to 0..255: the renderer packs them into one number.
    EXPECT_EQ(ws.BackgroundColour, (Rgb{255, 0, 12}));
    EXPECT_EQ(ws.LightPosition, (Vec3{1, -2.5, 1000}));
    EXPECT_FALSE(ws.HalfAtomRadius);
    // The boxes show what was applied.
    EXPECT_EQ(form.Edit6, "1.500000");
    EXPECT_EQ(form.Edit8, "255");
    EXPECT_EQ(form.Edit9, "0");
    EXPECT_EQ(form.Edit4, "1000.000000");
}

TEST_F(DialogTest, OkKeepsTheFullPrecisionOfBoxesNotEdited) {
    ws.LightPosition = {1.23456789, -0.000000125, 2};
    ws.DiffuseCoefficient = 0.1234567;
    viewer.FormShow();
    EXPECT_EQ(form.Edit2, "1.234568");
    EXPECT_EQ(form.Edit3, "-0.000000");
    form.Edit4 = "3";
    viewer.BitBtn1Click();
    EXPECT_EQ(ws.LightPosition, (Vec3{1.23456789, -0.000000125, 3}));
    EXPECT_EQ(ws.DiffuseCoefficient, 0.1234567);
}

TEST_F(DialogTest, EditedRayTracingValuesOutliveALoadLikeTheViewFlags) {
    Load(test::WorkspaceLines{});
    form.Edit5 = "0.9";
    form.Edit10 = "200";
    form.BallCheckBox = false;
    viewer.BitBtn1Click();
    Load(test::WorkspaceLines{}, "second");
    EXPECT_EQ(ws.DiffuseCoefficient, 0.9);
    EXPECT_EQ(ws.BackgroundColour, (Rgb{180, 180, 200}));
    EXPECT_FALSE(ws.ShowBalls);
    EXPECT_EQ(ws.ReflectCoefficient, 0.7);
}

TEST_F(DialogTest, FontScaleComesBackFromTheBoxRoundedToSixDecimals) {
    test::WorkspaceLines w;
    w.ScaleLine = "40,0.1234567";
    Load(w);
    EXPECT_EQ(form.FontScaleEdit, "0.123457");
    EXPECT_TRUE(Changed(ParamControl::FontScaleEdit));
    EXPECT_EQ(ws.Projection.FontScale, 0.123457);
    EXPECT_EQ(viewer.LabelFont().Height, 9);  // trunc(0.123457 x 40 + 5)
}

TEST_F(DialogTest, WorkSpaceMenuShowsTheDialogAndRemakesTheLabelFont) {
    test::WorkspaceLines w;
    w.ScaleLine = "40,0.25";
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
