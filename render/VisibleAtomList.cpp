#include "render/VisibleAtomList.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tarsel {

namespace {

int Slot(int molecule, int atom) {
    return molecule * MAX_ATOMS + atom;
}

}  // namespace

VisibleAtomList::VisibleAtomList()
    : entries_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      scratch_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      keys_(std::make_unique<SortKey[]>(CAPACITY)),
      position_(std::make_unique<std::int32_t[]>(CAPACITY)) {
    std::fill_n(position_.get(), CAPACITY, -1);
}

void VisibleAtomList::Clear() {
    for (int i = 0; i < count_; ++i)
        position_[Slot(entries_[i].Molecule, entries_[i].Atom)] = -1;
    count_ = 0;
}

bool VisibleAtomList::Append(const VisibleAtom& entry) {
    if (count_ >= CAPACITY) return false;
    if (entry.Molecule < 0 || entry.Molecule >= MAX_MOLECULES || entry.Atom < 0 ||
        entry.Atom >= MAX_ATOMS) {
        return false;
    }
    entries_[count_] = entry;
    // With an atom listed twice, the first entry is the one Find reports.
    std::int32_t& position = position_[Slot(entry.Molecule, entry.Atom)];
    if (position < 0) position = count_;
    ++count_;
    return true;
}

void VisibleAtomList::SortByDistance() {
    // Sorting 16-byte keys and moving each entry once is cheaper than sorting the entries;
    // the index as the second key makes the unstable std::sort keep equal distances in order.
    for (int i = 0; i < count_; ++i) {
        // NaN would break the ordering std::sort relies on; it sorts as the farthest.
        const double d = entries_[i].Distance;
        keys_[i] = {d == d ? d : std::numeric_limits<double>::infinity(), i};
    }
    std::sort(keys_.get(), keys_.get() + count_, [](const SortKey& a, const SortKey& b) {
        if (a.Distance != b.Distance) return a.Distance < b.Distance;
        return a.Index < b.Index;
    });
    for (int i = 0; i < count_; ++i)
        scratch_[i] = entries_[keys_[i].Index];
    std::swap(entries_, scratch_);
    for (int i = count_ - 1; i >= 0; --i)
        position_[Slot(entries_[i].Molecule, entries_[i].Atom)] = i;
}

int VisibleAtomList::Find(int molecule, int atom) const {
    if (molecule < 0 || molecule >= MAX_MOLECULES || atom < 0 || atom >= MAX_ATOMS) return -1;
    return position_[Slot(molecule, atom)];
}

}  // namespace tarsel
