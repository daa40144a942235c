#include "app/WorkspacePaths.h"

namespace tarsel {

WorkspacePaths DeriveWorkspacePaths(const std::string& chosen) {
    const std::size_t slash = chosen.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = chosen.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    WorkspacePaths p;
    p.Base = hasExtension ? chosen.substr(0, dot) : chosen;
    p.WorkspaceFile = chosen;
    p.TrajectoryFile = p.Base + ".xyz";
    p.TrajectoryUpper = p.Base + ".XYZ";
    return p;
}

}  // namespace tarsel
