// Loading workspaces: the reader alone and the whole load command (log, trajectory, finish).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/HeadlessHost.h"
#include "app/Resets.h"
#include "app/Viewer.h"
#include "tools/ExampleRun.h"
#include "workspace/WorkspaceReader.h"

namespace {

// A folder of generated runs that lives as long as the benchmark process.
class RunFolder {
  public:
    RunFolder()
        : dir_((std::filesystem::temp_directory_path() /
                ("tarsel-bench-" + std::to_string(getpid())))
                   .string()) {
        std::filesystem::create_directories(dir_);
    }
    ~RunFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& Path() const { return dir_; }

  private:
    std::string dir_;
};

// The largest workspace (500 molecules of 100 atoms), written once per process.
const std::string& LargestWorkspaceBase() {
    static const RunFolder folder;
    static const std::string base = [] {
        std::string error;
        tarsel::examples::WriteRun(
            tarsel::examples::GenerateRun(tarsel::examples::LargestWorkspace(20)),
            folder.Path() + "/largest", error);
        return folder.Path() + "/largest";
    }();
    return base;
}

void BM_ReadLargestWorkspaceText(benchmark::State& state) {
    const std::string text =
        tarsel::examples::GenerateRun(tarsel::examples::LargestWorkspace(1)).Workspace;
    auto ws = std::make_unique<tarsel::Workspace>();
    for (auto _ : state) {
        tarsel::ClearMolecules(*ws);
        tarsel::LoadLog log;
        benchmark::DoNotOptimize(tarsel::ReadWorkspaceText(text, "largest.tsw", *ws, log));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_ReadLargestWorkspaceText)->Unit(benchmark::kMillisecond);

// The whole load command of the largest workspace, as File > Load WorkSpace runs it.
void BM_LoadLargestWorkspace(benchmark::State& state) {
    const std::string file = LargestWorkspaceBase() + ".tsw";
    for (auto _ : state) {
        state.PauseTiming();
        tarsel::HeadlessHost host;
        auto viewer = std::make_unique<tarsel::Viewer>(host);
        state.ResumeTiming();
        benchmark::DoNotOptimize(viewer->LoadWorkspaceFile(file));
    }
}
BENCHMARK(BM_LoadLargestWorkspace)->Unit(benchmark::kMillisecond);

void BM_LoadWaterExample(benchmark::State& state) {
    const std::string file = std::string(TARSEL_SOURCE_DIR) + "/Examples/water.tsw";
    tarsel::HeadlessHost host;
    tarsel::Viewer viewer(host);
    for (auto _ : state)
        benchmark::DoNotOptimize(viewer.LoadWorkspaceFile(file));
}
BENCHMARK(BM_LoadWaterExample)->Unit(benchmark::kMillisecond);

}  // namespace
