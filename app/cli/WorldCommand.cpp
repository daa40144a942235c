#include "app/cli/CliCommon.h"
#include "app/cli/FrameArgument.h"

#include <QImage>

#include "app/ScenePicture.h"
#include "world/WorldSmooth.h"
#include "world/WorldView.h"

namespace tarsel::cli {

// The world window's picture, drawn by the window's own code.
int World(Viewer& viewer, const Options& o, std::ostream& err) {
    if (o.Frame) {
        if (const std::string problem = ShowFrameAt(viewer, *o.Frame, o.FrameFraction);
            !problem.empty()) {
            return Fail(err, problem);
        }
    }
    WorldView view = o.SizeGiven ? WorldView(o.Size.Width, o.Size.Height) : WorldView();
    if (o.Turn) {
        view.Angles.A += o.Turn->first;
        view.Angles.B += o.Turn->second;
    }
    QImage picture;
    if (o.Antialias > 1) {
        PaintSmoothWorldImage(view, viewer.Ws(), viewer.Renderer().Proj().Plane(), o.Antialias,
                              picture);
    } else {
        PaintWorldImage(view, viewer.Ws(), viewer.Renderer().Proj().Plane(), picture);
    }
    if (const std::string problem = SavePng(picture, o.Output); !problem.empty()) {
        return Fail(err, problem);
    }
    return 0;
}
}  // namespace tarsel::cli
