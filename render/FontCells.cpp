#include "render/FontCells.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

namespace tarsel {

namespace {

QFont MakeFont(const std::string& face, int pixelSize) {
    QFont font(QString::fromStdString(face));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(pixelSize, 1));
    return font;
}

int CellOf(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.ascent() + metrics.descent();
}

}  // namespace

bool FontCells::Available() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

int FontCells::EffectiveHeight(int requested) {
    if (requested == 0) return DEFAULT_CELL_HEIGHT;
    if (requested > MAX_CELL_HEIGHT) return MAX_CELL_HEIGHT;
    if (requested < -MAX_CELL_HEIGHT) return -MAX_CELL_HEIGHT;
    return requested;
}

const FontCells::Cell& FontCells::Get(const FontSpec& request) {
    const int height = EffectiveHeight(request.Height);
    const auto key = std::make_pair(request.Face, height);
    if (auto found = cells_.find(key); found != cells_.end()) return found->second;

    int pixelSize = 0;
    if (height < 0) {
        pixelSize = -height;  // the em height is Qt's pixel size
    } else {
        // Start from the face's proportions at a large size, then step to the largest size
        // whose cell fits.
        const double ratio = CellOf(MakeFont(request.Face, 100)) / 100.0;
        pixelSize = std::max(1, static_cast<int>(height / ratio));
        while (pixelSize > 1 && CellOf(MakeFont(request.Face, pixelSize)) > height)
            --pixelSize;
        while (CellOf(MakeFont(request.Face, pixelSize + 1)) <= height)
            ++pixelSize;
    }
    Cell cell;
    cell.Font = MakeFont(request.Face, pixelSize);
    const QFontMetrics metrics(cell.Font);
    cell.Ascent = metrics.ascent();
    cell.CellHeight = metrics.ascent() + metrics.descent();
    return cells_.emplace(key, std::move(cell)).first->second;
}

}  // namespace tarsel
