#include "render/SceneBitmap.h"

#include <algorithm>

namespace tarsel {

SceneBitmap::SceneBitmap(Rgb fill) : image_(SCENE_SIZE, SCENE_SIZE, QImage::Format_BGR888) {
    Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, fill);
}

void SceneBitmap::Fill(const Rect& r, Rgb colour) {
    const int left = std::max(r.Left, 0);
    const int top = std::max(r.Top, 0);
    const int right = std::min(r.Right, SCENE_SIZE);
    const int bottom = std::min(r.Bottom, SCENE_SIZE);
    if (left >= right || top >= bottom) return;
    const auto b = static_cast<uchar>(colour.B), g = static_cast<uchar>(colour.G),
               red = static_cast<uchar>(colour.R);
    for (int y = top; y < bottom; ++y) {
        uchar* row = image_.scanLine(y);
        for (int x = left; x < right; ++x) {
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = red;
        }
    }
}

Rgb SceneBitmap::Pixel(int x, int y) const {
    const uchar* row = image_.constScanLine(y);
    return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
}

}  // namespace tarsel
