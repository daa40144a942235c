#include "world/WorldSmooth.h"

#include "render/RasterCanvas.h"
#include "render/WideCanvas.h"

namespace tarsel {

void PaintSmoothWorldImage(const WorldView& view, const Workspace& ws, const ProjectionPlane& plane,
                           int n, QImage& image) {
    const int width = view.WorldWidth(), height = view.WorldHeight();
    if (width <= 0 || height <= 0 || n < 1) {
        image = QImage();
        return;
    }
    WorldView large(n * width, n * height);
    large.Angles = view.Angles;
    QImage drawn(n * width, n * height, QImage::Format_BGR888);
    RasterCanvas raster(drawn);
    WideCanvas canvas(raster, n, true);
    large.Paint(ws, plane, canvas);
    image = QImage(width, height, QImage::Format_BGR888);
    BoxFilter(drawn, {0, 0, n * width, n * height}, n, image, 0, 0);
}

}  // namespace tarsel
