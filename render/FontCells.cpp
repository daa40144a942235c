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
    // Asked for every name drawn: the answer is kept for the application object it was
    // found for.
    static thread_local const QCoreApplication* app = nullptr;
    static thread_local bool available = false;
    const QCoreApplication* now = QCoreApplication::instance();
    if (now != app || now == nullptr) {
        available = qobject_cast<const QGuiApplication*>(now) != nullptr;
        app = now;
    }
    return available;
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

TextCoverage CropCoverage(const QImage& image, int rowFrom, int rowTo,
                          std::vector<std::uint8_t>& alpha) {
    const int width = image.width();
    int minX = width, minY = rowTo, maxX = -1, maxY = -1;
    for (int y = rowFrom; y < rowTo; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(row[x]) == 0) continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    TextCoverage box;
    alpha.clear();
    if (maxX >= 0) {
        box.Left = minX;
        box.Top = minY;
        box.Width = maxX - minX + 1;
        box.Height = maxY - minY + 1;
        alpha.resize(static_cast<std::size_t>(box.Width) * box.Height);
        for (int y = 0; y < box.Height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(minY + y));
            std::uint8_t* out = alpha.data() + static_cast<std::size_t>(y) * box.Width;
            for (int x = 0; x < box.Width; ++x)
                out[x] = static_cast<std::uint8_t>(qAlpha(row[minX + x]));
        }
    }
    box.Alpha = alpha.data();
    return box;
}

}  // namespace tarsel
