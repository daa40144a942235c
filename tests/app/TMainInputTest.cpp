// Keys, mouse and wheel reach the viewer through the real main window.

#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "support/AppWindows.h"
#include "support/CameraChange.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"
#include "world/TWorldForm.h"

namespace tarsel {
namespace {

struct InputWindows : test::AppWindows {
    test::TempDir dir;

    InputWindows() {
        // One atom of radius 5 on the viewing axis: drawn on the view's centre.
        test::WorkspaceLines w;
        w.Molecules[0].Atoms[0].Position = "0,0,0";
        w.Molecules[0].MassCentre = "0,0,0";
        w.Molecules[0].Atoms[0].ChargeRadius = "0,5";
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));
        main.Operations().LoadWorkspaceFile(dir.File("run.tsw"));
    }
    bool Held(MotionKey k) { return Ws().KeyHeld[static_cast<int>(k)]; }
    QPoint Centre() { return {Ws().ViewWidth / 2, Ws().ViewHeight / 2}; }
    void Wheel(QPoint angle) {
        QWheelEvent e(Centre(), main.View()->mapToGlobal(Centre()), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(main.View(), &e);
    }
};

// Every motion key through the window's key handler and one tick of the key motion timer, from
// the loaded camera at (0, 0, -50) looking at the cube's centre. Each key comes as a synthetic
// event without native data, and as the X server sends it; the letters then as a Russian
// layout sends them: a Cyrillic key, text and symbol, and the scan code of the key's place.
TEST(MainWindowInput, EveryMotionKeyMovesTheCameraItsWay) {
    const double turn = std::sin(0.002), roll = std::sin(0.005);
    const double orbitIn = 50 * (1 - std::cos(0.005)), orbitAside = 50 * roll;
    struct Row {
        MotionKey motion;
        int key;
        quint32 scanCode;
        int russianKey;  // with the layout's symbol and text
        quint32 russianSymbol;
        const char* russianText;
        test::CameraChange change;  // forward, sideways, turn, pitch, roll
    };
    const Row rows[] = {
        {MotionKey::Up, Qt::Key_Up, 111, 0, 0, "", {0, 0, 0, -turn, 0}},
        {MotionKey::Down, Qt::Key_Down, 116, 0, 0, "", {0, 0, 0, turn, 0}},
        {MotionKey::Right, Qt::Key_Right, 114, 0, 0, "", {0, 0, turn, 0, 0}},
        {MotionKey::Left, Qt::Key_Left, 113, 0, 0, "", {0, 0, -turn, 0, 0}},
        {MotionKey::A, Qt::Key_A, 38, 0x424, 0x6c6, "ф", {0, 0, 0, 0, roll}},
        {MotionKey::D, Qt::Key_D, 40, 0x412, 0x6d7, "в", {0, 0, 0, 0, -roll}},
        {MotionKey::Q, Qt::Key_Q, 24, 0x419, 0x6ca, "й", {orbitIn, orbitAside, -roll, 0, 0}},
        {MotionKey::E, Qt::Key_E, 26, 0x423, 0x6d5, "у", {orbitIn, -orbitAside, roll, 0, 0}},
        {MotionKey::W, Qt::Key_W, 25, 0x426, 0x6c3, "ц", {0.2, 0, 0, 0, 0}},
        {MotionKey::S, Qt::Key_S, 39, 0x42b, 0x6d9, "ы", {-0.2, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        struct Event {
            const char* how;
            int key;
            quint32 scanCode, symbol;
            QString text;
        };
        std::vector<Event> events = {{"synthetic", row.key, 0, 0, QString()}};
        if (row.russianKey == 0) {
            events.push_back({"from X", row.key, row.scanCode, 0, QString()});
        } else {
            events.push_back({"Russian layout", row.russianKey, row.scanCode, row.russianSymbol,
                              QString::fromUtf8(row.russianText)});
        }
        for (const Event& e : events) {
            const std::string what = QKeySequence(row.key).toString().toStdString() + ", " + e.how;
            InputWindows w;
            const CameraFrame before = w.Ws().Camera;
            QKeyEvent press(QEvent::KeyPress, e.key, Qt::NoModifier, e.scanCode, e.symbol, 0,
                            e.text);
            QCoreApplication::sendEvent(&w.main, &press);
            EXPECT_TRUE(w.main.Timer2()->isActive()) << what;
            w.Ops().Timer2Timer();
            test::ExpectChange(test::ChangeOf(before, w.Ws().Camera), row.change, what);
            QKeyEvent release(QEvent::KeyRelease, e.key, Qt::NoModifier, e.scanCode, e.symbol, 0,
                              e.text);
            QCoreApplication::sendEvent(&w.main, &release);
            EXPECT_FALSE(w.Held(row.motion)) << what;
            EXPECT_TRUE(w.Ws().KeyCoasting[static_cast<int>(row.motion)]) << what;
        }
    }
}

TEST(MainWindowInput, KeysMapOntoTheMotionKeys) {
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_PageDown), 34);
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_Escape), 27);
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_Tab), 0);
    // A W elsewhere on the keyboard (as a Dvorak layout places it) is not the motion key.
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_W, 59), 0);

    InputWindows w;
    QTest::keyPress(&w.main, Qt::Key_Right);
    EXPECT_TRUE(w.Held(MotionKey::Right));
    // Auto-repeat arrives as release/press pairs: its release does not end the hold.
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&w.main, &repeatRelease);
    EXPECT_TRUE(w.Held(MotionKey::Right));

    QTest::keyClick(&w.main, Qt::Key_PageUp);
    EXPECT_EQ(w.main.StatusPanel(2)->text(), "Mol=1");
}

// Home (or "Parameters" > "Reset Camera") brings back the camera of the load.
TEST(MainWindowInput, HomeResetsTheCamera) {
    InputWindows w;
    Workspace& ws = w.Ws();
    const CameraFrame loaded = ws.Camera;
    const ProjectionParams projection = ws.Projection;
    QTest::keyPress(&w.main, Qt::Key_W);
    QTest::keyPress(&w.main, Qt::Key_Right);
    w.Ops().Timer2Timer();
    QTest::keyRelease(&w.main, Qt::Key_W);
    w.Wheel({0, 120});
    ws.Projection.Scale = 7;

    // The key is the menu item's shortcut: it needs the window active.
    w.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    QTest::keyClick(&w.main, Qt::Key_Home);
    EXPECT_EQ(ws.Camera.V0, loaded.V0);
    EXPECT_EQ(ws.Camera.V1, loaded.V1);
    EXPECT_EQ(ws.Camera.V2, loaded.V2);
    EXPECT_EQ(ws.Projection.PP, projection.PP);
    EXPECT_EQ(ws.Projection.Scale, projection.Scale);
    // Nothing coasts on: the next tick leaves the camera where it is.
    EXPECT_FALSE(w.Held(MotionKey::Right) || ws.KeyCoasting[static_cast<int>(MotionKey::W)]);
    EXPECT_EQ(ws.MoveStep, 0.2);
}

TEST(MainWindowInput, MouseAndWheel) {
    InputWindows w;
    w.Ws().SelectedMolecule = -1;
    QTest::mouseClick(w.main.View(), Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_EQ(w.Ws().SelectedMolecule, -1);
    QTest::keyPress(&w.main, Qt::Key_W);
    ASSERT_TRUE(w.main.Timer2()->isActive());
    QTest::mouseClick(w.main.View(), Qt::RightButton, {}, w.Centre());  // any button picks
    EXPECT_EQ(w.Ws().SelectedMolecule, 0);
    EXPECT_EQ(w.main.StatusPanel(2)->text(), "Mol=1,0");
    EXPECT_FALSE(w.main.Timer2()->isActive());  // the release stopped the key motion

    const double pp = w.Ws().Projection.PP;
    w.Wheel({0, 120});
    EXPECT_DOUBLE_EQ(w.Ws().Projection.PP, pp * 1.02);
    w.Wheel({0, -15});  // a fine-grained wheel's small step
    EXPECT_DOUBLE_EQ(w.Ws().Projection.PP, pp * 1.02 * 0.98);
    w.Wheel({120, 0});  // sideways: no step
    EXPECT_DOUBLE_EQ(w.Ws().Projection.PP, pp * 1.02 * 0.98);
}

// Ctrl+click measures instead of selecting, Esc clears; F (the menu item's shortcut, or the
// key in F's place under another layout) follows the selection.
TEST(MainWindowInput, CtrlClickMeasuresAndFFollows) {
    InputWindows w;
    w.Ws().SelectedMolecule = -1;
    QTest::mouseClick(w.main.View(), Qt::LeftButton, Qt::ControlModifier, w.Centre());
    EXPECT_EQ(w.main.StatusPanel(0)->text(), "picked 1,0");
    EXPECT_EQ(w.Ws().SelectedMolecule, -1);
    QTest::keyClick(&w.main, Qt::Key_Escape);
    EXPECT_EQ(w.main.StatusPanel(0)->text(), "");
    EXPECT_EQ(w.main.StatusPanel(0)->width(), 100);

    QTest::mouseClick(w.main.View(), Qt::LeftButton, {}, w.Centre());
    w.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    QTest::keyClick(&w.main, Qt::Key_F);
    EXPECT_TRUE(w.Ops().Following());
    EXPECT_EQ(w.main.StatusPanel(1)->text(), "Follow Selection: on (F ends it)");
    QAction* item = w.main.findChild<QAction*>("FollowSelection1");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked());
    // Under a Russian layout the key in F's place says Cyrillic "a".
    QKeyEvent press(QEvent::KeyPress, 0x0430, Qt::NoModifier, 41, 0x6c1, 0,
                    QString::fromUtf8("\xD0\xB0"));
    QCoreApplication::sendEvent(&w.main, &press);
    EXPECT_FALSE(w.Ops().Following());
    EXPECT_EQ(w.main.StatusPanel(1)->text(), "Use: W,S,A,D,Q,E,Arrows");
}

TEST(MainWindowInput, WorldMenuOpensTheWorldWindow) {
    InputWindows w;
    w.main.Operations().World1Click();
    EXPECT_TRUE(w.world.isVisible());
    EXPECT_TRUE(w.Ws().WorldViewOpen);
    w.world.close();
    EXPECT_FALSE(w.Ws().WorldViewOpen);
}

}  // namespace
}  // namespace tarsel
