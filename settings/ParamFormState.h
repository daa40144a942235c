#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "workspace/Workspace.h"

namespace tarsel {

// The memo on the dialog's "Load" page. Every load appends its log below the earlier ones;
// nothing clears it. It starts with its design text.
class LoadMemo {
  public:
    void Append(std::string_view lines, int lineCount);
    const std::string& Text() const { return text_; }  // lines joined by '\n'
    int LineCount() const { return lines_; }

  private:
    std::string text_ = "LoadMemo";
    int lines_ = 1;
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
    bool CheckBox28 = false;  // "Half radius"
    bool CheckBox26 = false;  // "Ray tracing"
    std::string FontScaleEdit = "0.1";

    // "Mouse wheel".
    WheelMode MouseWheel = WheelMode::CentralProjectionPoint;

    // "Video".
    bool SaveAVICheckBox = false;
    std::string FrameTimeEdit = "1.0";

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

    // File names kept by the dialog.
    std::string WorkspaceFileName = "tarsel.tsw";
    std::string TrajectoryFileName = "tarsel.xyz";
};

// Controls whose value the viewer changes; the dialog window refreshes the one named.
enum class ParamControl {
    FontScaleEdit,
    FrameNumberEdit,
    TrackBar1,
    SaveAVICheckBox,
    BallCheckBox,
    BondCheckBox,
};

// Copies the dialog's controls into the workspace: font scale, view flags, "Save AVI",
// ray tracing and half radius, then the camera programme's interval, period ends and actions.
// Returns nothing; the caller sets the main window's border from RecordAvi.
void ApplySettings(const ParamFormState& form, Workspace& ws);

}  // namespace tarsel
