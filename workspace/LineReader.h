#pragma once

#include <string_view>

namespace tarsel {

// Hands out the lines of a text the way the C line reader does with a 120-byte buffer: at
// most 119 characters per read, ending after the first line feed, so a longer line comes in
// pieces of 119 characters. A CR LF pair arrives as a single LF, as a text-mode stream
// delivers it, so files written on Windows read exactly like Unix files.
class LineReader {
  public:
    static constexpr int kBufferSize = 120;
    using Buffer = char[kBufferSize];

    explicit LineReader(std::string_view text) : text_(text) {}

    // Copies the next piece into line, zero-terminated. At the end of the text returns false
    // and leaves line as it was.
    bool ReadLine(Buffer& line);

    // 1-based number of the text line in which the last piece read began.
    int LineNumber() const { return lineNumber_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
    bool atLineStart_ = true;
};

}  // namespace tarsel
