#pragma once

#include <QImage>

#include "world/WorldView.h"

namespace tarsel {

// The world window's picture with smooth edges: drawn n times larger, with lines, dots and
// letters n times their size, and each n x n block averaged into one pixel of image (made the
// view's size, 24-bit). The view's angles are those used; the view itself is not changed.
void PaintSmoothWorldImage(const WorldView& view, const Workspace& ws, const ProjectionPlane& plane,
                           int n, QImage& image);

}  // namespace tarsel
