#include "app/cli/Cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "support/TestFiles.h"
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

}  // namespace
}  // namespace tarsel
