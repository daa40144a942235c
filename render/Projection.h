#pragma once

#include "render/SceneBitmap.h"
#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

namespace tarsel {

// The plane the scene is projected onto, at distance PP behind the camera point.
struct ProjectionPlane {
    Vec3 PlaneCentre;     // C = V0 - PP * V1
    Vec3 PlaneNormal;     // N = V2 x V3
    double PlaneOffset;   // dC = -(N . C)
    double CameraOffset;  // d0 = -(N . V0): the plane through the camera point
};

// One world point as the camera sees it. Screen offsets are pixels from the view centre, sx to
// the right and sy upward.
struct ProjectedPoint {
    // False when the point has no image: it lies on the plane through the camera point (its
    // line of sight never meets the projection plane) or the arithmetic overflowed. Such a
    // point is never visible and its offsets and factor are 0.
    bool Projectable = false;
    // In front of the camera (or on the plane through it, when projectable).
    bool Visible = false;
    double sx = 0;
    double sy = 0;
    double Distance = 0;           // world units from the camera point
    double PerspectiveFactor = 0;  // pixels per world unit at that distance
};

// The central projection of one render pass: PrepareProjection derives the plane from the
// camera, ProjectPoint turns world points into screen offsets.
class Projection {
  public:
    void PrepareProjection(const CameraFrame& camera, const ProjectionParams& params);

    // Steps 1-5 of the projection. The axes loaded from a file need not be unit vectors, so
    // this is the general construction, not the closed form of an orthonormal frame.
    ProjectedPoint ProjectPoint(Vec3 p) const;
    // ProjectPoint of (x[i], y[i], z[i]) into out[i] for i < n, bit for bit, a few at a time.
    void ProjectPoints(const double* x, const double* y, const double* z, int n,
                       ProjectedPoint* out) const;

    const ProjectionPlane& Plane() const { return plane_; }
    const CameraFrame& Camera() const { return camera_; }
    double Scale() const { return scale_; }

    // Smooth edges draw the view PixelScale times larger, piece by piece: the bitmap pixel of
    // the view centre moves so that each piece lands on the bitmap. Outside such passes the
    // centre is the bitmap's and the scale 1; a new camera keeps both.
    void SetView(double centreX, double centreY, int pixelScale) {
        centreX_ = centreX;
        centreY_ = centreY;
        pixelScale_ = pixelScale;
    }
    double CentreX() const { return centreX_; }
    double CentreY() const { return centreY_; }
    int PixelScale() const { return pixelScale_; }
    // The bitmap position of a screen offset: CentreX + sx, CentreY - sy.
    double BitmapX(double sx) const { return centreX_ + sx; }
    double BitmapY(double sy) const { return centreY_ - sy; }

  private:
    CameraFrame camera_;
    ProjectionPlane plane_{};
    double scale_ = 0;
    double centreX_ = VIEW_CENTRE;
    double centreY_ = VIEW_CENTRE;
    int pixelScale_ = 1;
};

}  // namespace tarsel
