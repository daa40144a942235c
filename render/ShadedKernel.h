#pragma once

// The inner loops of the shaded balls, one translation unit per instruction set.

#include <cstdint>

#include "render/ShadedBalls.h"

namespace tarsel::shading {

// Writes the ball's pixels in the bitmap rows first, first + step, ... up to last, in the
// columns left .. right; the rows lie within the ball's square and the bitmap, the columns
// within the bitmap.
using RowsKernel = void (*)(const ShadingTerms& terms, const BallRaster& ball,
                            std::uint8_t* const* rows, std::int64_t first, std::int64_t last,
                            int step, std::int64_t left, std::int64_t right);

void RowsPortable(const ShadingTerms&, const BallRaster&, std::uint8_t* const*, std::int64_t,
                  std::int64_t, int, std::int64_t, std::int64_t);
#if defined(TARSEL_X86_KERNELS)
void RowsSse2(const ShadingTerms&, const BallRaster&, std::uint8_t* const*, std::int64_t,
              std::int64_t, int, std::int64_t, std::int64_t);
void RowsAvx2(const ShadingTerms&, const BallRaster&, std::uint8_t* const*, std::int64_t,
              std::int64_t, int, std::int64_t, std::int64_t);
void RowsAvx512(const ShadingTerms&, const BallRaster&, std::uint8_t* const*, std::int64_t,
                std::int64_t, int, std::int64_t, std::int64_t);
#endif

// Pixel (i, j) of the ball (row offset i upward, column offset j to the right), computed as
// the plain loop does; false when it lies outside the ball.
bool ShadePixel(const ShadingTerms& terms, const BallRaster& ball, std::int64_t i, std::int64_t j,
                std::uint8_t bgr[3]);

// The largest h with every column offset -h .. h of row i inside the ball (the columns inside
// always form such a run), or -1 when the row has none. Decided by the same expression as the
// per-pixel test, so no pixel is gained or lost.
std::int64_t HalfSpan(const BallRaster& ball, std::int64_t i);

}  // namespace tarsel::shading
