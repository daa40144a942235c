#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "render/BandWorkers.h"
#include "render/VisibleAtomList.h"
#include "workspace/Workspace.h"

namespace tarsel {

// "%c%c%c" of an atom's three letters; a zero letter ends the text as it ends a C string.
struct AtomName {
    char Letters[3];
    std::uint8_t Length;
    std::string_view View() const { return {Letters, Length}; }
};
// Put together as one word: four byte stores read back as a word would stall.
inline AtomName NameOf(const MoleculeRecord& m, int a) {
    static_assert(sizeof(AtomName) == 4 && std::endian::native == std::endian::little);
    const std::uint32_t c1 = static_cast<unsigned char>(m.NameChar1[a]),
                        c2 = static_cast<unsigned char>(m.NameChar2[a]),
                        c3 = static_cast<unsigned char>(m.NameChar3[a]);
    const std::uint32_t length = c1 == 0 ? 0 : c2 == 0 ? 1 : c3 == 0 ? 2 : 3;
    const std::uint32_t word = c1 | c2 << 8 | c3 << 16 | length << 24;
    AtomName name;
    std::memcpy(&name, &word, sizeof name);
    return name;
}

// An atom's values as the drawing steps read them, in one cache line.
struct alignas(64) AtomRecord {
    Vec3 P;
    double R = 0;
    double Factor = 0;  // its PerspectiveFactor
    Rgb Colour;
    AtomName Name;
};

// Work on fewer atoms than this per band stays on the calling thread: waking the workers would
// cost more than it saves.
inline constexpr int ATOMS_PER_BAND = 4000;
// The least number of molecules per band that shares a loop over the workspace's molecules out
// among the workers only when it holds enough atoms.
int MoleculesPerBand(const Workspace& ws);

// What the drawing steps read of one listed atom.
struct ListedAtom {
    Vec3 P;
    double R = 0;
    double Factor = 0;
    Rgb Colour;
    AtomName Name;
    std::int32_t Molecule = 0;
    double sx = 0, sy = 0;
};

// The listed atoms from the list's last entry to its first, the order they are drawn in. The
// molecule tables are read once, in memory order, into one compact record per atom (kept in
// records, by molecule * MAX_ATOMS + atom); the entries then take their values from those records
// instead of from a dozen arrays scattered over the workspace, each a cache miss of its own
// when a large run is visited in depth order.
// The work is shared among the workers.
void GatherListedAtoms(const Workspace& ws, const VisibleAtomList& list,
                       std::vector<AtomRecord>& records, std::vector<ListedAtom>& out,
                       BandWorkers& workers);
// The second half of that: the entries from records already made for the listed atoms.
void GatherListed(const VisibleAtomList& list, const std::vector<AtomRecord>& records,
                  std::vector<ListedAtom>& out, BandWorkers& workers);

}  // namespace tarsel
