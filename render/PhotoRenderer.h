#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/BandWorkers.h"
#include "render/Canvas.h"
#include "render/ListedAtoms.h"
#include "render/Projection.h"
#include "render/VisibleAtomList.h"
#include "workspace/Workspace.h"

namespace tarsel {

// Where a "Photo" picture is drawn: rows of blue-green-red bytes, the part of them to draw, and
// the pixel of the view centre (screen offsets 0, 0). The viewer draws into the scene bitmap;
// a larger picture (antialiasing, benchmarks) can have rows of its own.
struct PhotoTarget {
    std::uint8_t* const* Rows = nullptr;  // Rows[y], 0 <= y < Height
    int Width = 0;
    int Height = 0;
    Rect Region;  // within 0 .. Width, 0 .. Height
    double CentreX = 0;
    double CentreY = 0;
};

// The darkest a black atom is drawn in this mode, so that it stays visible on any background.
inline constexpr int PHOTO_BLACK_ATOM = 64;

// The base colour of an atom in "Photo": black becomes dark grey, the selected molecule is
// brightened by 30 as in the flat pass.
Rgb PhotoAtomColour(Rgb atom, bool selected);

// The "Photo" drawing mode: atoms as true spheres and bonds as cylinders, each pixel ray-cast
// from the camera into a depth buffer, so that interpenetrating atoms meet along their real
// intersection. The pixels are then lit from the light point (the dialog's diffuse, reflect
// and stray values), darkened by each atom's ambient occlusion, outlined where the depth jumps
// and faded toward the background with depth. Both steps run on all cores, by bands of rows.
class PhotoRenderer {
  public:
    // bands 0: one per processor. vectorKernels false keeps to the portable loops, which the
    // vector ones must match.
    explicit PhotoRenderer(int bands = 0, bool vectorKernels = true);

    // Draws the listed atoms of the pass into the visible part of the canvas's bitmap.
    void DrawPhoto(const Workspace& ws, const Projection& proj, const VisibleAtomList& visible,
                   Canvas& canvas, FontSpec& labelFont);
    // The same into any target; the canvas only lends its text masks (or draws the names
    // itself when it has none and the target is its bitmap).
    void DrawPhoto(const Workspace& ws, const Projection& proj, const VisibleAtomList& visible,
                   Canvas& canvas, FontSpec& labelFont, const PhotoTarget& target,
                   bool targetIsCanvas = false);

    BandWorkers& Workers() { return workers_; }
    // Per atom (molecule * MAX_ATOMS + atom) of the last pass: its occlusion 0..1.
    const std::vector<float>& Occlusion() const { return occlusion_; }

  private:
    // One atom as the rasteriser reads it. With o = P - V0 and d the pixel's ray, the ray meets
    // the sphere at the smaller root t of dd t^2 - 2 (d.o) t + C = 0, where d.o = Od0 + u Odu +
    // v Odv is linear in the pixel.
    struct Sphere {
        Vec3 P;
        double R = 0;
        double Od0 = 0, Odu = 0, Odv = 0;
        double C = 0;  // o.o - R^2
        // o x d = G0 + u Gu + v Gv: the ray's distance from the centre without the
        // cancellation of o.o - (d.o)^2 / d.d, so that floats suffice per pixel.
        Vec3 G0, Gu, Gv;
        double PixelRadius = 0;
        std::int32_t Slot = 0;  // molecule * MAX_ATOMS + atom
        double U = 0, V = 0;    // screen offsets of the centre
        Rgb Colour;
        int X0 = 0, X1 = -1, Y0 = 0, Y1 = -1;  // the pixel box, inclusive
    };
    // One bond: the axis from A along the unit vector Axis, the part from S0 to S1 shown, in
    // Pieces alternate pieces (1 solid, 5 dashed, 9 dotted); W = V0 - A without its part
    // along the axis, Wa that part.
    struct Cylinder {
        Vec3 A, Axis, W;
        double R = 0;
        double S0 = 0, S1 = 0;
        double Wa = 0;
        double Xa = 0, Ya = 0, Xb = 0, Yb = 0, Half = 0;  // the ends on the screen, the margin
        int Pieces = 1;
        Rgb Colour;
        int X0 = 0, X1 = -1, Y0 = 0, Y1 = -1;
    };

    const Cylinder& CylinderAt(std::size_t index) const {
        int run = 0;
        while (index >= bandCylinders_[run].size())
            index -= bandCylinders_[run++].size();
        return bandCylinders_[run][index];
    }

    void BuildSpheres(const Workspace& ws, const Projection& proj, const VisibleAtomList& visible,
                      const PhotoTarget& target);
    void BuildCylinders(const Workspace& ws, const VisibleAtomList& visible,
                        const PhotoTarget& target);
    void ComputeOcclusion(const Workspace& ws);
    void Rasterise(const PhotoTarget& target);
    void Shade(const Workspace& ws, const PhotoTarget& target);
    void BlendNames(const PhotoTarget& target);
    void DrawNames(const Workspace& ws, Canvas& canvas, FontSpec& labelFont,
                   const PhotoTarget& target, bool targetIsCanvas);

    BandWorkers workers_;
    bool vectorKernels_ = true;
    std::vector<AtomRecord> records_;
    std::vector<ListedAtom> listed_;
    std::vector<Sphere> spheres_;
    // The bonds as the bands collected them; one after the other they are the pass's list.
    PerBand<std::vector<Cylinder>> bandCylinders_;
    int cylinderRuns_ = 0;
    struct OccludingAtom {
        Vec3 P;
        double R;
        std::int32_t Slot;
    };
    std::vector<OccludingAtom> aoAtoms_;
    struct ScreenPoint {
        double sx, sy;
    };
    std::vector<ScreenPoint> slotScreen_;  // by slot, for the listed atoms
    std::vector<float> occlusion_;         // by slot
    std::vector<float> occlusionDir_;      // 3 per slot: toward the occluding neighbours
    bool occlusionKnown_ = false;
    std::uint64_t occlusionKey_ = 0;
    std::vector<std::int32_t> cellStart_, cellAtoms_, atomCell_;
    std::vector<float> packed_;
    struct alignas(64) ShadedSphere {
        float Ox, Oy, Oz, InvR;  // the centre from the camera point; 1 / R
        float Occlusion, Dx, Dy, Dz;
        float PixelRadius, U, V;
        std::int32_t Colour[3];
    };
    std::vector<ShadedSphere> shaded_;
    struct NameItem {
        const TextCoverage* Coverage;  // Pieces of them, placed from the cell at (X, Y)
        int Pieces;
        int X, Y;
    };
    std::vector<NameItem> names_;
    // Per listed atom: whether its name is seen, where, and its pieces when found ready.
    struct NameLookup {
        const TextCoverage* Coverage;
        int Pieces;
        int X, Y;
        bool Seen;
    };
    std::vector<NameLookup> nameLookups_;
    static constexpr int NAMES_PER_BAND = 2000;
    std::vector<float> depth_;
    std::vector<std::int32_t> owner_;
    // Per row of the buffers, the columns From .. To - 1 that the last pass may have written;
    // outside them every pixel is still empty, so only these are cleared and shaded.
    struct RowSpan {
        int From, To;
    };
    // The bands own stripes of STRIPE rows; a stripe's spans fill one cache line of their own,
    // so that two bands never write the same line.
    static constexpr int STRIPE = 8;
    struct alignas(64) StripeSpans {
        std::array<RowSpan, STRIPE> Rows;
    };
    RowSpan& SpanOf(int row) { return spans_[row / STRIPE].Rows[row % STRIPE]; }
    std::vector<StripeSpans> spans_;
    std::vector<int> stripeBand_;  // the band of each stripe
    int bufferWidth_ = 0;
    int bufferHeight_ = 0;
    // The camera's rays of this pass: d(u, v) = D0 + u Du + v Dv for the screen offsets u, v.
    Vec3 V0_, D0_, Du_, Dv_;
    double pp_ = 1;
    int pixelScale_ = 1;  // the names' "+ 3" grows with a pass drawn larger
};

}  // namespace tarsel
