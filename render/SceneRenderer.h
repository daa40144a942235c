#pragma once

#include "render/Canvas.h"
#include "render/Projection.h"
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
    void DrawBonds(const Workspace& ws, Canvas& canvas) const;
    // Discs with a grey outline and the three-letter names; labelFont becomes the font of each
    // name in turn, so after the pass it is that of the nearest atom.
    void DrawFlatBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont) const;

    const Projection& Proj() const { return projection_; }
    const VisibleAtomList& VisibleAtoms() const { return visible_; }

  private:
    Projection projection_;
    VisibleAtomList visible_;
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
Rgb FlatBallColour(Rgb atom, bool selected, Rgb background);

// The atoms of a molecule that its tables hold: AtomCount, kept within 0..MAX_ATOMS.
inline int AtomsOf(const MoleculeRecord& m) {
    return m.AtomCount < 0 ? 0 : m.AtomCount > MAX_ATOMS ? MAX_ATOMS : m.AtomCount;
}

}  // namespace tarsel
