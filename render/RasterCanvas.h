#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/Canvas.h"
#include "render/FontCells.h"

namespace tarsel {

// The canvas the viewer draws with: lines and ellipses are rasterised here, straight into the
// pixel bytes, and each text is drawn by Qt once per font height into a coverage mask that is
// kept and blended for every later use. A pass draws tens of thousands of small discs and
// three-letter names; through QPainter each costs microseconds of set-up.
class RasterCanvas : public Canvas {
  public:
    explicit RasterCanvas(SceneBitmap& scene);
    // Over a 24-bit image (QImage::Format_BGR888) of any size, clipped to it.
    explicit RasterCanvas(QImage& image);

    void FillRect(const Rect& r, Rgb colour) override;
    void SetPen(Rgb colour, PenStyle style) override;
    void SetPenColour(Rgb colour) override;
    void SetPenStyle(PenStyle style) override;
    void SetBrush(Rgb colour) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) override;
    std::uint8_t* Row(int y) override;
    const TextCoverage* Coverage(std::string_view text, const FontSpec& font) override;

    // Texts kept as masks, for the tests.
    std::size_t CachedTexts() const { return masks_.size(); }

  private:
    struct Colour {
        std::uint8_t B = 0, G = 0, R = 0;
    };
    // The coverage of one text in one font; View points into Alpha.
    struct Mask {
        TextCoverage View;
        std::vector<std::uint8_t> Alpha;
    };

    static Colour ToColour(Rgb c) {
        return {static_cast<std::uint8_t>(c.B & 0xFF), static_cast<std::uint8_t>(c.G & 0xFF),
                static_cast<std::uint8_t>(c.R & 0xFF)};
    }
    // Texts that are not kept as masks: empty ones, more than four letters, very tall cells.
    static bool Unmasked(std::string_view text, const FontSpec& font);
    // The mask of a text, made when it is not kept yet. With mayForget, a full cache starts
    // afresh first; without, every mask handed out stays valid.
    const Mask& MaskFor(std::string_view text, const FontSpec& font, bool mayForget);
    void TextThroughPainter(int x, int y, std::string_view text, const FontSpec& font, Rgb colour);

    QImage& image_;
    int width_;
    int height_;
    FontCells fonts_;
    Colour pen_;
    PenStyle style_ = PenStyle::Solid;
    Colour brush_;
    std::vector<std::string> faces_;
    std::unordered_map<std::uint64_t, Mask> masks_;
    // The masks used last, by a hash of their key, in front of the map: a pass looks up a mask
    // for every name it draws.
    struct Recent {
        std::uint64_t Key = ~std::uint64_t{0};  // no key is all ones
        const Mask* Found = nullptr;
    };
    static constexpr int RECENT = 1024;
    std::array<Recent, RECENT> recent_{};
    void ForgetMasks();
    TextCoverage nothing_;  // what a text covers without fonts
};

}  // namespace tarsel
