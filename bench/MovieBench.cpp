// Recording from the viewer in each format, as "Save AVI" with the format box does it: one
// render pass of the bundled example per iteration at 800 x 600, each a different trajectory
// frame (FrameTime 0: every pass is due), copied and handed to the writer:
//   Movie/Example/Viewer/AVI, /MP4, /WebM, /GIF, /PNG
// Playback's timer ticks every 30 ms, so a format keeps up when it reaches 33 frames a second.
// The encoders' last frames are flushed when the movie is closed, outside the timing; over the
// 240 frames that is x264's lookahead of about 10 frames.
//   tarsel-bench --benchmark_filter=Movie/ --benchmark_repetitions=3

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"

namespace {

void BM_Movie_Viewer(benchmark::State& state, int format) {
    tarsel::HeadlessHost host{{800, 600}};
    tarsel::Viewer viewer(host);
    viewer.FormResize();
    viewer.LoadWorkspaceFile(tarsel::bench::WaterExample());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tarsel-bench-movie-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    viewer.Form().WorkspaceFileName = (dir / "water.tsw").string();
    viewer.Form().FrameTimeEdit = "0";
    viewer.Form().MovieFormatComboBox = format;
    viewer.BitBtn1Click();
    viewer.Form().SaveAVICheckBox = true;
    viewer.Button2Click();
    viewer.Button3Click();  // "Stop": the movie stays open, the passes below record
    const int frames = viewer.Ws().FrameCount;
    int n = 0;
    for (auto _ : state)
        viewer.ReadFrame(n++ % frames);
    const std::int32_t recorded = viewer.ActiveMovie() ? viewer.ActiveMovie()->FrameCount() : 0;
    viewer.StopRecording();
    std::uintmax_t bytes = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir))
        bytes += f.file_size();
    std::filesystem::remove_all(dir);
    if (recorded != state.iterations()) state.SkipWithError("not every pass was recorded");
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
    state.counters["KB/frame"] = static_cast<double>(bytes) / 1024.0 / state.iterations();
}

void Register() {
    const char* names[] = {"AVI", "MP4", "WebM", "GIF", "PNG"};
    for (int format = 0; format < 5; ++format) {
        benchmark::RegisterBenchmark(
            (std::string("Movie/Example/Viewer/") + names[format] + "/800x600").c_str(),
            [format](benchmark::State& s) { BM_Movie_Viewer(s, format); })
            ->Iterations(240)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
}
const int registered = (Register(), 0);

}  // namespace
