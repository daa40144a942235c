#pragma once

#include <gtest/gtest.h>

#include <string>

#include "workspace/Workspace.h"

namespace tarsel::test {

// How one step moved the camera, measured on the axes it had before the step: V0 along V1
// (forward) and along V2 (sideways), V1 toward V2 (turn) and toward V3 (pitch), V2 toward V3
// (roll). From an orthonormal frame each rotation shows as the sine of its angle.
struct CameraChange {
    double Forward = 0, Sideways = 0, Turn = 0, Pitch = 0, Roll = 0;
};

inline CameraChange ChangeOf(const CameraFrame& before, const CameraFrame& after) {
    const Vec3 moved = after.V0 - before.V0;
    return {Dot(moved, before.V1), Dot(moved, before.V2), Dot(after.V1, before.V2),
            Dot(after.V1, before.V3), Dot(after.V2, before.V3)};
}

inline void ExpectChange(const CameraChange& got, const CameraChange& want,
                         const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(got.Forward, want.Forward, 1e-12);
    EXPECT_NEAR(got.Sideways, want.Sideways, 1e-12);
    EXPECT_NEAR(got.Turn, want.Turn, 1e-12);
    EXPECT_NEAR(got.Pitch, want.Pitch, 1e-12);
    EXPECT_NEAR(got.Roll, want.Roll, 1e-12);
}

}  // namespace tarsel::test
