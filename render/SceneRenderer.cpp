#include "render/SceneRenderer.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "render/BondRow.h"
#include "render/FontCells.h"
#include "render/RasterCanvas.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

// Whether an atom's point lies on the bitmap, where its bonds start.
bool OnBitmap(double x, double y) {
    return x >= 0 && x <= SCENE_SIZE && y >= 0 && y <= SCENE_SIZE;
}

}  // namespace

void SceneRenderer::PrepareProjection(const Workspace& ws) {
    projection_.PrepareProjection(ws.Camera, ws.Projection);
}

void SceneRenderer::ProjectAtoms(Workspace& ws) {
    slotAtoms_.resize(VisibleAtomList::CAPACITY);
    // The molecules are projected in pieces, which the bands take in turn as they finish (how
    // many atoms are seen, and so the work, differs from piece to piece); the pieces are
    // appended in order, so the list is the same as from one loop over all atoms. The records
    // of the visible atoms are made here too, while their molecule is in the cache.
    const int molecules = LoadedMolecules(ws);
    const int pieces = MoleculesPerBand(ws) > 1 ? 1 : std::min(molecules, PROJECTED_PIECES);
    std::atomic<int> next{0};
    auto project = [&](int) {
        std::array<ProjectedPoint, MAX_ATOMS> projected;
        for (int piece; (piece = next.fetch_add(1, std::memory_order_relaxed)) < pieces;) {
            std::vector<VisibleAtom>& found = pieceVisible_[piece];
            found.clear();
            const int to = BandWorkers::RangeStart(molecules, pieces, piece + 1);
            for (int m = BandWorkers::RangeStart(molecules, pieces, piece); m < to; ++m) {
                MoleculeRecord& mol = ws.Molecules[m];
                const int atoms = AtomsOf(mol);
                projection_.ProjectPoints(mol.X.data(), mol.Y.data(), mol.Z.data(), atoms,
                                          projected.data());
                for (int a = 0; a < atoms; ++a) {
                    const ProjectedPoint& p = projected[a];
                    mol.PerspectiveFactor[a] = p.PerspectiveFactor;
                    if (!p.Visible) continue;
                    found.push_back({m, a, p.sx, p.sy, p.Distance});
                    AtomRecord& s = slotAtoms_[m * MAX_ATOMS + a];
                    s.P = {mol.X[a], mol.Y[a], mol.Z[a]};
                    s.R = mol.R[a];
                    s.Factor = p.PerspectiveFactor;
                    s.Colour = {mol.ColourR[a], mol.ColourG[a], mol.ColourB[a]};
                    s.Name = NameOf(mol, a);
                }
            }
        }
    };
    if (pieces > 1) {
        shaded_.Workers().Run(project);
    } else {
        project(0);
    }
    std::array<std::span<const VisibleAtom>, PROJECTED_PIECES> runs;
    for (int piece = 0; piece < pieces; ++piece)
        runs[piece] = pieceVisible_[piece];
    visible_.Assign(std::span(runs).first(pieces), shaded_.Workers());
    visible_.SortByDistance(shaded_.Workers());
}

bool SceneRenderer::CollectBondMarks(const Workspace& ws) {
    constexpr int SLOTS = VisibleAtomList::CAPACITY;
    BandWorkers& workers = shaded_.Workers();
    listedPixel_.resize(SLOTS);
    workers.ForRanges(visible_.Count(), ATOMS_PER_BAND, [this](int, int from, int to) {
        for (int i = from; i < to; ++i) {
            const VisibleAtom& e = visible_[i];
            const double x = projection_.BitmapX(e.sx), y = projection_.BitmapY(e.sy);
            listedPixel_[e.Molecule * MAX_ATOMS + e.Atom] = {Trunc(x), Trunc(y), OnBitmap(x, y)};
        }
    });
    // Each band collects the marks of a run of molecules, which stay in the band's list.
    const int molecules = LoadedMolecules(ws);
    bondStart_.resize(static_cast<std::size_t>(MAX_MOLECULES) * (MAX_ATOMS + 1));
    markBase_.resize(MAX_MOLECULES);
    std::int32_t* start = bondStart_.data();
    std::array<bool, BandWorkers::MAX_BANDS> onlySolid{};
    const int runs =
        workers.ForRanges(molecules, MoleculesPerBand(ws), [&](int band, int from, int to) {
            // Written through a pointer into room made ahead, a row at a time: pushed one by
            // one, each mark went through the vector's bounds and the flag through memory.
            std::vector<BondMark>& marks = bandMarks_[band];
            std::int32_t used = 0;
            bool solid = true;
            for (int m = from; m < to; ++m) {
                const MoleculeRecord& mol = ws.Molecules[m];
                const int atoms = AtomsOf(mol);
                // A bond's check of its partner's row reaches rows not read yet: the next
                // molecule's matrix is fetched ahead, a molecule's work before it is needed.
                if (m + 1 < to) {
                    const MoleculeRecord& next = ws.Molecules[m + 1];
                    const char* rows = next.Bonds[0].data();
                    const std::size_t bytes = static_cast<std::size_t>(AtomsOf(next)) * MAX_ATOMS;
                    for (std::size_t b = 0; b < bytes; b += 64)
                        __builtin_prefetch(rows + b);
                }
                const Pixel* pixels = &listedPixel_[m * MAX_ATOMS];
                std::int32_t* molStart = start + m * (MAX_ATOMS + 1);
                for (int a = 0; a < MAX_ATOMS; ++a) {
                    molStart[a] = used;
                    if (a >= atoms || visible_.Find(m, a) < 0) continue;
                    if (marks.size() < static_cast<std::size_t>(used + atoms))
                        marks.resize(std::max(2 * marks.size(), std::size_t(used + atoms)));
                    BondMark* out = marks.data() + used;
                    const auto& row = mol.Bonds[a];
                    const bool on = pixels[a].OnBitmap;
                    const auto mark = [&](int j) __attribute__((always_inline)) {
                        if (visible_.Find(m, j) < 0) return;
                        const Pixel p = pixels[j];
                        const char kind = row[j];
                        solid &= kind == 'S';
                        const bool both = on && p.OnBitmap && kind == 'S' && mol.Bonds[j][a] == 'S';
                        *out++ = {p.x, p.y, kind, both && j > a, both && j < a};
                    };
                    ForEachBond(row, atoms, mark);
                    used = static_cast<std::int32_t>(out - marks.data());
                }
                molStart[MAX_ATOMS] = used;
            }
            onlySolid[band] = solid;
        });
    for (int band = 0; band < runs; ++band) {
        const int to = BandWorkers::RangeStart(molecules, runs, band + 1);
        for (int m = BandWorkers::RangeStart(molecules, runs, band); m < to; ++m)
            markBase_[m] = bandMarks_[band].data();
    }
    return std::all_of(onlySolid.begin(), onlySolid.begin() + runs, [](bool b) { return b; });
}

void SceneRenderer::DrawBonds(const Workspace& ws, Canvas& canvas) {
    canvas.SetBrush(ws.BackgroundColour);
    const bool onePen = CollectBondMarks(ws);
    static constexpr std::array<LinePen, 3> PENS{{{{0, 0, 255}, PenStyle::Solid},
                                                  {{0, 128, 0}, PenStyle::Dash},
                                                  {{0, 128, 0}, PenStyle::Dot}}};
    const auto penOf = [](char kind) {
        return static_cast<std::int8_t>(kind == 'S' ? 0 : kind == 'D' ? 1 : kind == 'Z' ? 2 : -1);
    };
    // Each band turns a run of the atoms, in drawing order, into lines; the runs are drawn
    // as one batch, in order. The pen is set again only when the kind changes: the same pen
    // twice is the same pen. Each band leaves out its own repeats here. The marks are read in
    // depth order, all over the table: fetched ahead of their turn, an atom's marks are there
    // when its lines are made.
    constexpr int AHEAD = 16;
    const int count = visible_.Count();
    // An atom's marks: from its start in its molecule's table to the next atom's.
    const auto startOf = [this, count](int k) {
        const VisibleAtom& e = visible_[count - 1 - k];
        return e.Molecule * (MAX_ATOMS + 1) + e.Atom;
    };
    std::array<std::int8_t, BandWorkers::MAX_BANDS> firstPen{}, lastPen{};
    const int runs =
        shaded_.Workers().ForRanges(count, ATOMS_PER_BAND, [&](int band, int from, int to) {
            std::vector<BatchLine>& lines = bandLines_[band];
            lines.clear();
            std::int8_t pen = -1;
            firstPen[band] = -1;
            for (int k = from; k < to; ++k) {
                if (k + AHEAD < count) __builtin_prefetch(&bondStart_[startOf(k + AHEAD)]);
                if (k + AHEAD / 2 < count) {
                    const VisibleAtom& ahead = visible_[count - 1 - (k + AHEAD / 2)];
                    __builtin_prefetch(markBase_[ahead.Molecule] +
                                       bondStart_[startOf(k + AHEAD / 2)]);
                }
                const VisibleAtom& e = visible_[count - 1 - k];
                const double x1 = projection_.BitmapX(e.sx), y1 = projection_.BitmapY(e.sy);
                const bool onBitmap = OnBitmap(x1, y1);
                const int at = e.Molecule * (MAX_ATOMS + 1) + e.Atom;
                const BondMark* marks = markBase_[e.Molecule];
                const std::int32_t ix = onBitmap ? Trunc(x1) : 0, iy = onBitmap ? Trunc(y1) : 0;
                for (std::int32_t m = bondStart_[at]; m < bondStart_[at + 1]; ++m) {
                    const BondMark& mark = marks[m];
                    if (onePen && mark.Twin) continue;
                    std::int8_t linePen = penOf(mark.Kind);
                    if (linePen >= 0) {
                        if (firstPen[band] < 0) firstPen[band] = linePen;
                        if (linePen == pen) {
                            linePen = -1;
                        } else {
                            pen = linePen;
                        }
                    }
                    // An atom off the bitmap draws none of its bonds, but its first one sets
                    // the pen; its partners may draw them.
                    if (onBitmap || linePen >= 0) {
                        // Written field by field where it stays: a line put together first
                        // leaves its three small fields to be read back as one word, slowly.
                        BatchLine& line = lines.emplace_back();
                        line.X1 = ix;
                        line.Y1 = iy;
                        line.X2 = mark.PartnerX;
                        line.Y2 = mark.PartnerY;
                        line.Pen = linePen;
                        line.Draw = onBitmap;
                        line.Both = onePen && mark.Both;
                    }
                    if (!onBitmap) break;
                }
            }
            lastPen[band] = pen;
        });
    // A band's first pen is a repeat of the last pen before it when the two are the same.
    std::array<std::span<const BatchLine>, BandWorkers::MAX_BANDS> lineRuns;
    std::int8_t pen = lastPen[0];
    lineRuns[0] = bandLines_[0];
    for (int band = 1; band < runs; ++band) {
        std::vector<BatchLine>& lines = bandLines_[band];
        if (firstPen[band] >= 0 && firstPen[band] == pen) {
            for (BatchLine& line : lines) {
                if (line.Pen < 0) continue;
                line.Pen = -1;
                break;
            }
        }
        if (lastPen[band] >= 0) pen = lastPen[band];
        lineRuns[band] = lines;
    }
    canvas.LineRuns(std::span(lineRuns).first(runs), PENS, shaded_.Workers());
}

void SceneRenderer::DrawFlatBalls(const Workspace& ws, Canvas& canvas, FontSpec& labelFont) {
    constexpr Rgb OUTLINE{128, 128, 128}, TEXT{0, 0, 0};
    constexpr int TALL_NAME = 256;
    constexpr std::size_t HANDED_BUDGET = std::size_t{8} << 20;
    canvas.SetBrush(ws.BackgroundColour);
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.SetPenColour(OUTLINE);
    canvas.ReleaseCoverages();
    const double fontScale = ws.Projection.FontScale;
    BandWorkers& workers = shaded_.Workers();
    const int count = visible_.Count();
    items_.resize(static_cast<std::size_t>(count));
    names_.resize(static_cast<std::size_t>(count));
    // The discs and the names' places and heights, from the records, farthest first; the
    // records are fetched ahead of their turn. Names whose pieces the canvas has ready are
    // looked up here too.
    constexpr int AHEAD = 16;
    workers.ForRanges(count, ATOMS_PER_BAND, [&](int, int from, int to) {
        ReadyNames ready(canvas, labelFont);
        for (int k = from; k < to; ++k) {
            if (k + AHEAD < count) {
                const VisibleAtom& next = visible_[count - 1 - (k + AHEAD)];
                __builtin_prefetch(&slotAtoms_[next.Molecule * MAX_ATOMS + next.Atom]);
            }
            const VisibleAtom& e = visible_[count - 1 - k];
            const AtomRecord& atom = slotAtoms_[e.Molecule * MAX_ATOMS + e.Atom];
            const double x = projection_.BitmapX(e.sx), y = projection_.BitmapY(e.sy),
                         f = atom.Factor;
            // Each field written once, from values at hand: a cleared item, or a name read
            // back from where it was just stored, made the loop wait on its own stores.
            FlatItem& item = items_[k];
            if (ws.ShowBalls) {
                const int r = ws.HalfRadius ? Trunc(f * atom.R * 0.5) : Trunc(f * atom.R);
                item.X1 = Trunc(x + r);
                item.Y1 = Trunc(y + r);
                item.X2 = Trunc(x - r);
                item.Y2 = Trunc(y - r);
                item.Fill = FlatBallColour(atom.Colour, e.Molecule == ws.SelectedMolecule,
                                           ws.BackgroundColour);
                item.Disc = true;
            } else {
                item.X1 = item.Y1 = item.X2 = item.Y2 = 0;
                item.Fill = {};
                item.Disc = false;
            }
            const std::int32_t nameX = Trunc(x), nameY = Trunc(y);
            const std::int32_t height = Trunc(f * fontScale + 3 * projection_.PixelScale());
            item.NameX = nameX;
            item.NameY = nameY;
            names_[k] = {atom.Name, height};
            if (ws.ShowAtomNames) {
                std::int32_t pieces = 0;
                item.Name = ready.Find(nameX, nameY, atom.Name.View(), height, pieces);
                item.Pieces = pieces;
            } else {
                item.Name = nullptr;
                item.Pieces = 0;
            }
        }
    });
    if (!ws.ShowAtomNames) {
        canvas.FlatItems(items_, OUTLINE, TEXT, workers);
        return;
    }
    // The items are drawn in stretches; a name that the canvas must draw itself ends one, and
    // with it the pieces found ready, which are looked up again.
    std::size_t from = 0;
    bool ready = true;
    for (std::size_t k = 0; k < items_.size(); ++k) {
        FlatItem& item = items_[k];
        if (ready && item.Name != nullptr) continue;
        item.Name = nullptr;
        item.Pieces = 0;
        const std::string_view name = names_[k].Name.View();
        labelFont.Height = names_[k].Height;
        // A tall name's coverage is its shown part, made for this pass alone: tall names join
        // the batch while those made so far hold little, and are drawn at once past that.
        if (std::abs(FontCells::EffectiveHeight(labelFont.Height)) <= TALL_NAME ||
            canvas.HandedBytes() < HANDED_BUDGET) {
            item.Name = canvas.Coverage(item.NameX, item.NameY, name, labelFont, item.Pieces);
            if (item.Name != nullptr) continue;
        }
        canvas.FlatItems(std::span(items_).subspan(from, k + 1 - from), OUTLINE, TEXT, workers);
        canvas.Text(item.NameX, item.NameY, name, labelFont, TEXT);
        ready = false;
        from = k + 1;
    }
    canvas.FlatItems(std::span(items_).subspan(from), OUTLINE, TEXT, workers);
    canvas.ReleaseCoverages();
    // The font is left as the last name's, looked up here or not.
    if (!names_.empty()) labelFont.Height = names_.back().Height;
}

}  // namespace tarsel
