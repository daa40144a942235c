#include "workspace/LineReader.h"

namespace tarsel {

bool LineReader::ReadLine(Buffer& line) {
    if (pos_ >= text_.size()) return false;
    if (atLineStart_) ++lineNumber_;
    int n = 0;
    bool endedLine = false;
    while (n < kBufferSize - 1 && pos_ < text_.size()) {
        char c = text_[pos_++];
        if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') c = text_[pos_++];
        line[n++] = c;
        if (c == '\n') {
            endedLine = true;
            break;
        }
    }
    line[n] = '\0';
    atLineStart_ = endedLine;
    return true;
}

}  // namespace tarsel
