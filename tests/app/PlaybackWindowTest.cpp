// The playback controls of the dialog drive the viewer through the real windows.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "support/AppWindows.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"
#include "world/TWorldForm.h"

namespace tarsel {
namespace {

struct PlaybackWindows : test::AppWindows {
    test::TempDir dir;

    PlaybackWindows() {
        test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(1, 20));
        main.Operations().LoadWorkspaceFile(dir.File("run.tsw"));
        param.show();
    }
    template <typename T>
    T* Control(const char* name) {
        return param.findChild<T*>(name);
    }
    void Click(const char* button) {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }
};

TEST(PlaybackWindows, ButtonsAndSliderMoveThroughTheTrajectory) {
    PlaybackWindows w;
    w.Click("Button4");  // "+1"
    EXPECT_EQ(w.Ws().CurrentFrame, 1);
    EXPECT_EQ(w.Control<QLineEdit>("FrameNumberEdit")->text(), "1");
    EXPECT_EQ(w.Control<QSlider>("TrackBar1")->value(), 50);  // trunc(2 / 20 x 500)
    EXPECT_EQ(w.Ws().Molecules[0].X[0], 1.0);

    QLineEdit* frame = w.Control<QLineEdit>("FrameNumberEdit");
    frame->selectAll();
    QTest::keyClicks(frame, "12");
    w.Click("Button1");  // "Go to Frame"
    EXPECT_EQ(w.Ws().CurrentFrame, 12);
    EXPECT_EQ(w.Ws().Molecules[0].X[0], 12.0);

    // The user's slider move chooses the frame; a frame read moving the bar does not.
    w.Control<QSlider>("TrackBar1")->setValue(250);
    EXPECT_EQ(w.Ws().CurrentFrame, 10);
    EXPECT_EQ(frame->text(), "10");
    EXPECT_EQ(w.Ws().Molecules[0].X[0], 12.0);
}

TEST(PlaybackWindows, PlayRunsOnTheTimerToTheEnd) {
    PlaybackWindows w;
    QLineEdit* interval = w.Control<QLineEdit>("FrameTimerEdit");
    interval->selectAll();
    QTest::keyClicks(interval, "1");
    w.Click("Button2");  // "Play"
    EXPECT_TRUE(w.main.Timer1()->isActive());
    QElapsedTimer clock;
    clock.start();
    while (w.main.Timer1()->isActive() && clock.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_FALSE(w.main.Timer1()->isActive());
    EXPECT_EQ(w.Ws().CurrentFrame, 20);
    EXPECT_EQ(w.Ws().Molecules[0].X[0], 19.0);

    w.Click("Button6");  // "PlayBack" from the end, then "Stop" at once
    w.Click("Button3");
    EXPECT_FALSE(w.main.Timer1()->isActive());
    EXPECT_FALSE(w.Ws().PlayForward);
}

}  // namespace
}  // namespace tarsel
