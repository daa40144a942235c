#pragma once

#include <QImage>
#include <string_view>

#include "render/Canvas.h"

namespace tarsel {

// Draws onto another canvas with a pen n pixels wide, for a picture drawn n times larger and
// filtered down (smooth edges): lines are n parallel lines, outlines n pixels thick, dashes and
// gaps n times longer. With growFixed, for a drawing that gives dots, letters and the boxes
// behind them in fixed pixel sizes, an ellipse's box grows n times about its centre, a filled
// rectangle n times from its top-left corner, and every font is n times taller.
class WideCanvas : public Canvas {
  public:
    WideCanvas(Canvas& inner, int n, bool growFixed = false);

    void FillRect(const Rect& r, Rgb colour) override;
    void SetPen(Rgb colour, PenStyle style) override;
    void SetPenColour(Rgb colour) override;
    void SetPenStyle(PenStyle style) override;
    void SetBrush(Rgb colour) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override;
    std::uint8_t* Row(int y) override { return inner_.Row(y); }
    const TextCoverage* Coverage(int x, int y, std::string_view text, const FontSpec& font,
                                 int& pieces) override;
    const TextCoverage* ReadyCoverage(int x, int y, std::string_view text, const FontSpec& font,
                                      int& pieces) const override;
    std::size_t HandedBytes() const override { return inner_.HandedBytes(); }
    void ReleaseCoverages() override { inner_.ReleaseCoverages(); }
    void SetShownArea(const Rect& area) override;

  private:
    FontSpec Grown(const FontSpec& font) const;
    // n solid lines side by side across the major axis, in the inner canvas's pen.
    void SolidLine(int x1, int y1, int x2, int y2);

    Canvas& inner_;
    int n_;
    bool growFixed_;
    Rgb pen_{};
    Rgb brush_{};
    PenStyle style_ = PenStyle::Solid;
};

// Each pixel of dst from (dx, dy) on the rounded mean of its n x n block of src, the blocks
// tiling the rectangle `from` of src (its sides multiples of n). Both are 24-bit images.
void BoxFilter(const QImage& src, const Rect& from, int n, QImage& dst, int dx, int dy);

}  // namespace tarsel
