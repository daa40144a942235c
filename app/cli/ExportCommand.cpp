#include "app/cli/CliCommon.h"


namespace tarsel::cli {

// Frames 0 .. FrameCount, as "Save as File" takes them: the end of the trajectory lists the
// records read last.
int Export(Viewer& viewer, const Options& o, std::ostream& err) {
    if (const std::string problem = FrameProblem(viewer, *o.Frame, true); !problem.empty()) {
        return Fail(err, problem);
    }
    const auto frame = static_cast<std::int32_t>(*o.Frame);
    viewer.Form().FrameNumberEdit = std::to_string(frame);
    std::string writeError;
    if (viewer.ExportFrameText(frame, o.Output, &writeError)) return 0;
    // The other refusals were shown as boxes, which went to stderr.
    return writeError.empty() ? 1 : Fail(err, writeError);
}
}  // namespace tarsel::cli
