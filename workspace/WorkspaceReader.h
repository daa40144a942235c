#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "workspace/Workspace.h"

namespace tarsel {

// The lines of one load's log, as the dialog's memo will show them.
class LoadLog {
  public:
    void Add(std::string_view line);
    const std::string& Text() const { return text_; }  // lines joined by '\n'
    int LineCount() const { return lines_; }

  private:
    std::string text_;
    int lines_ = 0;
};

struct ReadOutcome {
    // False when the file could not be opened; then nothing was read or logged.
    bool Opened = false;
    std::string OpenError;
    // Set when reading failed part way (an I/O error); what was read is then not to be used.
    std::string ReadError;
    // Set when the file declares more than the tables hold; names the limit and the line.
    // Reading stopped there, before anything was written beyond a table.
    std::string Refusal;
    // The loaded font scale as the dialog's "Font Scale" box shows it, once that line was read.
    std::optional<std::string> FontScaleText;
};

// Reads the text of a workspace file into ws, which the caller has cleared and reset.
// Appends the log of the read to log; fileName only names the file in the log.
ReadOutcome ReadWorkspaceText(std::string_view text, const std::string& fileName, Workspace& ws,
                              LoadLog& log);

// Opens fileName and reads it as ReadWorkspaceText does, through the stream line by line; the
// lines after the last molecule are not read.
ReadOutcome ReadWorkspace(const std::string& fileName, Workspace& ws, LoadLog& log);

// The lenient three-number reader of positions and axes: digits, '.', '-' and 'E' build the
// current field, ',' moves to the next, everything else is skipped.
Vec3 ReadTriple(const char* line);

}  // namespace tarsel
