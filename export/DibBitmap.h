#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarsel {

// The 40-byte header of a device-independent bitmap, field by field.
struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: rows are stored bottom-up
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = 0;  // BI_RGB, uncompressed
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

// A 24-bit device-independent bitmap as a movie frame stores it: rows of blue-green-red
// pixels from the bottom row up, each row padded to a multiple of 4 bytes.
class DibBitmap {
  public:
    // A size below 1 gives an empty bitmap, which the recorder refuses.
    DibBitmap(int width, int height);

    int Width() const { return header_.biWidth; }
    int Height() const { return header_.biHeight; }
    std::size_t Stride() const { return stride_; }
    const BitmapInfoHeader& Header() const { return header_; }
    bool Empty() const { return bits_.empty(); }

    // Row y counted from the top, as the picture shows it.
    std::uint8_t* Row(int y) { return bits_.data() + (Height() - 1 - y) * stride_; }
    const std::uint8_t* Row(int y) const { return bits_.data() + (Height() - 1 - y) * stride_; }
    // All rows as they lie in memory: biSizeImage bytes.
    const std::uint8_t* Bits() const { return bits_.data(); }

  private:
    BitmapInfoHeader header_;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> bits_;
};

// The bytes of one row of `width` 3-byte pixels, padded to a multiple of 4.
constexpr std::size_t DibStride(int width) {
    return (3 * static_cast<std::size_t>(width) + 3) / 4 * 4;
}

}  // namespace tarsel
