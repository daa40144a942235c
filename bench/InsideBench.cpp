// The render pass with the camera inside the cube of the largest workspace, where names are
// tall and many atoms lie off the window:
//   Largest/Inside/{Flat,RayTracing}/{Names,NoNames}   the camera at (10, 12, -30)
//   Largest/Flight/{Flat,RayTracing}/{Names,NoNames}   the camera moves a step along its
//       viewing axis each pass, in and out of the cube, so every name height comes and goes

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"

namespace {

constexpr tarsel::Vec3 INSIDE{10, 12, -30};

struct InsideScene {
    tarsel::HeadlessHost host{{800, 600}};
    std::unique_ptr<tarsel::Viewer> viewer = std::make_unique<tarsel::Viewer>(host);

    InsideScene(bool names, bool rayTracing) {
        viewer->Form().AtomColorCheckBox = names;
        viewer->Form().CheckBox26 = rayTracing;
        viewer->LoadWorkspaceFile(tarsel::bench::LargestWorkspaceBase() + ".tsw");
    }
};

void Inside(benchmark::State& state, bool names, bool rayTracing) {
    InsideScene scene(names, rayTracing);
    tarsel::Viewer& v = *scene.viewer;
    v.Ws().Camera.V0 = INSIDE;
    for (auto _ : state)
        v.RenderScene();
    state.counters["visible_atoms"] = v.Renderer().VisibleAtoms().Count();
}

// From the loaded camera (outside) to well past the cube's centre and back, 60 steps a way.
void Flight(benchmark::State& state, bool names, bool rayTracing) {
    InsideScene scene(names, rayTracing);
    tarsel::Viewer& v = *scene.viewer;
    tarsel::Workspace& ws = v.Ws();
    const tarsel::Vec3 start = ws.Camera.V0;
    const tarsel::Vec3 end = INSIDE + 40.0 * ws.Camera.V1;
    constexpr int STEPS = 60;
    int step = 0;
    for (auto _ : state) {
        const int k = step < STEPS ? step : 2 * STEPS - step;
        const double t = static_cast<double>(k) / STEPS;
        ws.Camera.V0 = start + t * (end - start);
        v.RenderScene();
        step = (step + 1) % (2 * STEPS);
    }
}

void BM_RenderScene_Largest_Inside_Names(benchmark::State& s) {
    Inside(s, true, false);
}
void BM_RenderScene_Largest_Inside_NoNames(benchmark::State& s) {
    Inside(s, false, false);
}
void BM_RenderScene_Largest_Inside_Names_RayTracing(benchmark::State& s) {
    Inside(s, true, true);
}
void BM_RenderScene_Largest_Inside_NoNames_RayTracing(benchmark::State& s) {
    Inside(s, false, true);
}
void BM_RenderScene_Largest_Flight_Names(benchmark::State& s) {
    Flight(s, true, false);
}
void BM_RenderScene_Largest_Flight_NoNames(benchmark::State& s) {
    Flight(s, false, false);
}
void BM_RenderScene_Largest_Flight_Names_RayTracing(benchmark::State& s) {
    Flight(s, true, true);
}
void BM_RenderScene_Largest_Flight_NoNames_RayTracing(benchmark::State& s) {
    Flight(s, false, true);
}
BENCHMARK(BM_RenderScene_Largest_Inside_Names)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Inside_NoNames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Inside_Names_RayTracing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Inside_NoNames_RayTracing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Flight_Names)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Flight_NoNames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Flight_Names_RayTracing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderScene_Largest_Flight_NoNames_RayTracing)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
