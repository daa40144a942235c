#pragma once

#include <string>

namespace tarsel {

// The names a load derives from the file the user chose.
struct WorkspacePaths {
    std::string Base;             // the chosen path without its extension
    std::string WorkspaceFile;    // the chosen file itself
    std::string TrajectoryFile;   // Base + ".xyz"
    std::string TrajectoryUpper;  // Base + ".XYZ", tried when the first is missing
};

// The extension is cut at the last '.' of the file name, so folders with dots in their names
// keep their full path; a name that only begins with '.' has no extension.
WorkspacePaths DeriveWorkspacePaths(const std::string& chosen);

}  // namespace tarsel
