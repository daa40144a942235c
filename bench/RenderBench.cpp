// The render pass on named scenes, with the viewer's canvas and with the QPainter one:
//   Water/800x600         the bundled example, dialog defaults (names, bonds, cube, discs)
//   Largest/Names+Bonds   500 chains of 100 atoms, all in view, at 800x600, everything on
//   Largest/NoNames       the same without names
//   .../RayTracing        the same scenes with shaded balls
// and the steps of the pass on the largest workspace, to see where its time goes.

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "render/PainterCanvas.h"

namespace {

enum class CanvasKind { Raster, Painter };

struct Scene {
    tarsel::HeadlessHost host{{800, 600}};
    std::unique_ptr<tarsel::Viewer> viewer = std::make_unique<tarsel::Viewer>(host);

    Scene(const std::string& file, CanvasKind canvas, bool names, bool rayTracing = false) {
        if (canvas == CanvasKind::Painter)
            viewer->SetCanvas(std::make_unique<tarsel::PainterCanvas>(viewer->Scene()));
        viewer->Form().AtomColorCheckBox = names;
        viewer->Form().CheckBox26 = rayTracing;
        viewer->LoadWorkspaceFile(file);
    }
};

void RunPasses(benchmark::State& state, const std::string& file, CanvasKind canvas, bool names,
               bool rayTracing = false) {
    Scene scene(file, canvas, names, rayTracing);
    tarsel::Viewer& v = *scene.viewer;
    for (auto _ : state)
        v.RenderScene();
    state.counters["visible_atoms"] = v.Renderer().VisibleAtoms().Count();
}

void BM_RenderScene_Water(benchmark::State& state) {
    RunPasses(state, tarsel::bench::WaterExample(), CanvasKind::Raster, true);
}
void BM_RenderScene_Water_QPainter(benchmark::State& state) {
    RunPasses(state, tarsel::bench::WaterExample(), CanvasKind::Painter, true);
}
void BM_RenderScene_Largest_NamesBonds(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Raster, true);
}
void BM_RenderScene_Largest_NamesBonds_QPainter(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Painter, true);
}
void BM_RenderScene_Largest_NoNames(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Raster, false);
}
void BM_RenderScene_Largest_NoNames_QPainter(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Painter, false);
}
void BM_RenderScene_Water_RayTracing(benchmark::State& state) {
    RunPasses(state, tarsel::bench::WaterExample(), CanvasKind::Raster, true, true);
}
void BM_RenderScene_Largest_NamesBonds_RayTracing(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Raster, true,
              true);
}
void BM_RenderScene_Largest_NoNames_RayTracing(benchmark::State& state) {
    RunPasses(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Raster, false,
              true);
}
BENCHMARK(BM_RenderScene_Water)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Water_QPainter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Largest_NamesBonds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Largest_NamesBonds_QPainter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Largest_NoNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Largest_NoNames_QPainter)->Unit(benchmark::kMillisecond);
// Several threads draw the shaded balls: the wall-clock time is the one to read.
BENCHMARK(BM_RenderScene_Water_RayTracing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_NamesBonds_RayTracing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_NoNames_RayTracing)->Unit(benchmark::kMillisecond)->UseRealTime();

// The steps of the pass on the largest workspace, with the viewer's canvas.
void Step(benchmark::State& state,
          const std::function<void(tarsel::Viewer&, tarsel::SceneRenderer&)>& step) {
    Scene scene(tarsel::bench::LargestWorkspaceBase() + ".tsw", CanvasKind::Raster, true);
    tarsel::Viewer& v = *scene.viewer;
    tarsel::SceneRenderer renderer;
    renderer.PrepareProjection(v.Ws());
    renderer.ProjectAtoms(v.Ws());
    for (auto _ : state)
        step(v, renderer);
}

void BM_Largest_ProjectAtoms(benchmark::State& state) {
    Step(state, [](tarsel::Viewer& v, tarsel::SceneRenderer& r) { r.ProjectAtoms(v.Ws()); });
}
void BM_Largest_DrawBonds(benchmark::State& state) {
    Step(state,
         [](tarsel::Viewer& v, tarsel::SceneRenderer& r) { r.DrawBonds(v.Ws(), v.SceneCanvas()); });
}
void BM_Largest_DrawFlatBalls_Discs(benchmark::State& state) {
    Step(state, [](tarsel::Viewer& v, tarsel::SceneRenderer& r) {
        tarsel::FontSpec font;
        v.Ws().ShowAtomNames = false;
        r.DrawFlatBalls(v.Ws(), v.SceneCanvas(), font);
    });
}
void BM_Largest_DrawFlatBalls_Names(benchmark::State& state) {
    Step(state, [](tarsel::Viewer& v, tarsel::SceneRenderer& r) {
        tarsel::FontSpec font{"Arial Cyr", 18};
        v.Ws().ShowAtomNames = true;
        v.Ws().ShowBalls = false;
        r.DrawFlatBalls(v.Ws(), v.SceneCanvas(), font);
    });
}
BENCHMARK(BM_Largest_ProjectAtoms)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Largest_DrawBonds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Largest_DrawFlatBalls_Discs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Largest_DrawFlatBalls_Names)->Unit(benchmark::kMillisecond);

}  // namespace
