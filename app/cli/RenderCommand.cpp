#include "app/cli/CliCommon.h"
#include "app/cli/FrameArgument.h"

#include "app/ScenePicture.h"

namespace tarsel::cli {

int Render(Viewer& viewer, const Options& o, std::ostream& err) {
    if (const std::string problem = ApplyRenderOptions(viewer, o); !problem.empty()) {
        return Fail(err, problem);
    }
    if (o.Frame) {
        if (const std::string problem = ShowFrameAt(viewer, *o.Frame, o.FrameFraction);
            !problem.empty()) {
            return Fail(err, problem);
        }
    }
    if (const std::string problem = SaveScenePicture(viewer, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
    return 0;
}
}  // namespace tarsel::cli
