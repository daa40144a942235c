#include "render/VisibleAtomList.h"

#include <algorithm>
#include <array>
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

// Radix digits of 11 bits, over the top 33 bits of a key only: those tell nearly all distances
// apart, and the few keys that share them are ordered by comparison after, in half the passes
// that all 64 bits would take. Below RADIX_FROM keys a comparison sort is quicker.
constexpr int DIGIT_BITS = 11;
constexpr int DIGITS = 3;
constexpr int LOW_BITS = 64 - DIGITS * DIGIT_BITS;
constexpr int BUCKETS = 1 << DIGIT_BITS;
constexpr int RADIX_FROM = 2048;

}  // namespace

VisibleAtomList::VisibleAtomList()
    : entries_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      scratch_(std::make_unique<VisibleAtom[]>(CAPACITY)),
      keys_(std::make_unique<SortKey[]>(CAPACITY)),
      keysScratch_(std::make_unique<SortKey[]>(CAPACITY)),
      digitCounts_(std::make_unique<std::int32_t[]>(BandWorkers::MAX_BANDS * DIGITS * BUCKETS)),
      position_(std::make_unique<Position[]>(CAPACITY)) {}

void VisibleAtomList::Clear() {
    // Positions of an earlier list are told apart by their generation, so none is reset here.
    count_ = 0;
    listedTwice_ = false;
    if (++generation_ == 0) {
        std::fill_n(position_.get(), CAPACITY, Position{});
        generation_ = 1;
    }
}

bool VisibleAtomList::Append(const VisibleAtom& entry) {
    if (count_ >= CAPACITY) return false;
    if (entry.Molecule < 0 || entry.Molecule >= MAX_MOLECULES || entry.Atom < 0 ||
        entry.Atom >= MAX_ATOMS) {
        return false;
    }
    entries_[count_] = entry;
    // With an atom listed twice, the first entry is the one Find reports.
    Position& position = position_[Slot(entry.Molecule, entry.Atom)];
    if (position.Generation != generation_) {
        position = {generation_, count_};
    } else {
        listedTwice_ = true;
    }
    ++count_;
    return true;
}

void VisibleAtomList::Assign(std::span<const std::span<const VisibleAtom>> runs,
                             BandWorkers& workers) {
    Clear();
    constexpr int MAX_RUNS = 64;
    std::array<int, MAX_RUNS + 1> start{};
    std::int64_t total = 0;
    for (std::size_t r = 0; r < runs.size() && r < MAX_RUNS; ++r) {
        start[r] = static_cast<int>(std::min<std::int64_t>(total, CAPACITY));
        total += static_cast<std::int64_t>(runs[r].size());
    }
    const auto appendAll = [&] {
        for (const std::span<const VisibleAtom>& run : runs) {
            for (const VisibleAtom& e : run)
                Append(e);
        }
    };
    if (runs.size() > MAX_RUNS || total > CAPACITY) {
        appendAll();
        return;
    }
    const int runCount = static_cast<int>(runs.size());
    start[runCount] = static_cast<int>(total);
    // Each band copies a stretch of the whole list, and places its atoms. An entry that
    // Append would refuse sends the list the slow way.
    PerBand<bool> odd;
    for (int band = 0; band < workers.Bands(); ++band)
        odd[band] = false;
    const std::uint32_t generation = generation_;
    workers.ForRanges(static_cast<int>(total), RADIX_FROM, [&](int band, int from, int to) {
        int r = static_cast<int>(std::upper_bound(start.begin(), start.begin() + runCount, from) -
                                 start.begin()) -
                1;
        for (int i = from; i < to; ++i) {
            while (i >= start[r + 1])
                ++r;
            const VisibleAtom& e =
                runs[static_cast<std::size_t>(r)][static_cast<std::size_t>(i - start[r])];
            if (e.Molecule < 0 || e.Molecule >= MAX_MOLECULES || e.Atom < 0 ||
                e.Atom >= MAX_ATOMS) {
                odd[band] = true;
                continue;
            }
            entries_[i] = e;
            position_[Slot(e.Molecule, e.Atom)] = {generation, i};
        }
    });
    bool anyOdd = false;
    for (int band = 0; band < workers.Bands(); ++band)
        anyOdd = anyOdd || odd[band];
    if (anyOdd) {
        Clear();
        appendAll();
        return;
    }
    count_ = static_cast<int>(total);
}

void VisibleAtomList::SortByDistance() {
    SortKeys(nullptr);
}

void VisibleAtomList::SortByDistance(BandWorkers& workers) {
    SortKeys(&workers);
}

void VisibleAtomList::SortKeys(BandWorkers* workers) {
    // Sorting 16-byte keys and moving each entry once is cheaper than sorting the entries;
    // the index as the second key keeps equal distances in order. Long lists are sorted in
    // runs, one per band, and the runs merged: (key, index) orders every entry, so any way
    // of sorting gives the one order.
    const auto before = [](const SortKey& a, const SortKey& b) {
        return a.Key != b.Key ? a.Key < b.Key : a.Index < b.Index;
    };
    std::array<int, BandWorkers::MAX_BANDS + 1> runStart{};
    int runs = 1;
    const auto sortRun = [&](int band, int from, int to) {
        runStart[band] = from;
        runStart[band + 1] = to;
        for (int i = from; i < to; ++i)
            keys_[i] = {OrderedBits(entries_[i].Distance), i};
        if (to - from >= RADIX_FROM) {
            RadixSortKeys(from, to, digitCounts_.get() + band * DIGITS * BUCKETS);
        } else {
            std::sort(keys_.get() + from, keys_.get() + to, before);
        }
    };
    if (workers != nullptr) {
        runs = workers->ForRanges(count_, RADIX_FROM, sortRun);
    } else {
        sortRun(0, 0, count_);
    }
    const SortKey* sorted = keys_.get();
    if (runs == 2) {
        // Two runs merge on two bands: the first band makes the first half of the list, from
        // the keys of both runs that belong there.
        const SortKey* a = keys_.get();
        const SortKey* b = keys_.get() + runStart[1];
        const int na = runStart[1], nb = count_ - runStart[1], half = count_ / 2;
        int lo = std::max(0, half - nb), hi = std::min(half, na);
        while (lo < hi) {
            const int i = (lo + hi) / 2;
            if (before(a[i], b[half - i - 1])) {
                lo = i + 1;
            } else {
                hi = i;
            }
        }
        SortKey* out = keysScratch_.get();
        auto merge = [&](int band) {
            if (band == 0) {
                std::merge(a, a + lo, b, b + (half - lo), out, before);
            } else if (band == 1) {
                std::merge(a + lo, a + na, b + (half - lo), b + nb, out + half, before);
            }
        };
        workers->Run(merge);
        sorted = out;
    } else if (runs > 2) {
        // Each merge joins the next run to all before it.
        SortKey* in = keys_.get();
        SortKey* out = keysScratch_.get();
        for (int run = 1; run < runs; ++run) {
            std::merge(in, in + runStart[run], in + runStart[run], in + runStart[run + 1], out,
                       before);
            std::copy(in + runStart[run + 1], in + count_, out + runStart[run + 1]);
            std::swap(in, out);
        }
        sorted = in;
    }
    // The entries in order, and where each now is; an atom listed twice keeps its first
    // entry's position, which the bands could not tell.
    const std::uint32_t generation = generation_;
    const bool placeOnBands = !listedTwice_;
    const auto gather = [&](int, int from, int to) {
        for (int i = from; i < to; ++i) {
            const VisibleAtom& e = entries_[sorted[i].Index];
            scratch_[i] = e;
            if (placeOnBands) position_[Slot(e.Molecule, e.Atom)] = {generation, i};
        }
    };
    if (workers != nullptr) {
        workers->ForRanges(count_, RADIX_FROM, gather);
    } else {
        gather(0, 0, count_);
    }
    std::swap(entries_, scratch_);
    if (!placeOnBands) {
        for (int i = count_ - 1; i >= 0; --i)
            position_[Slot(entries_[i].Molecule, entries_[i].Atom)] = {generation_, i};
    }
}

void VisibleAtomList::RadixSortKeys(int from, int to, std::int32_t* counts) {
    // Least significant digit first; each pass is stable, so the list order survives among
    // equal keys. Digits that all keys share (the exponent, mostly) are skipped. The sorted
    // keys end in keys_[from, to), and runs that share the top bits are then sorted whole.
    SortKey* keys = keys_.get() + from;
    SortKey* scratch = keysScratch_.get() + from;
    const int n = to - from;
    std::fill_n(counts, DIGITS * BUCKETS, 0);
    for (int i = 0; i < n; ++i) {
        const std::uint64_t key = keys[i].Key;
        for (int d = 0; d < DIGITS; ++d)
            ++counts[d * BUCKETS + ((key >> (LOW_BITS + d * DIGIT_BITS)) & (BUCKETS - 1))];
    }
    for (int d = 0; d < DIGITS; ++d) {
        std::int32_t* count = counts + d * BUCKETS;
        const int shift = LOW_BITS + d * DIGIT_BITS;
        if (count[(keys[0].Key >> shift) & (BUCKETS - 1)] == n) continue;
        std::int32_t next = 0;
        for (int b = 0; b < BUCKETS; ++b) {
            const std::int32_t c = count[b];
            count[b] = next;
            next += c;
        }
        for (int i = 0; i < n; ++i)
            scratch[count[(keys[i].Key >> shift) & (BUCKETS - 1)]++] = keys[i];
        std::swap(keys, scratch);
    }
    if (keys != keys_.get() + from) std::copy(keys, keys + n, keys_.get() + from);
    keys = keys_.get() + from;
    for (int i = 0; i < n;) {
        const std::uint64_t top = keys[i].Key >> LOW_BITS;
        int end = i + 1;
        while (end < n && keys[end].Key >> LOW_BITS == top)
            ++end;
        if (end - i > 1) {
            std::sort(keys + i, keys + end, [](const SortKey& a, const SortKey& b) {
                return a.Key != b.Key ? a.Key < b.Key : a.Index < b.Index;
            });
        }
        i = end;
    }
}

}  // namespace tarsel
