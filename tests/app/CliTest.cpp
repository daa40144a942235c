#include "app/cli/Cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include <QImage>

#include "app/HeadlessHost.h"
#include "app/Viewer.h"
#include "app/cli/CliCommon.h"
#include "app/cli/TimeLeft.h"
#include "support/CliRun.h"
#include "support/Ffmpeg.h"
#include "support/TestFiles.h"
#include "support/TrajectoryData.h"
#include "support/WorkspaceText.h"

namespace tarsel {
namespace {

using test::Cli;
using test::CliRun;

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

    // A trajectory renamed .tsw is no workspace with 0 molecules.
    test::WriteFile(dir.File("frames.tsw"), test::LabelledFrames(3, 2));
    const CliRun binary = Cli({"info", dir.File("frames.tsw")});
    EXPECT_EQ(binary.status, 1);
    EXPECT_NE(binary.err.find("Line 1: the number of molecules is not a whole number"),
              std::string::npos)
        << binary.err;
    EXPECT_TRUE(binary.out.empty());
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
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--frame 1 is beyond the last frame: the trajectory has frames 0 to 0"),
              std::string::npos);
    EXPECT_EQ(Cli({"render", run, "-o", png, "--frame", "-1"}).status, 2);
    EXPECT_EQ(Cli({"render", run}).status, 2);
    EXPECT_EQ(Cli({"render", "-o", png}).status, 2);
    for (const char* size : {"0x10", "10", "x10", "-5x10", "10x10001", "1e3x10"})
        EXPECT_EQ(Cli({"render", run, "-o", png, "--size", size}).status, 2) << size;
    r = Cli({"render", run, "-o", png, "--select", "1"});  // one molecule: only 0
    EXPECT_EQ(r.status, 1);
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
    EXPECT_EQ(Cli({"export", run, "--frame", "6"}).status, 1);
    EXPECT_EQ(Cli({"export", run, "--frame", "1", "--size", "9x9"}).status, 2);
    EXPECT_EQ(Cli({"export", run, "--frame", "1", "-o", dir.File("no/dir/x.txt")}).status, 1);
}

TEST(CliFrames, ExportTakesTheEndOfTheTrajectoryAsTheButtonDoes) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir);  // 5 frames: the end is frame 5
    ASSERT_EQ(Cli({"export", run, "--frame", "5", "-o", dir.File("end.txt")}).status, 0);
    HeadlessHost host;
    Viewer viewer(host);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(run).Loaded);
    viewer.Form().FrameNumberEdit = "5";
    {
        test::ScopedCurrentDir cwd(dir.Path());
        viewer.Button7Click();
    }
    EXPECT_EQ(test::ReadFile(dir.File("end.txt")), test::ReadFile(dir.File("frame5.txt")));
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

// The picture `render` draws of frame n, as ffmpeg decodes a movie frame.
std::string RenderedFrame(const std::string& run, int n, const std::string& dir) {
    const std::string png = dir + "/frame.png";
    EXPECT_EQ(Cli({"render", run, "-o", png, "--size", "40x30", "--no-names", "--frame",
                   std::to_string(n)})
                  .status,
              0);
    const QImage image = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_BGR888);
    std::string bytes;
    for (int y = 0; y < image.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), 3 * image.width());
    return bytes;
}

TEST(CliMovie, FramesAreWhatRenderDrawsAndPiecesJoin) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir), whole = dir.File("whole.avi");
    std::vector<std::string> frames;
    for (int n = 0; n < 5; ++n)
        frames.push_back(RenderedFrame(run, n, dir.Path()));
    ASSERT_NE(frames[0], frames[1]);  // the atom moves
    const std::vector<std::string> view = {"--size", "40x30", "--no-names"};
    auto movie = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"movie", run});
        args.insert(args.end(), view.begin(), view.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.err;
    };

    // Not on a terminal: only the summary.
    EXPECT_EQ(movie({"-o", whole}).find("tarsel-cli: wrote " + whole + ": 5 frames of 40x30 in "),
              0u);
    const std::string all = frames[0] + frames[1] + frames[2] + frames[3] + frames[4];
    EXPECT_TRUE(test::DecodeBgr24(whole) == all);
    movie({"-o", dir.File("step.avi"), "--step", "2"});
    EXPECT_TRUE(test::DecodeBgr24(dir.File("step.avi")) == frames[0] + frames[2] + frames[4]);

    // Pieces as a job array records them, joined as the README shows.
    movie({"-o", dir.File("a.avi"), "--to", "1"});
    movie({"-o", dir.File("b.avi"), "--from", "2", "--to", "3"});
    movie({"-o", dir.File("c.avi"), "--from", "4"});
    test::WriteFile(dir.File("pieces.txt"), "file 'a.avi'\nfile 'b.avi'\nfile 'c.avi'\n");
    test::Ffmpeg("-f concat -safe 0 -i " + dir.File("pieces.txt") + " -c copy " +
                 dir.File("joined.avi"));
    EXPECT_TRUE(test::DecodeBgr24(dir.File("joined.avi")) == all);
}

TEST(CliMovie, UsageAndWriteErrors) {
    test::TempDir dir, oneFrame;
    const std::string run = MovingAtomRun(dir), avi = dir.File("out.avi");
    // Status 2: the command line is wrong; 1: the files cannot give what was asked.
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"movie", run}, 2, "movie needs -o OUT.avi"},
        {{"movie", run, "-o", avi, "--from", "3", "--to", "2"}, 2, "--from 3 is after --to 2"},
        {{"movie", run, "-o", avi, "--from", "-1"}, 2, "--from needs a frame number"},
        {{"movie", run, "-o", avi, "--step", "0"}, 2, "--step needs a number of frames from 1 up"},
        {{"movie", run, "-o", avi, "--frame", "1"}, 2, "movie does not take the option '--frame'"},
        {{"movie", run, "-o", avi, "--to", "5"},
         1,
         "--to 5 is beyond the last frame: the trajectory has frames 0 to 4"},
        {{"movie", run, "-o", avi, "--select", "1"}, 1, "molecules 0 to 0"},
        {{"movie", OneAtomRun(oneFrame), "-o", avi, "--from", "1"},
         1,
         "the trajectory has frames 0 to 0"},
    };
    for (const auto& [args, status, problem] : cases) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, status) << problem;
        EXPECT_NE(r.err.find(problem), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(avi));

    CliRun r = Cli({"movie", run, "-o", dir.File("no/dir/out.avi")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Can't create the movie"), std::string::npos) << r.err;
    std::filesystem::create_symlink("/dev/full", avi);
    r = Cli({"movie", run, "-o", avi});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Recording stopped: can't write to"), std::string::npos) << r.err;
}

// Numbers too large for their option, however many digits they have: status 2, naming the
// option, before anything is loaded or drawn.
TEST(CliStatus, NumbersBeyondTheirRangeAreUsageErrors) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir), png = dir.File("out.png"),
                      avi = dir.File("out.avi");
    const std::string huge = "99999999999999999999999999";
    const struct {
        std::vector<std::string> command;
        std::string option, value;
    } cases[] = {
        {{"render", run, "-o", png}, "--frame", "18446744073709551616"},
        {{"render", run, "-o", png}, "--frame", "2147483648"},
        {{"atoms", run}, "--frame", "9999999999"},
        {{"export", run}, "--frame", huge},
        {{"world", run, "-o", png}, "--frame", huge},
        {{"render", run, "-o", png}, "--select", huge},
        {{"movie", run, "-o", avi}, "--from", "10000000000000000000"},
        {{"movie", run, "-o", avi}, "--to", huge},
        {{"movie", run, "-o", avi}, "--step", huge},
        {{"movie", run, "-o", avi}, "--step", "4611686018427387904"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.command;
        args.insert(args.end(), {c.option, c.value});
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << c.option << " " << c.value;
        EXPECT_EQ(r.err.rfind("tarsel-cli: " + c.option + " " + c.value + " is out of range", 0),
                  0u)
            << r.err;
    }
    for (const std::string& size :
         {huge + "x10", "10x" + huge, std::string("18446744073709551626x1")}) {
        const CliRun r = Cli({"render", run, "-o", png, "--size", size});
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_NE(r.err.find("--size needs WxH"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_FALSE(std::filesystem::exists(avi));
}

TEST(CliMovie, TimeLeftFitsWhateverTheRate) {
    const struct {
        double left, fps;
        const char* shown;
    } cases[] = {
        {120, 2, "1:00"},       {1, 3, "0:00"},       {0, 0, "--:--"},
        {5, 0, "--:--"},        {2e9, 1e-9, "--:--"}, {1e6, 1e-300, "--:--"},
        {359999, 1, "5999:59"}, {360000, 1, "--:--"}, {7, -1, "--:--"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cli::TimeLeft(c.left, c.fps), c.shown) << c.left << " / " << c.fps;
}

TEST(CliStatus, OneRuleForEveryCommand) {
    test::TempDir dir;
    const std::string run = dir.File("run.tsw");
    test::WriteFile(run, test::Text(test::WorkspaceLines{}));  // no trajectory beside it
    // Standard output that cannot take what the command writes.
    for (const char* command : {"log", "info", "atoms"}) {
        std::ofstream full("/dev/full");
        std::ostringstream err;
        EXPECT_EQ(RunCli({command, run}, full, err), 1) << command;
        EXPECT_NE(err.str().find("can't write to standard output: No space left on device"),
                  std::string::npos)
            << command << ": " << err.str();
    }
    // A frame of a trajectory that is not there is a data problem, whatever the command.
    for (const char* command : {"render", "atoms", "export"}) {
        const CliRun r = Cli({command, run, "--frame", "0", "-o", dir.File("out")});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("--frame needs a trajectory, and none was found"), std::string::npos)
            << command;
    }
}

TEST(CliStatus, MessagesSayWhatIsWrong) {
    test::TempDir dir;
    const std::string moving = MovingAtomRun(dir);  // frames 0 to 4
    test::WorkspaceLines w;
    test::WriteFile(dir.File("short.tsw"), test::Text(w));
    test::WriteFile(dir.File("short.xyz"), std::string(70, '\0'));  // one frame and 6 bytes
    test::WriteFile(dir.File("none.tsw"), test::Text(w));
    test::WriteFile(dir.File("none.xyz"), std::string(10, '\0'));
    w.Count = "-1";
    test::WriteFile(dir.File("empty.tsw"), test::Text(w));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"render", dir.File("none.tsw"), "-o", dir.File("x.png"), "--frame", "0"},
         1,
         "--frame 0: the trajectory holds no complete frame"},
        {{"atoms", moving, "--frame", "2147483647"},
         1,
         "--frame 2147483647 is beyond the last frame: the trajectory has frames 0 to 4"},
        {{"render", dir.File("empty.tsw"), "-o", dir.File("x.png"), "--select", "0"},
         1,
         "--select 0: the workspace has no molecules"},
        {{"export", moving, "--frame", "1", "-o", dir.File("no/such/folder/f.txt")},
         1,
         "can't write \"" + dir.File("no/such/folder/f.txt") + "\": No such file or directory"},
        {{"info", dir.File("short.tsw")},
         0,
         "Warning:    the trajectory's 70 bytes are not a whole number of frames of 64 bytes; "
         "its last 6 bytes are not shown\n"},
    };
    for (const Case& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.err.find("usage:"), std::string::npos) << c.says;
        EXPECT_EQ(r.err.find("Can't open file!"), std::string::npos) << c.says;
    }
}

std::set<std::string> Listing(const test::TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

// Writes to regular files beyond a few bytes fail, as on a full disk or beyond a quota.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes = 16) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(CliOutputs, AFailedWriteLeavesNoPartOfAFile) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir);
    test::WriteFile(dir.File("old.txt"), "old");
    const std::set<std::string> before = Listing(dir);
    const std::vector<std::string> commands[] = {
        {"render", run, "-o", dir.File("out.png")},
        {"export", run, "--frame", "1", "-o", dir.File("old.txt")},
        {"atoms", run, "-o", dir.File("atoms.xyz")},
    };
    for (const auto& args : commands) {
        std::optional<FileSizeLimit> limit(std::in_place);
        const CliRun r = Cli(args);
        limit.reset();
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find("\": File too large"), std::string::npos) << r.err;
        EXPECT_EQ(Listing(dir), before) << args[0];
    }
    EXPECT_EQ(test::ReadFile(dir.File("old.txt")), "old");

    // "Save as File" keeps its box, and leaves no file either.
    HeadlessHost host;
    Viewer viewer(host);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(run).Loaded);
    viewer.Form().FrameNumberEdit = "1";
    {
        test::ScopedCurrentDir cwd(dir.Path());
        FileSizeLimit limit;
        viewer.Button7Click();
    }
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "Could not write all of frame1.txt: File too large.");
    EXPECT_EQ(Listing(dir), before);
}

TEST(CliRender, LeavesNoQtRuntimeFolderWarningOnStderr) {
    test::TempDir dir;
    const std::string run = OneAtomRun(dir);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> saved =
        runtime ? std::optional<std::string>(runtime) : std::nullopt;
    unsetenv("XDG_RUNTIME_DIR");
    // Qt writes its warnings to the process's stderr, past the tool's own stream.
    std::fflush(stderr);
    const int stderrCopy = dup(2);
    const int captured = ::open(dir.File("stderr.txt").c_str(), O_WRONLY | O_CREAT, 0600);
    dup2(captured, 2);
    ::close(captured);
    const CliRun r = Cli({"render", run, "-o", dir.File("out.png")});
    std::fflush(stderr);
    dup2(stderrCopy, 2);
    ::close(stderrCopy);
    EXPECT_EQ(std::getenv("XDG_RUNTIME_DIR"), nullptr);  // lent for the command only
    if (saved) setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string warnings = test::ReadFile(dir.File("stderr.txt"));
    EXPECT_EQ(warnings.find("XDG_RUNTIME_DIR"), std::string::npos) << warnings;
}

// What a movie's output can be, and what happens when it runs out of room or its trajectory
// is cut short under it.
TEST(CliMovie, OutputEdges) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir), avi = dir.File("out.avi");
    const std::string workspace = test::ReadFile(run), frames = test::ReadFile(dir.File("run.xyz"));
    ASSERT_EQ(mkfifo(dir.File("pipe.avi").c_str(), 0600), 0);
    // The inputs' own names have no movie ending; links with one lead to them all the same.
    std::filesystem::create_symlink(run, dir.File("ws.avi"));
    std::filesystem::create_symlink(dir.File("run.xyz"), dir.File("frames.mp4"));
    // Refused before anything is drawn; a FIFO without a reader would block its writer.
    const std::pair<std::string, std::string> refused[] = {
        {dir.File("pipe.avi"), "a movie needs a file it can seek in"},
        {dir.File("ws.avi"), "is the workspace being recorded"},
        {dir.File("frames.mp4"), "is the trajectory being recorded"},
        {dir.File("./frames.mp4"), "is the trajectory being recorded"},
    };
    for (const auto& [output, says] : refused) {
        const CliRun r = Cli({"movie", run, "-o", output});
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    EXPECT_EQ(test::ReadFile(run), workspace);
    EXPECT_EQ(test::ReadFile(dir.File("run.xyz")), frames);

    ASSERT_EQ(Cli({"movie", run, "-o", avi}).status, 0);
    const auto whole = std::filesystem::file_size(avi);
    std::filesystem::remove(avi);
    const std::set<std::string> before = Listing(dir);
    {
        // No room even for the headers: no stub is left.
        FileSizeLimit limit(16);
        const CliRun r = Cli({"movie", run, "-o", avi});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Listing(dir), before);
    {
        // Every frame fits, the final index does not.
        FileSizeLimit limit(whole - 1);
        const CliRun r = Cli({"movie", run, "-o", avi});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Can't complete the movie"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("wrote"), std::string::npos) << r.err;
    }

    // Cut short after the load: the frames still there are recorded, then the movie stops.
    const std::unique_ptr<QGuiApplication> app = cli::EnsureGuiApplication();
    HeadlessHost host({40, 30});
    Viewer viewer(host);
    ASSERT_TRUE(viewer.LoadWorkspaceFile(run).Loaded);
    std::filesystem::resize_file(dir.File("run.xyz"), 2 * 64 + 10);
    cli::Options o;
    o.Workspace = run;
    o.Output = dir.File("cut.avi");
    o.Size = {40, 30};
    o.Jobs = 1;
    std::ostringstream err;
    EXPECT_EQ(cli::Movie(viewer, o, err), 1);
    EXPECT_NE(err.str().find("was cut short while recording: frame 2 is no longer there; the "
                             "movie keeps the 2 frames recorded before"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(test::DecodeBgr24(o.Output).size(), 2u * 40 * 30 * 3);
}

// Past `ulimit -f` the tool itself is not killed: it reports the write and removes its file.
TEST(CliOutputs, AFileSizeLimitIsAnErrorNotASignal) {
    test::TempDir dir;
    const std::string run = MovingAtomRun(dir);
    const std::set<std::string> before = Listing(dir);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        std::ostringstream out, err;
        _exit(RunCli({"export", run, "--frame", "1", "-o", dir.File("f.txt")}, out, err));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Listing(dir), before);
}

}  // namespace
}  // namespace tarsel
