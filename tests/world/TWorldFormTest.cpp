// The world window and the command that draws its picture.

#include "world/TWorldForm.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScreen>
#include <QTest>
#include <memory>
#include <sstream>

#include "app/cli/Cli.h"
#include "support/AppWindows.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget& w) { w.installEventFilter(this); }
    int Paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

bool HasColour(const QImage& image, QRgb colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x)
            if ((rgb.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
    }
    return false;
}

// The world window opens beside the main window where the screen has room, not over its menu;
// with no main window it keeps its designed place.
TEST(TWorldForm, OpensBesideTheMainWindow) {
    {
        auto ws = std::make_unique<Workspace>();
        const ProjectionPlane plane{};
        TWorldForm alone(*ws, plane);
        alone.show();
        EXPECT_EQ(alone.pos(), QPoint(584, 132));
    }
    test::AppWindows w;
    const QRect screen = w.main.screen()->availableGeometry();
    // Room below the main window only, then room on its right.
    for (const QRect& main : {QRect(screen.topLeft(), QSize(screen.width() - 100, 300)),
                              QRect(screen.topLeft(), QSize(300, screen.height() - 50))}) {
        test::AppWindows windows;
        windows.main.setGeometry(main);
        windows.main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.main));
        windows.main.Operations().World1Click();
        ASSERT_TRUE(windows.world.isVisible());
        EXPECT_FALSE(windows.world.frameGeometry().intersects(windows.main.frameGeometry()))
            << windows.world.frameGeometry().x() << "," << windows.world.frameGeometry().y();
        EXPECT_TRUE(screen.contains(windows.world.frameGeometry()));
        // Shown again after a close, it stays where the user left it.
        windows.world.close();
        windows.world.move(windows.world.pos() + QPoint(5, 5));
        const QPoint left = windows.world.pos();
        windows.main.Operations().World1Click();
        EXPECT_EQ(windows.world.pos(), left);
    }
}

TEST(TWorldForm, ArrowsTurnAndEveryKeyRedraws) {
    auto ws = std::make_unique<Workspace>();
    const ProjectionPlane plane{};
    TWorldForm form(*ws, plane);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.View().WorldWidth(), form.width());
    PaintCounter counter(form);
    const WorldAngles start = form.View().Angles;
    const struct {
        Qt::Key Key;
        double A, B;
    } keys[] = {{Qt::Key_Right, 0.1, 0}, {Qt::Key_Left, 0, 0}, {Qt::Key_Up, 0, 0.1},
                {Qt::Key_Down, 0, 0},    {Qt::Key_W, 0, 0},    {Qt::Key_Space, 0, 0},
                {Qt::Key_PageDown, 0, 0}};
    for (const auto& k : keys) {
        const int before = counter.Paints;
        QTest::keyClick(&form, k.Key);
        QCoreApplication::processEvents();
        EXPECT_EQ(counter.Paints, before + 1) << k.Key;
        EXPECT_DOUBLE_EQ(form.View().Angles.A, start.A + k.A) << k.Key;
        EXPECT_DOUBLE_EQ(form.View().Angles.B, start.B + k.B) << k.Key;
    }
}

TEST(TWorldForm, FollowsTheMainViewWithOnePaintPerEventLoopPass) {
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
    test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));  // no box to answer
    test::AppWindows w;
    w.Ops().LoadWorkspaceFile(dir.File("run.tsw"));
    w.Ops().World1Click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.world));
    QCoreApplication::processEvents();
    PaintCounter counter(w.world);
    for (int i = 0; i < 5; ++i)
        w.Ops().RenderScene();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.Paints, 1);

    // A load keeps the open window following the view.
    w.Ops().LoadWorkspaceFile(dir.File("run.tsw"));
    EXPECT_TRUE(w.Ws().WorldViewOpen);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.Paints, 2);
    const QImage shown = w.world.grab().toImage();
    EXPECT_TRUE(HasColour(shown, qRgb(255, 255, 0)));  // the cube
    EXPECT_TRUE(HasColour(shown, qRgb(0, 255, 255)));  // the light
}

struct CliRun {
    int Status;
    std::string Err;
};

CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, err.str()};
}

TEST(WorldCommand, WritesTheWindowsPicture) {
    test::TempDir dir;
    const std::string tsw = dir.File("run.tsw"), png = dir.File("world.png");
    test::WriteFile(tsw, test::Text(test::WorkspaceLines{}));

    ASSERT_EQ(Cli({"world", tsw, "-o", png}).Status, 0);
    const QImage standard(QString::fromStdString(png));
    EXPECT_EQ(standard.size(), QSize(WORLD_CLIENT_WIDTH, WORLD_CLIENT_HEIGHT));
    EXPECT_TRUE(HasColour(standard, qRgb(255, 255, 0)));

    ASSERT_EQ(Cli({"world", tsw, "-o", png, "--size", "200x150"}).Status, 0);
    const QImage small(QString::fromStdString(png));
    EXPECT_EQ(small.size(), QSize(200, 150));
    ASSERT_EQ(Cli({"world", tsw, "--turn", "-0.3,0.2", "--size", "200x150", "-o", png}).Status, 0);
    EXPECT_NE(QImage(QString::fromStdString(png)), small);

    for (const char* turn : {"0.3", "a,b", "0.1,inf", "0.1,"})
        EXPECT_EQ(Cli({"world", tsw, "-o", png, "--turn", turn}).Status, 2) << turn;
    EXPECT_EQ(Cli({"world", tsw}).Status, 2);
    EXPECT_EQ(Cli({"world", tsw, "-o", png, "--frame", "0"}).Status, 1);  // no trajectory
}

}  // namespace
}  // namespace tarsel
