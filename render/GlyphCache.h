#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render/Canvas.h"
#include "render/FontCells.h"

namespace tarsel {

// Single characters' coverage, kept per (face, cell height, character, pen position's
// fraction in 64ths of a pixel) and shared by every text that uses them. Qt lays a plain text
// out glyph by glyph, each at the sum of the advances before it, and draws each glyph on its
// own, so a text put together from these is the text Qt draws whole. Texts that Qt shapes
// otherwise (kerning pairs, ligatures) are found by one layout per face and text and left to
// the caller. Every table counts its bytes; Trim brings them back under a budget.
class GlyphCache {
  public:
    // One character's coverage, placed relative to its pen position's whole pixel (Left) and
    // to the top of the character cell (Top).
    struct Glyph {
        TextCoverage View;
        std::vector<std::uint8_t> Alpha;
        std::uint64_t LastUse = 0;
    };

    explicit GlyphCache(FontCells& fonts) : fonts_(fonts) {}

    // The pen positions of the text's characters in 64ths of a pixel from the cell's left
    // edge, and the whole advance; false when the text is not drawn character by character
    // (or holds characters this cache does not draw).
    bool Layout(std::string_view text, const FontSpec& font, std::vector<std::int32_t>& pen64,
                std::int32_t& advance64);
    // The coverage of one character at a pen position whose fraction is frac64 / 64 pixel.
    const Glyph& GlyphOf(const FontSpec& font, unsigned char c, int frac64);

    // Bytes held by all tables.
    std::size_t Bytes() const { return glyphBytes_ + advanceBytes_ + plainBytes_; }
    std::size_t Glyphs() const { return glyphs_.size(); }
    // Changes whenever glyphs handed out before may be gone.
    std::uint64_t Epoch() const { return epoch_; }
    // Drops the glyphs used longest ago, and if need be the other tables, until the cache
    // holds at most three quarters of budget. Glyphs handed out before become invalid.
    void Trim(std::size_t budget);

  private:
    // Advances in 64ths of a pixel of one face and height, by character; -1 until measured.
    using Advances = std::array<std::int32_t, 256>;
    Advances& AdvancesOf(const FontSpec& font, int face);
    int FaceIndex(const std::string& face);
    bool Plain(std::string_view text, const FontSpec& font, int face);

    FontCells& fonts_;
    std::vector<std::string> faces_;
    std::unordered_map<std::uint64_t, Glyph> glyphs_;
    std::unordered_map<std::uint32_t, Advances> advances_;
    // Per face and text: is it laid out character by character?
    std::unordered_map<std::string, bool> plain_;
    std::uint64_t clock_ = 0;
    std::uint64_t epoch_ = 0;
    std::size_t glyphBytes_ = 0;
    std::size_t advanceBytes_ = 0;
    std::size_t plainBytes_ = 0;
};

}  // namespace tarsel
