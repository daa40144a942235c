#include "settings/CameraMotion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Resets.h"
#include "support/CameraChange.h"

namespace tarsel {
namespace {

double AngleBetween(Vec3 a, Vec3 b) {
    return std::atan2(Length(Cross(a, b)), Dot(a, b));
}

class KeyMotion : public ::testing::Test {
  protected:
    KeyMotion() { ResetWorkspace(*ws); }

    void Hold(MotionKey k) { ws->KeyHeld[static_cast<int>(k)] = true; }
    void Release(MotionKey k) {
        ws->KeyHeld[static_cast<int>(k)] = false;
        ws->KeyCoasting[static_cast<int>(k)] = true;
    }
    bool Coasting(MotionKey k) const { return ws->KeyCoasting[static_cast<int>(k)]; }

    // The angle V1 turns by in one tick (for the arrows) or V2 (for rolls).
    double TurnTick() {
        const Vec3 before = ws->Camera.V1;
        KeyMotionStep(*ws);
        return AngleBetween(before, ws->Camera.V1);
    }
    double RollTick() {
        const Vec3 before = ws->Camera.V2;
        KeyMotionStep(*ws);
        return AngleBetween(before, ws->Camera.V2);
    }
    double MoveTick() {
        const Vec3 before = ws->Camera.V0;
        KeyMotionStep(*ws);
        return Dot(ws->Camera.V0 - before, ws->Camera.V1);
    }

    std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
};

TEST_F(KeyMotion, HeldArrowAcceleratesThenCoastsToItsEnd) {
    Hold(MotionKey::Right);
    std::vector<double> turns;
    for (int tick = 0; tick < 12; ++tick)
        turns.push_back(TurnTick());
    for (int tick = 0; tick < 12; ++tick) {
        const double expected = tick < 9 ? 0.002 + 0.001 * tick : 0.01;
        EXPECT_NEAR(turns[tick], expected, 1e-9) << tick;
    }

    Release(MotionKey::Right);
    turns.clear();
    while (Coasting(MotionKey::Right) && turns.size() < 20)
        turns.push_back(TurnTick());
    const std::vector<double> expected = {0.009, 0.008, 0.007, 0.006, 0.005,
                                          0.004, 0.003, 0.002, 0.001, 0.001};
    ASSERT_EQ(turns.size(), expected.size());
    for (std::size_t i = 0; i < turns.size(); ++i)
        EXPECT_NEAR(turns[i], expected[i], 1e-9) << i;
    EXPECT_NEAR(TurnTick(), 0.0, 1e-15);  // it has ended
}

TEST_F(KeyMotion, HeldWMovesFasterUpToAboutThree) {
    Hold(MotionKey::W);
    EXPECT_NEAR(MoveTick(), 0.2, 1e-12);
    EXPECT_NEAR(MoveTick(), 0.3, 1e-12);
    EXPECT_NEAR(MoveTick(), 0.4, 1e-12);
    double last = 0;
    for (int tick = 0; tick < 40; ++tick)
        last = MoveTick();
    EXPECT_NEAR(last, 3.0, 1e-9);  // the growth stops once the step is above 3.0
    Release(MotionKey::W);
    EXPECT_NEAR(MoveTick(), 2.9, 1e-9);
    while (Coasting(MotionKey::W))
        last = MoveTick();
    EXPECT_NEAR(last, 0.2, 1e-9);
}

TEST_F(KeyMotion, EveryOppositeKeyStopsTheOthersCoasting) {
    using K = MotionKey;
    const std::pair<K, K> pairs[] = {
        {K::Up, K::Down}, {K::Right, K::Left}, {K::A, K::D}, {K::Q, K::E}, {K::W, K::S}};
    for (auto [a, b] : pairs) {
        for (auto [coasting, pressed] : {std::pair{a, b}, std::pair{b, a}}) {
            ResetWorkspace(*ws);
            ws->Camera.V0 = {0, 0, -50};  // an orbit needs the camera off the cube's centre
            Release(coasting);
            Hold(pressed);
            KeyMotionStep(*ws);
            EXPECT_FALSE(Coasting(coasting)) << static_cast<int>(coasting);
        }
    }
}

// Each coasting tick takes its key's own amount off its own step, then moves by it.
TEST_F(KeyMotion, EveryCoastingKeyShrinksItsOwnStep) {
    using K = MotionKey;
    struct Row {
        K key;
        double Workspace::*step;
        double from, to;
    };
    const Row rows[] = {
        {K::Right, &Workspace::TurnStep, 0.005, 0.004},
        {K::Left, &Workspace::TurnStep, 0.005, 0.004},
        {K::Up, &Workspace::TurnStep, 0.005, 0.004},
        {K::Down, &Workspace::TurnStep, 0.005, 0.004},
        {K::W, &Workspace::MoveStep, 1.0, 0.9},
        {K::S, &Workspace::MoveStep, 1.0, 0.9},
        {K::A, &Workspace::RollStep, 0.02, 0.018},
        {K::D, &Workspace::RollStep, 0.02, 0.018},
        {K::Q, &Workspace::RollStep, 0.02, 0.018},
        {K::E, &Workspace::RollStep, 0.02, 0.018},
    };
    for (const Row& row : rows) {
        ResetWorkspace(*ws);
        ws->Camera.V0 = {0, 0, -50};
        ws->TurnStep = ws->MoveStep = ws->RollStep = 0.5;  // the other steps: far from all
        (*ws).*row.step = row.from;
        Release(row.key);
        const CameraFrame before = ws->Camera;
        KeyMotionStep(*ws);
        const int key = static_cast<int>(row.key);
        EXPECT_NEAR((*ws).*row.step, row.to, 1e-12) << key;
        EXPECT_TRUE(Coasting(row.key)) << key;
        const test::CameraChange c = test::ChangeOf(before, ws->Camera);
        const double moved = row.step == &Workspace::MoveStep
                                 ? std::fabs(c.Forward)
                                 : std::asin(std::fabs(c.Turn + c.Pitch + c.Roll));
        EXPECT_NEAR(moved, row.to, 1e-12) << key;
    }
}

TEST_F(KeyMotion, RollsUseTheTripleTheLastComputationLeft) {
    Hold(MotionKey::A);
    EXPECT_NEAR(RollTick(), 0.005, 1e-12);  // the reset's triple
    EXPECT_NEAR(RollTick(), 0.007, 1e-12);

    // Holding Right and A together: A rolls with the triple that Right has just computed.
    ResetWorkspace(*ws);
    Hold(MotionKey::Right);
    Hold(MotionKey::A);
    KeyMotionStep(*ws);
    EXPECT_DOUBLE_EQ(ws->Rotation.Plus.s, std::sin(0.007));  // grown by A after its roll
    EXPECT_NEAR(ws->TurnStep, 0.002, 1e-15);
}

TEST_F(KeyMotion, OrbitKeepsTheDistanceToTheCube) {
    ws->Camera.V0 = {0, 0, -50};
    Hold(MotionKey::Q);
    for (int tick = 0; tick < 30; ++tick)
        KeyMotionStep(*ws);
    EXPECT_NEAR(Length(ws->Camera.V0 - ws->Cube.CubeCentre), 50.0, 1e-9);
    EXPECT_GT(std::fabs(ws->Camera.V0.x), 1.0);
}

double Apart(const CameraFrame& a, const CameraFrame& b) {
    return std::max(
        {Length(a.V0 - b.V0), Length(a.V1 - b.V1), Length(a.V2 - b.V2), Length(a.V3 - b.V3)});
}

// "Smooth Motion": every key held, then coasting to its end, tick by tick against sub-ticks.
TEST_F(KeyMotion, SubTicksAddUpToTheTicks) {
    for (const int parts : {2, 3}) {
        for (const MotionKey key :
             {MotionKey::Right, MotionKey::Left, MotionKey::Up, MotionKey::Down, MotionKey::W,
              MotionKey::S, MotionKey::A, MotionKey::D, MotionKey::Q, MotionKey::E}) {
            SCOPED_TRACE(testing::Message()
                         << "key " << static_cast<int>(key) << ", parts " << parts);
            ResetWorkspace(*ws);
            ws->Camera.V0 = {3, -4, -50};  // off the cube's centre line, for Q and E
            Hold(key);
            Workspace& ticks = *ws;
            auto fine = std::make_unique<Workspace>(ticks);
            KeyMotionSubSteps sub(parts);
            for (int tick = 0; tick < 40; ++tick) {
                if (tick == 15) {
                    Release(key);
                    fine->KeyHeld = ticks.KeyHeld;
                    fine->KeyCoasting = ticks.KeyCoasting;
                }
                const CameraFrame start = fine->Camera;
                KeyMotionStep(ticks);
                const double whole = Apart(start, ticks.Camera);
                for (int j = 1; j <= parts; ++j) {
                    sub.Step(*fine);
                    // Each sub-tick takes its share: neither the whole step nor none of it.
                    if (j < parts && whole > 1e-6) {
                        const double part = Apart(start, fine->Camera);
                        EXPECT_GT(part, 0.9 * j / parts * whole);
                        EXPECT_LT(part, 1.1 * j / parts * whole);
                    }
                }
                EXPECT_LT(Apart(fine->Camera, ticks.Camera), 1e-9) << "tick " << tick;
                EXPECT_EQ(fine->MoveStep, ticks.MoveStep);
                EXPECT_EQ(fine->TurnStep, ticks.TurnStep);
                EXPECT_EQ(fine->RollStep, ticks.RollStep);
                EXPECT_EQ(fine->KeyCoasting, ticks.KeyCoasting);
            }
            EXPECT_FALSE(sub.Pending(*fine));  // coasted to its end with the ticks
        }
    }
}

class Programme : public KeyMotion {
  protected:
    Programme() {
        ws->CameraProgrammeOn = true;
        ws->ProgrammeInterval = 1.0;
        ws->PeriodEnd = {200, 200, 50};
    }
    // A pass at time t: true when the camera moved.
    bool PassAt(double t) {
        ws->CurrentTime = t;
        const CameraFrame before = ws->Camera;
        CameraProgrammeStep(*ws);
        return !(before.V0 == ws->Camera.V0 && before.V2 == ws->Camera.V2);
    }
};

TEST_F(Programme, RowsActUntilTheirEndsInThePlayingDirection) {
    ws->PeriodAction = {static_cast<int>(ProgrammeAction::Forward), 0, 0};
    ws->LastProgrammeTime = 150;
    EXPECT_FALSE(PassAt(150));  // the same time again: not due
    EXPECT_TRUE(PassAt(151));
    EXPECT_NEAR(ws->Camera.V0.z, 0.2, 1e-12);
    EXPECT_FALSE(PassAt(151.5));  // less than the interval since the last step
    EXPECT_TRUE(PassAt(199));
    EXPECT_FALSE(PassAt(200));  // the row has ended: due, but nothing to do
    EXPECT_EQ(ws->LastProgrammeTime, 200.0);

    // Backward playback takes steps as the time decreases.
    ws->PlayForward = false;
    EXPECT_TRUE(PassAt(199));
    EXPECT_FALSE(PassAt(199));
    EXPECT_TRUE(PassAt(198));
    EXPECT_NEAR(ws->Camera.V0.z, 0.8, 1e-12);
}

TEST_F(Programme, EveryActionMovesTheCameraItsWay) {
    const double roll = std::sin(0.005), orbitIn = 50 * (1 - std::cos(0.005));
    const test::CameraChange changes[] = {
        {0, 0, 0, 0, 0},                    // "None"
        {0.2, 0, 0, 0, 0},                  // "Forward"
        {-0.2, 0, 0, 0, 0},                 // "Backward"
        {orbitIn, 50 * roll, -roll, 0, 0},  // "Rotate Left": the orbit the Q key makes
        {orbitIn, -50 * roll, roll, 0, 0},  // "Rotate Right": as E
        {0, 0, 0, 0, roll},                 // "Bank Left": the roll of A
        {0, 0, 0, 0, -roll},                // "Bank Right": as D
    };
    for (int action = 0; action < 7; ++action) {
        ResetWorkspace(*ws);
        ws->Camera.V0 = {0, 0, -50};
        ws->LastProgrammeTime = 0;
        ws->PeriodAction = {action, 0, 0};
        const CameraFrame before = ws->Camera;
        PassAt(10);
        test::ExpectChange(test::ChangeOf(before, ws->Camera), changes[action],
                           "action " + std::to_string(action));
    }
}

TEST_F(Programme, RowsAreIndependentAndApplyInOrder) {
    ws->PeriodAction = {static_cast<int>(ProgrammeAction::Forward),
                        static_cast<int>(ProgrammeAction::Backward),
                        static_cast<int>(ProgrammeAction::BankLeft)};
    EXPECT_TRUE(PassAt(10));  // all three act: forward and backward cancel, the bank stays
    EXPECT_NEAR(ws->Camera.V0.z, 0.0, 1e-12);
    EXPECT_NEAR(ws->Camera.V2.y, std::sin(0.005), 1e-12);
    PassAt(60);  // row 3 has ended at 50; rows 1 and 2 still cancel out
    EXPECT_EQ(ws->LastProgrammeTime, 60.0);
    EXPECT_NEAR(ws->Camera.V2.y, std::sin(0.005), 1e-12);

    ws->PeriodAction = {99, -1, 0};  // indexes no box lists do nothing
    EXPECT_FALSE(PassAt(70));
}

}  // namespace
}  // namespace tarsel
