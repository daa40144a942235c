// tarsel: the desktop viewer. "tarsel FILE.tsw" opens that workspace at start-up.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "world/TWorldForm.h"

namespace {

// Shows an exception that escapes an event handler and ends the application.
class TarselApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, "Tarsel", QString::fromUtf8(e.what()));
        } catch (...) {
            QMessageBox::critical(nullptr, "Tarsel", "Unexpected error.");
        }
        std::exit(1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    TarselApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (!args.isEmpty() && args[0].startsWith('-'))) {
        std::fprintf(stderr, "usage: tarsel [FILE.tsw]\n");
        return args.size() == 1 && (args[0] == "-h" || args[0] == "--help") ? 0 : 2;
    }
    try {
        tarsel::TMain mainWindow;
        tarsel::Viewer& viewer = mainWindow.Operations();
        tarsel::TParamForm paramForm(viewer.Form(), viewer, &mainWindow);
        tarsel::TWorldForm worldForm(viewer.Ws(), viewer.Renderer().Proj().Plane(), &mainWindow);
        mainWindow.Attach(&paramForm, &worldForm);
        mainWindow.show();
        if (!args.isEmpty()) {
            const std::string file = args[0].toStdString();
            // Once the window is laid out, so that the load sees the real drawing area.
            QTimer::singleShot(0, &mainWindow, [&viewer, file] { viewer.LoadWorkspaceFile(file); });
        }
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Tarsel", QString::fromUtf8(e.what()));
        return 1;
    }
}
