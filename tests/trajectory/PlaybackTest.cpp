#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"
#include "trajectory/Frames.h"

namespace tarsel {
namespace {

// Remembers every frame number the frame box showed.
class RecordingHost : public HeadlessHost {
  public:
    void ParamFormChanged(ParamControl control) override {
        HeadlessHost::ParamFormChanged(control);
        if (control == ParamControl::FrameNumberEdit && form != nullptr) {
            shown.push_back(form->FrameNumberEdit);
        }
    }
    const ParamFormState* form = nullptr;
    std::vector<std::string> shown;
};

// A workspace of `molecules` one-atom molecules (the atom at the mass centre, so it lands on
// the pose's position) with labelled frames.
class PlaybackTest : public ::testing::Test {
  protected:
    void Load(int molecules, int frames, const std::string& extraBytes = "") {
        test::WorkspaceLines w;
        w.Molecules.assign(molecules, test::MoleculeLines{});
        w.Molecules.back().Activity = "0";  // the last one is passive
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(molecules, frames) + extraBytes);
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
        host.shown.clear();
    }

    // Runs the playback timer until it stops (or a safety limit).
    void RunTimer() {
        for (int ticks = 0; viewer.Timer1On() && ticks < 10000; ++ticks)
            viewer.Timer1Timer();
    }

    std::vector<std::string> Frames(int from, int to) {
        std::vector<std::string> v;
        for (int k = from; from <= to ? k <= to : k >= to; k += from <= to ? 1 : -1) {
            v.push_back(std::to_string(k));
        }
        return v;
    }

    double AtomX(int molecule) { return viewer.Ws().Molecules[molecule].X[0]; }

    test::TempDir dir;
    RecordingHost host;
    Viewer viewer{host};
    PlaybackTest() { host.form = &viewer.Form(); }
};

TEST_F(PlaybackTest, ReadFramePlacesActiveMoleculesAndShowsProgress) {
    Load(3, 300);
    viewer.ReadFrame(250);
    const Workspace& ws = viewer.Ws();
    EXPECT_EQ(AtomX(0), 250.0);
    EXPECT_EQ(ws.Molecules[1].Y[0], 1.0);
    EXPECT_EQ(ws.Molecules[1].MassCentre, (Vec3{250, 1, 0.5}));
    // The passive molecule keeps the workspace's position.
    EXPECT_EQ(AtomX(2), 1.0);
    EXPECT_EQ(ws.CurrentTime, 250.0);
    EXPECT_EQ(host.StatusPanels[3], "2.500 pS ");
    EXPECT_EQ(viewer.Form().FrameNumberEdit, "250");
    EXPECT_EQ(viewer.Form().TrackBar1, 418);  // trunc(251 / 300 x 500)
    EXPECT_EQ(ws.CurrentFrame, 0);            // the callers move it
}

TEST_F(PlaybackTest, LastPartialFrameMixesWithThePreviousRecords) {
    // Frame 4 of 3 molecules has only its first record (and a bit) in the file.
    MoleculePose partial = test::LabelledPose(0, 99);
    std::string extra(reinterpret_cast<const char*>(&partial), sizeof partial);
    extra += std::string(10, '\0');
    Load(3, 4, extra);
    ASSERT_EQ(viewer.Ws().FrameCount, 4);
    viewer.ReadFrame(2);
    viewer.ReadFrame(4);
    EXPECT_EQ(AtomX(0), 99.0);                // from the partial frame
    EXPECT_EQ(viewer.Ws().Poses[2].X0, 2.0);  // the rest keeps frame 2's records
    EXPECT_EQ(viewer.Ws().CurrentTime, 4.0);
    EXPECT_EQ(viewer.Form().TrackBar1, 500);

    // Beyond the end nothing changes at all.
    host.shown.clear();
    const int shownScenes = host.ScenesShown;
    viewer.ReadFrame(5);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(host.ScenesShown, shownScenes);
    EXPECT_EQ(viewer.Ws().CurrentTime, 4.0);
}

TEST_F(PlaybackTest, PlayAndPlayBackStopAtTheEnds) {
    Load(2, 10);
    viewer.Button2Click();
    EXPECT_TRUE(host.Timer1On);
    EXPECT_EQ(host.Timer1Interval, 30);
    RunTimer();
    EXPECT_EQ(host.shown, Frames(0, 9));
    EXPECT_EQ(viewer.Ws().CurrentFrame, 10);
    EXPECT_FALSE(host.Timer1On);

    // Again: reads frame 10 (the end of the whole frames) and stops at once.
    host.shown.clear();
    viewer.Button2Click();
    RunTimer();
    EXPECT_EQ(host.shown, Frames(10, 10));
    EXPECT_EQ(viewer.Ws().CurrentFrame, 10);

    host.shown.clear();
    viewer.Button6Click();
    EXPECT_FALSE(viewer.Ws().PlayForward);
    RunTimer();
    EXPECT_EQ(host.shown, Frames(10, 1));
    EXPECT_EQ(viewer.Ws().CurrentFrame, 0);
}

TEST_F(PlaybackTest, EndOfTheLargestFrameCountIsReachedAsWritten) {
    Load(1, 2);
    viewer.Ws().FrameCount = INT32_MAX;
    viewer.Ws().CurrentFrame = INT32_MAX;
    viewer.Button2Click();
    viewer.Timer1Timer();  // reads the end and steps past the largest 32-bit number
    EXPECT_EQ(viewer.Ws().CurrentFrame, INT32_MAX);
    EXPECT_FALSE(host.Timer1On);
}

TEST_F(PlaybackTest, StepButtonsGoToFrameAndSlider) {
    Load(2, 10);
    viewer.Ws().CurrentFrame = 9;
    viewer.Button4Click();
    EXPECT_EQ(viewer.Ws().CurrentFrame, 10);
    viewer.Button4Click();  // nothing beyond FrameCount
    EXPECT_EQ(viewer.Ws().CurrentFrame, 10);
    EXPECT_EQ(host.shown, Frames(10, 10));

    viewer.Ws().CurrentFrame = 0;
    viewer.Button5Click();
    EXPECT_EQ(viewer.Ws().CurrentFrame, 0);

    for (const char* ignored : {"-3", "11"}) {
        viewer.Form().FrameNumberEdit = ignored;
        host.shown.clear();
        viewer.Button1Click();
        EXPECT_TRUE(host.shown.empty()) << ignored;
    }
    EXPECT_EQ(viewer.Ws().CurrentFrame, 0);
    viewer.Form().FrameNumberEdit = "abc";  // no digits: frame 0
    viewer.Button1Click();
    EXPECT_EQ(host.shown, Frames(0, 0));
    viewer.Form().FrameNumberEdit = " 7 apples";
    viewer.Button1Click();
    EXPECT_EQ(viewer.Ws().CurrentFrame, 7);
    EXPECT_EQ(AtomX(0), 7.0);

    // The slider chooses the next frame without reading it.
    Load(1, 1234);
    const int scenes = host.ScenesShown;
    viewer.TrackBar1Change(100);
    EXPECT_EQ(viewer.Ws().CurrentFrame, 246);
    EXPECT_EQ(viewer.Form().FrameNumberEdit, "246");
    EXPECT_EQ(host.ScenesShown, scenes);
}

TEST_F(PlaybackTest, SaveAviIsStartedByPlayAndClearedAtTheEnd) {
    const test::ScopedCurrentDir cwd(dir.Path());  // where "tarsel.avi" is made
    viewer.Form().SaveAVICheckBox = true;
    viewer.Button2Click();  // before any load: the movie is named after "tarsel.tsw"
    EXPECT_EQ(viewer.AviFileName(), "tarsel.avi");

    Load(1, 3);
    viewer.Form().SaveAVICheckBox = true;
    viewer.Button2Click();
    EXPECT_EQ(viewer.AviFileName(), dir.File("run.avi"));
    EXPECT_TRUE(host.BorderFixed);
    RunTimer();
    EXPECT_FALSE(viewer.Ws().RecordAvi);
    EXPECT_FALSE(viewer.Form().SaveAVICheckBox);
    EXPECT_EQ(host.ChangedControls.back(), ParamControl::SaveAVICheckBox);
    EXPECT_TRUE(host.BorderFixed);  // until the next apply
}

TEST_F(PlaybackTest, TimerIntervalComesFromTheBox) {
    Load(1, 5);
    viewer.Form().FrameTimerEdit = "100";
    viewer.Button2Click();
    EXPECT_EQ(host.Timer1Interval, 100);
    viewer.Button3Click();
    EXPECT_FALSE(host.Timer1On);
    viewer.Form().FrameTimerEdit = "abc";  // 0: a timer that never ticks
    viewer.Button6Click();
    EXPECT_EQ(host.Timer1Interval, 0);
}

TEST_F(PlaybackTest, WithoutTrajectoryNoStreamIsTouched) {
    test::WorkspaceLines w;
    test::WriteFile(dir.File("alone.tsw"), test::Text(w));
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("alone.tsw")).Loaded);
    EXPECT_EQ(viewer.Ws().FrameCount, 0);
    viewer.ReadFrame(0);
    EXPECT_EQ(viewer.Form().TrackBar1, 0);
    EXPECT_EQ(AtomX(0), 1.0);
    EXPECT_EQ(host.Messages.size(), 1u);  // only the load's "File *.xyz not found!"
    viewer.Button2Click();
    RunTimer();
    EXPECT_EQ(viewer.Ws().CurrentFrame, 0);
}

TEST_F(PlaybackTest, StreamErrorStopsPlaybackWithOneBox) {
    Load(1, 10);
    // A stream whose reads fail: the process's own memory reads with EIO where nothing is
    // mapped, as at its first pages.
    ASSERT_TRUE(viewer.Trajectory().Open("/proc/self/mem"));
    viewer.Button2Click();
    RunTimer();  // the first read fails and sets the error; the next read reports it
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "fseek fpMotion error!");
    EXPECT_EQ(host.Messages[0].Caption, "Error");
    EXPECT_FALSE(host.Timer1On);
    EXPECT_EQ(viewer.Ws().CurrentFrame, 2);
    // Outside playback every read still reports it.
    viewer.Button4Click();
    EXPECT_EQ(host.Messages.size(), 2u);
}

TEST_F(PlaybackTest, FramesBeyond2GiBAreRead) {
    // One molecule, frames of 64 bytes: frame k lies beyond 2^31 bytes. The file is sparse.
    const int k = (1 << 25) + 10;
    test::WorkspaceLines w;
    test::WriteFile(dir.File("big.tsw"), test::Text(w));
    const int fd = ::open(dir.File("big.xyz").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const MoleculePose p = test::LabelledPose(0, 12345);
    const off_t offset = static_cast<off_t>(k) * 64;
    ASSERT_GT(offset, off_t{1} << 31);
    ASSERT_EQ(::pwrite(fd, &p, sizeof p, offset), static_cast<ssize_t>(sizeof p));
    ASSERT_EQ(::ftruncate(fd, offset + 64 * 2), 0);
    ::close(fd);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("big.tsw")).Loaded);
    EXPECT_EQ(viewer.Ws().FrameCount, k + 2);
    viewer.ReadFrame(k);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(AtomX(0), 12345.0);
}

TEST(Frames, TrackBarMath) {
    EXPECT_EQ(TrackBarPosition(0, 10), 50);
    EXPECT_EQ(TrackBarPosition(9, 10), 500);
    EXPECT_EQ(TrackBarPosition(10, 10), 500);  // limited to the bar
    EXPECT_EQ(TrackBarPosition(0, 0), 0);      // no frames: no division by zero
    EXPECT_EQ(TrackBarFrame(100, 1234), 246);
    EXPECT_EQ(TrackBarFrame(500, 1234), 1234);
    EXPECT_EQ(TrackBarFrame(0, 1234), 0);
}

}  // namespace
}  // namespace tarsel
