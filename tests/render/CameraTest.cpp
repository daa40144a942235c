#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "render/Camera.h"
#include "render/Projection.h"

namespace tarsel {
namespace {

constexpr double EPS = 1e-12;

CameraFrame DefaultFrame(Vec3 v0 = {0, 0, 0}) {
    return {v0, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
}

StepRotation Steps(double a = 0.005) {
    return {MakeRotationTriple(a), MakeRotationTriple(-a)};
}

void ExpectNear(Vec3 a, Vec3 b, double eps = EPS) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

Projection Prepared(const CameraFrame& cam, double pp = 1, double scale = 100) {
    Projection p;
    p.PrepareProjection(cam, {pp, scale, 0.25});
    return p;
}

TEST(Projection, DefaultFramePointsLandAsThePinholeSays) {
    const Projection p = Prepared(DefaultFrame());
    ProjectedPoint q = p.ProjectPoint({0, 0, 10});
    EXPECT_TRUE(q.Visible);
    EXPECT_NEAR(q.sx, 0, EPS);
    EXPECT_NEAR(q.sy, 0, EPS);
    EXPECT_DOUBLE_EQ(q.Distance, 10);
    EXPECT_NEAR(q.PerspectiveFactor, 10, EPS);

    q = p.ProjectPoint({1, 0, 10});
    EXPECT_TRUE(q.Visible);
    EXPECT_NEAR(q.sx, -10, EPS);  // left of the centre
    EXPECT_NEAR(q.sy, 0, EPS);

    q = p.ProjectPoint({0, 1, 10});
    EXPECT_NEAR(q.sx, 0, EPS);
    EXPECT_NEAR(q.sy, -10, EPS);  // below the centre

    EXPECT_FALSE(p.ProjectPoint({0, 0, -10}).Visible);
}

TEST(Projection, VisibilityFollowsTheMovedCamera) {
    const Projection p = Prepared(DefaultFrame({0, 0, -50}));
    EXPECT_FALSE(p.ProjectPoint({0, 0, -60}).Visible);
    const ProjectedPoint q = p.ProjectPoint({0, 0, -40});
    EXPECT_TRUE(q.Visible);
    EXPECT_DOUBLE_EQ(q.Distance, 10);
    // A point behind the camera still has its (mirrored) image.
    const ProjectedPoint behind = p.ProjectPoint({1, 0, -60});
    EXPECT_TRUE(behind.Projectable);
    EXPECT_NEAR(behind.sx, 10, EPS);
}

TEST(Projection, AgreesWithTheClosedFormForAnOrthonormalFrame) {
    // A turned, rolled and moved orthonormal frame, PP 3, Scale 40.
    CameraFrame cam = DefaultFrame({2, -1, -30});
    const StepRotation big = Steps(0.4);
    TurnCamera(cam, big, true);
    RollCamera(cam, big, false);
    PitchCamera(cam, big, true);
    const Projection p = Prepared(cam, 3, 40);
    const Vec3 points[] = {{0, 0, 0}, {5, -3, 2}, {-7, 4, 10}};
    for (const Vec3& pt : points) {
        const Vec3 r = pt - cam.V0;
        const double z = Dot(cam.V1, r);
        const ProjectedPoint q = p.ProjectPoint(pt);
        EXPECT_NEAR(q.sx, -40 * 3 * Dot(cam.V2, r) / z, 1e-9);
        EXPECT_NEAR(q.sy, -40 * 3 * Dot(cam.V3, r) / z, 1e-9);
        EXPECT_NEAR(q.PerspectiveFactor, 40 * 3 / z, 1e-9);
    }
}

TEST(Projection, AxesOfAnyLengthUseTheGeneralConstruction) {
    // V2 and V3 twice as long: the normal grows fourfold, the offsets along V2 and V3 double.
    const CameraFrame cam{{0, 0, 0}, {0, 0, 1}, {2, 0, 0}, {0, 2, 0}};
    const ProjectedPoint q = Prepared(cam).ProjectPoint({1, 1, 10});
    EXPECT_TRUE(q.Visible);
    EXPECT_NEAR(q.sx, -20, EPS);
    EXPECT_NEAR(q.sy, -20, EPS);
}

TEST(Projection, PointsWithoutAnImageAreSkippedNotInfinite) {
    const Projection p = Prepared(DefaultFrame());
    // On the plane through the camera point: the line of sight never meets the image plane.
    for (const Vec3& pt : {Vec3{3, 4, 0}, Vec3{0, 0, 0}}) {
        const ProjectedPoint q = p.ProjectPoint(pt);
        EXPECT_FALSE(q.Projectable);
        EXPECT_FALSE(q.Visible);
        EXPECT_EQ(q.sx, 0);
        EXPECT_EQ(q.sy, 0);
        EXPECT_EQ(q.PerspectiveFactor, 0);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Vec3& pt : {Vec3{nan, 0, 10}, Vec3{0, inf, 10}, Vec3{1e308, 1e308, 1e-300}}) {
        const ProjectedPoint q = p.ProjectPoint(pt);
        EXPECT_FALSE(q.Visible);
        EXPECT_TRUE(std::isfinite(q.sx) && std::isfinite(q.sy) &&
                    std::isfinite(q.PerspectiveFactor));
    }
    // A degenerate frame (V2 parallel to V3) has no image plane at all.
    const Projection flat = Prepared({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}});
    EXPECT_FALSE(flat.ProjectPoint({0, 0, 10}).Visible);
}

TEST(Projection, ManyPointsAtOnceAreEachPointBitForBit) {
    // A tilted frame with axes of odd lengths; usual points in front and behind mixed with
    // points without an image, so that the two of a pair take different paths.
    const Projection p = Prepared(
        {{10, 12, -30}, {0.3, -0.39, 0.87}, {-0.94, 0, -0.33}, {0.13, -0.92, -0.37}}, 10, 84.0925);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Vec3> points{{0, 0, 0},         {10, 12, -30},         {13.1, 7.5, 21.25},
                                   {nan, 0, 10},      {-40, 55.5, -31},      {0, inf, 10},
                                   {1e308, 1e308, 1}, {10.3, 11.61, -29.13}, {1e-9, 2e-9, -3e-9}};
    std::vector<double> x, y, z;
    for (const Vec3& v : points) {
        x.push_back(v.x);
        y.push_back(v.y);
        z.push_back(v.z);
    }
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (int n = 0; n <= static_cast<int>(points.size()); ++n) {
        std::vector<ProjectedPoint> out(points.size());
        p.ProjectPoints(x.data(), y.data(), z.data(), n, out.data());
        for (int i = 0; i < n; ++i) {
            const ProjectedPoint one = p.ProjectPoint(points[i]);
            EXPECT_EQ(out[i].Projectable, one.Projectable) << i;
            EXPECT_EQ(out[i].Visible, one.Visible) << i;
            EXPECT_EQ(bits(out[i].sx), bits(one.sx)) << i;
            EXPECT_EQ(bits(out[i].sy), bits(one.sy)) << i;
            EXPECT_EQ(bits(out[i].Distance), bits(one.Distance)) << i;
            EXPECT_EQ(bits(out[i].PerspectiveFactor), bits(one.PerspectiveFactor)) << i;
        }
    }
}

TEST(Camera, MoveGoesAlongTheViewingAxis) {
    CameraFrame cam = DefaultFrame();
    MoveCamera(cam, 0.2);
    ExpectNear(cam.V0, {0, 0, 0.2});
    MoveCamera(cam, -0.2);
    ExpectNear(cam.V0, {0, 0, 0});
    EXPECT_EQ(cam.V1, (Vec3{0, 0, 1}));
}

TEST(Camera, TurnRollAndPitchTurnTheRightAxes) {
    const double a = 0.005, c = std::cos(a), s = std::sin(a);
    CameraFrame cam = DefaultFrame();
    TurnCamera(cam, Steps(), true);
    ExpectNear(cam.V1, {s, 0, c});
    ExpectNear(cam.V2, {c, 0, -s});
    EXPECT_EQ(cam.V3, (Vec3{0, 1, 0}));
    TurnCamera(cam, Steps(), false);
    ExpectNear(cam.V1, {0, 0, 1});
    ExpectNear(cam.V2, {1, 0, 0});

    cam = DefaultFrame();
    RollCamera(cam, Steps(), true);
    ExpectNear(cam.V2, {c, s, 0});
    ExpectNear(cam.V3, {-s, c, 0});
    EXPECT_EQ(cam.V1, (Vec3{0, 0, 1}));

    cam = DefaultFrame();
    PitchCamera(cam, Steps(), true);
    ExpectNear(cam.V1, {0, -s, c});
    ExpectNear(cam.V3, {0, c, s});
    EXPECT_EQ(cam.V2, (Vec3{1, 0, 0}));
}

TEST(Camera, OrbitKeepsTheDistanceToTheCentre) {
    CameraFrame cam = DefaultFrame({0, 0, -50});
    const double a = 0.005;
    ASSERT_TRUE(OrbitCamera(cam, {0, 0, 0}, Steps(), true));
    // About (0, -1, 0): the camera swings toward +x, still looking at the centre.
    ExpectNear(cam.V0, {50 * std::sin(a), 0, -50 * std::cos(a)}, 1e-9);
    EXPECT_NEAR(Length(cam.V0), 50, 1e-9);
    ExpectNear(cam.V1, (-1.0 / 50) * cam.V0, 1e-12);
    EXPECT_EQ(cam.V3, (Vec3{0, 1, 0}));
    for (int i = 0; i < 1000; ++i)
        OrbitCamera(cam, {0, 0, 0}, Steps(), false);
    EXPECT_NEAR(Length(cam.V0), 50, 1e-9);

    // About an off-origin centre too.
    CameraFrame off = DefaultFrame({3, 4, -45});
    ASSERT_TRUE(OrbitCamera(off, {3, 4, 5}, Steps(0.3), true));
    EXPECT_NEAR(Length(off.V0 - Vec3{3, 4, 5}), 50, 1e-9);
}

TEST(Camera, OrbitWithoutAnAxisLeavesTheFrameAlone) {
    const CameraFrame onCentre = DefaultFrame({1, 2, 3});
    CameraFrame cam = onCentre;
    EXPECT_FALSE(OrbitCamera(cam, {1, 2, 3}, Steps(), true));
    EXPECT_EQ(cam.V0, onCentre.V0);
    EXPECT_EQ(cam.V1, onCentre.V1);
    EXPECT_EQ(cam.V2, onCentre.V2);

    // V0 - G parallel to V2.
    const CameraFrame sideways = DefaultFrame({10, 0, 0});
    cam = sideways;
    EXPECT_FALSE(OrbitCamera(cam, {0, 0, 0}, Steps(), false));
    EXPECT_EQ(cam.V0, sideways.V0);
    EXPECT_EQ(cam.V1, sideways.V1);
    EXPECT_TRUE(std::isfinite(cam.V2.x));
}

}  // namespace
}  // namespace tarsel
