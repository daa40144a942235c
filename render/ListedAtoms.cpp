#include "render/ListedAtoms.h"

namespace tarsel {

void GatherListedAtoms(const Workspace& ws, const VisibleAtomList& list,
                       std::vector<ListedAtom>& records, std::vector<ListedAtom>& out) {
    records.resize(VisibleAtomList::CAPACITY);
    const int last = std::min(ws.LastMolecule, MAX_MOLECULES - 1);
    for (int m = 0; m <= last; ++m) {
        const MoleculeRecord& mol = ws.Molecules[m];
        const int atoms = std::clamp(mol.AtomCount, 0, MAX_ATOMS);
        for (int a = 0; a < atoms; ++a) {
            if (list.Find(m, a) < 0) continue;
            ListedAtom& s = records[m * MAX_ATOMS + a];
            s.P = {mol.X[a], mol.Y[a], mol.Z[a]};
            s.R = mol.R[a];
            s.Factor = mol.PerspectiveFactor[a];
            s.Colour = {mol.ColourR[a], mol.ColourG[a], mol.ColourB[a]};
            s.Name = NameOf(mol, a);
        }
    }
    out.resize(static_cast<std::size_t>(list.Count()));
    for (int i = list.Count() - 1, k = 0; i >= 0; --i, ++k) {
        const VisibleAtom& e = list[i];
        ListedAtom& atom = out[k];
        atom = records[e.Molecule * MAX_ATOMS + e.Atom];
        atom.Molecule = e.Molecule;
        atom.sx = e.sx;
        atom.sy = e.sy;
    }
}

}  // namespace tarsel
