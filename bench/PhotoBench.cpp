// The "Photo" drawing mode:
//   RenderScene/Water/Photo, .../Largest_NamesBonds_Photo  the whole pass at 800x600
//   .../Largest_NamesBonds_Photo_EachFrame  the same, playing: a new frame every pass
//   .../Largest_NamesBonds_Photo_1920x1080_Antialias2  the largest run drawn at 3840x2160 with
//       Scale and FontScale doubled, then box-filtered down to 1920x1080 (the cube is left out:
//       its overlay draws into the 2000 x 2000 scene bitmap only)

#include <benchmark/benchmark.h>

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

// Each output pixel the mean of its 2 x 2 block, rounded.
void BoxFilter2(const std::vector<std::uint8_t>& big, int width, int height,
                std::vector<std::uint8_t>& out) {
    const int w = width / 2, h = height / 2;
    out.resize(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* r0 = big.data() + static_cast<std::size_t>(2 * y) * width * 3;
        const std::uint8_t* r1 = r0 + static_cast<std::size_t>(width) * 3;
        std::uint8_t* o = out.data() + static_cast<std::size_t>(y) * w * 3;
        for (int x = 0; x < w * 3; x += 3) {
            for (int c = 0; c < 3; ++c)
                o[x + c] = static_cast<std::uint8_t>(
                    (r0[2 * x + c] + r0[2 * x + 3 + c] + r1[2 * x + c] + r1[2 * x + 3 + c] + 2) /
                    4);
        }
    }
}

void BM_RenderScene_Largest_NamesBonds_Photo_1920x1080_Antialias2(benchmark::State& state) {
    constexpr int N = 2, WIDTH = 1920 * N, HEIGHT = 1080 * N;
    PhotoScene scene(tarsel::bench::LargestWorkspaceBase() + ".tsw", {1920, 1080});
    tarsel::Viewer& v = *scene.viewer;
    tarsel::Workspace& ws = v.Ws();
    ws.Projection.Scale *= N;
    ws.Projection.FontScale *= N;
    std::vector<std::uint8_t> big(static_cast<std::size_t>(WIDTH) * HEIGHT * 3), small;
    std::vector<std::uint8_t*> rows(HEIGHT);
    for (int y = 0; y < HEIGHT; ++y)
        rows[y] = big.data() + static_cast<std::size_t>(y) * WIDTH * 3;
    tarsel::PhotoTarget target;
    target.Rows = rows.data();
    target.Width = WIDTH;
    target.Height = HEIGHT;
    target.Region = {0, 0, WIDTH, HEIGHT};
    target.CentreX = WIDTH / 2;
    target.CentreY = HEIGHT / 2;
    tarsel::SceneRenderer renderer;
    tarsel::PhotoRenderer photo;
    tarsel::FontSpec font{"Arial Cyr", 18};
    const tarsel::Rgb bg = ws.BackgroundColour;
    for (auto _ : state) {
        for (std::size_t i = 0; i < big.size(); i += 3) {
            big[i] = static_cast<std::uint8_t>(bg.B);
            big[i + 1] = static_cast<std::uint8_t>(bg.G);
            big[i + 2] = static_cast<std::uint8_t>(bg.R);
        }
        renderer.PrepareProjection(ws);
        renderer.ProjectAtoms(ws);
        photo.DrawPhoto(ws, renderer.Proj(), renderer.VisibleAtoms(), v.SceneCanvas(), font,
                        target);
        BoxFilter2(big, WIDTH, HEIGHT, small);
        benchmark::DoNotOptimize(small.data());
    }
    state.counters["visible_atoms"] = renderer.VisibleAtoms().Count();
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
