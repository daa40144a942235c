#include "app/cli/Cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include <QImage>

#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.status = RunCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

TEST(Cli, LogPrintsTheMemoAndNothingElse) {
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
    const CliRun r = Cli({"log", dir.File("run.tsw")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 15), "LoadMemo\n\nLoad ");
    EXPECT_NE(r.out.find("\nNumber of molecules=1\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 15), "Bond Matrix:\n0\n");
    // The trajectory is missing: the box's text goes to stderr, not into the log.
    EXPECT_EQ(r.err, "Error: File *.xyz not found!\n");
}

TEST(Cli, InfoSummarisesTheLoad) {
    test::TempDir dir;
    test::WorkspaceLines w;
    w.Molecules.assign(2, test::MoleculeLines{});
    test::WriteFile(dir.File("run.tsw"), test::Text(w));
    test::WriteFile(dir.File("run.xyz"), std::string(64 * 2 * 7, '\0'));
    CliRun r = Cli({"info", dir.File("run.tsw")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Molecules:  2\n"), std::string::npos);
    EXPECT_NE(r.out.find("Frames:     7\n"), std::string::npos);
    EXPECT_NE(r.out.find("Scale:      100.000000\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Message"), std::string::npos);

    std::filesystem::remove(dir.File("run.xyz"));
    r = Cli({"info", dir.File("run.tsw")});
    EXPECT_NE(r.out.find("Message (Error): File *.xyz not found!\n"), std::string::npos);
}

TEST(Cli, UsageAndLoadErrors) {
    EXPECT_EQ(Cli({}).status, 2);
    EXPECT_EQ(Cli({"show", "x.tsw"}).status, 2);
    const CliRun noFile = Cli({"log"});
    EXPECT_EQ(noFile.status, 2);
    EXPECT_TRUE(noFile.out.empty());
    EXPECT_NE(noFile.err.find("usage:"), std::string::npos);

    const CliRun missing = Cli({"log", "/nonexistent/run.tsw"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("/nonexistent/run.tsw"), std::string::npos);

    test::TempDir dir;
    test::WorkspaceLines w;
    w.Molecules[0].Count = "150";
    test::WriteFile(dir.File("big.tsw"), test::Text(w));
    const CliRun refused = Cli({"info", dir.File("big.tsw")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Line 22: molecule 0 declares 150 atoms"), std::string::npos);
}

// One atom of radius 5 at the origin, seen from (0, 0, -50): a disc of radius 10 about the
// view's centre.
std::string OneAtomRun(const test::TempDir& dir, const std::string& scaleLine = "100,0.25") {
    test::WorkspaceLines w;
    w.ScaleLine = scaleLine;
    w.Molecules[0].Atoms[0].Position = "0,0,0";
    w.Molecules[0].Atoms[0].ChargeRadius = "0,5";
    test::WriteFile(dir.File("run.tsw"), test::Text(w));
    test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));
    return dir.File("run.tsw");
}

TEST(CliRender, WritesWhatTheWindowShows) {
    test::TempDir dir;
    const std::string run = OneAtomRun(dir), png = dir.File("out.png");
    CliRun r = Cli({"render", run, "-o", png, "--size", "320x240", "--no-names"});
    ASSERT_EQ(r.status, 0) << r.err;
    QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(image.pixelColor(160, 120), QColor(240, 0, 0));
    EXPECT_EQ(image.pixelColor(160, 120 + 9), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(160, 120 + 11), QColor(250, 250, 0));  // cube edge
    EXPECT_EQ(image.pixelColor(10, 10), QColor(180, 180, 180));

    // The flags are the dialog's boxes; --select brightens the molecule.
    r = Cli(
        {"render", run, "-o", png, "--no-cube", "--no-names", "--half-radius", "--select", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    image.load(QString::fromStdString(png));
    EXPECT_EQ(image.size(), QSize(800, 600));
    EXPECT_EQ(image.pixelColor(400, 300), QColor(255, 30, 30));
    EXPECT_EQ(image.pixelColor(400, 305), QColor(180, 180, 180));  // radius 5
    EXPECT_EQ(image.pixelColor(400, 311), QColor(180, 180, 180));  // no cube edge
}

TEST(CliRender, RayTracingShadesTheBallLitFromTheGivenPoint) {
    test::TempDir dir;
    const std::string run = OneAtomRun(dir), png = dir.File("out.png");
    // The shading example at five times its size; the light point is not scaled (it enters
    // the half vector as it stands), so the red is that of colour 240 and the highlight the same.
    CliRun r = Cli({"render", run, "-o", png, "--no-cube", "--no-names", "--ray-tracing", "--light",
                    "0,0,-10"});
    ASSERT_EQ(r.status, 0) << r.err;
    QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.pixelColor(404, 300), QColor(230, 38, 38));
    EXPECT_EQ(image.pixelColor(400, 305), QColor(180, 180, 180));  // half the radius
    r = Cli({"render", run, "-o", png, "--no-cube", "--no-names", "--ray-tracing", "--light",
             "0,-1e3,-10"});
    ASSERT_EQ(r.status, 0) << r.err;
    image.load(QString::fromStdString(png));
    EXPECT_NE(image.pixelColor(404, 300), QColor(230, 38, 38));
    for (const char* light : {"1,2", "1,2,3,4", "1,,3", "a,b,c", "1,2,inf", "1,2,3x"})
        EXPECT_EQ(Cli({"render", run, "-o", png, "--light", light}).status, 2) << light;
}

TEST(CliRender, NamesNeedTheFontsTheToolProvides) {
    test::TempDir dir;
    // Font scale 5: the name's cell is trunc(2 * 5 + 3) = 13 pixels high.
    const std::string run = OneAtomRun(dir, "100,5"), png = dir.File("out.png");
    ASSERT_EQ(Cli({"render", run, "-o", png, "--no-cube", "--no-balls"}).status, 0);
    const QImage image(QString::fromStdString(png));
    int dark = 0;
    for (int y = 300; y < 313; ++y)
        for (int x = 400; x < 440; ++x)
            dark += image.pixelColor(x, y).red() < 120;
    EXPECT_GT(dark, 5);
}

TEST(CliRender, UsageAndLoadErrors) {
    test::TempDir dir;
    const std::string run = OneAtomRun(dir), png = dir.File("out.png");
    CliRun r = Cli({"render", run, "-o", png, "--frame", "1"});  // one whole frame: only 0
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--frame 1: the trajectory has frames 0 to 0"), std::string::npos);
    EXPECT_EQ(Cli({"render", run, "-o", png, "--frame", "-1"}).status, 2);
    EXPECT_EQ(Cli({"render", run}).status, 2);
    EXPECT_EQ(Cli({"render", "-o", png}).status, 2);
    for (const char* size : {"0x10", "10", "x10", "-5x10", "10x10001", "1e3x10"})
        EXPECT_EQ(Cli({"render", run, "-o", png, "--size", size}).status, 2) << size;
    r = Cli({"render", run, "-o", png, "--select", "1"});  // one molecule: only 0
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("molecules 0 to 0"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(png));

    r = Cli({"render", dir.File("none.tsw"), "-o", png});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none.tsw"), std::string::npos);
    r = Cli({"render", run, "-o", dir.File("no/such/dir/out.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can't write"), std::string::npos);
}

// One atom at its molecule's mass centre, with frames that carry it to (k, 0, 0.5).
std::string MovingAtomRun(const test::TempDir& dir) {
    test::WorkspaceLines w;
    w.Molecules[0].Atoms[0].Position = "0,0,0";
    w.Molecules[0].MassCentre = "0,0,0";
    w.Molecules[0].Atoms[0].ChargeRadius = "0,5";
    test::WriteFile(dir.File("run.tsw"), test::Text(w));
    test::WriteFile(dir.File("run.xyz"), test::LabelledFrames(1, 5));
    return dir.File("run.tsw");
}

TEST(CliFrames, RenderShowsTheFrame) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir), png = dir.File("out.png");
    ASSERT_EQ(Cli({"render", run, "-o", png, "--no-names", "--no-cube", "--frame", "4"}).status, 0);
    const QImage image(QString::fromStdString(png));
    // (4, 0, 0.5) from (0, 0, -50): sx = -100 x 4 / 50.5, about 8 pixels left of the centre.
    EXPECT_EQ(image.pixelColor(392, 300), QColor(240, 0, 0));
    EXPECT_EQ(image.pixelColor(405, 300), QColor(180, 180, 180));
}

TEST(CliFrames, ExportWritesWhatSaveAsFileWrites) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir);
    ASSERT_EQ(Cli({"export", run, "--frame", "2", "-o", dir.File("two.txt")}).status, 0);
    EXPECT_EQ(test::ReadFile(dir.File("two.txt")),
              "\r\n " + dir.File("run") + "\r\n NMol) X0,Y0,Z0,   l0,l1,l2,l3" +
                  "\r\n1) 2.000000,0.000000,0.500000,  1.000000,0.000000,0.000000,0.000000");
    {
        test::ScopedCurrentDir cwd(dir.Path());
        ASSERT_EQ(Cli({"export", run, "--frame", "3"}).status, 0);
    }
    EXPECT_NE(test::ReadFile(dir.File("frame3.txt")).find("1) 3.000000,"), std::string::npos);
    EXPECT_EQ(Cli({"export", run}).status, 2);
    EXPECT_EQ(Cli({"export", run, "--frame", "5"}).status, 2);
    EXPECT_EQ(Cli({"export", run, "--frame", "1", "--size", "9x9"}).status, 2);
    EXPECT_EQ(Cli({"export", run, "--frame", "1", "-o", dir.File("no/dir/x.txt")}).status, 1);
}

TEST(CliFrames, AtomsWritesAnXyzFile) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir);
    CliRun r = Cli({"atoms", run, "--frame", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\nworkspace=\"" + run + "\" frame=3 time_ps=0.030\n" +
                         "O  3.00000000 0.00000000 0.50000000\n");
    // Without a frame: the workspace file's positions.
    r = Cli({"atoms", run, "-o", dir.File("atoms.xyz")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(test::ReadFile(dir.File("atoms.xyz")).find("\nO  0.00000000 0.00000000 0.00000000\n"),
              std::string::npos);
    EXPECT_EQ(Cli({"atoms", run, "--frame", "x"}).status, 2);
}

}  // namespace
}  // namespace tarsel
