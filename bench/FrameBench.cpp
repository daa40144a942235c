// Reading one trajectory frame of the largest workspace: seek, block read, placing the atoms.
// The render pass that ReadFrame ends with is measured by the render benchmarks.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/Resets.h"
#include "tools/ExampleRun.h"
#include "trajectory/Frames.h"
#include "workspace/WorkspaceReader.h"

namespace {

void BM_ReadFrameLargestWorkspace(benchmark::State& state) {
    constexpr int kFrames = 20;
    const tarsel::examples::GeneratedRun run =
        tarsel::examples::GenerateRun(tarsel::examples::LargestWorkspace(kFrames));
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tarsel-bench-frames-" + std::to_string(getpid()) + ".xyz"))
                                 .string();
    std::string error;
    {
        tarsel::examples::GeneratedRun trajectoryOnly;
        trajectoryOnly.Trajectory = run.Trajectory;
        tarsel::examples::WriteRun(trajectoryOnly, path.substr(0, path.size() - 4), error);
    }
    auto ws = std::make_unique<tarsel::Workspace>();
    tarsel::ClearMolecules(*ws);
    tarsel::LoadLog log;
    tarsel::ReadWorkspaceText(run.Workspace, "largest.tsw", *ws, log);
    tarsel::TrajectoryFile file;
    file.Open(path);
    int frame = 0;
    for (auto _ : state) {
        file.Seek(tarsel::FrameOffset(frame, ws->MoleculeCount()));
        tarsel::ReadPoses(file, *ws);
        tarsel::PlaceActiveMolecules(*ws);
        benchmark::DoNotOptimize(ws->Molecules[0].X[0]);
        frame = (frame + 1) % kFrames;
    }
    file.Close();
    std::filesystem::remove(path);
    std::filesystem::remove(path.substr(0, path.size() - 4) + ".tsw");
}
BENCHMARK(BM_ReadFrameLargestWorkspace)->Unit(benchmark::kMicrosecond);

}  // namespace
