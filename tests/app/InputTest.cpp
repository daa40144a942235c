// The main window's input operations, driven through the viewer with a headless host.

#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>

#include "app/HeadlessHost.h"
#include "app/ScenePicture.h"
#include "app/Viewer.h"
#include "settings/CameraMotion.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

constexpr int PAGE_UP = 33, PAGE_DOWN = 34;

class InputTest : public ::testing::Test {
  protected:
    // Molecules of one atom of radius 5 at (0, 0, z) for each z, seen from (0, 0, -50) with
    // PP 1 and Scale 100: all of them on the view's centre.
    void LoadAtoms(std::initializer_list<int> depths, int frames = 1) {
        test::WorkspaceLines w;
        w.Molecules.clear();
        for (int z : depths) {
            test::MoleculeLines m;
            m.Atoms[0].Position = "0,0," + std::to_string(z);
            m.MassCentre = m.Atoms[0].Position;
            m.Atoms[0].ChargeRadius = "0,5";
            w.Molecules.push_back(m);
        }
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(w.Molecules.size(), frames));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }

    test::TempDir dir;
    HeadlessHost host{{800, 600}};
    Viewer viewer{host};
    Workspace& ws = viewer.Ws();
};

TEST_F(InputTest, PageKeysStepTheSelection) {
    LoadAtoms({0, 10, 20});
    const int scenes = host.ScenesShown, repaints = host.StatusRepaints;
    viewer.FormKeyDown(PAGE_UP);
    EXPECT_EQ(ws.SelectedMolecule, 0);
    EXPECT_EQ(host.StatusPanels[2], "Mol=1");
    EXPECT_EQ(host.StatusRepaints, repaints + 1);  // shown at once, before the pass
    EXPECT_EQ(host.ScenesShown, scenes + 1);
    for (int i = 0; i < 4; ++i)
        viewer.FormKeyDown(PAGE_UP);
    EXPECT_EQ(ws.SelectedMolecule, 2);  // not above the last molecule
    EXPECT_EQ(host.StatusPanels[2], "Mol=3");
    viewer.FormKeyDown(PAGE_DOWN);
    viewer.FormKeyDown(PAGE_DOWN);
    EXPECT_EQ(host.StatusPanels[2], "Mol=1");
    viewer.FormKeyDown(PAGE_DOWN);
    EXPECT_EQ(ws.SelectedMolecule, -1);
    EXPECT_EQ(host.StatusPanels[2], "PgUp/PgDn");
    viewer.FormKeyDown(PAGE_DOWN);
    EXPECT_EQ(ws.SelectedMolecule, -1);
}

TEST_F(InputTest, PickTakesTheFarthestAtomUnderThePoint) {
    // Molecule 0 at z = 0 (half-size ceil(2 x 5) = 10), molecule 1 at z = 10 (ceil(100/60 x 5)
    // = 9): both on the centre (400, 300).
    LoadAtoms({0, 10});
    EXPECT_TRUE(viewer.PickAtom(400, 300));
    EXPECT_EQ(ws.SelectedMolecule, 1);
    EXPECT_EQ(host.StatusPanels[2], "Mol=2,0");
    // The squares are open: 409 is inside the nearer atom's square only.
    EXPECT_TRUE(viewer.PickAtom(409, 300));
    EXPECT_EQ(host.StatusPanels[2], "Mol=1,0");
    // Background: nothing changes and nothing is redrawn.
    const int scenes = host.ScenesShown;
    viewer.FormMouseDown(410, 300);
    viewer.FormMouseDown(5, 5);
    EXPECT_EQ(ws.SelectedMolecule, 0);
    EXPECT_EQ(host.ScenesShown, scenes);
}

TEST_F(InputTest, WheelStepsOncePerEventByItsSign) {
    LoadAtoms({0});
    ws.Projection.PP = 10;
    viewer.FormMouseWheel(120);
    viewer.FormMouseWheel(-8);  // a touchpad's small event still makes one step
    EXPECT_DOUBLE_EQ(ws.Projection.PP, 10 * 1.02 * 0.98);

    viewer.Form().MouseWheel = WheelMode::ScaleFactor;
    ws.Projection.Scale = 100;
    viewer.FormMouseWheel(1);
    viewer.FormMouseWheel(-1);
    EXPECT_DOUBLE_EQ(ws.Projection.Scale, 100 * 1.1 * 0.9);
    ws.Projection.Scale = 0;  // a file may give nothing to scale: the floor takes over
    viewer.FormMouseWheel(1);
    EXPECT_EQ(ws.Projection.Scale, 0.01);

    viewer.Form().MouseWheel = WheelMode::CentralProjectionPoint;
    ws.Projection.PP = -3;
    viewer.FormMouseWheel(-1);
    EXPECT_EQ(ws.Projection.PP, 0.1);

    // "None" changes neither, but still re-creates the label font and redraws.
    viewer.Form().MouseWheel = WheelMode::None;
    viewer.Form().AtomColorCheckBox = false;  // names would leave the nearest atom's font
    viewer.BitBtn1Click();
    ws.Projection.Scale = 40;
    const int scenes = host.ScenesShown;
    viewer.FormMouseWheel(120);
    EXPECT_EQ(ws.Projection.Scale, 40.0);
    EXPECT_EQ(ws.Projection.PP, 0.1);
    EXPECT_EQ(viewer.LabelFont().Height, 15);  // 0.25 x 40 + 5
    EXPECT_EQ(host.ScenesShown, scenes + 1);
}

TEST_F(InputTest, MotionKeysRunTheMotionTimer) {
    LoadAtoms({0});
    viewer.FormKeyDown('W');
    EXPECT_TRUE(host.Timer2On);
    EXPECT_TRUE(ws.KeyHeld[static_cast<int>(MotionKey::W)]);
    const int scenes = host.ScenesShown;
    viewer.Timer2Timer();
    EXPECT_NEAR(ws.Camera.V0.z, -50 + 0.2, 1e-12);
    EXPECT_EQ(host.ScenesShown, scenes + 1);
    viewer.FormKeyUp('W');
    EXPECT_TRUE(ws.KeyCoasting[static_cast<int>(MotionKey::W)]);
    // A mouse release stops the timer where it is; the flags stay.
    viewer.FormMouseUp();
    EXPECT_FALSE(host.Timer2On);
    EXPECT_TRUE(ws.KeyCoasting[static_cast<int>(MotionKey::W)]);
    // Other keys do nothing.
    viewer.FormKeyDown('X');
    viewer.FormKeyDown(13);
    EXPECT_FALSE(host.Timer2On);

    // Running again, W coasts to its end; the tick that then finds nothing held or coasting
    // draws nothing and lets the timer rest.
    host.Timer2On = true;
    for (int i = 0; i < 10 && ws.KeyCoasting[static_cast<int>(MotionKey::W)]; ++i)
        viewer.Timer2Timer();
    EXPECT_TRUE(host.Timer2On);
    const int shown = host.ScenesShown;
    const Vec3 at = ws.Camera.V0;
    viewer.Timer2Timer();
    EXPECT_FALSE(host.Timer2On);
    EXPECT_EQ(host.ScenesShown, shown);
    EXPECT_EQ(ws.Camera.V0, at);
}

// Off, a tick is today's tick exactly; on, the timer runs SMOOTH_MOTION_PARTS times as often
// and that many sub-ticks make one tick; turning it off mid-tick completes the tick.
TEST_F(InputTest, SmoothMotionSplitsTheKeyTicks) {
    LoadAtoms({0});
    const int parts = Viewer::SMOOTH_MOTION_PARTS;
    auto alone = std::make_unique<Workspace>(ws);
    viewer.FormKeyDown('D');
    alone->KeyHeld = ws.KeyHeld;
    viewer.Timer2Timer();
    KeyMotionStep(*alone);
    EXPECT_EQ(ws.Camera.V2, alone->Camera.V2);
    EXPECT_EQ(ws.Camera.V3, alone->Camera.V3);
    EXPECT_EQ(host.Timer2Interval, 30);

    viewer.Smoothmotion1Click();
    EXPECT_TRUE(viewer.SmoothMotion());
    EXPECT_EQ(host.Timer2Interval, 30 / parts);
    const int scenes = host.ScenesShown;
    for (int i = 0; i < parts; ++i)
        viewer.Timer2Timer();
    KeyMotionStep(*alone);
    EXPECT_EQ(host.ScenesShown, scenes + parts);
    EXPECT_LT(Length(ws.Camera.V2 - alone->Camera.V2), 1e-12);
    EXPECT_LT(Length(ws.Camera.V3 - alone->Camera.V3), 1e-12);

    viewer.Timer2Timer();  // a tick begun
    viewer.Smoothmotion1Click();
    KeyMotionStep(*alone);
    EXPECT_EQ(host.Timer2Interval, 30);
    EXPECT_EQ(host.ScenesShown, scenes + parts + 2);  // the completed tick is shown
    EXPECT_LT(Length(ws.Camera.V2 - alone->Camera.V2), 1e-12);
    EXPECT_EQ(ws.RollStep, alone->RollStep);
}

TEST_F(InputTest, SavePictureWritesTheShownView) {
    viewer.Savepicture1Click();  // nothing loaded: nothing to save, no dialog
    EXPECT_EQ(host.Messages.back().Caption, "Save Picture");
    EXPECT_EQ(host.SuggestedSaveFile, "");

    LoadAtoms({0});
    host.SaveFileToChoose = dir.File("view.png");
    viewer.Savepicture1Click();
    EXPECT_EQ(host.SuggestedSaveFile, dir.File("run.png"));
    const QImage saved(QString::fromStdString(dir.File("view.png")));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_BGR888), ScenePicture(viewer));
    EXPECT_EQ(saved.size(), QSize(800, 600));
    // "Smooth edges" of the "Video" group applies to the picture.
    viewer.Form().SmoothEdgesComboBox = 1;
    host.SaveFileToChoose = dir.File("smooth.png");
    viewer.Savepicture1Click();
    const QImage smooth(QString::fromStdString(dir.File("smooth.png")));
    EXPECT_EQ(smooth.convertToFormat(QImage::Format_BGR888), viewer.SmoothPicture(2));
    EXPECT_NE(smooth.convertToFormat(QImage::Format_BGR888), ScenePicture(viewer));
    viewer.Form().SmoothEdgesComboBox = 0;

    const std::size_t messages = host.Messages.size();
    host.SaveFileToChoose = dir.File("missing/view.png");
    viewer.Savepicture1Click();
    ASSERT_EQ(host.Messages.size(), messages + 1);
    EXPECT_EQ(host.Messages.back().Caption, "Error");
    EXPECT_NE(host.Messages.back().Text.find("missing/view.png"), std::string::npos);
}

TEST_F(InputTest, CloseAsksFirst) {
    LoadAtoms({0});
    viewer.World1Click();
    EXPECT_TRUE(ws.WorldViewOpen);
    EXPECT_TRUE(host.WorldFormVisible);
    const int repaints = host.WorldRepaints;
    viewer.RenderScene();
    EXPECT_EQ(host.WorldRepaints, repaints + 1);
    viewer.Button2Click();

    host.ConfirmAnswer = false;
    EXPECT_FALSE(viewer.FormClose());
    EXPECT_EQ(host.Messages.back().Text, "Are You Sure !?");
    EXPECT_EQ(host.Messages.back().Caption, "Exit");
    EXPECT_TRUE(host.Timer1On);
    EXPECT_TRUE(viewer.Trajectory().IsOpen());

    host.ConfirmAnswer = true;
    EXPECT_TRUE(viewer.FormClose());
    EXPECT_FALSE(host.Timer1On);
    EXPECT_FALSE(host.Timer2On);
    EXPECT_FALSE(host.WorldFormVisible);
    EXPECT_FALSE(viewer.Trajectory().IsOpen());
    EXPECT_TRUE(ws.NothingLoaded);
}

// The camera programme runs with the frames shown by playback.
class ProgrammeTest : public InputTest {
  protected:
    void SetUp() override {
        LoadAtoms({0}, 12);
        ParamFormState& form = viewer.Form();
        form.CheckBox1 = true;
        viewer.CheckBox1Click();
        form.ComboBox1 = 1;    // "Forward"
        form.Edit23 = "0.05";  // until 5 (0.05 ps)
        form.FrameTimerEdit = "1";
    }
    void RunTimer() {
        for (int i = 0; viewer.Timer1On() && i < 1000; ++i)
            viewer.Timer1Timer();
    }
    double Moved() const { return ws.Camera.V0.z + 50; }
};

TEST_F(ProgrammeTest, StepsWithTheFramesInBothDirections) {
    viewer.Button2Click();  // frames 0..11; steps at 1, 2, 3 and 4
    RunTimer();
    EXPECT_NEAR(Moved(), 4 * 0.2, 1e-9);
    EXPECT_EQ(ws.LastProgrammeTime, 11.0);

    viewer.Button6Click();  // frames 12, 11, ..., 1: steps from 10 down, acting at 4, 3, 2, 1
    RunTimer();
    EXPECT_NEAR(Moved(), 8 * 0.2, 1e-9);
    viewer.Button4Click();  // "+1" after "PlayBack": the time went up, no step
    EXPECT_NEAR(Moved(), 8 * 0.2, 1e-9);
}

TEST_F(ProgrammeTest, PerFrameSetsTheTimeBetweenSteps) {
    viewer.Form().Edit25 = "2";
    viewer.Button2Click();  // frames 0..11: due at 2, 4, 6, ...; the row acts until 5
    RunTimer();
    EXPECT_NEAR(Moved(), 2 * 0.2, 1e-9);
}

TEST_F(ProgrammeTest, NothingRunsWithCameraMotionOff) {
    viewer.Form().CheckBox1 = false;
    viewer.CheckBox1Click();
    viewer.Button2Click();
    RunTimer();
    EXPECT_NEAR(Moved(), 0.0, 1e-12);
}

}  // namespace
}  // namespace tarsel
