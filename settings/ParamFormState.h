#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workspace/Workspace.h"

namespace tarsel {

// The memo on the dialog's "Load" page. Every load appends its log below the earlier ones;
// nothing clears it. It starts with its design text. It keeps where each line starts, so that
// a window can show any part of a log of hundreds of thousands of lines without copying it.
class LoadMemo {
  public:
    // Appends lineCount lines joined by '\n'; nothing when lineCount is 0.
    void Append(std::string_view lines, int lineCount);
    const std::string& Text() const { return text_; }  // lines joined by '\n'
    int LineCount() const { return static_cast<int>(lineStarts_.size()); }
    // Line i without its '\n', 0 <= i < LineCount().
    std::string_view Line(int i) const;
    // The line with the most characters; a window sizes its width by it.
    int LongestLine() const { return longestLine_; }

  private:
    void IndexFrom(std::size_t start);

    std::string text_ = "LoadMemo";
    std::vector<std::size_t> lineStarts_{0};
    int longestLine_ = 0;
};

enum class WheelMode { CentralProjectionPoint, ScaleFactor, None };

// The values of the parameters dialog's controls, named after the controls, with their design
// defaults. The dialog window shows and edits them; the viewer reads them when settings are
// applied and writes the few that it displays (frame number, track bar, font scale, ...).
struct ParamFormState {
    // "Load" page.
    LoadMemo Memo;

    // "View" page, "Visualisation".
    bool ZBufferCheckBox = true;
    bool BallCheckBox = true;
    bool BondCheckBox = true;
    bool AtomColorCheckBox = true;
    bool WorldAxwsCheckBox = true;
    bool CheckBox28 = false;     // "Half radius"
    bool CheckBox26 = false;     // "Ray tracing"
    bool PhotoCheckBox = false;  // "Photo"
    std::string FontScaleEdit = "0.1";

    // "Mouse wheel".
    WheelMode MouseWheel = WheelMode::CentralProjectionPoint;

    // "Video".
    bool SaveAVICheckBox = false;
    std::string FrameTimeEdit = "1.0";
    int MovieFormatComboBox = 0;  // an index of MOVIE_FORMATS; the AVI unless chosen
    // "Smooth edges": an index of SMOOTH_EDGES; pictures and movie frames drawn index + 1
    // times larger and filtered down. 0 draws them as the window shows them.
    int SmoothEdgesComboBox = 0;

    // "Motion Control".
    std::string FrameTimerEdit = "30";
    std::string FrameNumberEdit = "1";
    int TrackBar1 = 0;           // 0..500
    bool CheckBox1 = false;      // "Camera Motion"
    std::string Edit25 = "1.0";  // "per Frame"
    std::string Edit23 = "2";    // "Period 1:"
    std::string Edit24 = "2";    // "Period 2:"
    std::string Edit26 = "0.5";  // "Period 3:"
    int ComboBox1 = 0;
    int ComboBox2 = 0;
    int ComboBox3 = 0;
    int SubFramesSpinBox = 1;  // "Sub-frames", 1..16

    // "Ray tracing" page.
    std::string Edit5 = "0.6";  // "Diffuse:"
    std::string Edit6 = "0.7";  // "Reflect:"
    std::string Edit7 = "0.3";  // "Stray:"
    std::string Edit8 = "180";  // "Fone (R,G,B):"
    std::string Edit9 = "180";
    std::string Edit10 = "200";
    std::string Edit2 = "1";  // "Light (X,Y,Z)"
    std::string Edit3 = "1";
    std::string Edit4 = "1";
    bool CheckBox27 = true;  // "Half Atom Radius"
    // "Photo" group.
    std::string PhotoOcclusionEdit = "0.7";  // "Occlusion:"
    std::string PhotoOutlineEdit = "0.08";   // "Outline:"
    std::string PhotoDepthCueEdit = "0.5";   // "Depth cue:"

    // File names kept by the dialog.
    std::string WorkspaceFileName = "tarsel.tsw";
    std::string TrajectoryFileName = "tarsel.xyz";
};

// The dialog's controls that hold a value, one per field of ParamFormState. The viewer names
// the one whose value it changed; the dialog window refreshes it.
enum class ParamControl {
    FontScaleEdit,
    FrameNumberEdit,
    TrackBar1,
    SaveAVICheckBox,
    BallCheckBox,
    BondCheckBox,
    ZBufferCheckBox,
    AtomColorCheckBox,
    WorldAxwsCheckBox,
    CheckBox28,
    CheckBox26,
    MouseWheel,
    FrameTimeEdit,
    FrameTimerEdit,
    CheckBox1,  // also enables or disables the programme's rows
    Edit25,
    Edit23,
    Edit24,
    Edit26,
    ComboBox1,
    ComboBox2,
    ComboBox3,
    Edit5,
    Edit6,
    Edit7,
    Edit8,
    Edit9,
    Edit10,
    Edit2,
    Edit3,
    Edit4,
    CheckBox27,
    SubFramesSpinBox,
    MovieFormatComboBox,
    PhotoCheckBox,
    PhotoOcclusionEdit,
    PhotoOutlineEdit,
    PhotoDepthCueEdit,
    SmoothEdgesComboBox,
};

// Items of the "Video" group's format box: what "Save AVI" records into.
inline constexpr const char* MOVIE_FORMATS[] = {"AVI", "MP4", "WebM", "GIF", "PNG frames"};
// Items of the "Video" group's "Smooth edges" box, for Save Picture and the recording.
inline constexpr const char* SMOOTH_EDGES[] = {"Off", "2x", "3x", "4x"};

// The boxes of the "Ray tracing" page, in the order they show the workspace.
inline constexpr ParamControl RAY_TRACING_PAGE_CONTROLS[] = {
    ParamControl::Edit5, ParamControl::Edit6,      ParamControl::Edit7, ParamControl::Edit8,
    ParamControl::Edit9, ParamControl::Edit10,     ParamControl::Edit2, ParamControl::Edit3,
    ParamControl::Edit4, ParamControl::CheckBox27,
};

// Items of the three "Action" combo boxes; the index is the programme's action.
inline constexpr const char* PERIOD_ACTIONS[] = {
    "None", "Forward", "Backward", "Rotate Left", "Rotate Right", "Bank Left", "Bank Right",
};

// Copies the dialog's controls into the workspace: font scale, view flags, "Save AVI",
// ray tracing and half radius, then the camera programme's interval, period ends and actions.
// Returns nothing; the caller sets the main window's border from RecordAvi.
void ApplySettings(const ParamFormState& form, Workspace& ws);

// Writes the workspace's shading values, background colour, light and half-atom-radius flag
// into the boxes of the "Ray tracing" page ("%f" for reals, "%d" for colour components).
void ShowRayTracingPage(const Workspace& ws, ParamFormState& form);

// Takes the "Ray tracing" page into the workspace, for the OK button. A box whose text is
// still what ShowRayTracingPage wrote leaves its value alone, so that OK does not round the
// workspace's values to the six decimals the boxes show. An edited box is read by the atof
// rule; colour components are truncated toward zero and clamped to 0..255.
void ApplyRayTracingPage(const ParamFormState& form, Workspace& ws);

// A colour component as typed into a "Fone (R,G,B):" box.
std::int32_t ColourComponent(const std::string& text);

}  // namespace tarsel
