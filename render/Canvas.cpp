#include "render/Canvas.h"

#include <algorithm>

#include "render/CoverageBlend.h"

namespace tarsel {

void BlendCoverageLines(std::uint8_t* top, std::int64_t stride, const TextCoverage& c,
                        int firstLine, int lines, std::int64_t x, Rgb colour, std::int64_t lo,
                        std::int64_t hi, int lineStep) {
    CoverageBlender(colour).Lines(top, stride, c, firstLine, lines, x, lo, hi, lineStep);
}

std::int64_t EvenRowStride(std::uint8_t* const* rows, int count) {
    if (count < 2) return 0;
    const std::int64_t stride = rows[1] - rows[0];
    for (int y = 2; y < count; ++y) {
        if (rows[y] - rows[y - 1] != stride) return 0;
    }
    return stride;
}

void BlendCoverageSpan(std::uint8_t* row, const TextCoverage& c, int line, std::int64_t x,
                       Rgb colour, std::int64_t lo, std::int64_t hi) {
    BlendCoverageLines(row, 0, c, line, 1, x, colour, lo, hi);
}

void Canvas::Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
                   BandWorkers& /*workers*/) {
    for (const BatchLine& l : lines) {
        if (l.Pen >= 0) SetPen(pens[l.Pen].Colour, pens[l.Pen].Style);
        if (!l.Draw) continue;
        Line(l.X1, l.Y1, l.X2, l.Y2);
        if (l.Both) Line(l.X2, l.Y2, l.X1, l.Y1);
    }
}

void Canvas::LineRuns(std::span<const std::span<const BatchLine>> runs,
                      std::span<const LinePen> pens, BandWorkers& workers) {
    // The pen a run leaves is the one the next starts with.
    for (const std::span<const BatchLine>& run : runs)
        Lines(run, pens, workers);
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
