// main() of the benchmarks: the render pass draws text, and the dialog benchmark opens windows,
// so an application object on the offscreen platform runs first.

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

// The offscreen platform warns about every raise() and size hint; the benchmark's table is
// easier to read without them.
QtMessageHandler previousHandler = nullptr;

void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith("This plugin does not support")) return;
    if (previousHandler != nullptr) previousHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(DropPlatformNotes);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
