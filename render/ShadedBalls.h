#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "render/BandWorkers.h"
#include "render/Canvas.h"
#include "render/ListedAtoms.h"
#include "workspace/Numeric.h"
#include "workspace/Workspace.h"

namespace tarsel {

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
// keeps the full R. The centre lands at (centreX + sx, centreY - sy). PlaceBall writes it in
// place, field by field: a ball put together elsewhere and copied has its fields read back in
// wider pieces than they were written, which stalls.
inline void PlaceBall(BallRaster& b, Vec3 p, double r, Rgb colour, double factor, double sx,
                      double sy, bool halfAtomRadius, double centreX, double centreY) {
    b.P = p;
    b.R = r;
    b.Colour[0] = colour.R * (1.0 / 255);
    b.Colour[1] = colour.G * (1.0 / 255);
    b.Colour[2] = colour.B * (1.0 / 255);
    const std::int32_t fi = Trunc(factor);
    b.Radius = Trunc(std::ceil(fi * r));
    // A pixel radius of 0 leaves no pixel with g > 0; the ball is skipped before dividing.
    b.W = b.Radius <= 0 ? 0 : halfAtomRadius ? 2 * r / b.Radius : r / b.Radius;
    b.Cx = Trunc(centreX + sx);
    b.Cy = Trunc(centreY - sy);
}
inline BallRaster RasterBall(Vec3 p, double r, Rgb colour, double factor, double sx, double sy,
                             bool halfAtomRadius, double centreX = VIEW_CENTRE,
                             double centreY = VIEW_CENTRE) {
    BallRaster b;
    PlaceBall(b, p, r, colour, factor, sx, sy, halfAtomRadius, centreX, centreY);
    return b;
}

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
// time, only inside each row's disc, and by bands of rows on several threads: every band draws
// every ball in order, but only its own rows, so nearer balls still cover farther ones.
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
    // The same for the list's atoms from its last entry to its first, their values taken from
    // records (by molecule * MAX_ATOMS + atom) as the balls are placed: no copy of them in
    // drawing order first.
    void DrawShadedBalls(const Workspace& ws, const VisibleAtomList& list,
                         const std::vector<AtomRecord>& records, Canvas& canvas,
                         FontSpec& labelFont);
    // The balls in the given order, without names.
    void DrawBalls(const ShadingTerms& terms, std::span<const BallRaster> balls, Canvas& canvas);

    // The bitmap pixel of the view centre and how many times larger the pass draws (the
    // names' "+ 3" grows with it).
    void SetView(double centreX, double centreY, int pixelScale) {
        centreX_ = centreX;
        centreY_ = centreY;
        pixelScale_ = pixelScale;
    }

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

    // atom(k) gives the k-th atom to draw as a pair: what has P, R, Factor, Colour and Name,
    // and what has sx and sy.
    template <typename AtomAt>
    void DrawAtoms(const Workspace& ws, std::size_t count, AtomAt atom, Canvas& canvas,
                   FontSpec& labelFont);
    void FetchRows(Canvas& canvas);
    // Items [from, to) in bands; with serial, all on this thread.
    void DrawItems(const ShadingTerms& terms, std::size_t from, std::size_t to, bool serial);

    BandWorkers workers_;
    ShadingKernel kernel_;
    std::vector<Item> items_;
    std::vector<std::uint8_t*> rows_;
    std::int64_t rowStride_ = 0;  // between any two rows next to each other; 0: they vary
    Rect clip_;                   // the canvas's shown part of the bitmap
    double centreX_ = VIEW_CENTRE;
    double centreY_ = VIEW_CENTRE;
    int pixelScale_ = 1;
};

}  // namespace tarsel
