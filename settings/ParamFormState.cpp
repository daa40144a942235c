#include "settings/ParamFormState.h"

#include "workspace/CText.h"

namespace tarsel {

void LoadMemo::Append(std::string_view lines, int lineCount) {
    if (lineCount <= 0) return;
    if (lines_ > 0) text_ += '\n';
    text_ += lines;
    lines_ += lineCount;
}

void ApplySettings(const ParamFormState& form, Workspace& ws) {
    ws.Projection.FontScale = CAtof(form.FontScaleEdit);
    ws.ShowBalls = form.BallCheckBox;
    ws.ZBuffered = form.ZBufferCheckBox;
    ws.ShowBonds = form.BondCheckBox;
    ws.ShowAtomNames = form.AtomColorCheckBox;
    ws.ShowCube = form.WorldAxwsCheckBox;
    ws.RecordAvi = form.SaveAVICheckBox;
    ws.RayTracing = form.CheckBox26;
    ws.HalfRadius = form.CheckBox28;
    ws.ProgrammeInterval = CAtof(form.Edit25);
    ws.PeriodEnd[0] = CAtof(form.Edit23) * 100;
    ws.PeriodEnd[1] = CAtof(form.Edit24) * 100;
    ws.PeriodEnd[2] = CAtof(form.Edit26) * 100;
    ws.PeriodAction[0] = form.ComboBox1;
    ws.PeriodAction[1] = form.ComboBox2;
    ws.PeriodAction[2] = form.ComboBox3;
}

}  // namespace tarsel
