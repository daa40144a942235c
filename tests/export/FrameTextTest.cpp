#include "export/FrameText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

TEST(FrameText, ExactBytes) {
    MoleculePose poses[2] = {test::LabelledPose(0, 7), test::LabelledPose(1, 7)};
    poses[1].l0 = 0.5;
    poses[1].l3 = -0.25;
    EXPECT_EQ(FrameText("/runs/water", poses, 2),
              "\r\n /runs/water"
              "\r\n NMol) X0,Y0,Z0,   l0,l1,l2,l3"
              "\r\n1) 7.000000,0.000000,0.500000,  1.000000,0.000000,0.000000,0.000000"
              "\r\n2) 7.000000,1.000000,0.500000,  0.500000,0.000000,0.000000,-0.250000");
    EXPECT_EQ(FrameText("", poses, 0), "\r\n \r\n NMol) X0,Y0,Z0,   l0,l1,l2,l3");
    EXPECT_EQ(FrameTextFileName("007"), "frame007.txt");
}

class SaveAsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WorkspaceLines w;
        w.Molecules.assign(2, test::MoleculeLines{});
        w.Molecules[1].Activity = "0";
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(2, 10));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }

    std::string Saved(const std::string& box) {
        viewer.Form().FrameNumberEdit = box;
        viewer.Button7Click();
        return test::ReadFile(out.File("frame" + box + ".txt"));
    }

    test::TempDir dir;
    test::TempDir out;
    test::ScopedCurrentDir cwd{out.Path()};
    HeadlessHost host;
    Viewer viewer{host};
};

TEST_F(SaveAsFile, WritesTheTypedFrameAndChangesNothingShown) {
    viewer.Button4Click();  // show frame 1
    const std::string text = Saved("007");
    EXPECT_EQ(text, FrameText(dir.File("run"), &viewer.Ws().Poses[0], 2));
    EXPECT_NE(text.find("\r\n1) 7.000000,0.000000,0.500000"), std::string::npos);
    // Passive molecules are listed like all others.
    EXPECT_NE(text.find("\r\n2) 7.000000,1.000000,0.500000"), std::string::npos);
    EXPECT_EQ(viewer.Ws().CurrentFrame, 1);
    EXPECT_EQ(viewer.Ws().CurrentTime, 1.0);
    EXPECT_EQ(viewer.Ws().Molecules[0].X[0], 1.0);

    EXPECT_NE(Saved("abc").find("\r\n1) 0.000000,"), std::string::npos);  // "abc" is frame 0
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(host.StatusPanels[1], "Saved frameabc.txt in " + out.Path());  // just written
}

TEST_F(SaveAsFile, TheEndFrameListsTheRecordsReadLast) {
    viewer.Form().FrameNumberEdit = "4";
    viewer.Button1Click();
    EXPECT_NE(Saved("10").find("\r\n1) 4.000000,"), std::string::npos);
    Saved("11");  // above FrameCount: nothing at all
    EXPECT_FALSE(std::filesystem::exists(out.File("frame11.txt")));
    EXPECT_TRUE(host.Messages.empty());
}

TEST_F(SaveAsFile, RefusesWhatCannotBeAFrameOrAFile) {
    Saved("-2");
    EXPECT_FALSE(std::filesystem::exists(out.File("frame-2.txt")));
    const std::string longText = "1" + std::string(90, ' ');
    Saved(longText);
    EXPECT_EQ(host.Messages.size(), 2u);
    for (const auto& m : host.Messages)
        EXPECT_EQ(m.Caption, "Error");

    std::filesystem::create_directory(out.File("frame5.txt"));  // a folder cannot be opened
    viewer.Form().FrameNumberEdit = "5";
    viewer.Button7Click();
    ASSERT_EQ(host.Messages.size(), 3u);
    EXPECT_EQ(host.Messages[2].Text, "Can't open file!");
}

TEST(SaveAsFileWithoutTrajectory, TouchesNoStreamAndWritesNothing) {
    test::TempDir out;
    test::ScopedCurrentDir cwd(out.Path());
    HeadlessHost host;
    Viewer viewer(host);
    // Every frame number is past the end of no trajectory; the box says why, whatever it is.
    for (const char* frame : {"0", "5", "2147483647"}) {
        host.Messages.clear();
        viewer.Form().FrameNumberEdit = frame;
        viewer.Button7Click();
        EXPECT_FALSE(std::filesystem::exists(out.File(std::string("frame") + frame + ".txt")));
        ASSERT_EQ(host.Messages.size(), 1u) << frame;
        EXPECT_EQ(host.Messages[0].Text, "No trajectory is open: there is no frame to save.");
    }
}

}  // namespace
}  // namespace tarsel
