#include "render/SceneRenderer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "workspace/Numeric.h"

namespace tarsel {

namespace {

// Eight marks of a bond row at once: byte k of the result has its top bit set when marks[k] is
// not '0'. Most of a row says "no bond", so most words give 0.
std::uint64_t BondsIn8(const char* marks) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t w;
    std::memcpy(&w, marks, sizeof w);
    w ^= 0x3030303030303030ULL;  // "00000000"
    constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7FULL;
    return (((w & LOW7) + LOW7) | w) & ~LOW7;
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
    // Each band projects a run of molecules; the runs are appended in order, so the list is
    // the same as from one loop over all atoms.
    const int runs = shaded_.Workers().ForRanges(
        LoadedMolecules(ws), MoleculesPerBand(ws), [&](int band, int from, int to) {
            std::vector<VisibleAtom>& found = bandVisible_[band];
            found.clear();
            for (int m = from; m < to; ++m) {
                MoleculeRecord& mol = ws.Molecules[m];
                const int atoms = AtomsOf(mol);
                for (int a = 0; a < atoms; ++a) {
                    const ProjectedPoint p =
                        projection_.ProjectPoint({mol.X[a], mol.Y[a], mol.Z[a]});
                    mol.PerspectiveFactor[a] = p.PerspectiveFactor;
                    if (p.Visible) found.push_back({m, a, p.sx, p.sy, p.Distance});
                }
            }
        });
    for (int band = 0; band < runs; ++band) {
        for (const VisibleAtom& e : bandVisible_[band])
            visible_.Append(e);
    }
    visible_.SortByDistance();
}

void SceneRenderer::CollectBondMarks(const Workspace& ws) {
    constexpr int SLOTS = VisibleAtomList::CAPACITY;
    BandWorkers& workers = shaded_.Workers();
    listedPixel_.resize(SLOTS);
    bondStart_.resize(SLOTS + 1);
    workers.ForRanges(visible_.Count(), ATOMS_PER_BAND, [this](int, int from, int to) {
        for (int i = from; i < to; ++i) {
            const VisibleAtom& e = visible_[i];
            listedPixel_[e.Molecule * MAX_ATOMS + e.Atom] = {Trunc(projection_.BitmapX(e.sx)),
                                                             Trunc(projection_.BitmapY(e.sy))};
        }
    });
    // Each band collects the marks of a run of molecules; the runs are joined in order.
    const int molecules = LoadedMolecules(ws);
    std::int32_t* start = bondStart_.data();
    const int runs =
        workers.ForRanges(molecules, MoleculesPerBand(ws), [&](int band, int from, int to) {
            std::vector<BondMark>& marks = bandMarks_[band];
            marks.clear();
            for (int m = from; m < to; ++m) {
                const MoleculeRecord& mol = ws.Molecules[m];
                const int atoms = AtomsOf(mol);
                for (int a = 0; a < MAX_ATOMS; ++a) {
                    start[m * MAX_ATOMS + a] = static_cast<std::int32_t>(marks.size());
                    if (a >= atoms || visible_.Find(m, a) < 0) continue;
                    const auto& row = mol.Bonds[a];
                    const auto mark = [&](int j) {
                        if (visible_.Find(m, j) < 0) return;
                        const Pixel p = listedPixel_[m * MAX_ATOMS + j];
                        marks.push_back({p.x, p.y, row[j]});
                    };
                    int j = 0;
                    for (; j + 8 <= atoms; j += 8) {
                        for (std::uint64_t bits = BondsIn8(&row[j]); bits != 0; bits &= bits - 1)
                            mark(j + std::countr_zero(bits) / 8);
                    }
                    for (; j < atoms; ++j) {
                        if (row[j] != '0') mark(j);
                    }
                }
            }
        });
    std::array<std::int32_t, BandWorkers::MAX_BANDS + 1> offset{};
    for (int band = 0; band < runs; ++band)
        offset[band + 1] = offset[band] + static_cast<std::int32_t>(bandMarks_[band].size());
    bondMarks_.resize(static_cast<std::size_t>(offset[runs]));
    std::fill(start + molecules * MAX_ATOMS, start + SLOTS + 1, offset[runs]);
    auto join = [&](int band) {
        const std::vector<BondMark>& marks = bandMarks_[band];
        std::copy(marks.begin(), marks.end(), bondMarks_.begin() + offset[band]);
        const int from = BandWorkers::RangeStart(molecules, runs, band) * MAX_ATOMS;
        const int to = BandWorkers::RangeStart(molecules, runs, band + 1) * MAX_ATOMS;
        for (int slot = from; slot < to; ++slot)
            start[slot] += offset[band];
    };
    if (runs == 1) {
        join(0);
    } else {
        workers.Run(join);
    }
}

void SceneRenderer::DrawBonds(const Workspace& ws, Canvas& canvas) {
    canvas.SetBrush(ws.BackgroundColour);
    CollectBondMarks(ws);
    // The pen is set again only when the kind changes: the same pen twice is the same pen.
    char pen = 0;
    // The marks are read in depth order, all over the table: fetched ahead of their turn, an
    // atom's marks are there when its lines are drawn.
    constexpr int AHEAD = 16;
    const auto slotOf = [this](int i) {
        return visible_[i].Molecule * MAX_ATOMS + visible_[i].Atom;
    };
    for (int i = visible_.Count() - 1; i >= 0; --i) {
        if (i >= AHEAD) __builtin_prefetch(&bondStart_[slotOf(i - AHEAD)]);
        if (i >= AHEAD / 2)
            __builtin_prefetch(bondMarks_.data() + bondStart_[slotOf(i - AHEAD / 2)]);
        const VisibleAtom& e = visible_[i];
        const double x1 = projection_.BitmapX(e.sx), y1 = projection_.BitmapY(e.sy);
        const bool onBitmap = x1 >= 0 && x1 <= SCENE_SIZE && y1 >= 0 && y1 <= SCENE_SIZE;
        const int slot = e.Molecule * MAX_ATOMS + e.Atom;
        for (std::int32_t k = bondStart_[slot]; k < bondStart_[slot + 1]; ++k) {
            const BondMark& mark = bondMarks_[k];
            if (mark.Kind != pen) {
                if (mark.Kind == 'S') canvas.SetPen({0, 0, 255}, PenStyle::Solid);
                if (mark.Kind == 'D') canvas.SetPen({0, 128, 0}, PenStyle::Dash);
                if (mark.Kind == 'Z') canvas.SetPen({0, 128, 0}, PenStyle::Dot);
                if (mark.Kind == 'S' || mark.Kind == 'D' || mark.Kind == 'Z') pen = mark.Kind;
            }
            // An atom off the bitmap draws none of its bonds, but its first one sets the pen;
            // its partners may draw them.
            if (!onBitmap) break;
            canvas.Line(Trunc(x1), Trunc(y1), mark.PartnerX, mark.PartnerY);
        }
    }
}

void SceneRenderer::DrawFlatBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont) {
    canvas.SetBrush(ws.BackgroundColour);
    canvas.SetPenStyle(PenStyle::Solid);
    GatherListedAtoms(ws, visible_, slotAtoms_, listed_, shaded_.Workers());
    const double fontScale = ws.Projection.FontScale;
    for (const ListedAtom& atom : listed_) {
        const double x = projection_.BitmapX(atom.sx), y = projection_.BitmapY(atom.sy),
                     f = atom.Factor;
        canvas.SetPenColour({128, 128, 128});
        if (ws.ShowBalls) {
            const int r = ws.HalfRadius ? Trunc(f * atom.R * 0.5) : Trunc(f * atom.R);
            canvas.SetBrush(FlatBallColour(atom.Colour, atom.Molecule == ws.SelectedMolecule,
                                           ws.BackgroundColour));
            canvas.Ellipse(Trunc(x + r), Trunc(y + r), Trunc(x - r), Trunc(y - r));
        }
        if (ws.ShowAtomNames) {
            labelFont.Height = Trunc(f * fontScale + 3 * projection_.PixelScale());
            canvas.Text(Trunc(x), Trunc(y), atom.Name.View(), labelFont, {0, 0, 0});
        }
    }
}

}  // namespace tarsel
