// The load command with the windows of the application: the largest workspace's log goes to
// the dialog's "Load" page, and the dialog is then opened on it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "tools/ExampleRun.h"
#include "world/TWorldForm.h"

namespace {

const std::string& LargestRun() {
    static const std::string base = [] {
        const std::string dir = (std::filesystem::temp_directory_path() /
                                 ("tarsel-dialog-bench-" + std::to_string(getpid())))
                                    .string();
        std::filesystem::create_directories(dir);
        std::string error;
        tarsel::examples::WriteRun(
            tarsel::examples::GenerateRun(tarsel::examples::LargestWorkspace(20)), dir + "/largest",
            error);
        return dir + "/largest";
    }();
    return base;
}

struct RunFileRemover {
    ~RunFileRemover() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(LargestRun()).parent_path(), ignored);
    }
};

// The three windows as the application creates them.
struct Windows {
    tarsel::TMain main;
    tarsel::TParamForm param{main.Operations().Form(), main.Operations(), &main};
    tarsel::TWorldForm world{main.Operations().Ws(), main.Operations().Renderer().Proj().Plane(),
                             &main};
    Windows() {
        main.Attach(&param, &world);
        main.show();
        QApplication::processEvents();
    }
};

// File > Load WorkSpace of the largest workspace (500 molecules of 100 atoms, a log of about
// 255,000 lines), the log appended to the dialog's memo.
void BM_LoadLargestWorkspaceWithWindows(benchmark::State& state) {
    static const RunFileRemover remover;
    const std::string file = LargestRun() + ".tsw";
    for (auto _ : state) {
        state.PauseTiming();
        auto windows = std::make_unique<Windows>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(windows->main.Operations().LoadWorkspaceFile(file));
        QApplication::processEvents();
        state.PauseTiming();
        windows.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadLargestWorkspaceWithWindows)->Unit(benchmark::kMillisecond);

// Then "Parameters" > "Work Space": the dialog opens on the "Load" page with the new log.
void BM_OpenDialogOnLargestLog(benchmark::State& state) {
    static const RunFileRemover remover;
    Windows windows;
    windows.main.Operations().LoadWorkspaceFile(LargestRun() + ".tsw");
    QApplication::processEvents();
    for (auto _ : state) {
        windows.main.Operations().N4Click();
        windows.param.LoadMemoView()->viewport()->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        windows.param.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenDialogOnLargestLog)->Unit(benchmark::kMillisecond);

}  // namespace
