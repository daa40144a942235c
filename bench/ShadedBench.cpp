// The shaded balls alone: pixels a second of the plain per-pixel loop and of the fast kernels,
// on one fixed scene of 3000 balls of pixel radius 4 to 40 spread over the bitmap (full radius,
// so the plain loop wastes little of its square). A pixel is one the ball covers.
//   ShadedPixels/Plain              the reference loop, one thread
//   ShadedPixels/<kernel>/<bands>   the kernel on one band, and on one band per processor

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "render/RasterCanvas.h"
#include "render/ShadedBalls.h"
#include "render/ShadedKernel.h"

namespace {

struct PixelScene {
    tarsel::ShadingTerms terms;
    std::vector<tarsel::BallRaster> balls;
    double coveredPixels = 0;

    PixelScene() {
        terms.V0 = {0, 0, -20};
        terms.V1 = {0, 0, 1};
        terms.V2 = {1, 0, 0};
        terms.V3 = {0, 1, 0};
        terms.Light = {30, 30, -50};
        terms.Diffuse = 0.6;
        terms.Reflect = 0.7;
        terms.Stray = 0.3;
        std::mt19937 rng(17);
        std::uniform_real_distribution<double> unit(0, 1);
        for (int n = 0; n < 3000; ++n) {
            const double r = 0.5 + unit(rng);
            const double factor = 4 + 26 * unit(rng);
            const tarsel::Vec3 p{10 * unit(rng) - 5, 10 * unit(rng) - 5, 20 * unit(rng)};
            const tarsel::Rgb colour{static_cast<int>(256 * unit(rng)),
                                     static_cast<int>(256 * unit(rng)),
                                     static_cast<int>(256 * unit(rng))};
            balls.push_back(tarsel::RasterBall(p, r, colour, factor, 1900 * unit(rng) - 950,
                                               1900 * unit(rng) - 950, false));
        }
        // Covered pixels: on the bitmap and inside the ball by the plain loop's own test.
        for (const tarsel::BallRaster& b : balls) {
            for (std::int64_t i = -b.Radius; i <= b.Radius; ++i) {
                for (std::int64_t j = -b.Radius; j <= b.Radius; ++j) {
                    const std::int64_t x = b.Cx + j, y = b.Cy - i;
                    std::uint8_t bgr[3];
                    if (x >= 0 && x < tarsel::SCENE_SIZE && y >= 0 && y < tarsel::SCENE_SIZE &&
                        tarsel::shading::ShadePixel(terms, b, i, j, bgr))
                        coveredPixels += 1;
                }
            }
        }
    }
};

const PixelScene& ThePixelScene() {
    static const PixelScene scene;
    return scene;
}

void Report(benchmark::State& state, const PixelScene& s) {
    state.counters["Mpix/s"] = benchmark::Counter(s.coveredPixels * 1e-6 * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}

void BM_ShadedPixels_Plain(benchmark::State& state) {
    const PixelScene& s = ThePixelScene();
    tarsel::SceneBitmap scene({180, 180, 180});
    tarsel::RasterCanvas canvas(scene);
    for (auto _ : state) {
        for (const tarsel::BallRaster& b : s.balls)
            tarsel::DrawShadedBallPlain(s.terms, b, canvas);
    }
    Report(state, s);
}
BENCHMARK(BM_ShadedPixels_Plain)->Name("ShadedPixels/Plain")->Unit(benchmark::kMillisecond);

void BM_ShadedPixels_Fast(benchmark::State& state, tarsel::ShadingKernel kernel, int bands) {
    const PixelScene& s = ThePixelScene();
    tarsel::SceneBitmap scene({180, 180, 180});
    tarsel::RasterCanvas canvas(scene);
    tarsel::ShadedBalls shaded(bands, kernel);
    for (auto _ : state)
        shaded.DrawBalls(s.terms, s.balls, canvas);
    state.counters["bands"] = shaded.Bands();
    Report(state, s);
}

[[maybe_unused]] const bool registered = [] {
    for (tarsel::ShadingKernel kernel : tarsel::AvailableKernels()) {
        for (int bands : {1, 0}) {
            const std::string name = "ShadedPixels/" + std::string(tarsel::KernelName(kernel)) +
                                     (bands == 1 ? "/1band" : "/allbands");
            benchmark::RegisterBenchmark(name.c_str(), BM_ShadedPixels_Fast, kernel, bands)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return true;
}();

}  // namespace
