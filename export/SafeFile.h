#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tarsel {

// How writing a file went.
struct FileWriteResult {
    // Empty when the file is in place; otherwise "can't write "PATH": REASON".
    std::string Error;
    std::string Reason;
    // The file could not even be created (no such folder, no permission, a folder of that
    // name): nothing was written.
    bool NotCreated = false;
    bool Ok() const { return Error.empty(); }
};

// Writes into the open stream; returns what went wrong, or nothing. Failed writes of the
// stream itself are noticed without being reported here.
using FileWriter = std::function<std::string(std::FILE*)>;

// Writes a whole file or none: the content goes to a temporary file in the same folder, which
// takes the place of path only once all of it is written and on the disk. On failure the
// temporary file is removed and a file already named path stays as it was. A path that names
// a device or a pipe (/dev/stdout, /dev/null) is written directly.
FileWriteResult WriteFileSafely(const std::string& path, const FileWriter& write);
FileWriteResult WriteFileSafely(const std::string& path, std::string_view bytes);

}  // namespace tarsel
