#include "app/cli/CliCommon.h"
#include "app/cli/FrameArgument.h"

#include "export/AtomsXyz.h"
#include "workspace/CText.h"

namespace tarsel::cli {

int Atoms(Viewer& viewer, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.Frame) {
        if (const std::string problem = ShowFrameAt(viewer, *o.Frame, o.FrameFraction);
            !problem.empty()) {
            return Fail(err, problem);
        }
    }
    const Workspace& ws = viewer.Ws();
    std::string path = viewer.Form().WorkspaceFileName;
    for (char& c : path) {
        if (c == '"') c = '\'';
    }
    std::string comment = "workspace=\"" + path + "\"";
    if (o.Frame) comment += " frame=" + FrameText(*o.Frame, o.FrameFraction);
    comment += CFormat(" time_ps=%.3f", ws.CurrentTime * 0.01);
    const std::string text = AtomsXyzText(ws, comment);
    if (o.Output.empty()) {
        out << text;
        return 0;
    }
    return WriteOutput(o.Output, text, err);
}
}  // namespace tarsel::cli
