#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/BandWorkers.h"
#include "render/Canvas.h"
#include "render/FontCells.h"
#include "render/GlyphCache.h"

namespace tarsel {

// The canvas the viewer draws with: lines and ellipses are rasterised here, straight into the
// pixel bytes, and texts are put together from glyphs that Qt draws once per face, height and
// character, into coverage masks that are kept and blended for every later use. A pass draws
// tens of thousands of small discs and three-letter names, in heights that change with every
// step of the camera; through QPainter each costs microseconds of set-up. Drawing is clipped
// to the shown area; the caches keep to a byte budget.
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
    // Both by bands of rows on the workers, every band drawing everything in order over its
    // own rows only.
    void Lines(std::span<const BatchLine> lines, std::span<const LinePen> pens,
               BandWorkers& workers) override;
    void LineRuns(std::span<const std::span<const BatchLine>> runs, std::span<const LinePen> pens,
                  BandWorkers& workers) override;
    void FlatItems(std::span<const FlatItem> items, Rgb outline, Rgb textColour,
                   BandWorkers& workers) override;
    const TextCoverage* Coverage(int x, int y, std::string_view text, const FontSpec& font,
                                 int& pieces) override;
    const TextCoverage* ReadyCoverage(int x, int y, std::string_view text, const FontSpec& font,
                                      int& pieces) const final;
    std::size_t HandedBytes() const override { return handedBytes_; }
    void ReleaseCoverages() override;

    // Small ellipses from patterns kept per size; off, every row is measured (for the tests).
    bool UsePatterns = true;

    // Texts kept as masks, for the tests.
    std::size_t CachedTexts() const { return masks_.size(); }
    // Bytes held by the text masks and glyphs, and the most they may hold between texts.
    std::size_t CacheBytes() const { return maskBytes_ + glyphs_.Bytes(); }
    static constexpr std::size_t MASK_BUDGET = std::size_t{10} << 20;
    static constexpr std::size_t GLYPH_BUDGET = std::size_t{12} << 20;

    // The mask of a text as Qt draws it whole, for the tests (and for texts that are not put
    // together from glyphs).
    TextCoverage WholeTextMask(std::string_view text, const FontSpec& font,
                               std::vector<std::uint8_t>& alpha);

  private:
    struct Colour {
        std::uint8_t B = 0, G = 0, R = 0;
    };
    // The coverage of one text in one font; View points into Alpha.
    // A text as it is blended: up to four glyphs side by side (their coverage views moved to
    // their places), or one mask of its own in Alpha when glyphs overlap or Qt shapes the text.
    struct Mask {
        std::array<TextCoverage, 4> Pieces{};
        int Count = 0;
        std::vector<std::uint8_t> Alpha;
        std::uint64_t Epoch = 0;  // of the glyph cache, when Pieces point into it
        bool Glyphs = false;
    };

    // One row of an ellipse: the pixels Left .. Right (none when Left > Right), of which
    // InnerLeft .. InnerRight take the brush and the others the pen.
    struct EllipseRow {
        std::int64_t Left = 0, Right = -1, InnerLeft = 1, InnerRight = 0;
    };
    // The bitmap's bytes, fetched once for many primitives.
    struct Pixels {
        std::uint8_t* Bits;
        std::int64_t Stride;
    };
    struct LineColours {
        Colour Pen, Brush;
        PenStyle Style;
    };
    // A line clipped to clip; the gaps of dashes and dots take the brush.
    static void LineIn(const Rect& clip, const Pixels& pixels, const LineColours& colours, int x1,
                       int y1, int x2, int y2);
    // The line from (x1, y1) to (x2, y2) and back.
    static void LineBothWaysIn(const Rect& clip, const Pixels& pixels, const LineColours& colours,
                               int x1, int y1, int x2, int y2);
    // An ellipse's box, the corners put in order.
    struct Box {
        std::int64_t Left, Top, Right, Bottom;
    };
    static Box BoxOf(int x1, int y1, int x2, int y2) {
        return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    }
    // Whether the box holds pixels and some reach clip.
    static bool Meets(const Box& box, const Rect& clip) {
        return box.Right - box.Left >= 1 && box.Bottom - box.Top >= 1 && box.Right > clip.Left &&
               box.Bottom > clip.Top && box.Left < clip.Right && box.Top < clip.Bottom;
    }
    // The kept rows of a small box, or null for a box measured row by row.
    const EllipseRow* PatternFor(const Box& box);
    // An ellipse clipped to clip, its rows from pattern or measured into buffer.
    static void EllipseIn(const Rect& clip, const Pixels& pixels, Colour pen, Colour brush,
                          const Box& box, const EllipseRow* pattern,
                          std::vector<EllipseRow>& buffer);
    // The rows of clip split among the bands so that each gets about the same weight; weights
    // holds a weight per row of clip and becomes the bands' first rows (band b from rows[b]).
    static int SplitRows(const Rect& clip, std::vector<double>& weights, int bands,
                         std::array<int, BandWorkers::MAX_BANDS + 1>& firstRows);
    // rowWeights_ over clip's rows: weigh(item, weights) adds an item's weight, each band
    // summing a run of the items. Weights are whole numbers, so any order gives the same sums.
    // A large batch is weighed by an even sample of its items: they come in depth order, not
    // by place, and a few thousand place the split as well as all of them.
    // at(k) is item k of count.
    template <typename At, typename Weigh>
    void WeighRows(std::size_t count, At at, const Rect& clip, BandWorkers& workers, Weigh weigh) {
        const auto rows = static_cast<std::size_t>(clip.Height());
        const std::size_t step = std::max<std::size_t>(1, count / WEIGHED_ITEMS);
        const int runs =
            workers.ForRanges(static_cast<int>((count + step - 1) / step), WEIGH_PER_BAND,
                              [&](int band, int from, int to) {
                                  std::vector<double>& weights = bandWeights_[band];
                                  weights.assign(rows, 0);
                                  for (int k = from; k < to; ++k)
                                      weigh(at(static_cast<std::size_t>(k) * step), weights.data());
                              });
        rowWeights_.swap(bandWeights_[0]);
        for (int band = 1; band < runs; ++band) {
            for (std::size_t y = 0; y < rows; ++y)
                rowWeights_[y] += bandWeights_[band][y];
        }
    }
    static constexpr std::size_t WEIGHED_ITEMS = 8192;
    static constexpr int WEIGH_PER_BAND = 1000;
    std::vector<double> rowWeights_;
    PerBand<std::vector<double>> bandWeights_;
    std::vector<const EllipseRow*> patterns_;  // of a batch's discs
    PerBand<std::vector<EllipseRow>> bandRows_;

    static void EllipseRows(std::int64_t left, std::int64_t top, std::int64_t right,
                            std::int64_t bottom, std::int64_t firstRow, std::int64_t lastRow,
                            EllipseRow* rows);
    static constexpr int MAX_PATTERN = 64;
    // Boxes of 1 .. MAX_PATTERN pixels each way.
    const EllipseRow* EllipsePattern(int width, int height);
    // By width * (MAX_PATTERN + 1) + height, empty until first asked for: a pass asks for
    // tens of thousands, so the look-up is an index (at most 4.3 MB when all are made).
    std::vector<std::vector<EllipseRow>> ellipses_;
    // Whether a box takes its rows from a kept pattern, and which.
    bool Patterned(const Box& box) const {
        return UsePatterns && box.Right - box.Left <= MAX_PATTERN &&
               box.Bottom - box.Top <= MAX_PATTERN;
    }
    static std::size_t PatternIndex(const Box& box) {
        return static_cast<std::size_t>((box.Right - box.Left) * (MAX_PATTERN + 1) +
                                        (box.Bottom - box.Top));
    }
    // Discs below twice this many have their patterns looked up on one thread.
    static constexpr int PATTERNS_PER_BAND = 4096;
    std::vector<EllipseRow> rowsBuffer_;

    static Colour ToColour(Rgb c) {
        return {static_cast<std::uint8_t>(c.B & 0xFF), static_cast<std::uint8_t>(c.G & 0xFF),
                static_cast<std::uint8_t>(c.R & 0xFF)};
    }
    // Texts taller than this are not kept as masks: they are put together for their shown
    // part each time (or drawn by Qt directly when they are not made of plain glyphs); only an
    // atom right in front of the camera gets such a name.
    static constexpr int MAX_MASK_CELL = 256;
    // Texts that are not kept as masks: empty ones, more than four letters, very tall cells;
    // height is the effective one.
    static bool Unmasked(std::string_view text, int height) {
        return text.empty() || text.size() > 4 || height > MAX_MASK_CELL || height < -MAX_MASK_CELL;
    }
    // The mask of a text, made when it is not kept yet: put together from glyphs where Qt
    // lays the text out glyph by glyph, else drawn whole. With mayForget, a full cache starts
    // afresh first; without, every mask handed out stays valid.
    const Mask& MaskFor(std::string_view text, const FontSpec& font, bool mayForget);
    // Up to four letters, their count, the effective height (|height| <= MAX_MASK_CELL) and
    // the face. Letter i in byte i: a key of its own for every text, without a call to copy a
    // few bytes for every name of a pass.
    static std::uint64_t KeyOf(std::string_view text, int height, int face) {
        std::uint32_t letters = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            letters |= std::uint32_t{static_cast<unsigned char>(text[i])} << (8 * i);
        return (std::uint64_t{letters} << 32) | (static_cast<std::uint64_t>(text.size()) << 28) |
               (static_cast<std::uint64_t>(height + 2048) << 16) | static_cast<std::uint64_t>(face);
    }
    // The pieces of the kept mask of key, or null when there is none or it is not current.
    const TextCoverage* KeptCoverage(std::uint64_t key, int& pieces) const;
    friend class ReadyNames;
    // Pieces that point at glyphs the cache has let go of are placed again.
    bool Current(const Mask& m) const { return !m.Glyphs || m.Epoch == glyphs_.Epoch(); }
    // Whether a text of length letters, in the effective height, with its cell at (x, y) may
    // reach clip. A name far off is passed over before any look-up: a cell is at most as tall
    // as asked (twice the em height), a character at most twice as wide, and Qt's image of a
    // text has room of half a cell either side.
    static bool NearShown(int x, int y, std::size_t length, int height, const Rect& clip) {
        const std::int64_t reach = 2 * std::int64_t{std::abs(height)} + 3;
        return std::int64_t{y} - reach < clip.Bottom && std::int64_t{y} + 2 * reach > clip.Top &&
               std::int64_t{x} - reach < clip.Right &&
               std::int64_t{x} + static_cast<std::int64_t>(length) * reach + reach > clip.Left;
    }
    // All that Qt's image of the text of the last Layout holds, relative to its cell.
    Rect TextWindow(const FontSpec& font);
    // The coverage of a text with its cell at (x, y), put together from glyphs where it can
    // be, or null when Qt must draw it. What is not kept goes to out, or when out is null to
    // the coverages handed out.
    const Mask* CoverageAt(int x, int y, std::string_view text, const FontSpec& font,
                           bool mayForget, Mask* out);
    // The glyphs of the last Layout that reach shown, as pieces side by side; false when they
    // overlap or reach beyond window, Qt's image of the whole text (relative to the cell).
    bool Place(std::string_view text, const FontSpec& font, const Rect& window, const Rect& shown,
               Mask& out);
    // The text's glyphs put together over window (relative to the cell's top-left corner).
    void Compose(std::string_view text, const FontSpec& font, const Rect& window, Mask& out);
    void Forget(bool mayForget);
    // The drawable part: the image within the shown area.
    Rect Clip() const {
        return {std::max(shown_.Left, 0), std::max(shown_.Top, 0), std::min(shown_.Right, width_),
                std::min(shown_.Bottom, height_)};
    }
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
    // for every name it draws. What a look-up needs of the mask is kept here too, so that a
    // pass reads no mask of the map: they lie all over memory.
    struct Recent {
        std::uint64_t Key = ~std::uint64_t{0};  // no key is all ones
        const Mask* Found = nullptr;
        std::uint64_t Epoch = 0;  // the mask's, or ALWAYS when it holds no glyphs
        int Count = 0;
    };
    static constexpr std::uint64_t ALWAYS = ~std::uint64_t{0};
    static Recent RecentOf(std::uint64_t key, const Mask* m) {
        return {key, m, m->Glyphs ? m->Epoch : ALWAYS, m->Count};
    }
    static constexpr int RECENT = 1024;
    static std::size_t RecentSlot(std::uint64_t key) { return (key * 0x9E3779B97F4A7C15ULL) >> 54; }
    std::array<Recent, RECENT> recent_{};
    void ForgetMasks();
    Mask nothing_;  // what a text covers without fonts or off the shown area
    std::size_t maskBytes_ = 0;
    GlyphCache glyphs_{fonts_};
    std::vector<std::int32_t> pen64_;  // the last Layout
    std::int32_t advance64_ = 0;
    std::vector<const GlyphCache::Glyph*> placed_;
    Mask drawn_;               // a text Text puts together without keeping it
    std::deque<Mask> handed_;  // those Coverage hands out
    std::size_t handedBytes_ = 0;
};

// ReadyCoverage for the names of a pass, one thread's share: what is the same for every name in
// one face (the font check, the face, the shown area) is worked out once, and a name found
// among the masks used last takes no call. Any canvas but a RasterCanvas (whose look-up no
// subclass may change) is asked name by name.
class ReadyNames {
  public:
    // manyNames: the finder keeps what it looked up beyond the canvas's masks used last.
    ReadyNames(const Canvas& canvas, const FontSpec& font, bool manyNames = true);
    // As canvas.ReadyCoverage(x, y, text, the font in height, pieces).
    [[gnu::always_inline]] const TextCoverage* Find(int x, int y, std::string_view text, int height,
                                                    int& pieces) {
        if (raster_ == nullptr) {
            font_.Height = height;
            return canvas_.ReadyCoverage(x, y, text, font_, pieces);
        }
        pieces = 0;
        if (!available_) return nullptr;
        const int h = FontCells::EffectiveHeight(height);
        if (RasterCanvas::Unmasked(text, h)) return nullptr;
        if (!RasterCanvas::NearShown(x, y, text.size(), h, clip_))
            return raster_->nothing_.Pieces.data();
        if (face_ < 0) return nullptr;
        const std::uint64_t key = RasterCanvas::KeyOf(text, h, face_);
        const RasterCanvas::Recent& recent = raster_->recent_[RasterCanvas::RecentSlot(key)];
        if (recent.Key != key) {
            if (!seen_) return raster_->KeptCoverage(key, pieces);
            // Kept here, found or not: a flight brings new heights, and a mask not among
            // those used last would be looked for in the map by every name that asks.
            Seen& seen = (*seen_)[RasterCanvas::RecentSlot(key) % SEEN];
            if (seen.Key != key) {
                int count = 0;
                const TextCoverage* found = raster_->KeptCoverage(key, count);
                seen = {key, found, count};
            }
            pieces = seen.Count;
            return seen.Pieces;
        }
        if (recent.Epoch != RasterCanvas::ALWAYS && recent.Epoch != raster_->glyphs_.Epoch())
            return nullptr;
        pieces = recent.Count;
        return recent.Found->Pieces.data();
    }

  private:
    const Canvas& canvas_;
    const RasterCanvas* raster_;
    struct Seen {
        std::uint64_t Key = ~std::uint64_t{0};
        const TextCoverage* Pieces = nullptr;
        int Count = 0;
    };
    static constexpr int SEEN = 256;
    std::unique_ptr<std::array<Seen, SEEN>> seen_;  // for a finder of many names
    FontSpec font_;                                 // for another canvas
    bool available_ = false;
    int face_ = -1;
    Rect clip_;
};

}  // namespace tarsel
