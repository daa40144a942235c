#include "export/GifPalette.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tarsel {

namespace {

constexpr int BINS = 1 << 15;  // 5 bits a channel

int BinOf(int r, int g, int b) {
    return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
}

std::uint32_t Entry(int r, int g, int b) {
    return 0xFF000000u | static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b);
}

// The colours of a picture that has at most 256: their indexes, or false.
bool ExactColours(const std::uint8_t* bgr, std::ptrdiff_t stride, int width, int height,
                  std::uint8_t* index, std::ptrdiff_t indexStride, std::uint32_t palette[256],
                  int& used) {
    constexpr int SLOTS = 1024;  // open addressing, at most a quarter full
    std::array<std::uint32_t, SLOTS> keys;
    std::array<std::uint8_t, SLOTS> values{};
    keys.fill(0);  // 0 = empty; the keys carry the 0xFF000000 of the entry
    used = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = bgr + y * stride;
        std::uint8_t* out = index + y * indexStride;
        std::uint32_t lastKey = 0;
        std::uint8_t last = 0;
        for (int x = 0; x < width; ++x, p += 3) {
            const std::uint32_t key = Entry(p[2], p[1], p[0]);
            if (key != lastKey) {
                std::uint32_t slot = (key * 2654435761u) >> 22;
                while (keys[slot] != 0 && keys[slot] != key)
                    slot = (slot + 1) & (SLOTS - 1);
                if (keys[slot] == 0) {
                    if (used == 256) return false;
                    keys[slot] = key;
                    values[slot] = static_cast<std::uint8_t>(used);
                    palette[used++] = key;
                }
                lastKey = key;
                last = values[slot];
            }
            out[x] = last;
        }
    }
    return true;
}

struct Box {
    int lo[3], hi[3];  // bin coordinates, inclusive
    std::uint64_t count;
};

// Median cut over the 5-bit histogram: the most populous box is split at its median along its
// longest side until there are 256 boxes or none can be split.
std::vector<Box> MedianCut(const std::vector<std::uint32_t>& hist) {
    auto at = [&](const int c[3]) { return hist[c[0] << 10 | c[1] << 5 | c[2]]; };
    // Shrinks a box to its filled bins and counts them.
    auto fit = [&](Box& b) {
        int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
        b.count = 0;
        int c[3];
        for (c[0] = b.lo[0]; c[0] <= b.hi[0]; ++c[0])
            for (c[1] = b.lo[1]; c[1] <= b.hi[1]; ++c[1])
                for (c[2] = b.lo[2]; c[2] <= b.hi[2]; ++c[2]) {
                    const std::uint32_t n = at(c);
                    if (n == 0) continue;
                    b.count += n;
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], c[k]);
                        hi[k] = std::max(hi[k], c[k]);
                    }
                }
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = lo[k];
            b.hi[k] = hi[k];
        }
    };
    std::vector<Box> boxes{{{0, 0, 0}, {31, 31, 31}, 0}};
    fit(boxes[0]);
    while (boxes.size() < 256) {
        int best = -1;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            const Box& b = boxes[i];
            const bool splittable = b.hi[0] > b.lo[0] || b.hi[1] > b.lo[1] || b.hi[2] > b.lo[2];
            if (splittable && (best < 0 || b.count > boxes[best].count)) best = i;
        }
        if (best < 0) break;
        Box& b = boxes[best];
        int axis = 0;
        for (int k = 1; k < 3; ++k) {
            if (b.hi[k] - b.lo[k] > b.hi[axis] - b.lo[axis]) axis = k;
        }
        // The plane below which half the pixels lie, leaving both sides non-empty.
        std::uint64_t below = 0;
        int cut = b.lo[axis];
        for (int v = b.lo[axis]; v < b.hi[axis]; ++v) {
            int c[3];
            const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
            c[axis] = v;
            for (c[a1] = b.lo[a1]; c[a1] <= b.hi[a1]; ++c[a1])
                for (c[a2] = b.lo[a2]; c[a2] <= b.hi[a2]; ++c[a2])
                    below += at(c);
            cut = v;
            if (2 * below >= b.count) break;
        }
        Box upper = b;
        upper.lo[axis] = cut + 1;
        b.hi[axis] = cut;
        fit(b);
        fit(upper);
        if (upper.count > 0) boxes.push_back(upper);
    }
    return boxes;
}

}  // namespace

int ToPalette(const std::uint8_t* bgr, std::ptrdiff_t stride, int width, int height,
              std::uint8_t* index, std::ptrdiff_t indexStride, std::uint32_t palette[256]) {
    std::fill(palette, palette + 256, 0xFF000000u);
    int used = 0;
    if (ExactColours(bgr, stride, width, height, index, indexStride, palette, used)) return used;
    std::fill(palette, palette + 256, 0xFF000000u);

    std::vector<std::uint32_t> hist(BINS, 0);
    std::vector<std::array<std::uint64_t, 3>> sums(BINS, {0, 0, 0});
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = bgr + y * stride;
        for (int x = 0; x < width; ++x, p += 3) {
            const int bin = BinOf(p[2], p[1], p[0]);
            ++hist[bin];
            sums[bin][0] += p[2];
            sums[bin][1] += p[1];
            sums[bin][2] += p[0];
        }
    }
    const std::vector<Box> boxes = MedianCut(hist);
    std::vector<std::array<int, 3>> colours;
    for (const Box& b : boxes) {
        std::uint64_t s[3] = {0, 0, 0};
        for (int r = b.lo[0]; r <= b.hi[0]; ++r)
            for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl)
                    for (int k = 0; k < 3; ++k)
                        s[k] += sums[r << 10 | g << 5 | bl][k];
        std::array<int, 3> c;
        for (int k = 0; k < 3; ++k)
            c[k] = static_cast<int>((s[k] + b.count / 2) / b.count);
        palette[colours.size()] = Entry(c[0], c[1], c[2]);
        colours.push_back(c);
    }

    // The nearest palette colour of each bin, found when first needed.
    std::vector<std::int16_t> nearest(BINS, -1);
    auto lookup = [&](int r, int g, int b) {
        std::int16_t& n = nearest[BinOf(r, g, b)];
        if (n < 0) {
            // The bin's centre stands for its colours.
            const int cr = (r & ~7) + 4, cg = (g & ~7) + 4, cb = (b & ~7) + 4;
            int best = 0, bestDistance = 1 << 30;
            for (int i = 0; i < static_cast<int>(colours.size()); ++i) {
                const int dr = colours[i][0] - cr, dg = colours[i][1] - cg, db = colours[i][2] - cb;
                const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            n = static_cast<std::int16_t>(best);
        }
        return n;
    };

    // Floyd-Steinberg: each pixel's error goes to its unvisited neighbours (7, 3, 5, 1 / 16).
    std::vector<int> errorRow((width + 2) * 3, 0), nextRow((width + 2) * 3, 0);
    for (int y = 0; y < height; ++y) {
        std::fill(nextRow.begin(), nextRow.end(), 0);
        const std::uint8_t* p = bgr + y * stride;
        std::uint8_t* out = index + y * indexStride;
        for (int x = 0; x < width; ++x, p += 3) {
            int want[3];
            for (int k = 0; k < 3; ++k) {
                want[k] = std::clamp(p[2 - k] + errorRow[(x + 1) * 3 + k] / 16, 0, 255);
            }
            const int i = lookup(want[0], want[1], want[2]);
            out[x] = static_cast<std::uint8_t>(i);
            for (int k = 0; k < 3; ++k) {
                const int e = want[k] - colours[i][k];
                errorRow[(x + 2) * 3 + k] += 7 * e;
                nextRow[x * 3 + k] += 3 * e;
                nextRow[(x + 1) * 3 + k] += 5 * e;
                nextRow[(x + 2) * 3 + k] += e;
            }
        }
        std::swap(errorRow, nextRow);
    }
    return static_cast<int>(colours.size());
}

}  // namespace tarsel
