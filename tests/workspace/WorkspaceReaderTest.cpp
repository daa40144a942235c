#include "workspace/WorkspaceReader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Resets.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"
#include "tools/ExampleRun.h"

namespace tarsel {
namespace {

using test::AtomLines;
using test::MoleculeLines;
using test::WorkspaceLines;

// A read as the load runs it: into a cleared molecule table.
struct Read {
    std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
    LoadLog log;
    Read() { ClearMolecules(*ws); }
    ReadOutcome outcome;

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(log.Text());
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        if (!log.Text().empty() && log.Text().back() == '\n') lines.push_back("");
        return lines;
    }
    bool Logged(const std::string& line) const {
        for (const std::string& l : LogLines()) {
            if (l == line) return true;
        }
        return false;
    }
};

Read ReadText(const std::string& text) {
    Read r;
    r.outcome = ReadWorkspaceText(text, "test.tsw", *r.ws, r.log);
    return r;
}

Read ReadLines(const WorkspaceLines& w) {
    return ReadText(test::Text(w));
}

TEST(ReadTriple, LenientFields) {
    EXPECT_EQ(ReadTriple("1.5, -2E3 ,x7"), (Vec3{1.5, -2000, 7}));
    EXPECT_EQ(ReadTriple("12.0 ;"), (Vec3{12, 0, 0}));
    // Without commas everything lands in the first field.
    EXPECT_EQ(ReadTriple("1.0 2.0 3.0"), (Vec3{1.02, 0, 0}));
    // '+' and a lower-case 'e' are skipped; a fourth field is dropped.
    EXPECT_EQ(ReadTriple("+5,1e3,4,9"), (Vec3{5, 13, 4}));
    // A field keeps its first 29 characters.
    EXPECT_EQ(ReadTriple((std::string("1") + std::string(40, '0') + ",2").c_str()).x, 1e28);
    EXPECT_EQ(ReadTriple(""), (Vec3{0, 0, 0}));
}

TEST(WorkspaceReader, WritesEveryLogLineInItsFormat) {
    const Read r = ReadLines(WorkspaceLines{});
    ASSERT_TRUE(r.outcome.Refusal.empty());
    const std::vector<std::string> expected = {
        "",
        "Load test.tsw",
        "",
        "Number of molecules=1",
        "Time step=0.200000 (10fS)",
        "Save to graph=0.001000 nS",
        "Averagy time=100.000000 (10fS)",
        "Volume time=10.000000 (10fS)",
        "Virial time=10.000000 (10fS)",
        "Conservation check time=100.000000 (10fS)",
        "Cube Center 0.000000, 0.000000, 0.000000",
        "Cube length 10.000000",
        "Reflection from the cube.",
        "Camera position V0 0.0000000000, 0.0000000000, -50.0000000000",
        " V1 0.0000000000, 0.0000000000, 1.0000000000",
        " V2 1.0000000000, 0.0000000000, 0.0000000000",
        " V3 0.0000000000, 1.0000000000, 0.0000000000",
        "Check angles: (V1,V2)=90.000000; (V1,V3)=90.000000; (V2,V3)=90.000000",
        "Correction...",
        "Check angles: (V1,V2)=90.000000; (V1,V3)=90.000000; (V2,V3)=90.000000",
        "",
        "PP=1.000000",
        "Scale=100.000000, FontScale=0.250000",
        "=== Molecule: 0 (Water) atoms: 1  ======================",
        "   Atom 0:   X=1.000000 Y=2.000000 Z=3.000000",
        "   Atom 0, RefNum: 8, mass 15.999400    (OW )",
        "  Atom 0: Q=-0.847600;  R=0.600000",
        "  Atom 0: (R,G,B)=(240,0,0)",
        "   Mass center:  X=1.000000;  Y=2.000000;  Z=3.000000",
        "   Moment of inertia:  Ix=0.600000;  Iy=1.200000;  Iz=1.800000",
        "   Axes of inertia:  I1a=1.0000000000;  I1b=0.0000000000;  I1g=0.0000000000",
        "   Axes of inertia:  I2a=0.0000000000;  I2b=1.0000000000;  I2g=0.0000000000",
        "   Axes of inertia:  I3a=0.0000000000;  I3b=0.0000000000;  I3g=1.0000000000",
        "   Initial velosity:  Vx=0.100000;  Vy=0.200000;  Vz=0.300000",
        "   Initial angel velosity:  Wa=0.010000;  Wb=0.020000;  Wg=0.030000",
        "   Mass of molecule=18.015400 ",
        "   Active",
        "Bond Matrix:",
        "0",
    };
    EXPECT_EQ(r.LogLines(), expected);
    EXPECT_EQ(r.log.LineCount(), static_cast<int>(expected.size()));
    ASSERT_TRUE(r.outcome.FontScaleText.has_value());
    EXPECT_EQ(*r.outcome.FontScaleText, "0.250000");
    EXPECT_EQ(r.ws->SelectedMolecule, -1);
}

TEST(WorkspaceReader, MoleculeCountUsesTheFormattedScanRules) {
    struct Case {
        const char* line;
        int lastMolecule;
    } cases[] = {{"3", 2}, {"03", 2}, {"010", 7}, {"0x1F", 30}, {"  4 molecules", 3}, {"0", -1}};
    for (const Case& c : cases) {
        WorkspaceLines w;
        w.Count = c.line;
        const Read r = ReadLines(w);
        EXPECT_EQ(r.ws->LastMolecule, c.lastMolecule) << c.line;
        EXPECT_TRUE(r.Logged("Number of molecules=" + std::to_string(c.lastMolecule + 1)));
    }
    // A count that does not scan is no workspace: refused at its line, nothing read.
    for (const char* count : {"many", "", "-", "x3"}) {
        WorkspaceLines w;
        w.Comments = {";a"};
        w.Count = count;
        Read r;
        r.ws->LastMolecule = 4;
        r.outcome = ReadWorkspaceText(test::Text(w), "test.tsw", *r.ws, r.log);
        EXPECT_EQ(r.outcome.Refusal,
                  "Line 2: the number of molecules is not a whole number; the file is not a "
                  "workspace.")
            << count;
        EXPECT_EQ(r.ws->LastMolecule, 4);
        EXPECT_EQ(r.ws->TimeStep, 0.0);
    }
}

TEST(WorkspaceReader, CommentsOnlyAtTheTop) {
    WorkspaceLines w;
    w.Comments = {";one", ";two", ";"};
    EXPECT_DOUBLE_EQ(ReadLines(w).ws->TimeStep, 0.2);

    // In place of H2 a comment is just a line that does not scan.
    w.TimeStep = "; not skipped";
    const Read r = ReadLines(w);
    EXPECT_EQ(r.ws->TimeStep, 0.0);
    EXPECT_TRUE(r.Logged("Time step=0.000000 (10fS)"));
    EXPECT_DOUBLE_EQ(r.ws->SaveToGraph, 0.001);
}

TEST(WorkspaceReader, BoundaryKeywordMustMatchTheWholeLine) {
    WorkspaceLines w;
    w.Boundary = "Thru";
    Read r = ReadLines(w);
    EXPECT_FALSE(r.ws->Cube.BoundaryReflect);
    EXPECT_TRUE(r.Logged("Through the cube."));

    for (const char* other : {"Reflect ", "reflect", "Reflection"}) {
        w.Boundary = other;
        Read keep;
        keep.ws->Cube.BoundaryReflect = true;
        keep.outcome = ReadWorkspaceText(test::Text(w), "test.tsw", *keep.ws, keep.log);
        EXPECT_TRUE(keep.ws->Cube.BoundaryReflect) << other;
        EXPECT_FALSE(keep.Logged("Reflection from the cube.")) << other;
        EXPECT_FALSE(keep.Logged("Through the cube.")) << other;
    }
}

TEST(WorkspaceReader, CameraCheckAndCorrection) {
    WorkspaceLines w;
    // Axes of length 2: divided by the squared length, then re-derived by cross products.
    w.V1 = "0,0,2";
    w.V2 = "2,0,0";
    w.V3 = "0,2,0";
    Read r = ReadLines(w);
    const CameraFrame& c = r.ws->Camera;
    EXPECT_EQ(c.V1, (Vec3{0, 0, 0.5}));
    EXPECT_EQ(c.V2, (Vec3{0.25, 0, 0}));   // V3 x V1 with V3 = (0, 0.5, 0)
    EXPECT_EQ(c.V3, (Vec3{0, 0.125, 0}));  // V1 x V2
    EXPECT_TRUE(r.Logged(" V1 0.0000000000, 0.0000000000, 2.0000000000"));

    // A product just outside 1 is clamped: an angle of 0, never "nan".
    w.V1 = "0,0,1.0000001";
    w.V2 = "0,0,1.0000001";
    w.V3 = "0,1,0";
    r = ReadLines(w);
    EXPECT_TRUE(r.Logged("Check angles: (V1,V2)=0.000000; (V1,V3)=90.000000; (V2,V3)=90.000000"));
    EXPECT_EQ(r.log.Text().find("nan"), std::string::npos);

    // A zero axis stays zero instead of filling the camera with NaN.
    w.V1 = "0,0,0";
    r = ReadLines(w);
    for (Vec3 v : {r.ws->Camera.V1, r.ws->Camera.V2, r.ws->Camera.V3}) {
        EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z));
    }
}

TEST(WorkspaceReader, AtomLines) {
    WorkspaceLines w;
    MoleculeLines& m = w.Molecules[0];
    m.Atoms = {AtomLines{}, AtomLines{}, AtomLines{}, AtomLines{}};
    m.Atoms[0].Position = "1.0 2.0 3.0";
    m.Atoms[0].Identity = "300,12.0,C,A,1";  // reference number: the low byte, signed
    m.Atoms[1].Identity = "200,1.0,H";       // one letter: the others stay blank
    m.Atoms[2].Identity = "x,5.0,N,N,N";     // nothing scans
    m.Atoms[0].Colour = "RGB: 1,2,3";
    m.Atoms[1].Colour = "rgb: 1,2,3";
    m.Atoms[2].Colour = "RGB:7,8,9";
    m.Atoms[3].Colour = "RGB: 5";
    m.Atoms[3].ChargeRadius = "0.5";
    m.Atoms[3].Identity = "7,5.0,O,";  // the second letter is the line feed
    const Read r = ReadLines(w);
    const MoleculeRecord& rec = r.ws->Molecules[0];
    EXPECT_DOUBLE_EQ(rec.X[0], 1.02);
    EXPECT_EQ(rec.Y[0], 0.0);
    EXPECT_EQ(rec.RefNum[0], 44);
    EXPECT_EQ(std::string({rec.NameChar1[0], rec.NameChar2[0], rec.NameChar3[0]}), "CA1");
    EXPECT_EQ(rec.RefNum[1], -56);
    EXPECT_TRUE(r.Logged("   Atom 1, RefNum: -56, mass 1.000000    (H  )"));
    // A failed conversion leaves its field and all after it as they were: cleared.
    EXPECT_EQ(rec.RefNum[2], 63);
    EXPECT_EQ(rec.Mass[2], 0.0);
    EXPECT_EQ(rec.NameChar1[2], ' ');
    EXPECT_EQ((Rgb{rec.ColourR[0], rec.ColourG[0], rec.ColourB[0]}), (Rgb{1, 2, 3}));
    EXPECT_EQ((Rgb{rec.ColourR[1], rec.ColourG[1], rec.ColourB[1]}), (Rgb{0, 0, 0}));
    EXPECT_EQ((Rgb{rec.ColourR[2], rec.ColourG[2], rec.ColourB[2]}), (Rgb{7, 8, 9}));
    EXPECT_EQ((Rgb{rec.ColourR[3], rec.ColourG[3], rec.ColourB[3]}), (Rgb{5, 0, 0}));
    EXPECT_DOUBLE_EQ(rec.Q[3], 0.5);
    EXPECT_EQ(rec.R[3], 0.0);
    // The letter is kept as read; the log shows it as a blank and stays one line.
    EXPECT_EQ(rec.NameChar2[3], '\n');
    EXPECT_TRUE(r.Logged("   Atom 3, RefNum: 7, mass 5.000000    (O  )"));
}

TEST(LoadLog, ShowsControlCharactersAsBlanks) {
    LoadLog log;
    log.Add(std::string("ab\x7f") + "defghij\nlm\x01" + "\xe9\t");
    EXPECT_EQ(log.Text(), "ab defghij lm \xe9 ");
    EXPECT_EQ(log.LineCount(), 1);
}

TEST(WorkspaceReader, AFieldThatFailsKeepsItselfAndTheFieldsAfterIt) {
    WorkspaceLines w;
    w.CubeCentre = "1,x,3";
    Read r;
    r.ws->Cube.CubeCentre = {7, 8, 9};
    r.outcome = ReadWorkspaceText(test::Text(w), "test.tsw", *r.ws, r.log);
    EXPECT_EQ(r.ws->Cube.CubeCentre, (Vec3{1, 8, 9}));
}

TEST(WorkspaceReader, BondRowsMassAndActivity) {
    WorkspaceLines w;
    MoleculeLines& m = w.Molecules[0];
    m.Atoms.assign(4, AtomLines{});
    m.BondRows = {"0S0D", "S", "x?Z 9", "DDDDDD"};
    m.Mass = "18.5 g/mol";
    m.Activity = "0";
    Read r = ReadLines(w);
    const auto& bonds = r.ws->Molecules[0].Bonds;
    EXPECT_EQ(std::string(bonds[0].data(), 4), "0S0D");
    EXPECT_EQ(std::string(bonds[1].data(), 4), "S000");
    EXPECT_EQ(std::string(bonds[2].data(), 4), "00Z0");
    EXPECT_EQ(std::string(bonds[3].data(), 5), "DDDD0");  // only n columns
    EXPECT_EQ(bonds[99][99], '0');
    EXPECT_TRUE(r.Logged("x?Z 9"));
    EXPECT_DOUBLE_EQ(r.ws->Molecules[0].MoleculeMass, 18.5);
    EXPECT_FALSE(r.ws->Molecules[0].Active);
    EXPECT_TRUE(r.Logged("   Passive"));

    for (const char* passive : {" 1", "yes", ""}) {
        m.Activity = passive;
        EXPECT_FALSE(ReadLines(w).ws->Molecules[0].Active) << passive;
    }
    m.Activity = "1 active";
    EXPECT_TRUE(ReadLines(w).ws->Molecules[0].Active);
}

TEST(WorkspaceReader, LongLinesAreReadInPieces) {
    WorkspaceLines w;
    // The rest of a 130-character line is read as the next line: everything after shifts.
    w.TimeStep = "0.5" + std::string(127, ' ');
    const Read r = ReadLines(w);
    EXPECT_DOUBLE_EQ(r.ws->TimeStep, 0.5);
    EXPECT_EQ(r.ws->SaveToGraph, 0.0);
    EXPECT_DOUBLE_EQ(r.ws->AveragingTime, 0.001);

    // So is the rest of a long comment: it does not begin with ';' and is the count line.
    w = WorkspaceLines{};
    w.Comments = {";" + std::string(118, 'c') + "7"};
    const Read c = ReadLines(w);
    EXPECT_EQ(c.ws->LastMolecule, 6);
    EXPECT_DOUBLE_EQ(c.ws->TimeStep, 1.0);  // the real count line
}

TEST(WorkspaceReader, CrLfFilesReadLikeLfFiles) {
    const WorkspaceLines unix;
    WorkspaceLines windows;
    windows.LineEnd = "\r\n";
    windows.Boundary = "Thru";
    const Read a = ReadLines(unix);
    const Read b = ReadLines(windows);
    EXPECT_TRUE(b.Logged("Through the cube."));
    WorkspaceLines unixThru = unix;
    unixThru.Boundary = "Thru";
    EXPECT_EQ(ReadLines(unixThru).log.Text(), b.log.Text());
    EXPECT_EQ(a.ws->Molecules[0].Bonds, b.ws->Molecules[0].Bonds);
}

TEST(WorkspaceReader, TruncatedFilesKeepWhatWasRead) {
    WorkspaceLines w;
    w.Molecules = {MoleculeLines{}, MoleculeLines{}};
    w.Molecules[1].Atoms.assign(3, AtomLines{});
    const Read whole = ReadLines(w);
    const int lines = static_cast<int>(test::Lines(w).size());
    for (int n = 0; n < lines; ++n) {
        const Read cut = ReadText(test::FirstLines(w, n));
        // Reading stops at the end of the file: its log is the start of the whole file's log.
        EXPECT_EQ(whole.log.Text().compare(0, cut.log.Text().size(), cut.log.Text()), 0) << n;
        EXPECT_LT(cut.log.LineCount(), whole.log.LineCount()) << n;
        EXPECT_EQ(cut.ws->SelectedMolecule, -1);
    }

    // The file ends right after H1: no value is parsed from the stale "2" in the buffer.
    const Read header = ReadText(test::FirstLines(w, 2));
    EXPECT_EQ(header.ws->LastMolecule, 1);
    EXPECT_EQ(header.ws->TimeStep, 0.0);
    EXPECT_FALSE(header.outcome.FontScaleText.has_value());

    // The file ends after the second molecule's M3: its count stays, its atoms stay cleared.
    const int m3 = 19 + 20 + 3;  // header, first molecule, M1..M3
    const Read molecule = ReadText(test::FirstLines(w, m3));
    EXPECT_EQ(molecule.ws->Molecules[1].AtomCount, 3);
    EXPECT_EQ(molecule.ws->Molecules[1].X[0], 0.0);
    EXPECT_TRUE(molecule.Logged("=== Molecule: 1 (Water) atoms: 3  ======================"));
}

TEST(WorkspaceReader, RefusesWhatTheTablesCannotHold) {
    WorkspaceLines w;
    w.Count = "501";
    Read r = ReadLines(w);
    EXPECT_EQ(r.outcome.Refusal,
              "Line 2: the workspace declares 501 molecules; Tarsel holds at most 500.");

    w = WorkspaceLines{};
    w.Molecules[0].Count = "101";
    r = ReadLines(w);
    EXPECT_EQ(r.outcome.Refusal,
              "Line 22: molecule 0 declares 101 atoms; Tarsel holds at most 100 atoms per "
              "molecule.");

    w = WorkspaceLines{};
    w.Molecules[0].Name = "ABCDEFGHIJKLMNOP";
    r = ReadLines(w);
    EXPECT_EQ(r.outcome.Refusal,
              "Line 21: the molecule name \"ABCDEFGHIJKLMNOP\" has 16 characters; Tarsel holds "
              "names of at most 15.");

    // Exactly at the limits is fine.
    w.Molecules[0].Name = "ABCDEFGHIJKLMNO";
    r = ReadLines(w);
    EXPECT_TRUE(r.outcome.Refusal.empty());
    EXPECT_STREQ(r.ws->Molecules[0].Name, "ABCDEFGHIJKLMNO");
}

TEST(WorkspaceReader, TheLargestWorkspaceFits) {
    const examples::GeneratedRun run = examples::GenerateRun(examples::LargestWorkspace(1));
    const Read r = ReadText(run.Workspace);
    ASSERT_TRUE(r.outcome.Refusal.empty());
    EXPECT_EQ(r.ws->LastMolecule, MAX_MOLECULES - 1);
    EXPECT_EQ(r.ws->Molecules[MAX_MOLECULES - 1].AtomCount, MAX_ATOMS);
    EXPECT_STREQ(r.ws->Molecules[499].Name, "C33H67");
}

TEST(WorkspaceReader, MissingFileIsReportedAndChangesNothing) {
    auto ws = std::make_unique<Workspace>();
    LoadLog log;
    const ReadOutcome out = ReadWorkspace("/nonexistent/folder/run.tsw", *ws, log);
    EXPECT_FALSE(out.Opened);
    EXPECT_FALSE(out.OpenError.empty());
    EXPECT_EQ(log.LineCount(), 0);
    EXPECT_EQ(ReadWorkspace("/tmp", *ws, log).OpenError, "Is a directory");
    // A file that opens but does not read: the process's memory where nothing is mapped.
    EXPECT_EQ(ReadWorkspace("/proc/self/mem", *ws, log).ReadError, "Input/output error");
}

// A file is read through its stream, and only as far as the workspace goes: a huge file that
// is no workspace costs no more memory than a small one.
TEST(WorkspaceReader, ReadsTheFileAsAStreamAndStopsWhereTheWorkspaceEnds) {
    test::TempDir dir;
    const std::string fifo = dir.File("huge.tsw");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    constexpr std::size_t kOffered = std::size_t{64} << 20;
    std::size_t written = 0;
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string chunk = [] {
            std::string s;
            while (s.size() < 65536)
                s += "not a workspace\n";
            return s;
        }();
        ssize_t n = 0;
        while (written < kOffered && (n = ::write(fd, chunk.data(), chunk.size())) > 0)
            written += static_cast<std::size_t>(n);
        ::close(fd);
    });
    Read r;
    r.outcome = ReadWorkspace(fifo, *r.ws, r.log);
    writer.join();
    std::signal(SIGPIPE, previous);
    EXPECT_TRUE(r.outcome.Opened);
    EXPECT_EQ(r.outcome.Refusal.rfind("Line 1: ", 0), 0u) << r.outcome.Refusal;
    EXPECT_LT(written, std::size_t{4} << 20);
}

// Damaged files of every kind: the reader must stay inside its tables and never crash.
TEST(WorkspaceReader, SurvivesDamagedFiles) {
    examples::RunSpec recipe = examples::WaterExample();
    recipe.Mix = {{examples::Water(), 3}, {examples::Benzene(), 2}};
    recipe.Frames = 1;
    const std::string original = examples::GenerateRun(recipe).Workspace;
    std::mt19937 random(12345);
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::string alphabet = "0123456789-.,;E xSDZRGB:\n\r\t";
    for (int round = 0; round < 400; ++round) {
        std::string text = original;
        for (int edits = 1 + static_cast<int>(pick(8)); edits > 0 && !text.empty(); --edits) {
            const std::size_t at = pick(text.size());
            switch (pick(4)) {
                case 0:
                    text[at] = alphabet[pick(alphabet.size())];
                    break;
                case 1:
                    text.erase(at, 1 + pick(40));
                    break;
                case 2:
                    text.insert(at, std::string(1 + pick(300), alphabet[pick(alphabet.size())]));
                    break;
                default:
                    text.resize(at);
                    break;
            }
        }
        const Read r = ReadText(text);
        EXPECT_LE(r.ws->LastMolecule, MAX_MOLECULES - 1);
        for (int i = 0; i <= r.ws->LastMolecule; ++i) {
            EXPECT_LE(r.ws->Molecules[i].AtomCount, MAX_ATOMS);
        }
    }
}

}  // namespace
}  // namespace tarsel
