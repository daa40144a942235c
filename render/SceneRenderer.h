#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "render/Canvas.h"
#include "render/ListedAtoms.h"
#include "render/Projection.h"
#include "render/ShadedBalls.h"
#include "render/VisibleAtomList.h"
#include "workspace/Workspace.h"

namespace tarsel {

// The atoms' part of the render pass: projecting and depth-sorting them, then drawing bonds,
// flat discs and names onto a canvas. Atoms are drawn from the farthest to the nearest, each
// over what is there already; that order is the only depth test.
class SceneRenderer {
  public:
    // The projection of this pass, from the workspace's camera.
    void PrepareProjection(const Workspace& ws);
    // Projects every atom, stores its perspective factor (visible or not) and lists the
    // visible ones, nearest first.
    void ProjectAtoms(Workspace& ws);
    // Bonds as lines from each listed atom to its listed partners: 'S' solid blue, 'D' dashed
    // green, 'Z' dotted green; any other mark keeps the pen the last line left.
    void DrawBonds(const Workspace& ws, Canvas& canvas);
    // Discs with a grey outline and the three-letter names; labelFont becomes the font of each
    // name in turn, so after the pass it is that of the nearest atom.
    void DrawFlatBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont);
    // Balls shaded pixel by pixel, written straight into the bitmap's rows, with the names;
    // every listed atom gets one, whatever the disc and selection settings.
    void DrawShadedBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont) {
        shaded_.SetView(projection_.CentreX(), projection_.CentreY(), projection_.PixelScale());
        shaded_.DrawShadedBalls(ws, visible_, slotAtoms_, canvas, labelFont);
    }

    const Projection& Proj() const { return projection_; }
    // Where the view centre lands on the bitmap and how many times larger the pass draws
    // (smooth edges); kept across passes.
    void SetView(double centreX, double centreY, int pixelScale) {
        projection_.SetView(centreX, centreY, pixelScale);
    }
    const VisibleAtomList& VisibleAtoms() const { return visible_; }

  private:
    // A mark other than '0' in a listed atom's row whose partner is listed too, with the
    // partner's pixel.
    struct BondMark {
        std::int32_t PartnerX;
        std::int32_t PartnerY;
        char Kind;
        // With one solid pen for all bonds, the order of the lines does not matter: a bond
        // whose two ends are on the bitmap is drawn both ways at once, at its first atom's
        // turn (Both), and left out at the other's (Twin).
        bool Both;
        bool Twin;
    };
    struct Pixel {
        std::int32_t x, y;
        bool OnBitmap;
    };
    // Collects the marks of the listed atoms' rows, reading the matrices in memory order: the
    // drawing then visits only real bonds instead of whole rows in depth order, which would
    // miss the cache on nearly every row and partner of a large run. A mark whose partner is
    // not listed is left out; it changes nothing, not even the pen. Tells whether all the
    // marks are 'S'.
    bool CollectBondMarks(const Workspace& ws);

    Projection projection_;
    VisibleAtomList visible_;
    ShadedBalls shaded_;
    PerBand<std::vector<BondMark>> bandMarks_;
    std::vector<const BondMark*> markBase_;  // by molecule: the marks of its band
    static constexpr int PROJECTED_PIECES = 32;
    PerBand<std::vector<VisibleAtom>, PROJECTED_PIECES> pieceVisible_;
    // Per molecule MAX_ATOMS + 1 entries: atom a's first mark in its band's list; the next
    // entry is its end.
    std::vector<std::int32_t> bondStart_;
    std::vector<Pixel> listedPixel_;     // by slot, for the listed atoms
    std::vector<AtomRecord> slotAtoms_;  // by slot, for the listed atoms, made by ProjectAtoms
    PerBand<std::vector<BatchLine>> bandLines_;
    std::vector<FlatItem> items_;
    struct NameAt {
        AtomName Name;
        std::int32_t Height;
    };
    std::vector<NameAt> names_;
};

// The bitmap position of a screen offset, as doubles: ViewCentre + sx, ViewCentre - sy.
inline double BitmapX(double sx) {
    return VIEW_CENTRE + sx;
}
inline double BitmapY(double sy) {
    return VIEW_CENTRE - sy;
}

// The fill colour of a flat disc: the background for a black atom, the atom's colour
// brightened by 30 (at most 255) in the selected molecule, otherwise its own colour.
inline Rgb FlatBallColour(Rgb atom, bool selected, Rgb background) {
    if (atom.R == 0 && atom.G == 0 && atom.B == 0) return background;
    if (!selected) return atom;
    return {std::min(atom.R + 30, 255), std::min(atom.G + 30, 255), std::min(atom.B + 30, 255)};
}

// The atoms of a molecule that its tables hold: AtomCount, kept within 0..MAX_ATOMS.
inline int AtomsOf(const MoleculeRecord& m) {
    return m.AtomCount < 0 ? 0 : m.AtomCount > MAX_ATOMS ? MAX_ATOMS : m.AtomCount;
}

}  // namespace tarsel
