// Loading workspaces: the reader alone and the whole load command (log, trajectory, finish).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Resets.h"
#include "app/Viewer.h"
#include "tools/ExampleRun.h"
#include "workspace/WorkspaceReader.h"

namespace {

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
    const std::string file = tarsel::bench::LargestWorkspaceBase() + ".tsw";
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
    const std::string file = tarsel::bench::WaterExample();
    tarsel::HeadlessHost host;
    tarsel::Viewer viewer(host);
    for (auto _ : state)
        benchmark::DoNotOptimize(viewer.LoadWorkspaceFile(file));
}
BENCHMARK(BM_LoadWaterExample)->Unit(benchmark::kMillisecond);

}  // namespace
