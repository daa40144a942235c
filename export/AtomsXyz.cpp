#include "export/AtomsXyz.h"

#include <cctype>
#include <cmath>

#include "workspace/CText.h"

namespace tarsel {

namespace {

struct Element {
    const char* Symbol;
    double Weight;  // standard atomic weight
};

// Elements 1-92 with their conventional standard atomic weights.
constexpr Element kElements[] = {
    {"H", 1.008},   {"He", 4.0026}, {"Li", 6.94},   {"Be", 9.0122}, {"B", 10.81},   {"C", 12.011},
    {"N", 14.007},  {"O", 15.999},  {"F", 18.998},  {"Ne", 20.180}, {"Na", 22.990}, {"Mg", 24.305},
    {"Al", 26.982}, {"Si", 28.085}, {"P", 30.974},  {"S", 32.06},   {"Cl", 35.45},  {"Ar", 39.948},
    {"K", 39.098},  {"Ca", 40.078}, {"Sc", 44.956}, {"Ti", 47.867}, {"V", 50.942},  {"Cr", 51.996},
    {"Mn", 54.938}, {"Fe", 55.845}, {"Co", 58.933}, {"Ni", 58.693}, {"Cu", 63.546}, {"Zn", 65.38},
    {"Ga", 69.723}, {"Ge", 72.630}, {"As", 74.922}, {"Se", 78.971}, {"Br", 79.904}, {"Kr", 83.798},
    {"Rb", 85.468}, {"Sr", 87.62},  {"Y", 88.906},  {"Zr", 91.224}, {"Nb", 92.906}, {"Mo", 95.95},
    {"Tc", 98.0},   {"Ru", 101.07}, {"Rh", 102.91}, {"Pd", 106.42}, {"Ag", 107.87}, {"Cd", 112.41},
    {"In", 114.82}, {"Sn", 118.71}, {"Sb", 121.76}, {"Te", 127.60}, {"I", 126.90},  {"Xe", 131.29},
    {"Cs", 132.91}, {"Ba", 137.33}, {"La", 138.91}, {"Ce", 140.12}, {"Pr", 140.91}, {"Nd", 144.24},
    {"Pm", 145.0},  {"Sm", 150.36}, {"Eu", 151.96}, {"Gd", 157.25}, {"Tb", 158.93}, {"Dy", 162.50},
    {"Ho", 164.93}, {"Er", 167.26}, {"Tm", 168.93}, {"Yb", 173.05}, {"Lu", 174.97}, {"Hf", 178.49},
    {"Ta", 180.95}, {"W", 183.84},  {"Re", 186.21}, {"Os", 190.23}, {"Ir", 192.22}, {"Pt", 195.08},
    {"Au", 196.97}, {"Hg", 200.59}, {"Tl", 204.38}, {"Pb", 207.2},  {"Bi", 208.98}, {"Po", 209.0},
    {"At", 210.0},  {"Rn", 222.0},  {"Fr", 223.0},  {"Ra", 226.0},  {"Ac", 227.0},  {"Th", 232.04},
    {"Pa", 231.04}, {"U", 238.03},
};

constexpr double kTolerance = 0.5;

const Element* Find(std::string_view symbol) {
    for (const Element& e : kElements) {
        if (symbol == e.Symbol) return &e;
    }
    return nullptr;
}

std::string OneLine(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

}  // namespace

std::string_view ElementOf(char c1, char c2, char c3, double mass) {
    // The leading letters, after any leading digits ("1HB" is a hydrogen).
    const char name[3] = {c1, c2, c3};
    int i = 0;
    while (i < 3 && std::isdigit(static_cast<unsigned char>(name[i])))
        ++i;
    if (i == 3 || !std::isalpha(static_cast<unsigned char>(name[i]))) return "X";
    std::string one(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[i]))));
    std::string two;
    if (i + 1 < 3 && std::isalpha(static_cast<unsigned char>(name[i + 1]))) {
        two = one + static_cast<char>(std::tolower(static_cast<unsigned char>(name[i + 1])));
    }
    const Element* best = nullptr;
    for (const std::string& symbol : {two, one}) {
        const Element* e = symbol.empty() ? nullptr : Find(symbol);
        if (e == nullptr || !(std::fabs(e->Weight - mass) <= kTolerance)) continue;
        if (best == nullptr || std::fabs(e->Weight - mass) < std::fabs(best->Weight - mass)) {
            best = e;
        }
    }
    return best != nullptr ? std::string_view(best->Symbol) : std::string_view("X");
}

std::string AtomsXyzText(const Workspace& ws, const std::string& comment) {
    int atoms = 0;
    for (int i = 0; i <= ws.LastMolecule; ++i) {
        if (ws.Molecules[i].AtomCount > 0) atoms += ws.Molecules[i].AtomCount;
    }
    std::string text = std::to_string(atoms) + "\n" + OneLine(comment) + "\n";
    for (int i = 0; i <= ws.LastMolecule; ++i) {
        const MoleculeRecord& m = ws.Molecules[i];
        for (int j = 0; j < m.AtomCount; ++j) {
            const std::string_view element =
                ElementOf(m.NameChar1[j], m.NameChar2[j], m.NameChar3[j], m.Mass[j]);
            text += CFormat("%-2.*s %.8f %.8f %.8f\n", static_cast<int>(element.size()),
                            element.data(), m.X[j], m.Y[j], m.Z[j]);
        }
    }
    return text;
}

}  // namespace tarsel
