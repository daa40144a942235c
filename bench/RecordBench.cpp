// Movie recording at 800 x 600, one frame per iteration into a file in the temporary folder:
//   Record/AppendFrame     the recorder's AppendFrame of a ready 800 x 600 bitmap
//   Record/PlainWrite      the same bytes with one plain write() per frame, the floor to compare
//                          with (the recorder should reach 0.9 of its frames per second)
//   Record/Water/RenderPass  a whole render pass of the bundled example that records a frame
//                          (FrameTime 0: every pass is due), copy of the view included
// The first two write 200 frames (about 290 MB) per repetition, so that both grow their file alike.
// The page cache's speed swings with the machine's load; compare medians of interleaved runs:
//   tarsel-bench --benchmark_filter=Record/ --benchmark_enable_random_interleaving=true

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "export/AviRecorder.h"

namespace {

constexpr int kWidth = 800, kHeight = 600, kFrames = 200;

std::string MoviePath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("tarsel-bench-" + name + "-" + std::to_string(getpid()) + ".avi"))
        .string();
}

tarsel::DibBitmap Picture() {
    tarsel::DibBitmap b(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (std::size_t i = 0; i < 3 * kWidth; ++i)
            b.Row(y)[i] = static_cast<std::uint8_t>(i + y);
    }
    return b;
}

void BM_Record_AppendFrame(benchmark::State& state) {
    const std::string path = MoviePath("append");
    const tarsel::DibBitmap frame = Picture();
    std::unique_ptr<tarsel::AviRecorder> r = tarsel::OpenRecorder(path, 30);
    if (!r) {
        state.SkipWithError("cannot create the movie");
        return;
    }
    for (auto _ : state) {
        if (tarsel::AppendFrame(r.get(), &frame) != tarsel::AVIERR_OK) {
            state.SkipWithError("AppendFrame failed");
            break;
        }
    }
    tarsel::CloseRecorder(r);
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * frame.Header().biSizeImage);
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Record_AppendFrame)
    ->Name("Record/AppendFrame/800x600")
    ->Iterations(kFrames)
    ->Repetitions(7)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Record_PlainWrite(benchmark::State& state) {
    const std::string path = MoviePath("plain");
    const tarsel::DibBitmap frame = Picture();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        state.SkipWithError("cannot create the file");
        return;
    }
    const std::size_t size = frame.Header().biSizeImage;
    for (auto _ : state) {
        if (::write(fd, frame.Bits(), size) != static_cast<ssize_t>(size)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    ::close(fd);
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Record_PlainWrite)
    ->Name("Record/PlainWrite/800x600")
    ->Iterations(kFrames)
    ->Repetitions(7)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Record_RenderPass_Water(benchmark::State& state) {
    tarsel::HeadlessHost host{{kWidth, kHeight}};
    tarsel::Viewer viewer(host);
    viewer.FormResize();
    viewer.LoadWorkspaceFile(tarsel::bench::WaterExample());
    // The movie goes beside the workspace; record into the temporary folder instead.
    const std::string path = MoviePath("water");
    viewer.Form().WorkspaceFileName = path.substr(0, path.size() - 4) + ".tsw";
    viewer.Form().FrameTimeEdit = "0";
    viewer.BitBtn1Click();
    viewer.Form().SaveAVICheckBox = true;
    viewer.Button2Click();
    for (auto _ : state)
        viewer.RenderScene();
    const std::int32_t frames = viewer.ActiveRecorder() ? viewer.ActiveRecorder()->frameCount : 0;
    viewer.StopRecording();
    std::filesystem::remove(path);
    if (frames != state.iterations()) state.SkipWithError("not every pass was recorded");
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Record_RenderPass_Water)
    ->Name("Record/Water/RenderPass/800x600")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
