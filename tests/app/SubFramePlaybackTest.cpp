#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "support/AviParse.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

// Notes the time, the frame box and the atom's x at every frame shown.
class ShownHost : public HeadlessHost {
  public:
    void ParamFormChanged(ParamControl control) override {
        HeadlessHost::ParamFormChanged(control);
        if (control == ParamControl::FrameNumberEdit)
            boxes.push_back(viewer->Form().FrameNumberEdit);
    }
    void ShowScene() override {
        HeadlessHost::ShowScene();
        const Workspace& ws = viewer->Ws();
        if (ws.NothingLoaded) return;
        times.push_back(ws.CurrentTime);
        xs.push_back(ws.Molecules[0].X[0]);
    }
    void Clear() { boxes.clear(), times.clear(), xs.clear(); }
    const Viewer* viewer = nullptr;
    std::vector<std::string> boxes;
    std::vector<double> times, xs;
};

// One one-atom molecule whose centre is at x = k in frame k (LabelledFrames): its in-betweens
// lie on that line, Catmull-Rom or not.
class SubFramePlayback : public ::testing::Test {
  protected:
    SubFramePlayback() { host.viewer = &viewer; }
    void Load(int frames) {
        test::WorkspaceLines w;
        w.CubeLength = "1000";
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(1, frames));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }
    void Play(int subFrames, int from, bool forward) {
        viewer.Form().SubFramesSpinBox = subFrames;
        viewer.TrackBar1Change(0);
        viewer.Ws().CurrentFrame = from;
        host.Clear();
        forward ? viewer.Button2Click() : viewer.Button6Click();
        for (int ticks = 0; viewer.Timer1On() && ticks < 10000; ++ticks)
            viewer.Timer1Timer();
    }

    test::TempDir dir;
    ShownHost host;
    Viewer viewer{host};
};

TEST_F(SubFramePlayback, PlayStepsByASubFrameAndEndsAsWholeFramesDo) {
    constexpr int FRAMES = 6;
    Load(FRAMES);
    const struct {
        int K, From;
        bool Forward;
        int Shown;  // played positions
    } cases[] = {
        {1, 0, true, FRAMES},
        {4, 0, true, (FRAMES - 1) * 4 + 1},
        {16, 2, true, (FRAMES - 3) * 16 + 1},
        {1, 5, false, 5},
        {3, 5, false, 5 * 3},
        {4, FRAMES, false, (FRAMES - 1) * 4 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "K " << c.K << " from " << c.From << (c.Forward ? " forward" : " back"));
        Play(c.K, c.From, c.Forward);
        ASSERT_EQ(host.times.size(), static_cast<std::size_t>(c.Shown));
        EXPECT_EQ(viewer.Ws().CurrentFrame, c.Forward ? FRAMES : 0);
        EXPECT_EQ(viewer.Ws().CurrentSubFrame, 0);
        for (std::size_t i = 0; i < host.times.size(); ++i) {
            // Backward from the end of the trajectory (FrameCount): the end, then the last
            // whole frame and on down.
            const double step = (c.Forward ? 1.0 : -1.0) / c.K;
            const double position =
                c.From == FRAMES && i > 0 ? FRAMES - 1 + (i - 1.0) * step : c.From + i * step;
            EXPECT_NEAR(host.times[i], position, 1e-12);  // "Frame Time" 1.0
            EXPECT_EQ(host.boxes[i], std::to_string(static_cast<int>(std::floor(position + 1e-9))));
            if (position <= FRAMES - 1) {
                EXPECT_NEAR(host.xs[i], position, 1e-12) << i;
            }
        }
    }
}

TEST_F(SubFramePlayback, EachFrameIsReadOnceAndChangedSubFramesKeepThePlace) {
    Load(10);
    Play(4, 0, true);
    EXPECT_EQ(viewer.Frames().FramesRead(), 10);

    viewer.Form().SubFramesSpinBox = 4;
    viewer.TrackBar1Change(0);
    viewer.Button2Click();
    for (int i = 0; i < 3; ++i)
        viewer.Timer1Timer();  // 0, 0.25, 0.5; 0.75 is next
    viewer.Button3Click();
    viewer.Form().SubFramesSpinBox = 2;
    host.Clear();
    viewer.Button2Click();
    viewer.Timer1Timer();
    ASSERT_EQ(host.times.size(), 1u);
    EXPECT_EQ(host.times[0], 0.5);  // the step below 0.75
}

TEST_F(SubFramePlayback, RecordingTakesEverySubFrame) {
    Load(3);
    viewer.Form().SaveAVICheckBox = true;
    Play(4, 0, true);
    ASSERT_EQ(host.times.size(), 9u);
    EXPECT_FALSE(viewer.ActiveRecorder());
    const std::vector<test::RiffChunk> movie = test::ParseRiff(test::ReadFile(dir.File("run.avi")));
    ASSERT_EQ(movie.size(), 1u);
    // All but the first, whose time is the one playback started at, as with whole frames.
    EXPECT_EQ(movie[0].Child("idx1").Size, 16u * 8);
}

}  // namespace
}  // namespace tarsel
