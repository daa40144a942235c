#include "render/GlyphCache.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace tarsel {

namespace {

// A map node and its key, roughly, on top of what an entry holds.
constexpr std::size_t NODE_BYTES = 64;

bool Drawable(unsigned char c) {
    return (c >= 0x20 && c < 0x7F) || c >= 0xA0;
}

std::int32_t To64(double pixels) {
    return static_cast<std::int32_t>(std::lround(pixels * 64));
}

QString OneCharacter(unsigned char c) {
    return QString(QChar(static_cast<char16_t>(c)));
}

}  // namespace

int GlyphCache::FaceIndex(const std::string& face) {
    const auto found = std::find(faces_.begin(), faces_.end(), face);
    if (found != faces_.end()) return static_cast<int>(found - faces_.begin());
    if (faces_.size() >= 255) {
        // Only a program asking for hundreds of faces gets here: start afresh.
        faces_.clear();
        glyphs_.clear();
        ++epoch_;
        advances_.clear();
        plain_.clear();
        glyphBytes_ = advanceBytes_ = plainBytes_ = 0;
    }
    faces_.push_back(face);
    return static_cast<int>(faces_.size()) - 1;
}

GlyphCache::Advances& GlyphCache::AdvancesOf(const FontSpec& font, int face) {
    const int height = FontCells::EffectiveHeight(font.Height);
    const std::uint32_t key =
        (static_cast<std::uint32_t>(face) << 16) | static_cast<std::uint32_t>(height + 4096);
    auto [it, added] = advances_.try_emplace(key);
    if (added) {
        it->second.fill(-1);
        advanceBytes_ += sizeof(Advances) + NODE_BYTES;
    }
    return it->second;
}

bool GlyphCache::Plain(std::string_view text, const FontSpec& font, int face) {
    std::string key(1, static_cast<char>(face));
    key.append(text);
    if (auto found = plain_.find(key); found != plain_.end()) return found->second;

    // Qt's own layout of the whole text: one glyph per character, each at the sum of the
    // advances of the characters before it.
    const FontCells::Cell& cell = fonts_.Get(font);
    const QString string = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    QTextLayout layout(string, cell.Font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    std::vector<std::int32_t> placed;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (const QPointF& p : run.positions())
            placed.push_back(To64(p.x()));
    }
    std::sort(placed.begin(), placed.end());
    bool plain = placed.size() == text.size();
    const QFontMetricsF metrics(cell.Font);
    std::int32_t x = 0;
    for (std::size_t i = 0; plain && i < text.size(); ++i) {
        plain = placed[i] == x;
        x += To64(metrics.horizontalAdvance(OneCharacter(static_cast<unsigned char>(text[i]))));
    }
    plain_.emplace(std::move(key), plain);
    plainBytes_ += text.size() + 1 + sizeof(std::string) + NODE_BYTES;
    return plain;
}

bool GlyphCache::Layout(std::string_view text, const FontSpec& font,
                        std::vector<std::int32_t>& pen64, std::int32_t& advance64) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!Drawable(static_cast<unsigned char>(c))) return false;
    }
    const int face = FaceIndex(font.Face);
    if (!Plain(text, font, face)) return false;
    Advances& advances = AdvancesOf(font, face);
    pen64.resize(text.size());
    std::int32_t x = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (advances[c] < 0) {
            const QFontMetricsF metrics(fonts_.Get(font).Font);
            advances[c] = std::max(0, To64(metrics.horizontalAdvance(OneCharacter(c))));
        }
        pen64[i] = x;
        x += advances[c];
    }
    advance64 = x;
    return true;
}

const GlyphCache::Glyph& GlyphCache::GlyphOf(const FontSpec& font, unsigned char c, int frac64) {
    const int face = FaceIndex(font.Face);
    const int height = FontCells::EffectiveHeight(font.Height);
    const std::uint64_t key = (static_cast<std::uint64_t>(face) << 40) |
                              (static_cast<std::uint64_t>(height + 4096) << 24) |
                              (std::uint64_t{c} << 8) | static_cast<std::uint64_t>(frac64 & 63);
    auto [it, added] = glyphs_.try_emplace(key);
    Glyph& glyph = it->second;
    glyph.LastUse = ++clock_;
    if (!added) return glyph;

    // Drawn in black on a transparent image placed as the whole text's image would be: Qt
    // rasterises tall glyphs as paths, a shade differently with the image's bounds. Only the
    // columns up to the ink's right (and a margin for the edges' coverage) are needed.
    const FontCells::Cell& cell = fonts_.Get(font);
    const QString string = OneCharacter(c);
    const QRectF ink = QFontMetricsF(cell.Font).boundingRect(string);
    const double pen = frac64 / 64.0;
    constexpr int MARGIN = 3;
    const int pad = cell.CellHeight / 2 + 2;
    const int left = -pad;
    const int top = -pad;
    const int width = static_cast<int>(std::ceil(pen + ink.right())) + MARGIN - left;
    const int height2 = cell.CellHeight + 2 * pad;
    TextCoverage& view = glyph.View;
    if (width > 0 && height2 > 0 && !ink.isEmpty()) {
        QImage image(width, height2, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setFont(cell.Font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(pen - left, cell.Ascent - top), string);
        }
        // Qt's coverage stays within a pixel or two of the ink.
        const int inkTop = std::clamp(
            static_cast<int>(std::floor(cell.Ascent + ink.top())) - MARGIN - top, 0, height2);
        const int inkBottom = std::clamp(
            static_cast<int>(std::ceil(cell.Ascent + ink.bottom())) + MARGIN - top, 0, height2);
        const TextCoverage inked = CropCoverage(image, inkTop, inkBottom, glyph.Alpha);
        if (inked.Width > 0) {
            view.Left = left + inked.Left;
            view.Top = top + inked.Top;
            view.Width = inked.Width;
            view.Height = inked.Height;
        }
    }
    view.Alpha = glyph.Alpha.data();
    glyphBytes_ += glyph.Alpha.capacity() + sizeof(Glyph) + NODE_BYTES;
    return glyph;
}

void GlyphCache::Trim(std::size_t budget) {
    if (Bytes() <= budget) return;
    const std::size_t target = budget / 4 * 3;
    // The small tables are measured again when needed; they give way first when they alone
    // fill a quarter of the budget.
    if (advanceBytes_ + plainBytes_ > budget / 4) {
        advances_.clear();
        plain_.clear();
        advanceBytes_ = plainBytes_ = 0;
    }
    if (Bytes() <= target) return;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> byUse;  // last use, key
    byUse.reserve(glyphs_.size());
    for (const auto& [key, glyph] : glyphs_)
        byUse.emplace_back(glyph.LastUse, key);
    std::sort(byUse.begin(), byUse.end());
    ++epoch_;
    for (const auto& [use, key] : byUse) {
        if (Bytes() <= target) break;
        const auto found = glyphs_.find(key);
        glyphBytes_ -= found->second.Alpha.capacity() + sizeof(Glyph) + NODE_BYTES;
        glyphs_.erase(found);
    }
}

}  // namespace tarsel
