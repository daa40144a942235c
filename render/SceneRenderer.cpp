#include "render/SceneRenderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "workspace/Numeric.h"

namespace tarsel {

namespace {

int LastMoleculeOf(const Workspace& ws) {
    return std::min(ws.LastMolecule, MAX_MOLECULES - 1);
}

bool NoBondIn8(const char* marks) {
    std::uint64_t eight;
    std::memcpy(&eight, marks, sizeof eight);
    return eight == 0x3030303030303030ULL;  // "00000000"
}

}  // namespace

Rgb FlatBallColour(Rgb atom, bool selected, Rgb background) {
    if (atom.R == 0 && atom.G == 0 && atom.B == 0) return background;
    if (!selected) return atom;
    return {std::min(atom.R + 30, 255), std::min(atom.G + 30, 255), std::min(atom.B + 30, 255)};
}

void SceneRenderer::PrepareProjection(const Workspace& ws) {
    projection_.PrepareProjection(ws.Camera, ws.Projection);
}

void SceneRenderer::ProjectAtoms(Workspace& ws) {
    visible_.Clear();
    for (int m = 0; m <= LastMoleculeOf(ws); ++m) {
        MoleculeRecord& mol = ws.Molecules[m];
        const int atoms = AtomsOf(mol);
        for (int a = 0; a < atoms; ++a) {
            const ProjectedPoint p = projection_.ProjectPoint({mol.X[a], mol.Y[a], mol.Z[a]});
            mol.PerspectiveFactor[a] = p.PerspectiveFactor;
            if (p.Visible) visible_.Append({m, a, p.sx, p.sy, p.Distance});
        }
    }
    visible_.SortByDistance();
}

void SceneRenderer::DrawBonds(const Workspace& ws, Canvas& canvas) const {
    canvas.SetBrush(ws.BackgroundColour);
    for (int i = visible_.Count() - 1; i >= 0; --i) {
        const VisibleAtom& e = visible_[i];
        const MoleculeRecord& mol = ws.Molecules[e.Molecule];
        const double x1 = BitmapX(e.sx), y1 = BitmapY(e.sy);
        const auto& row = mol.Bonds[e.Atom];
        const int atoms = AtomsOf(mol);
        for (int j = 0; j < atoms; ++j) {
            // Most of a row says "no bond": skip it eight marks at a time.
            if ((j & 7) == 0 && j + 8 <= atoms && NoBondIn8(&row[j])) {
                j += 7;
                continue;
            }
            const char kind = row[j];
            if (kind == '0') continue;
            const int partner = visible_.Find(e.Molecule, j);
            if (partner < 0) continue;  // behind the camera
            const VisibleAtom& p = visible_[partner];
            if (kind == 'S') canvas.SetPen({0, 0, 255}, PenStyle::Solid);
            if (kind == 'D') canvas.SetPen({0, 128, 0}, PenStyle::Dash);
            if (kind == 'Z') canvas.SetPen({0, 128, 0}, PenStyle::Dot);
            // An atom off the bitmap draws none of its bonds; its partners may draw them.
            if (!(x1 >= 0 && x1 <= SCENE_SIZE && y1 >= 0 && y1 <= SCENE_SIZE)) break;
            canvas.Line(Trunc(x1), Trunc(y1), Trunc(BitmapX(p.sx)), Trunc(BitmapY(p.sy)));
        }
    }
}

void SceneRenderer::DrawFlatBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont) const {
    canvas.SetBrush(ws.BackgroundColour);
    canvas.SetPenStyle(PenStyle::Solid);
    const double fontScale = ws.Projection.FontScale;
    for (int i = visible_.Count() - 1; i >= 0; --i) {
        const VisibleAtom& e = visible_[i];
        const MoleculeRecord& mol = ws.Molecules[e.Molecule];
        const int a = e.Atom;
        const double x = BitmapX(e.sx), y = BitmapY(e.sy);
        const double f = mol.PerspectiveFactor[a];
        canvas.SetPenColour({128, 128, 128});
        if (ws.ShowBalls) {
            const int r = ws.HalfRadius ? Trunc(f * mol.R[a] * 0.5) : Trunc(f * mol.R[a]);
            const Rgb colour = {mol.ColourR[a], mol.ColourG[a], mol.ColourB[a]};
            canvas.SetBrush(
                FlatBallColour(colour, e.Molecule == ws.SelectedMolecule, ws.BackgroundColour));
            canvas.Ellipse(Trunc(x + r), Trunc(y + r), Trunc(x - r), Trunc(y - r));
        }
        if (ws.ShowAtomNames) {
            labelFont.Height = Trunc(f * fontScale + 3);
            // "%c%c%c" of the three letters; a zero letter ends the text as it ends a C string.
            const char letters[3] = {mol.NameChar1[a], mol.NameChar2[a], mol.NameChar3[a]};
            const std::size_t length = std::find(letters, letters + 3, '\0') - letters;
            canvas.Text(Trunc(x), Trunc(y), std::string_view(letters, length), labelFont,
                        {0, 0, 0});
        }
    }
}

}  // namespace tarsel
