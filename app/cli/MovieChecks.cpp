#include "app/cli/MovieChecks.h"

#include <sys/stat.h>

#include <filesystem>

#include "trajectory/TrajectoryFile.h"
#include "workspace/CText.h"

namespace tarsel::cli {

std::string MovieFileProblem(Viewer& viewer, const std::string& output) {
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
        return CFormat("\"%s\": a movie needs a file it can seek in", output.c_str());
    const struct {
        const std::string& file;
        const char* what;
    } inputs[] = {{viewer.Form().WorkspaceFileName, "workspace"},
                  {viewer.Form().TrajectoryFileName, "trajectory"}};
    for (const auto& input : inputs) {
        std::error_code ignored;
        if (std::filesystem::equivalent(output, input.file, ignored)) {
            return CFormat("\"%s\" is the %s being recorded; the movie needs a file of its own",
                           output.c_str(), input.what);
        }
    }
    return {};
}

std::string FrameGoneProblem(Viewer& viewer, std::int64_t n) {
    const std::int32_t molecules = viewer.Ws().MoleculeCount();
    const std::int64_t needed = FrameOffset(static_cast<std::int32_t>(n) + 1, molecules);
    if (viewer.Trajectory().Size() >= needed) return {};
    return CFormat(
        "the trajectory \"%s\" was cut short while recording: frame %lld is no longer "
        "there",
        viewer.Form().TrajectoryFileName.c_str(), static_cast<long long>(n));
}

}  // namespace tarsel::cli
