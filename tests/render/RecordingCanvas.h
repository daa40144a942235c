#pragma once

#include <string>
#include <vector>

#include "render/Canvas.h"
#include "support/PrintRgb.h"

namespace tarsel::test {

// A canvas that keeps what was drawn, with the pen and brush of the moment, instead of pixels.
class RecordingCanvas : public Canvas {
  public:
    struct LineCall {
        int x1, y1, x2, y2;
        Rgb Pen;
        PenStyle Style;
        Rgb Brush;
    };
    struct EllipseCall {
        int x1, y1, x2, y2;
        Rgb Pen;
        Rgb Brush;
    };
    struct TextCall {
        int x, y;
        std::string Text;
        FontSpec Font;
        Rgb Colour;
    };

    void FillRect(const Rect&, Rgb) override { ++Fills; }
    void SetPen(Rgb colour, PenStyle style) override {
        pen_ = colour;
        style_ = style;
    }
    void SetPenColour(Rgb colour) override { pen_ = colour; }
    void SetPenStyle(PenStyle style) override { style_ = style; }
    void SetBrush(Rgb colour) override { brush_ = colour; }
    void Line(int x1, int y1, int x2, int y2) override {
        Lines.push_back({x1, y1, x2, y2, pen_, style_, brush_});
    }
    void Ellipse(int x1, int y1, int x2, int y2) override {
        Ellipses.push_back({x1, y1, x2, y2, pen_, brush_});
    }
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override {
        Texts.push_back({x, y, std::string(text), font, colour});
    }
    std::uint8_t* Row(int) override { return row_; }

    int Fills = 0;
    std::vector<LineCall> Lines;
    std::vector<EllipseCall> Ellipses;
    std::vector<TextCall> Texts;

  private:
    Rgb pen_{-1, -1, -1};
    PenStyle style_ = PenStyle::Solid;
    Rgb brush_{-1, -1, -1};
    std::uint8_t row_[3 * SCENE_SIZE] = {};
};

}  // namespace tarsel::test
