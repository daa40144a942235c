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

// Notes the time, the frame box and the atom's x of every picture shown.
class ShownHost : public HeadlessHost {
  public:
    void ShowScene() override {
        const Workspace& ws = viewer->Ws();
        times.push_back(ws.CurrentTime);
        boxes.push_back(viewer->Form().FrameNumberEdit);
        xs.push_back(ws.Molecules[0].X[0]);
    }
    const Viewer* viewer = nullptr;
    std::vector<double> times, xs;
    std::vector<std::string> boxes;
};

// One one-atom molecule at x = k in frame k: its in-betweens lie on that line.
class SubFramePlayback : public ::testing::Test {
  protected:
    static constexpr int FRAMES = 6;
    SubFramePlayback() {
        host.viewer = &viewer;
        test::WorkspaceLines w;
        w.CubeLength = "1000";
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(1, FRAMES));
        EXPECT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }
    void Play(int subFrames, int from, bool forward) {
        viewer.Form().SubFramesSpinBox = subFrames;
        viewer.TrackBar1Change(0);
        viewer.Ws().CurrentFrame = from;
        host.times.clear(), host.boxes.clear(), host.xs.clear();
        forward ? viewer.Button2Click() : viewer.Button6Click();
        for (int ticks = 0; viewer.Timer1On() && ticks < 10000; ++ticks)
            viewer.Timer1Timer();
    }

    test::TempDir dir;
    ShownHost host;
    Viewer viewer{host};
};

TEST_F(SubFramePlayback, PlayStepsByASubFrameAndEndsAsWholeFramesDo) {
    const struct {
        int K, From;
        bool Forward;
        int Shown;
    } cases[] = {
        {1, 0, true, FRAMES},      {4, 0, true, (FRAMES - 1) * 4 + 1},
        {16, 2, true, 3 * 16 + 1}, {1, 5, false, 5},
        {3, 5, false, 5 * 3},      {4, FRAMES, false, (FRAMES - 1) * 4 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "K " << c.K << " from " << c.From << " " << c.Forward);
        Play(c.K, c.From, c.Forward);
        ASSERT_EQ(host.times.size(), static_cast<std::size_t>(c.Shown));
        EXPECT_EQ(viewer.Ws().CurrentFrame, c.Forward ? FRAMES : 0);
        for (std::size_t i = 0; i < host.times.size(); ++i) {
            // Backward from the end (FrameCount): the end, then the last whole frame on down.
            const double step = (c.Forward ? 1.0 : -1.0) / c.K;
            const double at =
                c.From == FRAMES && i > 0 ? FRAMES - 1 + (i - 1.0) * step : c.From + i * step;
            EXPECT_NEAR(host.times[i], at, 1e-12);  // "Frame Time" 1.0
            EXPECT_EQ(host.boxes[i], std::to_string(static_cast<int>(std::floor(at + 1e-9))));
            if (at <= FRAMES - 1) {
                EXPECT_NEAR(host.xs[i], at, 1e-12) << i;
            }
        }
    }
}

TEST_F(SubFramePlayback, RecordsEverySubFrameAndReadsEachFrameOnce) {
    viewer.Form().SaveAVICheckBox = true;
    Play(4, 0, true);
    EXPECT_EQ(viewer.Frames().FramesRead(), FRAMES);
    EXPECT_FALSE(viewer.ActiveRecorder());
    const std::vector<test::RiffChunk> movie = test::ParseRiff(test::ReadFile(dir.File("run.avi")));
    ASSERT_EQ(movie.size(), 1u);
    // All but the first, whose time is the one playback started at, as with whole frames.
    EXPECT_EQ(movie[0].Child("idx1").Size, 16u * (host.times.size() - 1));
}

}  // namespace
}  // namespace tarsel
