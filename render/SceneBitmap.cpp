#include "render/SceneBitmap.h"

#include <QColor>
#include <algorithm>
#include <cstring>

namespace tarsel {

SceneBitmap::SceneBitmap(Rgb fill) : image_(SCENE_SIZE, SCENE_SIZE, QImage::Format_BGR888) {
    Fill({0, 0, SCENE_SIZE, SCENE_SIZE}, fill);
}

Rect ClipToScene(const Rect& r) {
    const Rect c{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, SCENE_SIZE),
                 std::min(r.Bottom, SCENE_SIZE)};
    if (c.Left >= c.Right || c.Top >= c.Bottom) return {};
    return c;
}

void SceneBitmap::Fill(const Rect& r, Rgb colour) {
    const Rect c = ClipToScene(r);
    const int left = c.Left, top = c.Top, right = c.Right, bottom = c.Bottom;
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

QImage SceneBitmap::Copy(const Rect& r, Rgb outside) const {
    const int width = std::max(r.Width(), 0), height = std::max(r.Height(), 0);
    const Rect on = ClipToScene(r);
    if (on.Left == r.Left && on.Top == r.Top && on.Right == r.Right && on.Bottom == r.Bottom)
        return image_.copy(r.Left, r.Top, width, height);
    QImage out(width, height, QImage::Format_BGR888);
    out.fill(QColor(outside.R & 0xFF, outside.G & 0xFF, outside.B & 0xFF));
    for (int y = on.Top; y < on.Bottom; ++y) {
        std::memcpy(out.scanLine(y - r.Top) + 3 * (on.Left - r.Left),
                    image_.constScanLine(y) + 3 * on.Left, 3 * (on.Right - on.Left));
    }
    return out;
}

}  // namespace tarsel
