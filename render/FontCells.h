#pragma once

#include <QFont>
#include <QImage>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "render/Canvas.h"
#include "render/SceneBitmap.h"

namespace tarsel {

// Turns the scene's font requests into Qt fonts. The scene asks for a face by name ("Arial
// Cyr", which Qt replaces by an installed sans face) and a height in the Windows sense:
// positive is the character cell height (ascent + descent) in pixels, negative the character
// (em) height, 0 a default. Qt sizes fonts by the em; the pixel size is chosen as the largest
// whose ascent + descent, as QFontMetrics reports them for the face Qt actually picked, fits
// the cell height. The answers are kept, so each height is measured once.
class FontCells {
  public:
    struct Cell {
        QFont Font;
        int Ascent = 0;      // baseline below the cell's top, pixels
        int CellHeight = 0;  // ascent + descent of the font chosen
    };

    // A cell used for height 0, as the Windows font mapper picks a default size.
    static constexpr int DEFAULT_CELL_HEIGHT = 16;
    // Taller requests (an atom right in front of the camera) are drawn this tall: a text
    // higher than the bitmap cannot be seen whole anyway, and glyphs of hundreds of thousands
    // of pixels would stall the pass.
    static constexpr int MAX_CELL_HEIGHT = SCENE_SIZE;

    // Fonts exist only while a QGuiApplication does.
    static bool Available();

    const Cell& Get(const FontSpec& request);
    // The height Get measures for, after the default and the limit. In line: every name of
    // a pass asks, several times.
    static constexpr int EffectiveHeight(int requested) {
        if (requested == 0) return DEFAULT_CELL_HEIGHT;
        if (requested > MAX_CELL_HEIGHT) return MAX_CELL_HEIGHT;
        if (requested < -MAX_CELL_HEIGHT) return -MAX_CELL_HEIGHT;
        return requested;
    }

  private:
    std::map<std::pair<std::string, int>, Cell> cells_;
};

// The inked part of rows rowFrom .. rowTo - 1 of a text drawn on a transparent ARGB image:
// its box in image pixels and its alpha bytes, row by row, in alpha (Alpha points there).
// Width 0 when nothing is inked.
TextCoverage CropCoverage(const QImage& image, int rowFrom, int rowTo,
                          std::vector<std::uint8_t>& alpha);

}  // namespace tarsel
