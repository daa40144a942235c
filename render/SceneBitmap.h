#pragma once

#include <QImage>
#include <string>

#include "workspace/Workspace.h"

namespace tarsel {

inline constexpr int SCENE_SIZE = 2000;
inline constexpr int VIEW_CENTRE = SCENE_SIZE / 2;

// The fixed 2000 x 2000 off-screen picture, 24 bits per pixel (bytes blue, green, red; row 0 at
// the top). The window shows its centre part; resizing never reallocates it.
class SceneBitmap {
  public:
    explicit SceneBitmap(Rgb fill);

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

    // Fills the part of r that lies on the bitmap.
    void Fill(const Rect& r, Rgb colour);
    Rgb Pixel(int x, int y) const;

    // The picture of rectangle r as a window of its size shows it: a view larger than the
    // bitmap reaches beyond it, and shows the outside colour there.
    QImage Copy(const Rect& r, Rgb outside) const;

  private:
    QImage image_;
};

// The part of r that lies on the bitmap (empty when none does).
Rect ClipToScene(const Rect& r);

// A font as the scene asks for it: a face and a character cell height in pixels.
struct FontSpec {
    std::string Face;
    int Height = 0;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

}  // namespace tarsel
