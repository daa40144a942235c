#include "render/PainterCanvas.h"

#include <algorithm>
#include <cstdint>

namespace tarsel {

namespace {

QColor ToQColor(Rgb c) {
    return QColor(c.R & 0xFF, c.G & 0xFF, c.B & 0xFF);
}

// Qt's rasteriser works in fixed point; coordinates far off the bitmap are pulled in to a
// range it handles. Only shapes that reach that far change, and they are off the bitmap.
int Tame(std::int64_t v) {
    constexpr std::int64_t LIMIT = 1 << 22;
    return static_cast<int>(std::clamp<std::int64_t>(v, -LIMIT, LIMIT));
}

}  // namespace

PainterCanvas::PainterCanvas(SceneBitmap& scene) : scene_(scene), painter_(&scene.Image()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setBackgroundMode(Qt::OpaqueMode);
    ApplyPen();
    SetBrush(brush_);
}

PainterCanvas::~PainterCanvas() {
    painter_.end();
}

void PainterCanvas::FillRect(const Rect& r, Rgb colour) {
    const int left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int right = std::min(r.Right, SCENE_SIZE), bottom = std::min(r.Bottom, SCENE_SIZE);
    if (left >= right || top >= bottom) return;
    painter_.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(colour));
}

void PainterCanvas::ApplyPen() {
    QPen pen(ToQColor(pen_));
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    if (style_ == PenStyle::Dash) pen.setDashPattern({18, 6});
    if (style_ == PenStyle::Dot) pen.setDashPattern({3, 3});
    painter_.setPen(pen);
}

void PainterCanvas::SetPen(Rgb colour, PenStyle style) {
    pen_ = colour;
    style_ = style;
    ApplyPen();
}

void PainterCanvas::SetPenColour(Rgb colour) {
    pen_ = colour;
    ApplyPen();
}

void PainterCanvas::SetPenStyle(PenStyle style) {
    style_ = style;
    ApplyPen();
}

void PainterCanvas::SetBrush(Rgb colour) {
    brush_ = colour;
    painter_.setBrush(ToQColor(colour));
    painter_.setBackground(ToQColor(colour));
}

void PainterCanvas::Line(int x1, int y1, int x2, int y2) {
    painter_.drawLine(Tame(x1), Tame(y1), Tame(x2), Tame(y2));
}

void PainterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const std::int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const std::int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (right - left < 1 || bottom - top < 1) return;
    if (right <= 0 || bottom <= 0 || left >= SCENE_SIZE || top >= SCENE_SIZE) return;
    painter_.drawEllipse(QRect(Tame(left), Tame(top), Tame(right - left), Tame(bottom - top)));
}

void PainterCanvas::Text(int x, int y, std::string_view text, const FontSpec& font, Rgb colour) {
    if (!FontCells::Available()) return;
    const FontCells::Cell& cell = fonts_.Get(font);
    const QPen pen = painter_.pen();
    painter_.setFont(cell.Font);
    painter_.setPen(ToQColor(colour));
    painter_.setBackgroundMode(Qt::TransparentMode);
    painter_.drawText(QPoint(Tame(x), Tame(std::int64_t{y} + cell.Ascent)),
                      QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setPen(pen);
}

std::uint8_t* PainterCanvas::Row(int y) {
    return scene_.Image().scanLine(y);
}

}  // namespace tarsel
