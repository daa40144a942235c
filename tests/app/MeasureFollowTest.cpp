// Measuring between picked atoms and following a molecule, through the viewer's operations
// and the tool.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "app/HeadlessHost.h"
#include "app/ScenePicture.h"
#include "app/Viewer.h"
#include "app/cli/Cli.h"
#include "render/MeasureOverlay.h"
#include "render/Projection.h"
#include "support/CliRun.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

constexpr int ESC = 27, PAGE_UP = 33, PAGE_DOWN = 34;

std::string Bytes(const std::vector<MoleculePose>& poses) {
    return std::string(reinterpret_cast<const char*>(poses.data()),
                       poses.size() * sizeof(MoleculePose));
}

// A pose turned by angle about the axis (ax, ay, az) of unit length.
MoleculePose Pose(int number, Vec3 at, double angle, Vec3 axis) {
    MoleculePose p;
    p.Number = number;
    p.X0 = at.x;
    p.Y0 = at.y;
    p.Z0 = at.z;
    p.l0 = std::cos(angle / 2);
    p.l1 = axis.x * std::sin(angle / 2);
    p.l2 = axis.y * std::sin(angle / 2);
    p.l3 = axis.z * std::sin(angle / 2);
    return p;
}

// The pixels of the measuring colour, and of the background, in columns 370..430 of a row of
// blue-green-red bytes: the part of row 300 between the discs of A and B.
std::pair<int, int> Dashes(const std::uint8_t* row) {
    std::pair<int, int> n;
    for (int x = 370; x <= 430; ++x) {
        const Rgb c{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        n.first += c == MEASURE_COLOUR;
        n.second += c == Rgb{180, 180, 180};
    }
    return n;
}
std::pair<int, int> Dashes(const QImage& picture) {
    return Dashes(picture.convertToFormat(QImage::Format_BGR888).constScanLine(300));
}

// Seen from (0, 0, -50) with PP 1 and Scale 400 in an 800 x 600 view, (x, y, 0) is at the
// window's (400 - 8x, 300 + 8y). A at (5, 0, 0) and B at (-5, 0, 0) lie on row 300, C at
// (-0.5, 0.5, -45) just in front of the camera at (440, 340).
class MeasureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WorkspaceLines w;
        w.ScaleLine = "400,0.25";
        w.Molecules.clear();
        for (const char* at : {"5,0,0", "-5,0,0", "-0.5,0.5,-45"}) {
            test::MoleculeLines m;
            m.Atoms[0].Position = at;
            m.Atoms[0].ChargeRadius = "0,0.1";
            m.MassCentre = at;
            w.Molecules.push_back(m);
        }
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    }

    test::TempDir dir;
    HeadlessHost host{{800, 600}};
    Viewer viewer{host};
    Workspace& ws = viewer.Ws();
};

TEST_F(MeasureTest, CtrlClicksMeasureAndEscClears) {
    const QImage before = ScenePicture(viewer);
    viewer.MeasureClick(360, 300);
    EXPECT_EQ(host.StatusPanels[0], "picked 1,0");
    viewer.MeasureClick(440, 300);
    EXPECT_EQ(host.StatusPanels[0], "d=10.000 A");
    EXPECT_EQ(ws.SelectedMolecule, -1);  // measuring selects nothing
    viewer.MeasureClick(440, 340);
    // The angle at B: B to A is (10, 0, 0), B to C (4.5, 0.5, -45).
    const double cosine = 4.5 / std::hypot(4.5, 0.5, 45);
    EXPECT_EQ(host.StatusPanels[0].rfind("angle=", 0), 0u) << host.StatusPanels[0];
    EXPECT_NEAR(std::stod(host.StatusPanels[0].substr(6)),
                std::acos(cosine) * 180 / std::numbers::pi, 0.005);
    viewer.FormKeyDown(ESC);
    EXPECT_EQ(host.StatusPanels[0], "");
    EXPECT_EQ(ScenePicture(viewer), before);  // nothing of it is left
    // Ctrl+click on empty space clears too; a plain click there keeps it.
    viewer.MeasureClick(360, 300);
    viewer.FormMouseDown(10, 10);
    EXPECT_EQ(host.StatusPanels[0], "picked 1,0");
    viewer.MeasureClick(10, 10);
    EXPECT_EQ(host.StatusPanels[0], "");
    EXPECT_EQ(ScenePicture(viewer), before);
    // A load clears it: its atoms belong to the run shown before.
    viewer.MeasureClick(360, 300);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_TRUE(viewer.Measured().Empty());
    EXPECT_EQ(host.StatusPanels[0], "");
}

TEST_F(MeasureTest, DashedLineInEveryDrawingModeAndInMovieFrames) {
    const struct {
        const char* name;
        bool balls, rayTracing, halfRadius;
    } modes[] = {{"flat", true, false, false},
                 {"names only", false, false, false},
                 {"half radius", true, false, true},
                 {"ray tracing", true, true, false}};
    for (const auto& m : modes) {
        viewer.Form().BallCheckBox = m.balls;
        viewer.Form().CheckBox26 = m.rayTracing;
        viewer.Form().CheckBox28 = m.halfRadius;
        viewer.BitBtn1Click();
        viewer.ClearMeasurement();
        EXPECT_EQ(Dashes(ScenePicture(viewer)).first, 0) << m.name;
        viewer.MeasureClick(360, 300);
        viewer.MeasureClick(440, 300);
        // Dashed: drawn and left out in turn, over the background.
        const auto [drawn, left] = Dashes(ScenePicture(viewer));
        EXPECT_GT(drawn, 30) << m.name;
        EXPECT_GT(left, 10) << m.name;
        EXPECT_EQ(drawn + left, 61) << m.name;
    }
    viewer.Form().SaveAVICheckBox = true;
    viewer.ApplySettings();
    viewer.StartRecording(dir.File("run.avi"));
    ASSERT_TRUE(viewer.RecordBitmap());
    ws.LastRecordedTime = -1e9;  // a frame is due
    viewer.RenderScene();
    EXPECT_GT(Dashes(viewer.RecordBitmap()->Row(300)).first, 30);
    viewer.StopRecording();
}

TEST_F(MeasureTest, AnAtomBehindTheCameraDrawsNoLineButKeepsItsValue) {
    viewer.MeasureClick(360, 300);
    viewer.MeasureClick(440, 300);
    ws.Camera.V0.z = -44;  // C (at z = -45) is now behind the camera
    viewer.RenderScene();
    const QImage twoAtoms = ScenePicture(viewer);
    ws.Camera.V0.z = -50;
    viewer.RenderScene();
    viewer.MeasureClick(440, 340);
    ws.Camera.V0.z = -44;
    viewer.RenderScene();
    EXPECT_EQ(host.StatusPanels[0].rfind("angle=", 0), 0u);
    // Without fonts no value is written on the picture: the A-B line alone is there.
    EXPECT_EQ(ScenePicture(viewer), twoAtoms);
    EXPECT_GT(Dashes(twoAtoms).first, 0);
}

// A molecule of four equal atoms about its mass centre, flying along x through a cube of
// edge 10 with passing-through walls and turning as it goes; the trajectory holds its centre
// put back into the cube, as a simulation writes it.
class FollowTest : public ::testing::Test {
  protected:
    static constexpr int FRAMES = 60;
    static Vec3 TrueCentre(int k) { return {-3 + 0.45 * k, 1, 2 - 0.05 * k}; }

    void Load(const char* boundary) {
        test::WorkspaceLines w;
        w.Boundary = boundary;
        test::MoleculeLines m;
        m.Atoms.assign(4, test::AtomLines{});
        const char* at[] = {"2,1,2", "0,1,2", "-3,1.5,2", "-3,0.5,2"};
        for (int a = 0; a < 4; ++a)
            m.Atoms[a].Position = at[a];
        m.MassCentre = "-1,1,2";
        w.Molecules = {m, test::MoleculeLines{}};
        test::WriteFile(dir.File("run.tsw"), test::Text(w));
        std::vector<MoleculePose> poses;
        const Vec3 axis{0.6, 0, 0.8};
        for (int k = 0; k < FRAMES; ++k) {
            Vec3 c = TrueCentre(k);
            c.x -= 10 * std::round(c.x / 10);  // back into the cube
            poses.push_back(Pose(1, c, 0.3 * k, axis));
            poses.push_back(Pose(2, {1, 2, 3}, 0, axis));
        }
        test::WriteFile(dir.File("run.xyz"), Bytes(poses));
        ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
        viewer.Form().FrameNumberEdit = "0";
        viewer.Button1Click();
    }

    ProjectedPoint OnScreen(Vec3 p) const {
        Projection projection;
        projection.PrepareProjection(ws.Camera, ws.Projection);
        return projection.ProjectPoint(p);
    }

    test::TempDir dir;
    HeadlessHost host{{800, 600}};
    Viewer viewer{host};
    Workspace& ws = viewer.Ws();
};

TEST_F(FollowTest, TheMassCentreStaysWhereItIsOnTheScreenAlsoAcrossAWall) {
    Load("Thru");
    viewer.FormKeyDown(PAGE_UP);  // molecule 0
    viewer.FormKeyDown('F');
    ASSERT_TRUE(viewer.Following());
    EXPECT_EQ(host.StatusPanels[1], "Follow Selection: on (F ends it)");
    const ProjectedPoint start = OnScreen(TrueCentre(0));
    int jumps = 0;
    for (int k = 1; k < FRAMES; ++k) {
        const double before = ws.Molecules[0].MassCentre.x;
        viewer.Button4Click();
        jumps += std::abs(ws.Molecules[0].MassCentre.x - before) > 5;
        const ProjectedPoint now = OnScreen(TrueCentre(k));
        EXPECT_NEAR(now.sx, start.sx, 1e-9) << "frame " << k;
        EXPECT_NEAR(now.sy, start.sy, 1e-9) << "frame " << k;
    }
    EXPECT_GE(jumps, 1);  // the molecule did cross a wall on the way
}

TEST_F(FollowTest, OnlyFramesMoveTheCameraAndEndingItStopsThat) {
    Load("Reflect");
    viewer.FormKeyDown('F');  // nothing selected: nothing to follow
    EXPECT_FALSE(viewer.Following());
    viewer.FormKeyDown(PAGE_UP);
    viewer.FormKeyDown('F');
    const CameraFrame camera = ws.Camera;
    viewer.FormMouseWheel(120);  // a redraw without a new frame
    viewer.RenderScene();
    EXPECT_EQ(ws.Camera.V0, camera.V0);
    viewer.Button4Click();
    EXPECT_NEAR(ws.Camera.V0.x - camera.V0.x, 0.45, 1e-12);
    viewer.FormKeyDown('F');  // F again: off
    EXPECT_EQ(host.StatusPanels[1], "Use: W,S,A,D,Q,E,Arrows");
    const Vec3 stopped = ws.Camera.V0;
    viewer.Button4Click();
    EXPECT_EQ(ws.Camera.V0, stopped);
    // Clearing the selection ends it too.
    viewer.FormKeyDown('F');
    viewer.FormKeyDown(PAGE_DOWN);
    EXPECT_FALSE(viewer.Following());
    viewer.Button4Click();
    EXPECT_EQ(ws.Camera.V0, stopped);
    // And so does a load.
    viewer.FormKeyDown(PAGE_UP);
    viewer.FormKeyDown('F');
    ASSERT_TRUE(viewer.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    EXPECT_FALSE(viewer.Following());
    EXPECT_EQ(host.StatusPanels[1], "Use: W,S,A,D,Q,E,Arrows");
}

using test::Cli;
using test::CliRun;

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, by);)
        parts.push_back(part);
    return parts;
}

// Two molecules of three atoms, tumbling and drifting over five frames.
std::string TumblingRun(const test::TempDir& dir, bool withTrajectory = true) {
    test::WorkspaceLines w;
    w.Molecules.clear();
    for (int i = 0; i < 2; ++i) {
        test::MoleculeLines m;
        m.Atoms.assign(3, test::AtomLines{});
        m.Atoms[0].Position = "0,0,0";
        m.Atoms[1].Position = "0.9572,0,0";
        m.Atoms[2].Position = "-0.24,0.9266,0";
        m.MassCentre = "0.2,0.3,0";
        w.Molecules.push_back(m);
    }
    test::WriteFile(dir.File("run.tsw"), test::Text(w));
    std::vector<MoleculePose> poses;
    for (int k = 0; k < 5; ++k) {
        poses.push_back(Pose(1, {0.3 * k, 0, 1}, 0.4 * k, {0, 0.6, 0.8}));
        poses.push_back(Pose(2, {2, -0.2 * k, 0}, -0.7 * k, {1, 0, 0}));
    }
    if (withTrajectory) test::WriteFile(dir.File("run.xyz"), Bytes(poses));
    return dir.File("run.tsw");
}

// Atom a of molecule m as `atoms` writes it for frame n (three atoms a molecule).
Vec3 Written(const std::string& run, int frame, int m, int a) {
    const CliRun r = Cli({"atoms", run, "--frame", std::to_string(frame)});
    const std::vector<std::string> fields = Split(Split(r.out, '\n').at(2 + 3 * m + a), ' ');
    std::vector<double> xyz;
    for (const std::string& f : fields) {
        if (!f.empty() && f != "O") xyz.push_back(std::stod(f));
    }
    return {xyz.at(0), xyz.at(1), xyz.at(2)};
}

TEST(CliMeasure, RowsAgreeWithThePositionsAtomsWrites) {
    test::TempDir dir;
    const std::string run = TumblingRun(dir);
    const CliRun d = Cli({"measure", run, "--atoms", "0:1,1:2", "--from", "1", "--step", "2"});
    ASSERT_EQ(d.status, 0) << d.err;
    const std::vector<std::string> rows = Split(d.out, '\n');
    ASSERT_EQ(rows.size(), 3u);  // frames 1 and 3
    EXPECT_EQ(rows[0], "frame,time_ps,distance_A");
    const CliRun a = Cli({"measure", run, "--atoms", "1:0,0:2,0:0", "-o", dir.File("a.csv")});
    ASSERT_EQ(a.status, 0) << a.err;
    const std::vector<std::string> angles = Split(test::ReadFile(dir.File("a.csv")), '\n');
    ASSERT_EQ(angles.size(), 6u);
    EXPECT_EQ(angles[0], "frame,time_ps,angle_deg");
    for (int i = 0; i < 2; ++i) {
        const int frame = 1 + 2 * i;
        const std::vector<std::string> f = Split(rows[1 + i], ',');
        ASSERT_EQ(f.size(), 3u);
        EXPECT_EQ(f[0], std::to_string(frame));
        const Vec3 p = Written(run, frame, 0, 1), q = Written(run, frame, 1, 2);
        EXPECT_NEAR(std::stod(f[2]), Length(p - q), 2e-6) << rows[1 + i];
    }
    for (int frame = 0; frame < 5; ++frame) {
        const std::vector<std::string> f = Split(angles[1 + frame], ',');
        const Vec3 u = Written(run, frame, 1, 0) - Written(run, frame, 0, 2);
        const Vec3 v = Written(run, frame, 0, 0) - Written(run, frame, 0, 2);
        const double expected =
            std::acos(Dot(u, v) / (Length(u) * Length(v))) * 180 / std::numbers::pi;
        EXPECT_NEAR(std::stod(f.at(2)), expected, 1e-5) << angles[1 + frame];
    }
}

TEST(CliMeasure, WithoutTrajectoryOneRowAndUndefinedIsEmpty) {
    test::TempDir dir;
    const std::string run = TumblingRun(dir, false);
    const CliRun d = Cli({"measure", run, "--atoms", "0:0,0:1"});
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(d.out, "frame,time_ps,distance_A\n,0.000000,0.957200\n");
    // Atom 1 of both molecules is at the same place: the middle bond has no length.
    const CliRun n = Cli({"measure", run, "--atoms", "0:0,0:1,1:1,0:2"});
    EXPECT_EQ(n.out, "frame,time_ps,dihedral_deg\n,0.000000,\n");
    EXPECT_EQ(Cli({"measure", run, "--atoms", "0:0,0:1", "--to", "1"}).status, 1);
}

TEST(CliMeasure, BadListsAreUsageErrorsAndMissingAtomsDataErrors) {
    test::TempDir dir;
    const std::string run = TumblingRun(dir);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"measure", run}, 2, "needs --atoms"},
        {{"measure", run, "--atoms"}, 2, "needs M:A"},
        {{"measure", run, "--atoms", "0:0,0:0"}, 2, "twice"},
        {{"measure", run, "--atoms", "0:0"}, 2, "not 1"},
        {{"measure", run, "--atoms", "0:0,0:1,0:2,1:0,1:1"}, 2, "not 5"},
        {{"measure", run, "--atoms", "0:0,zero"}, 2, "'zero'"},
        {{"measure", run, "--atoms", "0:0,0:1", "--frame", "1"}, 2, "'--frame'"},
        {{"measure", run, "--atoms", "0:0,2:0"}, 1, "molecules 0 to 1"},
        {{"measure", run, "--atoms", "0:0,1:3"}, 1, "molecule 1 has atoms 0 to 2"},
        {{"measure", run, "--atoms", "0:0,0:1", "--to", "5"}, 1, "beyond the last frame"},
        {{"measure", dir.File("none.tsw"), "--atoms", "0:0,0:1"}, 1, "none.tsw"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
}  // namespace tarsel
