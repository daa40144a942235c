// Smooth edges (Save Picture, recording, --antialias) on the bundled example at 800x600:
//   SmoothPicture/Water/<mode>/<N>  one picture with N x N samples a pixel, including the pass
//       that draws the window's picture again after it (compare RenderScene/Water)

#include <benchmark/benchmark.h>

#include <QImage>
#include <memory>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"

namespace {

// mode 0 flat discs, 1 ray tracing, 2 photo.
void BM_SmoothPicture_Water(benchmark::State& state) {
    tarsel::HeadlessHost host({800, 600});
    tarsel::Viewer v(host);
    v.Form().CheckBox26 = state.range(0) == 1;
    v.Form().PhotoCheckBox = state.range(0) == 2;
    v.LoadWorkspaceFile(tarsel::bench::WaterExample());
    const int n = static_cast<int>(state.range(1));
    for (auto _ : state) {
        const QImage picture = v.SmoothPicture(n);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

BENCHMARK(BM_SmoothPicture_Water)
    ->ArgNames({"mode", "N"})
    ->ArgsProduct({{0, 1, 2}, {2, 3, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
