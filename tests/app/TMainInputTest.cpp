// Keys, mouse and wheel reach the viewer through the real main window.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "support/AppWindows.h"
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

TEST(MainWindowInput, KeysMapOntoTheMotionKeys) {
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_Up), 38);
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_Left), 37);
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_PageDown), 34);
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_W), 'W');
    EXPECT_EQ(TMain::VirtualKey(Qt::Key_Escape), 0);

    InputWindows w;
    QTest::keyPress(&w.main, Qt::Key_Right);
    EXPECT_TRUE(w.Held(MotionKey::Right));
    EXPECT_TRUE(w.main.Timer2()->isActive());
    // Auto-repeat arrives as release/press pairs: its release does not end the hold.
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&w.main, &repeatRelease);
    EXPECT_TRUE(w.Held(MotionKey::Right));
    QTest::keyRelease(&w.main, Qt::Key_Right);
    EXPECT_FALSE(w.Held(MotionKey::Right));
    EXPECT_TRUE(w.Ws().KeyCoasting[static_cast<int>(MotionKey::Right)]);

    QTest::keyClick(&w.main, Qt::Key_PageUp);
    EXPECT_EQ(w.main.StatusPanel(2)->text(), "Mol=1");
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
