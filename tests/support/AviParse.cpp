#include "support/AviParse.h"

#include <gtest/gtest.h>

namespace tarsel::test {

namespace {

void ParseChildren(const std::string& bytes, std::uint64_t from, std::uint64_t to,
                   std::vector<RiffChunk>& into) {
    std::uint64_t at = from;
    while (at + 8 <= to) {
        RiffChunk c;
        c.Id = FourccAt(bytes, at);
        c.Offset = at;
        c.Size = U32At(bytes, at + 4);
        const std::uint64_t end = at + 8 + c.Size;
        if (end > to) {
            ADD_FAILURE() << "chunk " << c.Id << " at " << at << " of size " << c.Size
                          << " runs past its parent's end " << to;
            return;
        }
        if (c.Id == "RIFF" || c.Id == "LIST") {
            c.Type = FourccAt(bytes, at + 8);
            ParseChildren(bytes, at + 12, end, c.Children);
        }
        into.push_back(std::move(c));
        at = end + (end & 1);
    }
    if (at != to) ADD_FAILURE() << "stray bytes from " << at << " to " << to;
}

}  // namespace

const RiffChunk& RiffChunk::Child(const std::string& idOrType) const {
    for (const RiffChunk& c : Children) {
        if (c.Id == idOrType || (!c.Type.empty() && c.Type == idOrType)) return c;
    }
    ADD_FAILURE() << Id << " " << Type << " has no " << idOrType;
    static const RiffChunk none;
    return none;
}

std::vector<const RiffChunk*> RiffChunk::All(const std::string& id) const {
    std::vector<const RiffChunk*> found;
    for (const RiffChunk& c : Children) {
        if (c.Id == id) found.push_back(&c);
    }
    return found;
}

std::vector<RiffChunk> ParseRiff(const std::string& bytes) {
    std::vector<RiffChunk> parts;
    ParseChildren(bytes, 0, bytes.size(), parts);
    return parts;
}

std::uint16_t U16At(const std::string& bytes, std::uint64_t at) {
    if (at + 2 > bytes.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t U32At(const std::string& bytes, std::uint64_t at) {
    return U16At(bytes, at) | static_cast<std::uint32_t>(U16At(bytes, at + 2)) << 16;
}

std::uint64_t U64At(const std::string& bytes, std::uint64_t at) {
    return U32At(bytes, at) | static_cast<std::uint64_t>(U32At(bytes, at + 4)) << 32;
}

std::string FourccAt(const std::string& bytes, std::uint64_t at) {
    return at + 4 <= bytes.size() ? bytes.substr(at, 4) : std::string();
}

}  // namespace tarsel::test
