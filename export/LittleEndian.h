#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarsel {

// Bytes of a file record built field by field in little-endian order, whatever the host's
// order and the compiler's packing.
class LittleEndianBytes {
  public:
    LittleEndianBytes& U8(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    LittleEndianBytes& U16(std::uint16_t v) { return Unsigned(v, 2); }
    LittleEndianBytes& U32(std::uint32_t v) { return Unsigned(v, 4); }
    LittleEndianBytes& U64(std::uint64_t v) { return Unsigned(v, 8); }
    LittleEndianBytes& I16(std::int16_t v) { return U16(static_cast<std::uint16_t>(v)); }
    LittleEndianBytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    // A four-character code: exactly four characters, first character first.
    LittleEndianBytes& Fourcc(std::string_view code) {
        for (std::size_t i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(i < code.size() ? code[i] : ' '));
        return *this;
    }
    LittleEndianBytes& Zeros(std::size_t count) {
        bytes_.insert(bytes_.end(), count, 0);
        return *this;
    }

    // Overwrites four bytes already added, at byte offset `at`.
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    const std::uint8_t* Data() const { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    void Clear() { bytes_.clear(); }

  private:
    LittleEndianBytes& Unsigned(std::uint64_t v, int count) {
        for (int i = 0; i < count; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }

    std::vector<std::uint8_t> bytes_;
};

}  // namespace tarsel
