// The render pass with the camera inside the cube of the largest workspace, where names are
// tall and many atoms lie off the window:
//   Largest/Inside/{Flat,RayTracing}/{Names,NoNames}   the camera at (10, 12, -30)
//   Largest/Flight/{Flat,RayTracing}/{Names,NoNames}   the camera moves a step along its
//       viewing axis each pass, in and out of the cube, so every name height comes and goes
//   NamesCost/Largest/{Outside,Inside,Flight}[/RayTracing]   names on against off, paired

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

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
class FlightPath {
  public:
    explicit FlightPath(const tarsel::Workspace& ws)
        : start_(ws.Camera.V0), end_(INSIDE + 40.0 * ws.Camera.V1) {}
    tarsel::Vec3 Next() {
        const int k = step_ < STEPS ? step_ : 2 * STEPS - step_;
        step_ = (step_ + 1) % (2 * STEPS);
        return start_ + (static_cast<double>(k) / STEPS) * (end_ - start_);
    }

  private:
    static constexpr int STEPS = 60;
    tarsel::Vec3 start_, end_;
    int step_ = 0;
};

void Flight(benchmark::State& state, bool names, bool rayTracing) {
    InsideScene scene(names, rayTracing);
    tarsel::Viewer& v = *scene.viewer;
    FlightPath path(v.Ws());
    for (auto _ : state) {
        v.Ws().Camera.V0 = path.Next();
        v.RenderScene();
    }
}

// What names cost, paired pass by pass: each iteration draws one view with names and without,
// the two in turn first, and takes the ratio of the two times. Whatever this machine does
// around a pass falls on both alike, where separate runs see it fall on one. Counters: the
// median ratio, and each way's mean time in ms.
enum class View { Outside, Inside, Flight };

void NamesCost(benchmark::State& state, View view, bool rayTracing) {
    using Clock = std::chrono::steady_clock;
    InsideScene scene(true, rayTracing);
    tarsel::Viewer& v = *scene.viewer;
    tarsel::Workspace& ws = v.Ws();
    if (view == View::Inside) ws.Camera.V0 = INSIDE;
    FlightPath path(ws);
    std::vector<double> ratios;
    double withNames = 0, without = 0;
    bool namesFirst = true;
    for (auto _ : state) {
        if (view == View::Flight) ws.Camera.V0 = path.Next();
        double seconds[2] = {};
        for (const bool names : {namesFirst, !namesFirst}) {
            ws.ShowAtomNames = names;
            const Clock::time_point start = Clock::now();
            v.RenderScene();
            seconds[names ? 0 : 1] = std::chrono::duration<double>(Clock::now() - start).count();
        }
        namesFirst = !namesFirst;
        state.SetIterationTime(seconds[0] + seconds[1]);
        ratios.push_back(seconds[0] / seconds[1]);
        withNames += seconds[0];
        without += seconds[1];
    }
    if (ratios.empty()) return;
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["ratio"] = ratios[ratios.size() / 2];
    const auto n = static_cast<double>(ratios.size());
    state.counters["names_ms"] = 1e3 * withNames / n;
    state.counters["none_ms"] = 1e3 * without / n;
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

void BM_NamesCost_Largest_Outside(benchmark::State& s) {
    NamesCost(s, View::Outside, false);
}
void BM_NamesCost_Largest_Outside_RayTracing(benchmark::State& s) {
    NamesCost(s, View::Outside, true);
}
void BM_NamesCost_Largest_Inside(benchmark::State& s) {
    NamesCost(s, View::Inside, false);
}
void BM_NamesCost_Largest_Inside_RayTracing(benchmark::State& s) {
    NamesCost(s, View::Inside, true);
}
void BM_NamesCost_Largest_Flight(benchmark::State& s) {
    NamesCost(s, View::Flight, false);
}
void BM_NamesCost_Largest_Flight_RayTracing(benchmark::State& s) {
    NamesCost(s, View::Flight, true);
}
BENCHMARK(BM_NamesCost_Largest_Outside)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_NamesCost_Largest_Outside_RayTracing)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_NamesCost_Largest_Inside)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_NamesCost_Largest_Inside_RayTracing)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_NamesCost_Largest_Flight)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_NamesCost_Largest_Flight_RayTracing)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
