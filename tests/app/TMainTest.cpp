#include "app/TMain.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "settings/TParamForm.h"
#include "support/AppWindows.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"
#include "world/TWorldForm.h"

namespace tarsel {
namespace {

// The three windows as the application creates them.
using Windows = test::AppWindows;

QStringList MenuItems(QMenu* menu) {
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? "-" : a->text());
    return items;
}

TEST(Windows, CreatedWithTheirCaptionsMenusAndPanels) {
    Windows w;
    EXPECT_EQ(w.main.windowTitle(), "Tarsel Kivoran");
    const QList<QAction*> menus = w.main.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "File");
    EXPECT_EQ(MenuItems(menus[0]->menu()),
              (QStringList{"Load WorkSpace", "Save Picture...", "-", "Exit"}));
    EXPECT_EQ(menus[1]->text(), "Parameters");
    EXPECT_EQ(MenuItems(menus[1]->menu()), (QStringList{"Work Space", "World", "Reset Camera",
                                                        "Follow Selection", "Smooth Motion"}));

    const int widths[4] = {100, 220, 70, 100};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.main.StatusPanel(i)->width(), widths[i]) << i;
    EXPECT_EQ(w.main.StatusPanel(1)->text(), "Use: W,S,A,D,Q,E,Arrows");
    EXPECT_EQ(w.main.StatusPanel(2)->text(), "PgUp/PgDn");
    EXPECT_EQ(w.main.Timer1()->interval(), 30);
    EXPECT_EQ(w.main.Timer2()->interval(), 30);
    EXPECT_FALSE(w.main.Timer1()->isActive());
    EXPECT_FALSE(w.main.Timer2()->isActive());
    // "Smooth Motion" puts the key motion on its finer, precise clock, and back.
    QAction* smooth = w.main.findChild<QAction*>("SmoothMotion1");
    ASSERT_NE(smooth, nullptr);
    EXPECT_TRUE(smooth->isCheckable());
    smooth->trigger();
    EXPECT_EQ(w.main.Timer2()->interval(), 30 / Viewer::SMOOTH_MOTION_PARTS);
    EXPECT_EQ(w.main.Timer2()->timerType(), Qt::PreciseTimer);
    smooth->trigger();
    EXPECT_EQ(w.main.Timer2()->interval(), 30);
    EXPECT_EQ(w.main.Timer2()->timerType(), Qt::CoarseTimer);

    EXPECT_EQ(w.param.windowTitle(), "WorkSpace");
    EXPECT_FALSE(w.param.isVisible());
    EXPECT_FALSE(w.param.isModal());
    EXPECT_EQ(w.param.size(), QSize(548, 482));
    EXPECT_EQ(w.param.Pages()->currentIndex(), 0);
    EXPECT_EQ(w.param.Pages()->tabText(0), "Load");
    EXPECT_EQ(w.param.LoadMemoView()->toPlainText(), "LoadMemo");

    EXPECT_EQ(w.world.windowTitle(), "WorldForm");
    EXPECT_FALSE(w.world.isVisible());

    // The drawing area is the client area less the status bar.
    const ViewSize area = w.main.DrawingAreaSize();
    EXPECT_EQ(area.Width, w.main.View()->width());
    EXPECT_EQ(area.Height, w.main.View()->height());
    EXPECT_EQ(w.main.Operations().Ws().ViewWidth, area.Width);
}

TEST(Windows, LoadShowsTheRunInTheWindows) {
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
    test::WriteFile(dir.File("run.xyz"), std::string(64 * 3, '\0'));
    Windows w;
    ASSERT_TRUE(w.main.Operations().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_EQ(w.main.windowTitle(), QString::fromStdString(dir.File("run")));
    EXPECT_EQ(w.main.StatusPanel(3)->text(), "0.000 pS ");
    const QString memo = w.param.LoadMemoView()->toPlainText();
    EXPECT_EQ(memo, QString::fromStdString(w.main.Operations().Form().Memo.Text()));
    EXPECT_TRUE(memo.startsWith("LoadMemo\n\nLoad "));
    EXPECT_FALSE(w.param.isVisible());
}

TEST(Windows, SaveAviBorderIsFixed) {
    Windows w;
    w.main.SetBorderFixed(true);
    EXPECT_EQ(w.main.minimumSize(), w.main.maximumSize());
    w.main.SetBorderFixed(false);
    EXPECT_NE(w.main.minimumSize(), w.main.maximumSize());
}

// The first movie has the size of the view as it shows, grip gone; and where a window manager
// resizes the window anyway, the view keeps the recording's size.
TEST(Windows, SaveAviRecordsTheViewAtItsSize) {
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
    test::WriteFile(dir.File("run.xyz"), std::string(64 * 3, '\0'));
    Windows w;
    w.main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.main));
    Viewer& v = w.main.Operations();
    ASSERT_TRUE(v.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    v.Form().SaveAVICheckBox = true;
    v.Button2Click();
    QCoreApplication::processEvents();
    ASSERT_NE(v.RecordBitmap(), nullptr);
    const QSize view = w.main.View()->size();
    EXPECT_EQ(QSize(v.RecordBitmap()->Width(), v.RecordBitmap()->Height()), view);
    EXPECT_EQ(QSize(v.Ws().ViewWidth, v.Ws().ViewHeight), view);

    w.main.setMinimumSize(0, 0);  // as a window manager that ignores the fixed border
    w.main.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w.main.resize(w.main.size() + QSize(40, 30));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.main.View()->size(), view);
    EXPECT_EQ(QSize(v.Ws().ViewWidth, v.Ws().ViewHeight), view);

    v.Button3Click();
    v.Form().SaveAVICheckBox = false;
    v.BitBtn1Click();
    w.main.resize(w.main.size() + QSize(10, 10));
    QCoreApplication::processEvents();
    EXPECT_NE(w.main.View()->size(), view);  // free again
}

TEST(Windows, Timer1WithIntervalZeroNeverTicks) {
    Windows w;
    w.main.SetTimer1(true, 0);
    EXPECT_FALSE(w.main.Timer1()->isActive());
    w.main.SetTimer1(true, 100);
    EXPECT_TRUE(w.main.Timer1()->isActive());
    EXPECT_EQ(w.main.Timer1()->interval(), 100);
    w.main.SetTimer1(false, 100);
    EXPECT_FALSE(w.main.Timer1()->isActive());
}

}  // namespace
}  // namespace tarsel
