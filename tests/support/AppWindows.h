#pragma once

#include "app/TMain.h"
#include "settings/TParamForm.h"
#include "world/TWorldForm.h"

namespace tarsel::test {

// The three windows as the application creates them: the main window first, the dialog and
// the world window after it, attached and the main window shown.
struct AppWindows {
    TMain main;
    TParamForm param{main.Operations().Form(), main.Operations(), &main};
    TWorldForm world{main.Operations().Ws(), main.Operations().Renderer().Proj().Plane(), &main};

    AppWindows() {
        main.Attach(&param, &world);
        main.show();
    }
    Viewer& Ops() { return main.Operations(); }
    Workspace& Ws() { return main.Operations().Ws(); }
};

}  // namespace tarsel::test
