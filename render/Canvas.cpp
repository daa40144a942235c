#include "render/Canvas.h"

#include <algorithm>

namespace tarsel {

void Canvas::Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
                   BandWorkers& /*workers*/) {
    for (const BatchLine& l : lines) {
        if (l.Pen >= 0) SetPen(pens[l.Pen].Colour, pens[l.Pen].Style);
        if (l.Draw) Line(l.X1, l.Y1, l.X2, l.Y2);
    }
}

void Canvas::FlatItems(std::span<const FlatItem> items, Rgb outline, Rgb textColour,
                       BandWorkers& /*workers*/) {
    const std::int64_t top = std::max(shown_.Top, 0), bottom = std::min(shown_.Bottom, SCENE_SIZE);
    const std::int64_t left = std::max(shown_.Left, 0), right = std::min(shown_.Right, SCENE_SIZE);
    for (const FlatItem& item : items) {
        if (item.Disc) {
            SetPenColour(outline);
            SetBrush(item.Fill);
            Ellipse(item.X1, item.Y1, item.X2, item.Y2);
        }
        for (int k = 0; k < item.Pieces; ++k) {
            const TextCoverage& c = item.Name[k];
            const std::int64_t y0 = std::int64_t{item.NameY} + c.Top;
            const std::int64_t from = std::max(y0, top), to = std::min(y0 + c.Height, bottom);
            for (std::int64_t y = from; y < to; ++y)
                BlendCoverageSpan(Row(static_cast<int>(y)), c, static_cast<int>(y - y0), item.NameX,
                                  textColour, left, right);
        }
    }
}

}  // namespace tarsel
