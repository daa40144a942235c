#pragma once

#include "render/Canvas.h"
#include "render/Projection.h"
#include "workspace/Workspace.h"

namespace tarsel {

// A corner of the cube in single precision, as the overlay computes it.
struct CubePoint {
    float x = 0;
    float y = 0;
    float z = 0;
};

// The segment DrawClippedLine handled last, as screen offsets (y upward): the clipped end
// points of a drawn segment, the projected ones of a segment not drawn. An end that has no
// image (on the plane through the camera point) is marked; no letter is written there.
struct LastSegment {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool FirstProjected = false;
    bool SecondProjected = false;
};

// The edges of the simulation cube, clipped to the view, and the letters "0", "X", "Y", "Z" at
// its origin corner and the far ends of the three edges from it.
class CubeOverlay {
  public:
    static constexpr Rgb EDGE_COLOUR{250, 250, 0};
    static constexpr Rgb LETTER_COLOUR{20, 20, 20};

    void DrawCube(const Workspace& ws, const Projection& projection, Canvas& canvas,
                  const FontSpec& axisFont);

    // Draws at most one line: the part of A-B inside the open rectangle -W < x < W,
    // -H < y < H around the view centre, and always updates LastSegment. The segment is not
    // cut at the camera plane: an end behind the camera is drawn toward its mirrored image.
    void DrawClippedLine(const Projection& projection, int halfWidth, int halfHeight,
                         Canvas& canvas, CubePoint a, CubePoint b, Rgb colour);

    const LastSegment& Last() const { return last_; }

  private:
    LastSegment last_;
};

}  // namespace tarsel
