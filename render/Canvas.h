#pragma once

#include <cstdint>
#include <string_view>

#include "render/SceneBitmap.h"
#include "workspace/Workspace.h"

namespace tarsel {

enum class PenStyle { Solid, Dash, Dot };

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
};

}  // namespace tarsel
