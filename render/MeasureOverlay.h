#pragma once

#include <span>
#include <string>
#include <string_view>

#include "render/Canvas.h"
#include "render/Projection.h"
#include "workspace/Vec3.h"
#include "workspace/Workspace.h"

namespace tarsel {

inline constexpr Rgb MEASURE_COLOUR{160, 0, 160};
inline constexpr Rgb MEASURE_RIM{255, 255, 255};
// Pixels drawn and left out along a measuring line.
inline constexpr int MEASURE_DASH = 5;
inline constexpr int MEASURE_GAP = 3;

// The measurement over the scene: a thin dashed line from each measured atom to the next, and
// the value (a Latin-1 text) beside them: at the middle of the middle line, or at the middle
// atom of an angle. A line with an end behind the camera is not drawn; the value is, beside
// the atoms that are in front. Only the pixels of `visible` are touched, and the canvas's pen
// and brush are left as they were, so the rest of the pass draws as without it.
void DrawMeasureOverlay(const Projection& projection, const Rect& visible,
                        std::span<const Vec3> atoms, std::string_view label, const FontSpec& font,
                        Canvas& canvas);

// Whether the face has the Angstrom and degree signs; false without fonts.
bool FontHasUnitSigns(const std::string& face);

}  // namespace tarsel
