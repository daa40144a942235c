#include "render/BondRow.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarsel {
namespace {

// Marks on either side of every step the scan takes (16 at a time, then 8, then one), with
// rows cut short at each of those steps.
TEST(BondRow, FindsEveryMarkInOrderAtEveryRowLength) {
    std::array<char, MAX_ATOMS> row;
    row.fill('0');
    for (int j : {0, 7, 8, 15, 16, 17, 31, 63, 64, 79, 80, 87, 88, 95, 96, 98, 99})
        row[j] = "SDZ"[j % 3];
    row[40] = 'x';  // not a kind this scan knows: still not '0'
    for (int atoms : {0, 1, 8, 9, 16, 17, 24, 88, 89, 96, 97, 100}) {
        std::vector<int> expected, found;
        for (int j = 0; j < atoms; ++j) {
            if (row[j] != '0') expected.push_back(j);
        }
        ForEachBond(row, atoms, [&](int j) { found.push_back(j); });
        EXPECT_EQ(found, expected) << atoms << " atoms";
    }
}

}  // namespace
}  // namespace tarsel
