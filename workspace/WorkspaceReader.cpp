#include "workspace/WorkspaceReader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <sys/stat.h>

#include "workspace/BodyFrame.h"
#include "workspace/CText.h"
#include "workspace/LineReader.h"

namespace tarsel {

namespace {

// Letters, names and rows come into the log as the file has them; a line feed or another
// control character among them would break the memo's line, so the log shows a blank instead.
// The log of a large workspace is megabytes: eight bytes are checked at a time.
void BlankControlCharacters(char* text, std::size_t size) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL, HIGHS = 0x8080808080808080ULL;
    auto blank = [](char& c) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    };
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text + i, sizeof w);
        const std::uint64_t below = (w - ONES * 0x20) & ~w & HIGHS;  // a byte below 0x20
        const std::uint64_t d = w ^ (ONES * 0x7F);
        const std::uint64_t del = (d - ONES) & ~d & HIGHS;  // a byte 0x7F
        if ((below | del) == 0) continue;
        for (std::size_t j = i; j < i + 8; ++j)
            blank(text[j]);
    }
    for (; i < size; ++i)
        blank(text[i]);
}

}  // namespace

void LoadLog::Add(std::string_view line) {
    if (lines_ > 0) text_ += '\n';
    const std::size_t start = text_.size();
    text_ += line;
    BlankControlCharacters(text_.data() + start, line.size());
    ++lines_;
}

Vec3 ReadTriple(const char* line) {
    constexpr int kFieldLength = 29;
    char fields[3][kFieldLength + 1] = {};
    int lengths[3] = {0, 0, 0};
    int current = 0;
    for (const char* p = line; *p != '\0'; ++p) {
        const char c = *p;
        if (c == ',') {
            ++current;
        } else if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E') {
            if (current < 3 && lengths[current] < kFieldLength) {
                fields[current][lengths[current]++] = c;
            }
        }
    }
    return {CAtof(fields[0]), CAtof(fields[1]), CAtof(fields[2])};
}

namespace {

// Thrown inside the reader when the file exceeds a table; caught at its top.
struct Refused {
    std::string message;
};

double AngleDegrees(Vec3 a, Vec3 b) {
    // Axes that are not quite unit vectors can give a product just outside -1..1.
    const double d = std::clamp(Dot(a, b), -1.0, 1.0);
    return std::acos(d) * 180.0 / 3.141592653589;
}

// Divides by the squared length; a zero axis stays zero instead of turning into NaN.
Vec3 DivideBySquaredLength(Vec3 v) {
    const double s = Dot(v, v);
    return s != 0.0 ? Vec3{v.x / s, v.y / s, v.z / s} : v;
}

class Reader {
  public:
    Reader(LineReader lines, Workspace& ws, LoadLog& log) : lines_(lines), ws_(ws), log_(log) {}

    void Run(const std::string& fileName, ReadOutcome& out) {
        Log("");
        Log(CFormat("Load %s", fileName.c_str()));
        Log("");
        if (!SkipComments()) {
            // Nothing but comments: a text of notes, say, is no run to load.
            throw Refused{
                CFormat("Line %d: the file ends before the number of molecules; it is "
                        "not a workspace.",
                        lines_.LineNumber() + 1)};
        }
        if (ReadHeader(out)) ReadMolecules();
        ComputeBodyCoordinates(ws_);
        ws_.SelectedMolecule = -1;
    }

  private:
    void Log(std::string_view s) { log_.Add(s); }

    // Next line into line_; false at the end of the file, and then line_ must not be parsed.
    bool Next() { return lines_.ReadLine(line_); }

    [[noreturn]] void Refuse(const std::string& message) {
        throw Refused{CFormat("Line %d: %s", lines_.LineNumber(), message.c_str())};
    }

    bool SkipComments() {
        do {
            if (!Next()) return false;
        } while (line_[0] == ';');
        return true;
    }

    bool ScanDouble(double& target) { return CScan(line_, "%lf", &target) == 1; }

    void ScanVec(Vec3& v) { CScan(line_, "%lf,%lf,%lf", &v.x, &v.y, &v.z); }

    void LogCheckAngles() {
        const CameraFrame& c = ws_.Camera;
        Log(CFormat("Check angles: (V1,V2)=%f; (V1,V3)=%f; (V2,V3)=%f", AngleDegrees(c.V1, c.V2),
                    AngleDegrees(c.V1, c.V3), AngleDegrees(c.V2, c.V3)));
    }

    void CorrectCamera() {
        CameraFrame& c = ws_.Camera;
        LogCheckAngles();
        c.V1 = DivideBySquaredLength(c.V1);
        c.V2 = DivideBySquaredLength(c.V2);
        c.V3 = DivideBySquaredLength(c.V3);
        c.V2 = Cross(c.V3, c.V1);
        c.V3 = Cross(c.V1, c.V2);
        Log("Correction...");
        LogCheckAngles();
        Log("");
    }

    // H1 (already in line_) through H18.
    bool ReadHeader(ReadOutcome& out) {
        int count = 0;
        if (CScan(line_, "%i", &count) != 1) {
            Refuse("the number of molecules is not a whole number; the file is not a workspace.");
        }
        if (count > MAX_MOLECULES) {
            Refuse(CFormat("the workspace declares %d molecules; Tarsel holds at most %d.", count,
                           MAX_MOLECULES));
        }
        ws_.LastMolecule = count > INT32_MIN ? count - 1 : INT32_MIN;
        Log(CFormat("Number of molecules=%i", ws_.LastMolecule + 1));

        struct Timing {
            double* target;
            const char* format;
        };
        const Timing timings[] = {
            {&ws_.TimeStep, "Time step=%f (10fS)"},
            {&ws_.SaveToGraph, "Save to graph=%f nS"},
            {&ws_.AveragingTime, "Averagy time=%f (10fS)"},
            {&ws_.VolumeTime, "Volume time=%f (10fS)"},
            {&ws_.VirialTime, "Virial time=%f (10fS)"},
            {&ws_.ConservationCheckTime, "Conservation check time=%f (10fS)"},
        };
        for (const Timing& t : timings) {
            if (!Next()) return false;
            ScanDouble(*t.target);
            Log(CFormat(t.format, *t.target));
        }

        if (!Next()) return false;  // H8, ignored
        if (!Next()) return false;
        SimulationCube& cube = ws_.Cube;
        ScanVec(cube.CubeCentre);
        Log(CFormat("Cube Center %f, %f, %f", cube.CubeCentre.x, cube.CubeCentre.y,
                    cube.CubeCentre.z));
        if (!Next()) return false;
        ScanDouble(cube.CubeLength);
        Log(CFormat("Cube length %f", cube.CubeLength));

        if (!Next()) return false;
        line_[std::strcspn(line_, "\n")] = '\0';
        if (std::strcmp(line_, "Reflect") == 0) {
            cube.BoundaryReflect = true;
            Log("Reflection from the cube.");
        } else if (std::strcmp(line_, "Thru") == 0) {
            cube.BoundaryReflect = false;
            Log("Through the cube.");
        }

        if (!Next()) return false;  // H12, ignored
        CameraFrame& cam = ws_.Camera;
        const struct {
            Vec3* target;
            const char* format;
        } axes[] = {
            {&cam.V0, "Camera position V0 %.10lf, %.10lf, %.10lf"},
            {&cam.V1, " V1 %.10lf, %.10lf, %.10lf"},
            {&cam.V2, " V2 %.10lf, %.10lf, %.10lf"},
            {&cam.V3, " V3 %.10lf, %.10lf, %.10lf"},
        };
        for (const auto& a : axes) {
            if (!Next()) return false;
            ScanVec(*a.target);
            Log(CFormat(a.format, a.target->x, a.target->y, a.target->z));
        }
        CorrectCamera();

        ProjectionParams& proj = ws_.Projection;
        if (!Next()) return false;
        ScanDouble(proj.PP);
        Log(CFormat("PP=%f", proj.PP));
        if (!Next()) return false;
        CScan(line_, "%lf,%lf", &proj.Scale, &proj.FontScale);
        Log(CFormat("Scale=%f, FontScale=%f", proj.Scale, proj.FontScale));
        out.FontScaleText = CFormat("%f", proj.FontScale);
        return true;
    }

    void ReadMolecules() {
        for (int i = 0; i <= ws_.LastMolecule; ++i) {
            if (!ReadMolecule(i, ws_.Molecules[i])) return;
        }
    }

    bool ReadMolecule(int i, MoleculeRecord& m) {
        if (!Next() || !Next()) return false;  // M1 (separator), M2
        char name[LineReader::kBufferSize];
        if (CScan(line_, "%s", name) == 1) {
            const size_t length = std::strlen(name);
            if (length > MAX_NAME_LENGTH) {
                Refuse(
                    CFormat("the molecule name \"%s\" has %zu characters; Tarsel holds names "
                            "of at most %d.",
                            name, length, MAX_NAME_LENGTH));
            }
            std::memcpy(m.Name, name, length + 1);
        }
        if (!Next()) return false;  // M3
        int atoms = m.AtomCount;
        CScan(line_, "%i", &atoms);
        if (atoms > MAX_ATOMS) {
            Refuse(
                CFormat("molecule %d declares %d atoms; Tarsel holds at most %d atoms per "
                        "molecule.",
                        i, atoms, MAX_ATOMS));
        }
        m.AtomCount = atoms;
        Log(CFormat("=== Molecule: %i (%s) atoms: %i  ======================", i, m.Name,
                    m.AtomCount));
        const int n = m.AtomCount;

        for (int j = 0; j < n; ++j) {
            if (!Next()) return false;
            const Vec3 p = ReadTriple(line_);
            m.X[j] = p.x;
            m.Y[j] = p.y;
            m.Z[j] = p.z;
            Log(CFormat("   Atom %i:   X=%f Y=%f Z=%f", j, m.X[j], m.Y[j], m.Z[j]));
        }
        if (!Next()) return false;  // M4, ignored
        for (int j = 0; j < n; ++j) {
            if (!Next()) return false;
            int ref = m.RefNum[j];
            CScan(line_, "%i,%lf,%c,%c,%c", &ref, &m.Mass[j], &m.NameChar1[j], &m.NameChar2[j],
                  &m.NameChar3[j]);
            m.RefNum[j] = static_cast<std::int8_t>(static_cast<unsigned>(ref) & 0xFFu);
            Log(CFormat("   Atom %i, RefNum: %i, mass %lf    (%c%c%c)", j, m.RefNum[j], m.Mass[j],
                        m.NameChar1[j], m.NameChar2[j], m.NameChar3[j]));
        }
        for (int j = 0; j < n; ++j) {
            if (!Next()) return false;
            CScan(line_, "%lf,%lf", &m.Q[j], &m.R[j]);
            Log(CFormat("  Atom %i: Q=%f;  R=%f", j, m.Q[j], m.R[j]));
            if (!Next()) return false;
            if (std::strncmp(line_, "RGB", 3) == 0) {
                CScan(line_, "RGB: %i,%i,%i", &m.ColourR[j], &m.ColourG[j], &m.ColourB[j]);
            } else {
                m.ColourR[j] = m.ColourG[j] = m.ColourB[j] = 0;
            }
            Log(CFormat("  Atom %i: (R,G,B)=(%i,%i,%i)", j, m.ColourR[j], m.ColourG[j],
                        m.ColourB[j]));
        }
        if (!Next()) return false;  // M5, ignored

        if (!Next()) return false;
        m.MassCentre = ReadTriple(line_);
        Log(CFormat("   Mass center:  X=%f;  Y=%f;  Z=%f", m.MassCentre.x, m.MassCentre.y,
                    m.MassCentre.z));
        if (!Next()) return false;
        const Vec3 moments = ReadTriple(line_);
        m.Ix = moments.x;
        m.Iy = moments.y;
        m.Iz = moments.z;
        Log(CFormat("   Moment of inertia:  Ix=%f;  Iy=%f;  Iz=%f", m.Ix, m.Iy, m.Iz));
        const struct {
            double* a;
            double* b;
            double* g;
            const char* format;
        } axes[] = {
            {&m.I1a, &m.I1b, &m.I1g, "   Axes of inertia:  I1a=%.10lf;  I1b=%.10lf;  I1g=%.10lf"},
            {&m.I2a, &m.I2b, &m.I2g, "   Axes of inertia:  I2a=%.10lf;  I2b=%.10lf;  I2g=%.10lf"},
            {&m.I3a, &m.I3b, &m.I3g, "   Axes of inertia:  I3a=%.10lf;  I3b=%.10lf;  I3g=%.10lf"},
        };
        for (const auto& axis : axes) {
            if (!Next()) return false;
            const Vec3 v = ReadTriple(line_);
            *axis.a = v.x;
            *axis.b = v.y;
            *axis.g = v.z;
            Log(CFormat(axis.format, v.x, v.y, v.z));
        }
        if (!Next()) return false;  // M11, ignored
        if (!Next()) return false;
        const Vec3 v = ReadTriple(line_);
        m.Vx = v.x;
        m.Vy = v.y;
        m.Vz = v.z;
        Log(CFormat("   Initial velosity:  Vx=%f;  Vy=%f;  Vz=%f", m.Vx, m.Vy, m.Vz));
        if (!Next()) return false;
        const Vec3 w = ReadTriple(line_);
        m.Wa = w.x;
        m.Wb = w.y;
        m.Wg = w.z;
        Log(CFormat("   Initial angel velosity:  Wa=%f;  Wb=%f;  Wg=%f", m.Wa, m.Wb, m.Wg));
        if (!Next()) return false;
        m.MoleculeMass = CAtof(line_);
        Log(CFormat("   Mass of molecule=%f ", m.MoleculeMass));
        if (!Next()) return false;
        m.Active = line_[0] == '1';
        Log(m.Active ? "   Active" : "   Passive");

        Log("Bond Matrix:");
        for (auto& row : m.Bonds)
            row.fill('0');
        for (int k = 0; k < n; ++k) {
            if (!Next()) return false;
            const int length = static_cast<int>(std::strlen(line_));
            for (int col = 0; col < n && col < length; ++col) {
                const char ch = line_[col];
                if (ch == 'S' || ch == 'D' || ch == 'Z') m.Bonds[k][col] = ch;
            }
            // The row goes to the log as read, without its line end.
            Log(std::string_view(line_, std::strcspn(line_, "\n")));
        }
        return true;
    }

    LineReader lines_;
    LineReader::Buffer line_ = {};
    Workspace& ws_;
    LoadLog& log_;
};

ReadOutcome ReadLines(LineReader lines, const std::string& fileName, Workspace& ws, LoadLog& log) {
    ReadOutcome out;
    out.Opened = true;
    CLocaleScope c;
    try {
        Reader(lines, ws, log).Run(fileName, out);
    } catch (const Refused& r) {
        out.Refusal = r.message;
    }
    return out;
}

}  // namespace

ReadOutcome ReadWorkspaceText(std::string_view text, const std::string& fileName, Workspace& ws,
                              LoadLog& log) {
    return ReadLines(LineReader(text), fileName, ws, log);
}

ReadOutcome ReadWorkspace(const std::string& fileName, Workspace& ws, LoadLog& log) {
    ReadOutcome out;
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    struct stat st {};
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);  // a folder opens but does not read
        f = nullptr;
        errno = EISDIR;
    }
    if (f == nullptr) {
        out.OpenError = std::strerror(errno);
        return out;
    }
    // The file is read as it goes, through the stream's buffer and one line buffer: a huge
    // file that is no workspace costs no more memory than a small one.
    char buffer[1 << 16];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    errno = 0;
    out = ReadLines(LineReader(f), fileName, ws, log);
    if (std::ferror(f) != 0) out.ReadError = std::strerror(errno != 0 ? errno : EIO);
    std::fclose(f);
    return out;
}

}  // namespace tarsel
