#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "render/BandWorkers.h"
#include "render/Canvas.h"
#include "render/ListedAtoms.h"
#include "workspace/Workspace.h"

namespace tarsel {

namespace shading {
// A stretch of one bitmap row to shade: row y, column offsets From .. To from the ball's
// centre column, all inside the ball and the bitmap.
struct Run {
    std::int64_t Y;
    std::int64_t From;
    std::int64_t To;
};
}  // namespace shading

// The lighting of one pass: the camera frame, the light (a point, used as it stands in the
// half vector) and the diffuse, specular and stray coefficients.
struct ShadingTerms {
    Vec3 V0, V1, V2, V3;
    Vec3 Light;
    double Diffuse = 0;
    double Reflect = 0;
    double Stray = 0;
};
ShadingTerms ShadingTermsOf(const Workspace& ws);

// One ball as its pixels are computed: the atom's centre P and radius R, the world size W of
// a pixel, the base colour scaled to 0..1, the pixel radius and the centre pixel.
struct BallRaster {
    Vec3 P;
    double R = 0;
    double W = 0;
    double Colour[3] = {};  // red, green, blue
    std::int64_t Radius = 0;
    std::int64_t Cx = 0;
    std::int64_t Cy = 0;
};

// The ball of an atom with its perspective factor and screen offsets: the pixel radius is
// ceil(trunc(factor) * R); with halfAtomRadius the disc has half that radius but the shading
// keeps the full R.
BallRaster RasterBall(Vec3 p, double r, Rgb colour, double factor, double sx, double sy,
                      bool halfAtomRadius);

// The per-pixel loop as it stands in the definition of the shaded ball: every row and column
// of the ball's square, three square roots, a division per component and pow(k, 7) per pixel.
// It is the reference the fast kernels are checked and measured against, not used to draw.
void DrawShadedBallPlain(const ShadingTerms& terms, const BallRaster& ball, Canvas& canvas);

// The kernels that compute a ball's pixels, by instruction set.
enum class ShadingKernel { Portable, Sse2, Avx2, Avx512 };
// The kernels this processor runs, the fastest last.
std::vector<ShadingKernel> AvailableKernels();
std::string_view KernelName(ShadingKernel kernel);

// Draws atoms as shaded balls straight into the bitmap's rows, farthest first, each name
// after its ball. The pixels are those of the plain loop, computed a vector of columns at a
// time, only inside each row's disc, and by bands of rows on several threads: every band
// handles every ball, but only its own rows. The picture is that of painter's order, but the
// work is not: balls are visited nearest first and shade only the pixels no nearer ball has
// taken, so a hidden ball costs a few bit tests; a name is blended afterwards, in order, on
// the pixels no ball nearer than its own covers.
class ShadedBalls {
  public:
    // bands 0: one per processor.
    explicit ShadedBalls(int bands = 0);
    ShadedBalls(int bands, ShadingKernel kernel);

    // The atoms as balls in the given order (the farthest first), with the names in fonts of
    // height trunc(trunc(factor) * FontScale + 3) when names are shown; labelFont becomes each
    // name's font in turn.
    void DrawShadedBalls(const Workspace& ws, std::span<const ListedAtom> atoms, Canvas& canvas,
                         FontSpec& labelFont);
    // The balls in the given order, without names.
    void DrawBalls(const ShadingTerms& terms, std::span<const BallRaster> balls, Canvas& canvas);

    int Bands() const { return workers_.Bands(); }
    // The threads, for other work of the pass between the shaded balls.
    BandWorkers& Workers() { return workers_; }
    ShadingKernel Kernel() const { return kernel_; }

  private:
    struct Item {
        BallRaster Ball;
        const TextCoverage* Coverage = nullptr;  // the name's pieces, blended in bands
        int Pieces = 0;
        std::int32_t NameX = 0, NameY = 0;
    };

    // A name's pixels that no nearer ball covers, in one band: a bit per column of its box
    // from Left, Words words per row, for the band's rows from Top on.
    struct ShownName {
        std::size_t Item = 0;
        std::int64_t Left = 0, Top = 0, Bottom = 0;
        std::size_t Bits = 0;
        std::size_t Words = 0;
    };
    // What one band keeps while it draws.
    struct BandState {
        std::vector<shading::Run> Runs;
        std::vector<ShownName> Names;
        std::vector<std::uint64_t> Bits;
    };

    void FetchRows(Canvas& canvas);
    // Items [from, to) in bands; with serial, all on this thread.
    void DrawItems(const ShadingTerms& terms, std::size_t from, std::size_t to, bool serial);

    BandWorkers workers_;
    ShadingKernel kernel_;
    std::vector<Item> items_;
    // One bit per pixel of the shown part: set where a ball drawn already (a nearer one) lies.
    std::vector<std::uint64_t> covered_;
    std::size_t coveredWords_ = 0;  // per row, with a spare word at the end
    std::array<BandState, BandWorkers::MAX_BANDS> bandState_;
    std::vector<std::uint8_t*> rows_;
    Rect clip_;  // the canvas's shown part of the bitmap
};

}  // namespace tarsel
