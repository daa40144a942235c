// The world window's picture, drawn as its paint draws it:
//   World/Water            the bundled example at the window's client size
//   World/Largest          500 chains of 100 atoms (three shapes per atom) at the client size
//   World/Largest/800x600  the same in a larger window

#include <benchmark/benchmark.h>

#include <QImage>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "world/WorldView.h"

namespace {

void PaintWorld(benchmark::State& state, const std::string& file, int width, int height) {
    tarsel::HeadlessHost host{{800, 600}};
    tarsel::Viewer viewer(host);
    viewer.LoadWorkspaceFile(file);
    tarsel::WorldView view(width, height);
    QImage image;
    for (auto _ : state) {
        tarsel::PaintWorldImage(view, viewer.Ws(), viewer.Renderer().Proj().Plane(), image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_World_Water(benchmark::State& state) {
    PaintWorld(state, tarsel::bench::WaterExample(), tarsel::WORLD_CLIENT_WIDTH,
               tarsel::WORLD_CLIENT_HEIGHT);
}
void BM_World_Largest(benchmark::State& state) {
    PaintWorld(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", tarsel::WORLD_CLIENT_WIDTH,
               tarsel::WORLD_CLIENT_HEIGHT);
}
void BM_World_Largest_800x600(benchmark::State& state) {
    PaintWorld(state, tarsel::bench::LargestWorkspaceBase() + ".tsw", 800, 600);
}
BENCHMARK(BM_World_Water)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_World_Largest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_World_Largest_800x600)->Unit(benchmark::kMillisecond);

}  // namespace
