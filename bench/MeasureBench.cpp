// Measuring and following, beside their yardsticks in the same run:
//   RenderScene_Water_Measured    the pass of RenderScene_Water with a dihedral drawn over it
//   RenderScene_Largest_Measured  the same on the largest workspace (Largest/NoNames)
//   Measure_Largest               tarsel-cli measure of a dihedral over the 20 frames of the
//                                 largest workspace (frames read and placed, nothing drawn)

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "app/cli/Cli.h"

namespace {

// Ctrl+clicks the nearest listed atoms until four are measured.
void MeasureNearest(tarsel::Viewer& v) {
    const tarsel::VisibleAtomList& list = v.Renderer().VisibleAtoms();
    const tarsel::Workspace& ws = v.Ws();
    for (int i = 0; i < list.Count() && v.Measured().Count() < 4; ++i) {
        v.MeasureClick(static_cast<int>(list[i].sx + ws.ViewWidth / 2),
                       static_cast<int>(ws.ViewHeight / 2 - list[i].sy));
    }
}

void RunMeasured(benchmark::State& state, const std::string& file, bool names) {
    tarsel::HeadlessHost host{{800, 600}};
    tarsel::Viewer v(host);
    v.Form().AtomColorCheckBox = names;
    v.LoadWorkspaceFile(file);
    MeasureNearest(v);
    for (auto _ : state)
        v.RenderScene();
    state.counters["measured_atoms"] = v.Measured().Count();
}

void BM_RenderScene_Water_Measured(benchmark::State& state) {
    RunMeasured(state, tarsel::bench::WaterExample(), true);
}
void BM_RenderScene_Largest_Measured(benchmark::State& state) {
    RunMeasured(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", false);
}
BENCHMARK(BM_RenderScene_Water_Measured)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Largest_Measured)->Unit(benchmark::kMillisecond);

void BM_Measure_Largest(benchmark::State& state) {
    const std::string file = tarsel::bench::LargestWorkspaceBase() + ".tsw";
    std::int64_t frames = 0;
    for (auto _ : state) {
        std::ostringstream out, err;
        tarsel::RunCli({"measure", file, "--atoms", "0:0,0:1,250:2,499:99"}, out, err);
        frames += 20;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Measure_Largest)->Unit(benchmark::kMillisecond);

}  // namespace
