// Playback ticks of the largest workspace through the viewer's own handlers (Timer1Timer:
// the frame or in-between, then the render pass), with whole frames and with 4 sub-frames
// side by side. The timer's pace is 30 ms a tick unless "Frame Time" in mS says otherwise.
//   Largest/SubFrames:1   whole frames, the yardstick
//   Largest/SubFrames:4   three in-betweens per frame
// and the in-between placing alone.

#include <benchmark/benchmark.h>

#include <memory>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"

namespace {

void BM_PlaybackTick_Largest(benchmark::State& state) {
    tarsel::HeadlessHost host{{800, 600}};
    auto viewer = std::make_unique<tarsel::Viewer>(host);
    viewer->LoadWorkspaceFile(tarsel::bench::LargestWorkspaceBase() + ".tsw");
    viewer->Form().SubFramesSpinBox = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (!viewer->Timer1On()) {
            viewer->TrackBar1Change(0);
            viewer->Button2Click();
        }
        viewer->Timer1Timer();
    }
    state.counters["ticks_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// The render pass draws on both cores: the wall-clock time is the one to read.
BENCHMARK(BM_PlaybackTick_Largest)
    ->ArgName("SubFrames")
    ->Arg(1)
    ->Arg(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Placing the molecules in between two frames, the part a sub-frame adds to a tick.
void BM_PlaceInBetween_Largest(benchmark::State& state) {
    tarsel::HeadlessHost host{{800, 600}};
    auto viewer = std::make_unique<tarsel::Viewer>(host);
    viewer->LoadWorkspaceFile(tarsel::bench::LargestWorkspaceBase() + ".tsw");
    tarsel::Workspace& ws = viewer->Ws();
    tarsel::FrameCache cache;
    int step = 0;
    for (auto _ : state) {
        const int f = 1 + (step / 4) % (ws.FrameCount - 3);
        tarsel::PlaceInBetween(ws, cache, viewer->Trajectory(), f, (step % 4 + 0.5) / 4);
        benchmark::DoNotOptimize(ws.Molecules[0].X[0]);
        ++step;
    }
}
BENCHMARK(BM_PlaceInBetween_Largest)->Unit(benchmark::kMicrosecond);

}  // namespace
