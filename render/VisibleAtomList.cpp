#include "render/VisibleAtomList.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace tarsel {

namespace {

int Slot(int molecule, int atom) {
    return molecule * MAX_ATOMS + atom;
}

// A distance's bits, turned so that unsigned order is numeric order: NaN sorts as the
// farthest, -0 as 0, negative values (which no distance has) below the positive ones.
std::uint64_t OrderedBits(double d) {
    if (d != d) d = std::numeric_limits<double>::infinity();
    if (d == 0) d = 0;
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits >> 63 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Radix digits of 11 bits; below this count a comparison sort is quicker.
constexpr int DIGIT_BITS = 11;
constexpr int DIGITS = (64 + DIGIT_BITS - 1) / DIGIT_BITS;
constexpr int BUCKETS = 1 << DIGIT_BITS;
constexpr int RADIX_FROM = 2048;

}  // namespace

VisibleAtomList::VisibleAtomList()
    : entries_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      scratch_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      keys_(std::make_unique<SortKey[]>(CAPACITY)),
      keysScratch_(std::make_unique<SortKey[]>(CAPACITY)),
      digitCounts_(std::make_unique<std::int32_t[]>(DIGITS * BUCKETS)),
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
    // the index as the second key keeps equal distances in order.
    for (int i = 0; i < count_; ++i)
        keys_[i] = {OrderedBits(entries_[i].Distance), i};
    if (count_ >= RADIX_FROM) {
        RadixSortKeys();
    } else {
        std::sort(keys_.get(), keys_.get() + count_, [](const SortKey& a, const SortKey& b) {
            if (a.Key != b.Key) return a.Key < b.Key;
            return a.Index < b.Index;
        });
    }
    for (int i = 0; i < count_; ++i)
        scratch_[i] = entries_[keys_[i].Index];
    std::swap(entries_, scratch_);
    for (int i = count_ - 1; i >= 0; --i)
        position_[Slot(entries_[i].Molecule, entries_[i].Atom)] = i;
}

void VisibleAtomList::RadixSortKeys() {
    // Least significant digit first; each pass is stable, so the list order survives among
    // equal keys. Digits that all keys share (the exponent, mostly) are skipped.
    std::int32_t* counts = digitCounts_.get();
    std::fill_n(counts, DIGITS * BUCKETS, 0);
    for (int i = 0; i < count_; ++i) {
        const std::uint64_t key = keys_[i].Key;
        for (int d = 0; d < DIGITS; ++d)
            ++counts[d * BUCKETS + ((key >> (d * DIGIT_BITS)) & (BUCKETS - 1))];
    }
    for (int d = 0; d < DIGITS; ++d) {
        std::int32_t* count = counts + d * BUCKETS;
        const int shift = d * DIGIT_BITS;
        if (count[(keys_[0].Key >> shift) & (BUCKETS - 1)] == count_) continue;
        std::int32_t next = 0;
        for (int b = 0; b < BUCKETS; ++b) {
            const std::int32_t n = count[b];
            count[b] = next;
            next += n;
        }
        for (int i = 0; i < count_; ++i)
            keysScratch_[count[(keys_[i].Key >> shift) & (BUCKETS - 1)]++] = keys_[i];
        std::swap(keys_, keysScratch_);
    }
}

int VisibleAtomList::Find(int molecule, int atom) const {
    if (molecule < 0 || molecule >= MAX_MOLECULES || atom < 0 || atom >= MAX_ATOMS) return -1;
    return position_[Slot(molecule, atom)];
}

}  // namespace tarsel
