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
    const std::string problem = o.Antialias > 1 ? SaveScenePicture(viewer, o.Output, o.Antialias)
                                                : SaveScenePicture(viewer, o.Output);
    if (!problem.empty()) {
        return Fail(err, problem);
    }
    return 0;
}
}  // namespace tarsel::cli
