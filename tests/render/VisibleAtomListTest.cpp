#include "render/VisibleAtomList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <span>
#include <vector>

namespace tarsel {
namespace {

TEST(VisibleAtomList, SortsNearestFirstKeepingEqualDistancesInOrder) {
    VisibleAtomList list;
    const double d[] = {5, 1, 3, 1, 5, 0.5, 3};
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(list.Append({i / 3, i % 3, 0, 0, d[i]}));
    list.SortByDistance();
    ASSERT_EQ(list.Count(), 7);
    // Appended as (0,0) 5, (0,1) 1, (0,2) 3, (1,0) 1, (1,1) 5, (1,2) 0.5, (2,0) 3.
    const int expectMolecule[] = {1, 0, 1, 0, 2, 0, 1};
    const int expectAtom[] = {2, 1, 0, 2, 0, 0, 1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(list[i].Molecule, expectMolecule[i]) << i;
        EXPECT_EQ(list[i].Atom, expectAtom[i]) << i;
    }
    EXPECT_EQ(list.Find(0, 0), 5);
    EXPECT_EQ(list.Find(1, 2), 0);
    EXPECT_EQ(list.Find(2, 1), -1);
    EXPECT_EQ(list.Find(-1, 0), -1);
    EXPECT_EQ(list.Find(0, MAX_ATOMS), -1);
}

TEST(VisibleAtomList, HoldsEveryAtomOfTheLargestWorkspace) {
    auto list = std::make_unique<VisibleAtomList>();
    // All at one distance but a few: the sort must keep the 50,000 in list order.
    for (int m = 0; m < MAX_MOLECULES; ++m) {
        for (int a = 0; a < MAX_ATOMS; ++a) {
            const double d = (m * MAX_ATOMS + a) % 1000 == 999 ? 1.0 : 2.0;
            ASSERT_TRUE(list->Append({m, a, 0, 0, d}));
        }
    }
    EXPECT_FALSE(list->Append({0, 0, 0, 0, 1}));  // full
    list->SortByDistance();
    ASSERT_EQ(list->Count(), VisibleAtomList::CAPACITY);
    EXPECT_EQ((*list)[0].Molecule, 9);
    EXPECT_EQ((*list)[0].Atom, 99);
    EXPECT_EQ((*list)[49].Molecule, 499);
    EXPECT_EQ((*list)[50].Molecule, 0);
    EXPECT_EQ((*list)[50].Atom, 0);
    for (int i = 51; i < list->Count(); ++i) {
        const VisibleAtom& prev = (*list)[i - 1];
        const VisibleAtom& e = (*list)[i];
        ASSERT_LT(prev.Molecule * MAX_ATOMS + prev.Atom, e.Molecule * MAX_ATOMS + e.Atom);
    }
    EXPECT_EQ(list->Find(499, 98), VisibleAtomList::CAPACITY - 1);
    EXPECT_EQ(list->Find(499, 99), 49);
}

TEST(VisibleAtomList, LongListsSortLikeAStableSortOfTheDistances) {
    // Long lists take the radix sort: distances over many exponents, repeats, zeros, NaN, and
    // distances a few units of the last place apart, which only their low bits tell apart;
    // sorted on this thread, or in runs on 2 and 3 bands that are then merged. Lists of
    // several lengths, so that the two runs' boundary falls on either side of a pair.
    std::mt19937 rng(5);
    for (int count : {20000, 20001, 12345, 9000}) {
        std::vector<double> d;
        for (int i = 0; i < count; ++i) {
            const double x =
                std::ldexp(1 + (rng() % 1000) / 1000.0, static_cast<int>(rng() % 40) - 20);
            const double close = std::ldexp(1.5 + (rng() % 64) * 0x1p-50, 3);
            d.push_back(i % 97 == 0   ? std::numeric_limits<double>::quiet_NaN()
                        : i % 89 == 0 ? 0
                        : i % 5 == 0  ? close
                                      : x);
        }
        std::vector<int> order(d.size());
        std::iota(order.begin(), order.end(), 0);
        const auto key = [&](int i) { return d[i] == d[i] ? d[i] : HUGE_VAL; };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
        for (int bands : {1, 2, 3}) {
            auto list = std::make_unique<VisibleAtomList>();
            for (int i = 0; i < count; ++i)
                ASSERT_TRUE(list->Append({i / MAX_ATOMS, i % MAX_ATOMS, 0, 0, d[i]}));
            BandWorkers workers(bands);
            if (bands == 1) {
                list->SortByDistance();
            } else {
                list->SortByDistance(workers);
            }
            for (int i = 0; i < list->Count(); ++i) {
                ASSERT_EQ((*list)[i].Molecule * MAX_ATOMS + (*list)[i].Atom, order[i])
                    << i << " of " << count << " on " << bands << " bands";
                ASSERT_EQ(list->Find((*list)[i].Molecule, (*list)[i].Atom), i);
            }
        }
    }
}

TEST(VisibleAtomList, ClearForgetsThePositions) {
    VisibleAtomList list;
    list.Append({4, 7, 1, 2, 3});
    list.SortByDistance();
    EXPECT_EQ(list.Find(4, 7), 0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find(4, 7), -1);
    EXPECT_FALSE(list.Append({MAX_MOLECULES, 0, 0, 0, 1}));
    EXPECT_FALSE(list.Append({0, -1, 0, 0, 1}));
}

TEST(VisibleAtomList, AssignedRunsMatchAppendingThemInTurn) {
    // Runs of uneven lengths (empty ones too) copied on 1 to 3 bands; an entry with a bad
    // index is dropped as Append drops it; atoms of the list before are no longer found.
    std::vector<std::vector<VisibleAtom>> runs(7);
    const int lengths[] = {3000, 0, 1, 4500, 0, 2047, 777};
    int next = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (int i = 0; i < lengths[r]; ++i, ++next)
            runs[r].push_back(
                {next / MAX_ATOMS, next % MAX_ATOMS, 0.5 * i, -0.5 * i, 1.0 / (next + 1)});
    }
    for (bool bad : {false, true}) {
        if (bad) runs[3][100].Atom = MAX_ATOMS;
        std::vector<std::span<const VisibleAtom>> spans(runs.begin(), runs.end());
        VisibleAtomList expected;
        for (const auto& run : runs) {
            for (const VisibleAtom& e : run)
                expected.Append(e);
        }
        for (int bands : {1, 2, 3}) {
            auto list = std::make_unique<VisibleAtomList>();
            list->Append({MAX_MOLECULES - 1, MAX_ATOMS - 1, 0, 0, 1});
            BandWorkers workers(bands);
            list->Assign(spans, workers);
            ASSERT_EQ(list->Count(), expected.Count()) << bands << " bands, bad " << bad;
            for (int i = 0; i < list->Count(); ++i) {
                ASSERT_EQ((*list)[i].Molecule, expected[i].Molecule) << i;
                ASSERT_EQ((*list)[i].Atom, expected[i].Atom) << i;
                ASSERT_EQ((*list)[i].sx, expected[i].sx) << i;
                ASSERT_EQ(list->Find(expected[i].Molecule, expected[i].Atom), i);
            }
            EXPECT_EQ(list->Find(MAX_MOLECULES - 1, MAX_ATOMS - 1), -1);
        }
    }
}

TEST(VisibleAtomList, NaNDistancesSortLast) {
    VisibleAtomList list;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    list.Append({0, 0, 0, 0, nan});
    list.Append({0, 1, 0, 0, 2});
    list.Append({0, 2, 0, 0, nan});
    list.Append({0, 3, 0, 0, 1});
    list.SortByDistance();
    EXPECT_EQ(list[0].Atom, 3);
    EXPECT_EQ(list[1].Atom, 1);
    EXPECT_EQ(list[2].Atom, 0);
    EXPECT_EQ(list[3].Atom, 2);
}

}  // namespace
}  // namespace tarsel
