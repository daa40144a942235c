#include "workspace/LineReader.h"

#include <cstring>

namespace tarsel {

namespace {

// The characters of a text in memory.
struct TextSource {
    std::string_view text;
    std::size_t& pos;
    int Get() { return pos < text.size() ? static_cast<unsigned char>(text[pos++]) : EOF; }
    bool TakeLineFeed() {
        if (pos >= text.size() || text[pos] != '\n') return false;
        ++pos;
        return true;
    }
};

// The characters of a stream; the stream's own buffer does the reading in blocks.
struct StreamSource {
    std::FILE* stream;
    int Get() { return getc_unlocked(stream); }
    bool TakeLineFeed() {
        const int c = getc_unlocked(stream);
        if (c == '\n') return true;
        if (c != EOF) ungetc(c, stream);
        return false;
    }
};

}  // namespace

template <class Source>
bool LineReader::ReadPiece(Source& source, Buffer& line) {
    int c = source.Get();
    if (c == EOF) return false;
    if (atLineStart_) ++lineNumber_;
    int n = 0;
    bool endedLine = false;
    while (true) {
        if (c == '\r' && source.TakeLineFeed()) c = '\n';
        line[n++] = static_cast<char>(c);
        if (c == '\n') {
            endedLine = true;
            break;
        }
        if (n == kBufferSize - 1 || (c = source.Get()) == EOF) break;
    }
    line[n] = '\0';
    atLineStart_ = endedLine;
    return true;
}

bool LineReader::ReadLine(Buffer& line) {
    if (stream_ != nullptr) {
        StreamSource source{stream_};
        return ReadPiece(source, line);
    }
    // Most pieces hold no CR: they are copied up to their line feed in one go.
    const std::size_t left = text_.size() - pos_;
    const std::size_t most = left < kBufferSize - 1 ? left : kBufferSize - 1;
    const char* start = text_.data() + pos_;
    const void* feed = std::memchr(start, '\n', most);
    const std::size_t length = feed ? static_cast<const char*>(feed) - start + 1 : most;
    if (length > 0 && std::memchr(start, '\r', length) == nullptr) {
        if (atLineStart_) ++lineNumber_;
        std::memcpy(line, start, length);
        line[length] = '\0';
        pos_ += length;
        atLineStart_ = feed != nullptr;
        return true;
    }
    TextSource source{text_, pos_};
    return ReadPiece(source, line);
}

}  // namespace tarsel
