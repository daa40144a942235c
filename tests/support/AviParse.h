#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarsel::test {

// One chunk of a RIFF file as read back from its bytes.
struct RiffChunk {
    std::string Id;            // "RIFF", "LIST", "avih", "00db", ...
    std::string Type;          // of a RIFF or LIST: "AVI ", "AVIX", "hdrl", "movi", ...
    std::uint64_t Offset = 0;  // of the chunk's header in the file
    std::uint32_t Size = 0;    // of its data
    std::vector<RiffChunk> Children;

    std::uint64_t Data() const { return Offset + 8; }
    // The first child with that chunk code or list type; a test failure when there is none.
    const RiffChunk& Child(const std::string& idOrType) const;
    std::vector<const RiffChunk*> All(const std::string& id) const;
};

// The RIFF parts of a file, back to back to its end. A size that runs past its parent or the
// file is a test failure.
std::vector<RiffChunk> ParseRiff(const std::string& bytes);

std::uint16_t U16At(const std::string& bytes, std::uint64_t at);
std::uint32_t U32At(const std::string& bytes, std::uint64_t at);
std::uint64_t U64At(const std::string& bytes, std::uint64_t at);
std::string FourccAt(const std::string& bytes, std::uint64_t at);

}  // namespace tarsel::test
