#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "support/AviParse.h"
#include "support/Ffmpeg.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

constexpr int kWidth = 64, kHeight = 48;

// Keeps the picture of every shown pass, by the simulation time it showed.
class PictureHost : public HeadlessHost {
  public:
    PictureHost() : HeadlessHost({kWidth, kHeight}) {}
    void ShowScene() override {
        HeadlessHost::ShowScene();
        if (viewer == nullptr || viewer->Ws().NothingLoaded) return;
        const Workspace& ws = viewer->Ws();
        const QImage image = viewer->Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
        std::string bytes;
        for (int y = 0; y < image.height(); ++y)
            bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), 3 * image.width());
        pictures[ws.CurrentTime] = bytes;
    }
    Viewer* viewer = nullptr;
    std::map<double, std::string> pictures;
};

class RecordingTest : public ::testing::Test {
  protected:
    RecordingTest() { host.viewer = &viewer; }

    void Load(int frames) {
        test::WorkspaceLines w;
        w.Molecules.assign(2, test::MoleculeLines{});
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(2, frames));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }
    void RunTimer() {
        for (int ticks = 0; viewer.Timer1On() && ticks < 1000; ++ticks)
            viewer.Timer1Timer();
    }
    void Record(bool forward) {
        viewer.Form().SaveAVICheckBox = true;
        forward ? viewer.Button2Click() : viewer.Button6Click();
    }
    // The movie holds exactly the pictures shown at these times, in this order.
    void ExpectMovie(const std::vector<double>& times) {
        EXPECT_FALSE(viewer.ActiveRecorder());
        const std::string f = test::ReadFile(movie);
        const std::vector<test::RiffChunk> parts = test::ParseRiff(f);
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0].Child("idx1").Size, 16 * times.size());  // completed
        ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
        std::string expected;
        for (double t : times) {
            ASSERT_EQ(host.pictures.count(t), 1u) << t;
            expected += host.pictures[t];
        }
        EXPECT_TRUE(test::DecodeBgr24(movie) == expected) << "the movie is not what was shown";
    }

    test::TempDir dir;
    std::string movie = dir.File("run.avi");
    PictureHost host;
    Viewer viewer{host};
};

TEST_F(RecordingTest, PlayAndPlayBackRecordEachNextFrame) {
    // The frame on screen at the start is not recorded; every later one is, in playing order.
    Load(5);
    Record(true);
    EXPECT_TRUE(host.BorderFixed);
    ASSERT_TRUE(viewer.RecordBitmap());
    EXPECT_EQ(viewer.RecordBitmap()->Width(), kWidth);
    EXPECT_EQ(viewer.RecordBitmap()->Height(), kHeight);
    RunTimer();
    EXPECT_FALSE(viewer.RecordBitmap());
    ExpectMovie({1, 2, 3, 4});
    EXPECT_NE(host.pictures[1], host.pictures[2]);  // the molecules move: frames differ

    viewer.Form().FrameNumberEdit = "4";
    viewer.Button1Click();
    Record(false);
    RunTimer();
    ExpectMovie({3, 2, 1});
}

TEST_F(RecordingTest, FrameTimeOfATenthRecordsEveryFrame) {
    // 13 x 0.1 is below 12 x 0.1 + 0.1 by a rounding step; the frame is still due.
    Load(40);
    viewer.Form().FrameTimeEdit = "0.1";
    viewer.BitBtn1Click();
    Record(true);
    RunTimer();
    EXPECT_EQ(test::ParseRiff(test::ReadFile(movie))[0].Child("movi").All("00db").size(), 39u);
    Record(false);  // reads 40 and 39 (the time on screen), then records 38 down to 1
    RunTimer();
    EXPECT_EQ(test::ParseRiff(test::ReadFile(movie))[0].Child("movi").All("00db").size(), 38u);
}

TEST_F(RecordingTest, FrameTimeZeroRecordsEveryPass) {
    Load(3);
    viewer.Form().FrameTimeEdit = "0";
    viewer.BitBtn1Click();
    Record(true);
    viewer.FormKeyDown('W');  // a camera move between the frames is recorded too
    viewer.Timer2Timer();
    viewer.FormKeyUp('W');
    ASSERT_EQ(viewer.ActiveRecorder()->frameCount, 1);
    RunTimer();
    EXPECT_FALSE(viewer.ActiveRecorder());
    EXPECT_EQ(test::ParseRiff(test::ReadFile(movie))[0].Child("movi").All("00db").size(), 4u);
}

TEST_F(RecordingTest, StopLeavesItOpenAndADueStepRestartsTheTimer) {
    Load(10);
    Record(true);
    viewer.Timer1Timer();
    viewer.Timer1Timer();  // frame 1 recorded
    viewer.Button3Click();
    EXPECT_FALSE(host.Timer1On);
    viewer.Button5Click();  // "-1" to frame 1 while playing forward: not due
    EXPECT_FALSE(host.Timer1On);
    viewer.Button4Click();  // "+1" to frame 2: due, recorded, and playback runs again
    EXPECT_TRUE(host.Timer1On);
    ASSERT_TRUE(viewer.ActiveRecorder());
    EXPECT_EQ(viewer.ActiveRecorder()->frameCount, 2);
}

TEST_F(RecordingTest, OpenMovieIsCompletedBeforeItIsLeft) {
    // Each way of leaving a recording without reaching an end of the trajectory.
    const std::vector<std::pair<std::string, std::function<void()>>> ways = {
        {"Save AVI off and applied",
         [&] {
             viewer.Form().SaveAVICheckBox = false;
             viewer.BitBtn1Click();
         }},
        {"another workspace loaded", [&] { Load(10); }},
        {"exit", [&] { EXPECT_TRUE(viewer.FormClose()); }},
    };
    for (const auto& [name, leave] : ways) {
        SCOPED_TRACE(name);
        Load(10);
        viewer.TrackBar1Change(0);  // loading keeps the frame number
        Record(true);
        viewer.Timer1Timer();
        viewer.Timer1Timer();
        viewer.Timer1Timer();  // frames 1 and 2 recorded
        viewer.Button3Click();
        leave();
        EXPECT_FALSE(viewer.RecordBitmap());
        ExpectMovie({1, 2});
    }
    for (const HeadlessHost::Message& m : host.Messages)
        EXPECT_NE(m.Caption, "Error") << m.Text;
}

// The status bar names the movie while it is recorded, and says so when a second Play
// replaces the frames of the movie still open.
TEST_F(RecordingTest, StatusBarNamesTheMovieAndAReplacement) {
    Load(10);
    const std::string hint = host.StatusPanels[1];
    Record(true);
    EXPECT_EQ(host.StatusPanels[1], "Recording run.avi");
    viewer.Timer1Timer();
    viewer.Timer1Timer();
    viewer.Timer1Timer();
    viewer.Button3Click();
    Record(true);  // Play again with the movie open
    EXPECT_EQ(host.StatusPanels[1], "Recording run.avi anew: 2 frames replaced");
    viewer.StopRecording();
    EXPECT_EQ(host.StatusPanels[1], hint);
    Record(true);  // nothing open: nothing replaced
    EXPECT_EQ(host.StatusPanels[1], "Recording run.avi");
}

// The view changed size after the movie was opened and before its first frame (the size grip
// going away): the movie takes the view's size, not the size it had at the start.
TEST_F(RecordingTest, TheMovieHasTheSizeOfTheViewAtItsFirstFrame) {
    Load(10);
    viewer.TrackBar1Change(0);
    Record(true);
    host.SetDrawingAreaSize({kWidth, kHeight + 3});
    viewer.FormResize();
    viewer.Timer1Timer();
    viewer.Timer1Timer();
    viewer.StopRecording();
    const std::string f = test::ReadFile(movie);
    const std::vector<test::RiffChunk> parts = test::ParseRiff(f);
    const test::RiffChunk& avih = parts[0].Child("hdrl").Child("avih");
    EXPECT_EQ(test::U32At(f, avih.Data() + 32), static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(test::U32At(f, avih.Data() + 36), static_cast<std::uint32_t>(kHeight + 3));
}

TEST_F(RecordingTest, FailuresStopTheRecordingWithOneMessage) {
    // A full disk during the frames, and a movie that cannot be created at all: one box each,
    // and playback goes on to its end.
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { std::filesystem::create_symlink("/dev/full", movie); },
         "Recording stopped: can't write to \"" + movie + "\": No space left on device."},
        {[&] { std::filesystem::create_directory(movie); },
         "Can't create the movie \"" + movie + "\": Is a directory."},
    };
    for (const auto& [prepare, message] : cases) {
        SCOPED_TRACE(message);
        std::filesystem::remove_all(movie);
        prepare();
        Load(6);
        host.Messages.clear();
        Record(true);
        RunTimer();
        ASSERT_EQ(host.Messages.size(), 1u);
        EXPECT_EQ(host.Messages[0].Text.substr(0, message.size()), message);
        EXPECT_EQ(host.Messages[0].Caption, "Error");
        EXPECT_FALSE(viewer.Ws().RecordAvi);
        EXPECT_FALSE(viewer.Form().SaveAVICheckBox);
        EXPECT_EQ(viewer.Ws().CurrentFrame, 6);
        EXPECT_EQ(host.StatusPanels[1], "Use: W,S,A,D,Q,E,Arrows");  // names no movie
    }
}

TEST_F(RecordingTest, TheChosenFormatNamesAndMakesTheMovie) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    Load(5);
    const struct {
        int item;
        const char* file;
        const char* codec;
    } cases[] = {{1, "run.mp4", "h264"}, {2, "run.webm", "vp9"}, {3, "run.gif", "gif"}};
    for (const auto& c : cases) {
        viewer.Form().MovieFormatComboBox = c.item;
        viewer.Form().FrameNumberEdit = "0";
        viewer.Button1Click();
        Record(true);
        EXPECT_EQ(viewer.AviFileName(), dir.File(c.file));
        EXPECT_FALSE(viewer.ActiveRecorder());  // no AVI underneath
        RunTimer();
        EXPECT_FALSE(viewer.ActiveMovie());
        EXPECT_EQ(test::ProbeVideo(dir.File(c.file)).find(std::string("codec_name=") + c.codec),
                  0u);
        EXPECT_EQ(test::CountFrames(dir.File(c.file)), 4) << c.file;
    }
    EXPECT_FALSE(std::filesystem::exists(movie));  // no AVI was made beside them
    EXPECT_TRUE(host.Messages.empty());
}

}  // namespace
}  // namespace tarsel
