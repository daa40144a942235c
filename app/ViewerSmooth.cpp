// Smooth edges: the view drawn several times larger, piece by piece on the scene bitmap, and
// box-filtered down to its size.

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/Viewer.h"
#include "render/WideCanvas.h"

namespace tarsel {

namespace {

// What a piece draws beyond each side it shares with another piece, so that whatever reaches
// across the seam (a name, a ball whose centre is on the other side, an outline found from
// the depths around it) is drawn alike on both sides.
constexpr int PIECE_OVERLAP = 200;

}  // namespace

int Viewer::SmoothEdges() const {
    return std::clamp(form_.SmoothEdgesComboBox + 1, 1, MAX_SMOOTH_EDGES);
}

QImage Viewer::SmoothPicture(int n, int pieceSide) {
    Workspace& ws = *ws_;
    const Rect view = ws.VisibleRect;
    n = std::clamp(n, 1, MAX_SMOOTH_EDGES);
    if (n == 1 || ws.NothingLoaded || view.Width() <= 0 || view.Height() <= 0)
        return scene_.Copy(view, ws.BackgroundColour);
    const int width = n * view.Width(), height = n * view.Height();
    QImage out(view.Width(), view.Height(), QImage::Format_BGR888);

    const ProjectionParams projection = ws.Projection;
    const FontSpec axisFont = axisFont_;
    // Positions and sizes follow the scale, the names' heights too (factor x FontScale).
    ws.Projection.Scale *= n;
    axisFont_.Height *= n;
    std::unique_ptr<Canvas> own = std::move(canvas_);
    canvas_ = std::make_unique<WideCanvas>(*own, n);

    // Pieces with sides that are multiples of n, so that each filters to whole pixels. A view
    // that fits the bitmap is one piece, drawn as a window of that size would be.
    const int most = SCENE_SIZE - 2 * PIECE_OVERLAP;
    int side = pieceSide > 0 ? std::min(pieceSide, most) : most;
    side = std::max(n, side - side % n);
    const int stepX = pieceSide <= 0 && width <= SCENE_SIZE ? width : side;
    const int stepY = pieceSide <= 0 && height <= SCENE_SIZE ? height : side;
    for (int y0 = 0; y0 < height; y0 += stepY) {
        for (int x0 = 0; x0 < width; x0 += stepX) {
            const int w = std::min(stepX, width - x0), h = std::min(stepY, height - y0);
            const int left = (SCENE_SIZE - w) / 2, top = (SCENE_SIZE - h) / 2;
            ws.VisibleRect = {left - (x0 > 0 ? PIECE_OVERLAP : 0),
                              top - (y0 > 0 ? PIECE_OVERLAP : 0),
                              left + w + (x0 + w < width ? PIECE_OVERLAP : 0),
                              top + h + (y0 + h < height ? PIECE_OVERLAP : 0)};
            // Pixel (x, y) of the large view lands at (left + x - x0, top + y - y0); its pixel
            // n (i - Left) is the window's pixel i at the large scale.
            renderer_.SetView(left - x0 - n * (view.Left - VIEW_CENTRE),
                              top - y0 + n * (VIEW_CENTRE - view.Top), n);
            canvas_->FillRect(ws.VisibleRect, ws.BackgroundColour);
            canvas_->SetShownArea(ws.VisibleRect);
            DrawScene();
            BoxFilter(scene_.Image(), {left, top, left + w, top + h}, n, out, x0 / n, y0 / n);
        }
    }

    canvas_ = std::move(own);
    ws.Projection = projection;
    ws.VisibleRect = view;
    axisFont_ = axisFont;
    renderer_.SetView(VIEW_CENTRE, VIEW_CENTRE, 1);
    canvas_->FillRect(ws.VisibleRect, ws.BackgroundColour);
    canvas_->SetShownArea(ws.VisibleRect);
    DrawScene();
    return out;
}

void Viewer::CopyRecordedPicture(DibBitmap& to) {
    const int n = recordBitmap_ ? recordSmooth_ : SmoothEdges();
    if (n <= 1) {
        CopyShownPicture(to);
        return;
    }
    const QImage picture = SmoothPicture(n);
    const int w = std::min(picture.width(), to.Width());
    const int h = std::min(picture.height(), to.Height());
    for (int y = 0; y < h; ++y)
        std::memcpy(to.Row(y), picture.constScanLine(y), 3 * static_cast<std::size_t>(w));
}

}  // namespace tarsel
