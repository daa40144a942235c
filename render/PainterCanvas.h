#pragma once

#include <QPainter>

#include "render/Canvas.h"
#include "render/FontCells.h"

namespace tarsel {

// The canvas drawn with QPainter on the bitmap's QImage: every primitive is Qt's, with Qt's
// pixel rules (a line's end pixels and an ellipse's outline can differ by a pixel from the
// RasterCanvas, and shapes reaching millions of pixels off the bitmap are not drawn
// faithfully). It keeps one painter open on the image for its whole life. The viewer draws
// with the faster RasterCanvas; this one is the yardstick the benchmarks and tests compare.
class PainterCanvas : public Canvas {
  public:
    explicit PainterCanvas(SceneBitmap& scene);
    ~PainterCanvas() override;

    void FillRect(const Rect& r, Rgb colour) override;
    void SetPen(Rgb colour, PenStyle style) override;
    void SetPenColour(Rgb colour) override;
    void SetPenStyle(PenStyle style) override;
    void SetBrush(Rgb colour) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override;
    std::uint8_t* Row(int y) override;

  private:
    void ApplyPen();

    SceneBitmap& scene_;
    QPainter painter_;
    FontCells fonts_;
    Rgb pen_{};
    PenStyle style_ = PenStyle::Solid;
    Rgb brush_{};
};

}  // namespace tarsel
