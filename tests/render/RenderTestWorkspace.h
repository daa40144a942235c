#pragma once

#include <memory>

#include "workspace/Workspace.h"

namespace tarsel::test {

// A workspace for drawing tests: the default camera frame at V0, PP 1, Scale 100, font scale
// 0.25, grey background, everything shown; no molecules yet.
inline std::unique_ptr<Workspace> RenderWorkspace(Vec3 v0 = {0, 0, 0}) {
    auto ws = std::make_unique<Workspace>();
    ws->Camera = {v0, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    ws->Projection = {1, 100, 0.25};
    ws->BackgroundColour = {180, 180, 180};
    ws->ShowBalls = ws->ShowBonds = ws->ShowAtomNames = ws->ShowCube = true;
    ws->LastMolecule = -1;
    ws->SelectedMolecule = -1;
    return ws;
}

// Appends an atom to molecule m (which becomes the last molecule if it is beyond it) and
// returns its index.
inline int AddAtom(Workspace& ws, int m, Vec3 p, double radius, Rgb colour,
                   const char* name = "OW ") {
    if (ws.LastMolecule < m) ws.LastMolecule = m;
    MoleculeRecord& mol = ws.Molecules[m];
    if (mol.AtomCount == 0) {
        for (auto& row : mol.Bonds)
            row.fill('0');
    }
    const int a = mol.AtomCount++;
    mol.X[a] = p.x;
    mol.Y[a] = p.y;
    mol.Z[a] = p.z;
    mol.R[a] = radius;
    mol.ColourR[a] = colour.R;
    mol.ColourG[a] = colour.G;
    mol.ColourB[a] = colour.B;
    mol.NameChar1[a] = name[0];
    mol.NameChar2[a] = name[1];
    mol.NameChar3[a] = name[2];
    return a;
}

inline void Bond(Workspace& ws, int m, int a, int b, char kind) {
    ws.Molecules[m].Bonds[a][b] = kind;
}

}  // namespace tarsel::test
