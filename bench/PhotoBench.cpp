// The "Photo" drawing mode:
//   RenderScene/Water/Photo, .../Largest_NamesBonds_Photo  the whole pass at 800x600
//   .../Largest_NamesBonds_Photo_EachFrame  the same, playing: a new frame every pass
//   .../Largest_NamesBonds_Photo_1920x1080_Antialias2  the largest run with smooth edges 2x
//       (Viewer::SmoothPicture) at 1920x1080

#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "render/PhotoRenderer.h"

namespace {

struct PhotoScene {
    tarsel::HeadlessHost host;
    std::unique_ptr<tarsel::Viewer> viewer;

    PhotoScene(const std::string& file, tarsel::ViewSize size) : host(size) {
        viewer = std::make_unique<tarsel::Viewer>(host);
        viewer->Form().PhotoCheckBox = true;
        viewer->LoadWorkspaceFile(file);
    }
};

void RunPhotoPasses(benchmark::State& state, const std::string& file) {
    PhotoScene scene(file, {800, 600});
    tarsel::Viewer& v = *scene.viewer;
    for (auto _ : state)
        v.RenderScene();
    state.counters["visible_atoms"] = v.Renderer().VisibleAtoms().Count();
}

void BM_RenderScene_Water_Photo(benchmark::State& state) {
    RunPhotoPasses(state, tarsel::bench::WaterExample());
}
void BM_RenderScene_Largest_NamesBonds_Photo(benchmark::State& state) {
    RunPhotoPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw");
}

// Every pass on another frame, so that the occlusion is computed afresh each time (ReadFrame
// places the atoms and runs the pass), as in playback.
void BM_RenderScene_Largest_NamesBonds_Photo_EachFrame(benchmark::State& state) {
    PhotoScene scene(tarsel::bench::LargestWorkspaceBase() + ".tsw", {800, 600});
    tarsel::Viewer& v = *scene.viewer;
    int frame = 0;
    for (auto _ : state) {
        v.ReadFrame(frame);
        frame = (frame + 1) % 2;
    }
    state.counters["visible_atoms"] = v.Renderer().VisibleAtoms().Count();
}

// "Smooth edges" 2x as Save Picture and the tool's --antialias 2 draw it: the view drawn at
// 3840x2160 in pieces on the scene bitmap, then box-filtered down (the pass that draws the
// window's picture again after is included).
void BM_RenderScene_Largest_NamesBonds_Photo_1920x1080_Antialias2(benchmark::State& state) {
    PhotoScene scene(tarsel::bench::LargestWorkspaceBase() + ".tsw", {1920, 1080});
    tarsel::Viewer& v = *scene.viewer;
    for (auto _ : state) {
        const QImage picture = v.SmoothPicture(2);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["visible_atoms"] = v.Renderer().VisibleAtoms().Count();
}

// Several threads draw: the wall-clock time is the one to read.
BENCHMARK(BM_RenderScene_Water_Photo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_NamesBonds_Photo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_NamesBonds_Photo_EachFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_NamesBonds_Photo_1920x1080_Antialias2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
