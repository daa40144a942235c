// The measuring geometry, its texts and the atom lists of the tool, against values worked out
// by hand.

#include "app/Measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace tarsel {
namespace {

constexpr double NA = std::numeric_limits<double>::quiet_NaN();  // an undefined value

struct GeometryCase {
    const char* what;
    std::vector<Vec3> points;
    double expected;  // NA: undefined
};

// d = (cos p, sin p, 1): the dihedral (1,0,0)-(0,0,0)-(0,0,1)-d is p degrees, by the rule that
// looking from the second atom to the third, the first turns clockwise onto the fourth.
Vec3 Turned(double degrees) {
    const double p = degrees * std::numbers::pi / 180;
    return {std::cos(p), std::sin(p), 1};
}

TEST(MeasurementGeometry, SmallShapesGiveTheValuesWorkedOutByHand) {
    const Vec3 o{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const GeometryCase cases[] = {
        {"3-4-5 distance", {{1, 1, 1}, {4, 5, 1}}, 5},
        {"same point", {x, x}, 0},
        {"right angle", {x, o, y}, 90},
        {"right angle, long arms", {{0, 0, 7}, {0, 0, 2}, {0, -3, 2}}, 90},
        {"half a right angle", {x, o, {2, 2, 0}}, 45},
        {"straight line", {x, o, {-3, 0, 0}}, 180},
        {"folded back", {x, o, {2, 0, 0}}, 0},
        {"water",
         {{0.75695032726, 0.58588227662, 0}, o, {-0.75695032726, 0.58588227662, 0}},
         104.52},
        {"angle with a zero arm", {o, o, y}, NA},
        {"cis", {x, o, z, Turned(0)}, 0},
        {"gauche +", {x, o, z, Turned(60)}, 60},
        {"right-handed quarter", {x, o, z, {0, 1, 1}}, 90},
        {"left-handed quarter", {x, o, z, {0, -1, 1}}, -90},
        {"anticlinal -", {x, o, z, Turned(-120)}, -120},
        {"trans", {x, o, z, Turned(180)}, 180},
        {"first three on a line", {{0, 0, -1}, o, z, y}, NA},
        {"last three on a line", {x, o, z, {0, 0, 3}}, NA},
        {"middle atoms together", {x, o, o, y}, NA},
        {"one point", {x}, NA},
    };
    for (const GeometryCase& c : cases) {
        const std::optional<double> v = MeasureValue(c.points);
        if (std::isnan(c.expected)) {
            EXPECT_FALSE(v.has_value()) << c.what << ": " << v.value_or(0);
        } else {
            ASSERT_TRUE(v.has_value()) << c.what;
            EXPECT_NEAR(std::abs(*v), std::abs(c.expected), 1e-7) << c.what;
            if (std::abs(c.expected) != 180) {
                EXPECT_EQ(*v < 0, c.expected < 0) << c.what;
            }
        }
    }
}

TEST(MeasurementGeometry, NearlyStraightAnglesKeepTheirDigits) {
    // A millionth of a radian off the straight line: acos of the cosine would give 180.
    const double e = 1e-6;
    const auto v = AngleDegrees({1, 0, 0}, {0, 0, 0}, {-1, std::tan(e), 0});
    ASSERT_TRUE(v);
    EXPECT_NEAR(180 - *v, e * 180 / std::numbers::pi, 1e-12);
}

TEST(MeasurementText, StatusAndPictureTexts) {
    struct Case {
        int atoms;
        std::optional<double> value;
        UnitSigns signs;
        std::string expected;
    } cases[] = {
        {2, 2.85349, UnitSigns::Plain, "d=2.853 A"},
        {2, 2.85349, UnitSigns::Utf8, "d=2.853 \xC3\x85"},
        {2, 2.85349, UnitSigns::Latin1, "d=2.853 \xC5"},
        {3, 104.5201, UnitSigns::Plain, "angle=104.52"},
        {3, 104.5201, UnitSigns::Utf8, "angle=104.52\xC2\xB0"},
        {4, -63.2049, UnitSigns::Plain, "dihedral=-63.20"},
        {4, -63.2049, UnitSigns::Latin1, "dihedral=-63.20\xB0"},
        {4, std::nullopt, UnitSigns::Utf8, "dihedral=n/a"},
        {1, std::nullopt, UnitSigns::Plain, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MeasureText(c.atoms, c.value, c.signs), c.expected);
}

TEST(MeasurementPicks, AFifthAtomStartsAgainAndARepeatIsNotTaken) {
    Measurement m;
    for (int a = 0; a < 4; ++a)
        EXPECT_TRUE(m.Add({1, a}));
    EXPECT_EQ(m.Count(), 4);
    EXPECT_TRUE(m.Add({2, 0}));
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(m[0], (AtomRef{2, 0}));
    EXPECT_FALSE(m.Add({2, 0}));
    EXPECT_TRUE(m.Add({0, 0}));
    EXPECT_EQ(m.Count(), 2);
}

TEST(MeasurementAtomList, GoodListsAndWhatIsWrongWithTheOthers) {
    std::string problem;
    const auto four = ParseAtomList("3:0,3:1,12:7,0:0", problem);
    ASSERT_TRUE(four);
    EXPECT_EQ(*four, (std::vector<AtomRef>{{3, 0}, {3, 1}, {12, 7}, {0, 0}}));
    const struct {
        const char* text;
        const char* says;
    } bad[] = {
        {"3:0", "not 1"},          {"3:0,3:1,3:2,3:3,3:4", "not 5"},
        {"3:0,3:0", "twice"},      {"3:0,3", "'3' is not"},
        {"3:0,a:1", "'a:1'"},      {"3:0,-1:1", "'-1:1'"},
        {"3:0,,3:1", "'' is not"}, {"3:0,3:1,", "'' is not"},
        {"3:0 3:1", "'3:0 3:1'"},  {"", "'' is not"},
        {"3:0,1:2:3", "'1:2:3'"},  {"1.5:0,3:1", "'1.5:0'"},
    };
    for (const auto& b : bad) {
        problem.clear();
        EXPECT_FALSE(ParseAtomList(b.text, problem)) << b.text;
        EXPECT_NE(problem.find(b.says), std::string::npos) << b.text << ": " << problem;
    }
}

TEST(MeasurementFollow, AStepAcrossAPassingWallIsTheShortOne) {
    const SimulationCube thru{{0, 0, 0}, 10, false}, reflect{{0, 0, 0}, 10, true};
    const Vec3 from{4.8, -4.9, 1}, to{-4.7, 4.6, 1.5};  // out by +x and -y, and back in
    const Vec3 s = UnwrappedStep(thru, from, to);
    EXPECT_NEAR(s.x, 0.5, 1e-12);
    EXPECT_NEAR(s.y, -0.5, 1e-12);
    EXPECT_NEAR(s.z, 0.5, 1e-12);
    // Reflecting walls let nothing through: the step is the plain difference.
    EXPECT_EQ(UnwrappedStep(reflect, from, to), to - from);
}

TEST(MeasurementFollow, MassCentreWeighsTheAtoms) {
    MoleculeRecord m;
    m.AtomCount = 2;
    m.X = {0, 4};
    m.Mass = {1, 3};
    EXPECT_EQ(PlacedMassCentre(m).x, 3);
    m.Mass = {0, 0};  // no masses: the plain centre
    EXPECT_EQ(PlacedMassCentre(m).x, 2);
}

}  // namespace
}  // namespace tarsel
