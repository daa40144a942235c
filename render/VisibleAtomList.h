#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "render/BandWorkers.h"
#include "workspace/Workspace.h"

namespace tarsel {

struct VisibleAtom {
    std::int32_t Molecule = 0;
    std::int32_t Atom = 0;
    double sx = 0;  // pixels from the view centre, to the right
    double sy = 0;  // pixels from the view centre, upward
    double Distance = 0;
};

// The atoms in front of the camera, rebuilt by every render pass and read by the mouse pick
// between passes. It has room for every atom the workspace can hold, so none is ever dropped,
// and it never allocates after construction.
class VisibleAtomList {
  public:
    static constexpr int CAPACITY = MAX_MOLECULES * MAX_ATOMS;

    VisibleAtomList();

    void Clear();
    // Appends unless the table is full (it cannot be with valid indices) or the indices are
    // outside the workspace's tables; returns whether it did.
    bool Append(const VisibleAtom& entry);
    // The list becomes the runs' entries, one run after another, as from Clear and Append
    // for each entry, the copying shared among the bands. Each atom is in the runs at most
    // once, as a projection lists them.
    void Assign(std::span<const std::span<const VisibleAtom>> runs, BandWorkers& workers);
    // Ascending distance, the nearest first; equal distances keep the order of appending.
    // A selection sort would cost seconds per pass at 50,000 atoms; long lists are sorted by
    // the bits of their distances (a stable radix sort), short ones by comparison.
    void SortByDistance();
    // The same order, the work shared among the bands.
    void SortByDistance(BandWorkers& workers);

    int Count() const { return count_; }
    const VisibleAtom& operator[](int i) const { return entries_[i]; }
    // The position of the atom's entry, or -1 when it is not in the list. Inline: a pass asks
    // it for every atom and every bond.
    int Find(int molecule, int atom) const {
        if (molecule < 0 || molecule >= MAX_MOLECULES || atom < 0 || atom >= MAX_ATOMS) return -1;
        const Position& position = position_[molecule * MAX_ATOMS + atom];
        return position.Generation == generation_ ? position.Index : -1;
    }

  private:
    struct SortKey {
        std::uint64_t Key;  // ordered as the distances are
        std::int32_t Index;
    };
    void SortKeys(BandWorkers* workers);
    void RadixSortKeys(int from, int to, std::int32_t* counts);

    std::unique_ptr<VisibleAtom[]> entries_;
    std::unique_ptr<VisibleAtom[]> scratch_;
    std::unique_ptr<SortKey[]> keys_;
    std::unique_ptr<SortKey[]> keysScratch_;
    std::unique_ptr<std::int32_t[]> digitCounts_;
    // The first entry of an atom, by molecule * MAX_ATOMS + atom; only those of this list's
    // generation count.
    struct Position {
        std::uint32_t Generation = 0;
        std::int32_t Index = -1;
    };
    std::unique_ptr<Position[]> position_;
    std::uint32_t generation_ = 1;
    bool listedTwice_ = false;  // some atom has two entries
    int count_ = 0;
};

}  // namespace tarsel
