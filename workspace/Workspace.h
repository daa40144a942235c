#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "workspace/Vec3.h"

// The one in-memory state of a loaded run. All tables have fixed capacities: nothing is
// allocated when a workspace is loaded or a frame is read.

namespace tarsel {

inline constexpr int MAX_MOLECULES = 500;
inline constexpr int MAX_ATOMS = 100;
inline constexpr int MAX_NAME_LENGTH = 15;
// The most steps a played or recorded trajectory frame is split into.
inline constexpr int MAX_SUB_FRAMES = 16;

struct Rgb {
    std::int32_t R = 0;
    std::int32_t G = 0;
    std::int32_t B = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    constexpr std::int32_t Width() const { return Right - Left; }
    constexpr std::int32_t Height() const { return Bottom - Top; }
    friend constexpr bool operator==(Rect, Rect) = default;
};

struct MoleculeRecord {
    char Name[MAX_NAME_LENGTH + 1] = {};
    std::int32_t AtomCount = 0;
    std::array<double, MAX_ATOMS> X{};
    std::array<double, MAX_ATOMS> Y{};
    std::array<double, MAX_ATOMS> Z{};
    std::array<std::int8_t, MAX_ATOMS> RefNum{};
    std::array<char, MAX_ATOMS> NameChar1{};
    std::array<char, MAX_ATOMS> NameChar2{};
    std::array<char, MAX_ATOMS> NameChar3{};
    std::array<double, MAX_ATOMS> Q{};
    std::array<double, MAX_ATOMS> R{};
    std::array<double, MAX_ATOMS> Mass{};
    std::array<std::int32_t, MAX_ATOMS> ColourR{};
    std::array<std::int32_t, MAX_ATOMS> ColourG{};
    std::array<std::int32_t, MAX_ATOMS> ColourB{};
    std::array<double, MAX_ATOMS> PerspectiveFactor{};
    Vec3 MassCentre;
    double Ix = 0, Iy = 0, Iz = 0;
    // Row k of the matrix A is principal axis k.
    double I1a = 0, I1b = 0, I1g = 0;
    double I2a = 0, I2b = 0, I2g = 0;
    double I3a = 0, I3b = 0, I3g = 0;
    double MoleculeMass = 0;
    double Vx = 0, Vy = 0, Vz = 0;
    double Wa = 0, Wb = 0, Wg = 0;
    bool Active = false;
    // Row k, column m: '0' no bond, 'S', 'D' or 'Z' a bond of that kind. Stored as read.
    std::array<std::array<char, MAX_ATOMS>, MAX_ATOMS> Bonds{};
};

// Atom positions in the molecule's principal-axes frame; fixed from one load to the next.
struct MoleculeBody {
    std::array<double, MAX_ATOMS> BodyX{};
    std::array<double, MAX_ATOMS> BodyY{};
    std::array<double, MAX_ATOMS> BodyZ{};
};

// One 64-byte trajectory record, laid out exactly as the file stores it.
struct MoleculePose {
    std::int32_t Number = 0;
    std::int32_t Padding = 0;
    double X0 = 0, Y0 = 0, Z0 = 0;
    double l0 = 0, l1 = 0, l2 = 0, l3 = 0;
};
static_assert(sizeof(MoleculePose) == 64, "a trajectory record is 64 bytes");

struct SimulationCube {
    Vec3 CubeCentre;
    double CubeLength = 0;
    bool BoundaryReflect = false;
};

struct CameraFrame {
    Vec3 V0;  // position
    Vec3 V1;  // viewing axis
    Vec3 V2;  // first image axis (screen right is -V2)
    Vec3 V3;  // second image axis (screen up is -V3)
};

struct ProjectionParams {
    double PP = 0;
    double Scale = 0;
    double FontScale = 0;
};

// cos a, sin a and 1 - cos a of the current rotation step.
struct RotationTriple {
    double c = 0, s = 0, t = 0;
};

struct StepRotation {
    RotationTriple Plus;   // for +a
    RotationTriple Minus;  // for -a
};

// The ten motion keys, in the order in which coasting keys are served.
enum class MotionKey { Right, Left, Up, Down, W, S, A, D, Q, E };
inline constexpr int MOTION_KEY_COUNT = 10;

struct Workspace {
    // Counts.
    std::int32_t LastMolecule = 0;

    // Run parameters, read and logged only.
    double TimeStep = 0;
    double SaveToGraph = 0;
    double AveragingTime = 0;
    double VolumeTime = 0;
    double VirialTime = 0;
    double ConservationCheckTime = 0;

    SimulationCube Cube;
    CameraFrame Camera;
    ProjectionParams Projection;

    // Shading and colours.
    Vec3 LightPosition;
    double DiffuseCoefficient = 0;
    double ReflectCoefficient = 0;
    double StrayCoefficient = 0;
    Rgb BackgroundColour;

    // View flags.
    bool ShowCube = false;
    bool ShowBalls = false;
    bool ZBuffered = false;
    bool ShowBonds = false;
    bool ShowAtomNames = false;
    bool RayTracing = false;
    bool HalfRadius = false;
    bool HalfAtomRadius = false;
    // "Photo": true spheres with occlusion (0..1), outlines (width as a share of the atom's
    // radius) and a depth cue (0..1, how far the farthest fades toward the background).
    bool Photo = false;
    double PhotoOcclusion = 0.7;
    double PhotoOutline = 0.08;
    double PhotoDepthCue = 0.5;
    bool RecordAvi = false;
    bool WorldViewOpen = false;
    bool NothingLoaded = true;

    // Selection and time.
    std::int32_t SelectedMolecule = -1;
    double FrameTime = 0;
    double CurrentTime = 0;
    std::int32_t FrameCount = 0;

    // View geometry of the main window.
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    std::int32_t HalfViewWidth = 0;
    std::int32_t HalfViewHeight = 0;
    Rect VisibleRect;
    Rect WindowRect;

    // Key motion.
    double MoveStep = 0;
    double TurnStep = 0;
    double RollStep = 0;
    StepRotation Rotation;
    std::array<bool, MOTION_KEY_COUNT> KeyHeld{};
    std::array<bool, MOTION_KEY_COUNT> KeyCoasting{};

    // Playback.
    std::int32_t CurrentFrame = 0;
    bool PlayForward = true;
    // In-between frames: playback steps by 1/SubFrames of a frame, and the position is
    // CurrentSubFrame of those steps past CurrentFrame. One sub-frame plays whole frames.
    std::int32_t SubFrames = 1;
    std::int32_t CurrentSubFrame = 0;

    // Camera programme; rows 1..3 are stored at 0..2.
    bool CameraProgrammeOn = false;
    double LastProgrammeTime = 0;
    double ProgrammeInterval = 0;
    std::array<double, 3> PeriodEnd{};
    std::array<std::int32_t, 3> PeriodAction{};

    // Recording.
    double LastRecordedTime = 0;

    // File names and folders.
    std::string StartDirectory;
    std::string ExamplesDirectory;
    std::string WorkspaceTitle;
    std::string WorkspaceBasePath;

    std::array<MoleculeRecord, MAX_MOLECULES> Molecules{};
    std::array<MoleculeBody, MAX_MOLECULES> Bodies{};
    std::array<MoleculePose, MAX_MOLECULES> Poses{};

    std::int32_t MoleculeCount() const { return LastMolecule + 1; }
};

// The molecules the tables hold: LastMolecule + 1 kept within 0..MAX_MOLECULES (a file may
// declare a negative count).
inline int LoadedMolecules(const Workspace& ws) {
    const int n = ws.LastMolecule + 1;
    return n < 0 ? 0 : n > MAX_MOLECULES ? MAX_MOLECULES : n;
}

}  // namespace tarsel
