#pragma once

#include <cstdio>
#include <string_view>

namespace tarsel {

// Hands out the lines of a text the way the C line reader does with a 120-byte buffer: at
// most 119 characters per read, ending after the first line feed, so a longer line comes in
// pieces of 119 characters. A CR LF pair arrives as a single LF, as a text-mode stream
// delivers it, so files written on Windows read exactly like Unix files.
//
// The text is either held in memory or read from a stream as it goes, so that a file is never
// held whole: only the piece being handed out is kept.
class LineReader {
  public:
    static constexpr int kBufferSize = 120;
    using Buffer = char[kBufferSize];

    explicit LineReader(std::string_view text) : text_(text) {}
    // Reads from the stream's current position; the stream stays the caller's.
    explicit LineReader(std::FILE* stream) : stream_(stream) {}

    // Copies the next piece into line, zero-terminated. At the end of the text returns false
    // and leaves line as it was.
    bool ReadLine(Buffer& line);

    // 1-based number of the text line in which the last piece read began.
    int LineNumber() const { return lineNumber_; }

  private:
    template <class Source>
    bool ReadPiece(Source& source, Buffer& line);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::FILE* stream_ = nullptr;
    int lineNumber_ = 0;
    bool atLineStart_ = true;
};

}  // namespace tarsel
