#include "render/ListedAtoms.h"

namespace tarsel {

int MoleculesPerBand(const Workspace& ws) {
    const int molecules = LoadedMolecules(ws);
    int atoms = 0;
    for (int m = 0; m < molecules; ++m)
        atoms += std::clamp(ws.Molecules[m].AtomCount, 0, MAX_ATOMS);
    return atoms < 2 * ATOMS_PER_BAND ? std::max(molecules, 1) : 1;
}

void GatherListedAtoms(const Workspace& ws, const VisibleAtomList& list,
                       std::vector<AtomRecord>& records, std::vector<ListedAtom>& out,
                       BandWorkers& workers) {
    records.resize(VisibleAtomList::CAPACITY);
    out.resize(static_cast<std::size_t>(list.Count()));
    const int molecules = LoadedMolecules(ws);
    workers.ForRanges(molecules, MoleculesPerBand(ws), [&](int, int from, int to) {
        for (int m = from; m < to; ++m) {
            const MoleculeRecord& mol = ws.Molecules[m];
            const int atoms = std::clamp(mol.AtomCount, 0, MAX_ATOMS);
            for (int a = 0; a < atoms; ++a) {
                if (list.Find(m, a) < 0) continue;
                AtomRecord& s = records[m * MAX_ATOMS + a];
                s.P = {mol.X[a], mol.Y[a], mol.Z[a]};
                s.R = mol.R[a];
                s.Factor = mol.PerspectiveFactor[a];
                s.Colour = {mol.ColourR[a], mol.ColourG[a], mol.ColourB[a]};
                s.Name = NameOf(mol, a);
            }
        }
    });
    GatherListed(list, records, out, workers);
}

void GatherListed(const VisibleAtomList& list, const std::vector<AtomRecord>& records,
                  std::vector<ListedAtom>& out, BandWorkers& workers) {
    const int count = list.Count();
    out.resize(static_cast<std::size_t>(count));
    workers.ForRanges(count, ATOMS_PER_BAND, [&](int, int from, int to) {
        // The records lie all over the table: each is fetched ahead of its turn.
        constexpr int AHEAD = 16;
        for (int k = from; k < to; ++k) {
            if (k + AHEAD < count) {
                const VisibleAtom& next = list[count - 1 - (k + AHEAD)];
                __builtin_prefetch(&records[next.Molecule * MAX_ATOMS + next.Atom]);
            }
            const VisibleAtom& e = list[count - 1 - k];
            const AtomRecord& r = records[e.Molecule * MAX_ATOMS + e.Atom];
            out[k] = {r.P, r.R, r.Factor, r.Colour, r.Name, e.Molecule, e.sx, e.sy};
        }
    });
}

}  // namespace tarsel
