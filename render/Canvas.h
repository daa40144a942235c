#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "render/SceneBitmap.h"
#include "workspace/Workspace.h"

namespace tarsel {

enum class PenStyle { Solid, Dash, Dot };

// How much of each pixel a text covers, alpha bytes row by row, placed relative to the
// top-left corner of the text's character cell.
struct TextCoverage {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    const std::uint8_t* Alpha = nullptr;
};

// Blends line `line` (0 .. Height - 1) of a text's coverage in `colour` onto a bitmap row, the
// text's cell having its left edge at column x, in the columns lo .. hi - 1 only. Bytes of the
// row up to column hi - 1 may be read and written back as they were, so the columns lo .. hi - 1
// must be the caller's alone while it runs.
void BlendCoverageSpan(std::uint8_t* row, const TextCoverage& c, int line, std::int64_t x,
                       Rgb colour, std::int64_t lo, std::int64_t hi);
// The same for `lines` lines of the coverage, firstLine and every lineStep-th after it, onto
// rows `stride` bytes apart from `top` on.
void BlendCoverageLines(std::uint8_t* top, std::int64_t stride, const TextCoverage& c,
                        int firstLine, int lines, std::int64_t x, Rgb colour, std::int64_t lo,
                        std::int64_t hi, int lineStep = 1);

// The bytes from each of count rows to the next when they are all the same, else 0: rows so
// spaced take a text's lines in one BlendCoverageLines call.
std::int64_t EvenRowStride(std::uint8_t* const* rows, int count);

// The same over the columns of the bitmap (0 .. width - 1).
inline void BlendCoverageRow(std::uint8_t* row, const TextCoverage& c, int line, std::int64_t x,
                             Rgb colour, std::int64_t width = SCENE_SIZE) {
    BlendCoverageSpan(row, c, line, x, colour, 0, width);
}

class BandWorkers;

// A pen of a batch of lines.
struct LinePen {
    Rgb Colour;
    PenStyle Style = PenStyle::Solid;
};

// One step of a batch of lines: first the pen Pen of the batch's table becomes the current one
// (Pen < 0: the pen stays), then, with Draw, the line is drawn with it; with Both too, it is
// then drawn back from the second end to the first.
struct BatchLine {
    std::int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    std::int8_t Pen = -1;
    bool Draw = true;
    bool Both = false;
};

// One atom of a flat pass: with Disc the ellipse in the box (X1, Y1) - (X2, Y2), filled with
// Fill and outlined in the batch's outline colour; then the pieces of its name (from
// Coverage), their cell at (NameX, NameY).
struct FlatItem {
    std::int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    Rgb Fill;
    bool Disc = false;
    std::int32_t NameX = 0, NameY = 0;
    const TextCoverage* Name = nullptr;
    std::int32_t Pieces = 0;
};

// The drawing surface of the scene bitmap, as the render pass uses it: a device context with a
// current pen and brush. Coordinates are bitmap pixels (row 0 at the top) and may lie anywhere
// in the 32-bit range; everything is clipped to the bitmap. Colours use the low byte of each
// component. Implementations differ only in speed.
class Canvas {
  public:
    virtual ~Canvas() = default;

    // Fills the part of r that lies on the bitmap, leaving pen and brush as they are.
    virtual void FillRect(const Rect& r, Rgb colour) = 0;

    // The pen draws lines and ellipse outlines, one pixel wide.
    virtual void SetPen(Rgb colour, PenStyle style) = 0;
    virtual void SetPenColour(Rgb colour) = 0;
    virtual void SetPenStyle(PenStyle style) = 0;
    // The brush fills ellipses; like an opaque device context, the gaps of dashed and dotted
    // lines take its colour too.
    virtual void SetBrush(Rgb colour) = 0;

    // A line from (x1, y1) up to, not including, (x2, y2).
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    // The ellipse inscribed in the box with corners (x1, y1) and (x2, y2), the right and bottom
    // edges excluded, filled with the brush and outlined with the pen.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // Text with the top-left corner of its character cell at (x, y), on a transparent
    // background. Fonts need a QGuiApplication; without one no text is drawn.
    virtual void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) = 0;

    // Direct access to one row of pixel bytes (blue, green, red), 0 <= y < SCENE_SIZE.
    virtual std::uint8_t* Row(int y) = 0;

    // For a canvas that draws texts by blending coverages: the pieces Text would blend, one
    // after the other, for this text in this font with its cell at (x, y), so that a pass can
    // blend them itself (band by band, on several threads); only their part inside the shown
    // area is sure to be there. Pieces never overlap. They stay valid until the next call of
    // Text or ReleaseCoverages. Null when the canvas draws this text another way.
    virtual const TextCoverage* Coverage(int /*x*/, int /*y*/, std::string_view /*text*/,
                                         const FontSpec& /*font*/, int& /*pieces*/) {
        return nullptr;
    }
    // What Coverage would give when the canvas has it ready, found without making anything;
    // null when only Coverage can tell. Several threads may ask at once, while nothing else
    // uses the canvas; the answer stays valid as long as Coverage's would.
    virtual const TextCoverage* ReadyCoverage(int /*x*/, int /*y*/, std::string_view /*text*/,
                                              const FontSpec& /*font*/, int& pieces) const {
        pieces = 0;
        return nullptr;
    }
    // Bytes the coverages handed out since ReleaseCoverages hold of their own (a tall text's
    // shown part is made for its call alone).
    virtual std::size_t HandedBytes() const { return 0; }
    // The coverages handed out are no longer used.
    virtual void ReleaseCoverages() {}

    // Batches: the same pixels as the primitives called one by one in this order, and the same
    // pen and brush afterwards. A canvas may share the work among the workers.
    virtual void Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
                       BandWorkers& workers);
    // One batch of lines held in several runs, one after the other: the same as Lines over
    // their joined lines, without joining them.
    virtual void LineRuns(std::span<const std::span<const BatchLine>> runs,
                          std::span<const LinePen> pens, BandWorkers& workers);
    // The names are blended in textColour; their pieces must stay valid during the call.
    virtual void FlatItems(std::span<const FlatItem> items, Rgb outline, Rgb textColour,
                           BandWorkers& workers);

    // The part of the bitmap that will be shown or recorded. Pixels outside it may be left
    // undrawn, so work that would only reach them can be skipped; inside, every pixel is what
    // drawing everything gives. At first the whole plane.
    virtual void SetShownArea(const Rect& area) { shown_ = area; }
    const Rect& ShownArea() const { return shown_; }

  protected:
    Rect shown_{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
};

}  // namespace tarsel
