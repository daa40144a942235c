#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/Canvas.h"
#include "render/FontCells.h"
#include "render/Projection.h"
#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

class QImage;

namespace tarsel {
class BandWorkers;
}

namespace tarsel {

// The world window's client area: its outer size 353 x 263 less a sizable frame of 8 pixels
// at the sides and the bottom and the caption with its frame, 31 pixels, at the top (the same
// allowance the main window makes).
inline constexpr int WORLD_CLIENT_WIDTH = 353 - 16;
inline constexpr int WORLD_CLIENT_HEIGHT = 263 - 39;

// Turns about the x axis, then the y axis, then the z axis, in radians. The start is 30 and
// -20 degrees with pi taken as 3.14158; C never changes.
struct WorldAngles {
    double A = 30 * 3.14158 / 180;
    double B = -20 * 3.14158 / 180;
    double C = 30 * 3.14158 / 180;
};

// The extent of the turned fit points.
struct WorldBounds {
    double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
};

// How the fitted extent is laid into the window: pixels per turned unit, the pixel position of
// the lower bounds, and the length of the drawn axes in world units.
struct WorldFit {
    double ScaleX = 1;
    double ScaleY = 1;
    int OffsetX = 0;
    int OffsetY = 0;
    int L = 1;
};

// The turn by a set of angles, with their cosines and sines worked out once.
struct WorldTurn {
    explicit WorldTurn(const WorldAngles& angles = {});
    Vec3 operator()(Vec3 work) const {
        const double y1 = work.y * cA - work.z * sA;
        const double z1 = work.z * cA + work.y * sA;
        const double x2 = work.x * cB + z1 * sB;
        const double Z = z1 * cB - work.x * sB;
        const double X = x2 * cC - y1 * sC;
        const double Y = y1 * cC + x2 * sC;
        return {X, Y, Z};
    }
    double cA, sA, cB, sB, cC, sC;
};

Vec3 RotateWorldPoint(Vec3 work, const WorldAngles& angles);
// Widens the bounds by X and Y of a turned point. A point with a coordinate that is not finite
// cannot be fitted and is passed over.
void ExtendWorldBounds(WorldBounds& bounds, Vec3 turned);
// The fit points land in the box from 15 % to 75 % of the width and the height. An extent of
// zero (all fit points on one vertical or horizontal line) or one too large for a usable scale
// takes the other direction's scale and puts the line in the middle of the box; with neither
// usable the scale is 1 pixel per unit.
WorldFit FitWorld(const WorldBounds& bounds, int width, int height);

// The world window's picture without the window: the fields it keeps between drawings (size,
// angles) and the drawing itself over a canvas. The window, the tests and the command line
// draw through this one class.
class WorldView {
  public:
    static constexpr Rgb BRUSH{128, 128, 128};

    WorldView(int width = WORLD_CLIENT_WIDTH, int height = WORLD_CLIENT_HEIGHT);

    // The new client size (negative sizes count as empty).
    void Resize(int width, int height);
    // Right/Left turn A by +-0.1, Up/Down turn B by +-0.1; other keys change nothing. Keys are
    // virtual-key codes (37 left, 38 up, 39 right, 40 down).
    void FormKeyDown(int key);

    // What every paint does: fill WorldRect with the brush, then DrawWorld.
    void Paint(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas);
    // Fits and draws the whole picture onto a canvas that the caller has cleared. The plane is
    // the one the last render pass of the main view left.
    void DrawWorld(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas);

    int WorldWidth() const { return width_; }
    int WorldHeight() const { return height_; }
    const Rect& WorldRect() const { return rect_; }
    WorldAngles Angles;

    // The last drawing's fit, and where its pen ended.
    const WorldBounds& Bounds() const { return bounds_; }
    const WorldFit& Fit() const { return fit_; }
    int PenX() const { return penX_; }
    int PenY() const { return penY_; }

  private:
    friend void PaintWorldImage(WorldView&, const Workspace&, const ProjectionPlane&, QImage&);

    // The pixel of a world point; false when it has none (not finite).
    bool PixelOf(Vec3 world, int& x, int& y) const;
    // Sets the pen to the pixel of a world point; false when it has none (not finite).
    bool Map(Vec3 world);
    void MoveTo(Vec3 world);
    void LineTo(Canvas& canvas, Vec3 world);
    void TextAt(Canvas& canvas, Vec3 world, const char* text);
    void DotAt(Canvas& canvas, Vec3 world);
    // With image, the canvas draws on it and the atoms are drawn straight into its pixels.
    void Draw(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas, QImage* image);
    void DrawAtoms(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas);
    void DrawAtomsOnImage(const Workspace& ws, const ProjectionPlane& plane, Canvas& canvas,
                          QImage& image);

    // An atom's two points as pixels, and which of them have one.
    struct MappedAtom {
        int Qx, Qy, Px, Py;
        bool QShown, PShown, Front;
        bool OnPicture;  // the line of sight, both its ends on the picture
        bool Covered;    // the next such line from the same pixel ends at the same pixel
        bool DrawQ, DrawLine, DrawP;  // what is left to draw
    };
    // A dot as the canvas draws it in one pen: per row of its 6 x 6 box, the pixels it sets
    // (Left .. Right) and their bytes.
    struct DotStamp {
        std::array<std::uint8_t, 6 * 18> Bytes{};
        std::array<int, 6> Left{}, Right{};
        bool Usable = false;
    };
    static DotStamp MakeStamp(Rgb pen);
    // The rows top .. bottom - 1 of a dot centred at (x, y), clipped to the columns 0 .. width - 1.
    static void StampRows(const DotStamp& stamp, std::uint8_t* bits, std::int64_t stride, int x,
                          int y, int width, int top, int bottom);
    static constexpr int MIN_BAND_ROWS = 64;
    static constexpr std::size_t MIN_SHARED_ATOMS = 4096;  // mapped on the band workers
    std::vector<int> firstAtom_;                           // per molecule, in mapped_
    std::shared_ptr<BandWorkers> workers_;                 // made with the first large picture
    std::vector<MappedAtom> mapped_;
    // Per dot centre near the picture, the last dot of the paint there (2 per atom: crossing
    // point, atom) and the last atom whose line of sight starts there; -1 for none. Left
    // clear after each paint.
    struct CentreCell {
        std::int32_t Dot = -1;
        std::int32_t Line = -1;
    };
    std::vector<CentreCell> centres_;
    // The most centres kept (8 bytes each, 20 MB); a larger window draws every dot and line.
    static constexpr std::int64_t MAX_CENTRES = std::int64_t{5} << 19;
    std::array<DotStamp, 3> stamps_;  // red, green and black pens

    int width_ = 0;
    int height_ = 0;
    Rect rect_;
    WorldBounds bounds_;
    WorldFit fit_;
    WorldTurn turn_;
    int penX_ = 0;
    int penY_ = 0;
    bool penOnPicture_ = false;
    FontCells fonts_;
};

// The picture as the window shows it, drawn into image (made the view's size, 24-bit): the
// pixels of Paint over the viewer's canvas on it, the atoms drawn straight into the rows.
void PaintWorldImage(WorldView& view, const Workspace& ws, const ProjectionPlane& plane,
                     QImage& image);

}  // namespace tarsel
