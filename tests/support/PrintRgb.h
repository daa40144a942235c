#pragma once

#include <ostream>

#include "workspace/Workspace.h"

namespace tarsel {

// Lets GoogleTest show colours as (R, G, B) in its messages.
inline void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "(" << c.R << ", " << c.G << ", " << c.B << ")";
}

}  // namespace tarsel
