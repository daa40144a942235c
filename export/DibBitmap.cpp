#include "export/DibBitmap.h"

namespace tarsel {

DibBitmap::DibBitmap(int width, int height) {
    // A frame must fit a movie's 31-bit chunk size.
    if (width < 1 || height < 1 || DibStride(width) * static_cast<std::size_t>(height) > 0x7FFFFF00)
        width = height = 0;
    header_.biWidth = width;
    header_.biHeight = height;
    stride_ = DibStride(width);
    header_.biSizeImage = static_cast<std::uint32_t>(stride_ * static_cast<std::size_t>(height));
    // The padding bytes stay zero.
    bits_.assign(header_.biSizeImage, 0);
}

}  // namespace tarsel
