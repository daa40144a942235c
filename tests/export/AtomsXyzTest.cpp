#include "export/AtomsXyz.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "app/Resets.h"
#include "support/TestFiles.h"

namespace tarsel {
namespace {

TEST(AtomsXyz, ElementsFromNameAndMass) {
    EXPECT_EQ(ElementOf('O', 'W', ' ', 15.9994), "O");
    EXPECT_EQ(ElementOf('H', 'W', '1', 1.008), "H");
    EXPECT_EQ(ElementOf('C', 'A', ' ', 40.08), "Ca");
    EXPECT_EQ(ElementOf('C', 'A', ' ', 12.011), "C");
    EXPECT_EQ(ElementOf('C', 'L', ' ', 35.45), "Cl");
    EXPECT_EQ(ElementOf('N', 'A', '+', 22.99), "Na");
    EXPECT_EQ(ElementOf('1', 'H', 'B', 1.008), "H");
    EXPECT_EQ(ElementOf('c', 't', ' ', 12.011), "C");
    // Nothing fits: a united-atom CH3, a deuterium, a name without letters, no mass.
    EXPECT_EQ(ElementOf('C', 'H', '3', 15.035), "X");
    EXPECT_EQ(ElementOf('D', ' ', ' ', 2.014), "X");
    EXPECT_EQ(ElementOf('1', '2', '3', 1.008), "X");
    EXPECT_EQ(ElementOf('O', ' ', ' ', 0.0), "X");
}

std::unique_ptr<Workspace> TwoMolecules() {
    auto ws = std::make_unique<Workspace>();
    ClearMolecules(*ws);
    ws->LastMolecule = 1;
    MoleculeRecord& water = ws->Molecules[0];
    water.AtomCount = 2;
    water.NameChar1[0] = 'O';
    water.NameChar2[0] = 'W';
    water.Mass[0] = 15.9994;
    water.X[0] = 1.5;
    water.Y[0] = -2.25;
    water.Z[0] = 1e-7;
    water.NameChar1[1] = 'H';
    water.Mass[1] = 1.008;
    MoleculeRecord& ion = ws->Molecules[1];
    ion.AtomCount = 1;
    ion.NameChar1[0] = 'C';
    ion.NameChar2[0] = 'A';
    ion.Mass[0] = 40.08;
    ws->Molecules[2].AtomCount = 5;  // beyond LastMolecule: not written
    return ws;
}

TEST(AtomsXyz, StandardLayout) {
    const auto ws = TwoMolecules();
    EXPECT_EQ(AtomsXyzText(*ws, "water\nframe 3"),
              "3\n"
              "water frame 3\n"
              "O  1.50000000 -2.25000000 0.00000010\n"
              "H  0.00000000 0.00000000 0.00000000\n"
              "Ca 0.00000000 0.00000000 0.00000000\n");
}

// Open Babel reads the file as it stands: same atoms, same elements.
TEST(AtomsXyz, ReadsInOpenBabel) {
    if (std::system("command -v obabel >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "Open Babel (obabel) is not installed";
    }
    test::TempDir dir;
    const auto ws = TwoMolecules();
    test::WriteFile(dir.File("atoms.xyz"), AtomsXyzText(*ws, "workspace=\"run.tsw\" time=0.000"));
    const std::string command = "obabel -ixyz " + dir.File("atoms.xyz") + " -oxyz -O " +
                                dir.File("back.xyz") + " >" + dir.File("log.txt") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir.File("log.txt"));
    std::istringstream back(test::ReadFile(dir.File("back.xyz")));
    std::string count, comment, element;
    std::getline(back, count);
    std::getline(back, comment);
    EXPECT_EQ(count, "3");
    std::string elements;
    for (std::string line; std::getline(back, line);) {
        std::istringstream(line) >> element;
        elements += element + " ";
    }
    EXPECT_EQ(elements, "O H Ca ");
}

// ASE reads the comment line as key=value pairs.
TEST(AtomsXyz, ReadsInAse) {
    if (std::system("/usr/bin/python3 -c 'import ase' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ASE is not installed for /usr/bin/python3";
    }
    test::TempDir dir;
    const auto ws = TwoMolecules();
    test::WriteFile(dir.File("atoms.xyz"),
                    AtomsXyzText(*ws, "workspace=\"my run.tsw\" frame=3 time_ps=0.030"));
    const std::string command =
        "/usr/bin/python3 -c \"from ase.io import read; a = read('" + dir.File("atoms.xyz") +
        "'); print(a.get_chemical_symbols(), a.info['workspace'], a.info['frame'])\" >" +
        dir.File("out.txt") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir.File("out.txt"));
    EXPECT_EQ(test::ReadFile(dir.File("out.txt")), "['O', 'H', 'Ca'] my run.tsw 3\n");
}

}  // namespace
}  // namespace tarsel
