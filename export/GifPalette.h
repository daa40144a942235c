#pragma once

#include <cstddef>
#include <cstdint>

namespace tarsel {

// Reduces a top-down picture of blue-green-red pixels to at most 256 colours for a GIF frame.
// A picture of 256 colours or fewer keeps them exactly; a richer one (shaded balls, smooth
// edges) gets a median-cut palette of its own colours and Floyd-Steinberg dithering.
// palette gets 0xFFRRGGBB entries (unused ones black); index gets one byte per pixel.
// Returns the number of colours used.
int ToPalette(const std::uint8_t* bgr, std::ptrdiff_t stride, int width, int height,
              std::uint8_t* index, std::ptrdiff_t indexStride, std::uint32_t palette[256]);

}  // namespace tarsel
