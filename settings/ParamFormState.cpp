#include "settings/ParamFormState.h"

#include <algorithm>
#include <cstring>

#include "workspace/CText.h"
#include "workspace/Numeric.h"

namespace tarsel {

void LoadMemo::Append(std::string_view lines, int lineCount) {
    if (lineCount <= 0) return;
    const std::size_t start = text_.size() + 1;
    text_ += '\n';
    text_ += lines;
    lineStarts_.push_back(start);
    IndexFrom(start);
}

// Records the start of every line after the one beginning at `start`; memchr keeps this to a
// few milliseconds for the largest workspace's log.
void LoadMemo::IndexFrom(std::size_t start) {
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* p = begin + start;
    std::size_t longest = Line(longestLine_).size();
    while (true) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const std::size_t length = (nl != nullptr ? nl : end) - p;
        if (length > longest) {
            longest = length;
            longestLine_ = LineCount() - 1;
        }
        if (nl == nullptr) break;
        p = nl + 1;
        lineStarts_.push_back(p - begin);
    }
}

std::string_view LoadMemo::Line(int i) const {
    const std::size_t start = lineStarts_[i];
    const std::size_t end = i + 1 < LineCount() ? lineStarts_[i + 1] - 1 : text_.size();
    return std::string_view(text_).substr(start, end - start);
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
    ws.Photo = form.PhotoCheckBox;
    ws.PhotoOcclusion = CAtof(form.PhotoOcclusionEdit);
    ws.PhotoOutline = CAtof(form.PhotoOutlineEdit);
    ws.PhotoDepthCue = CAtof(form.PhotoDepthCueEdit);
    ws.ProgrammeInterval = CAtof(form.Edit25);
    ws.PeriodEnd[0] = CAtof(form.Edit23) * 100;
    ws.PeriodEnd[1] = CAtof(form.Edit24) * 100;
    ws.PeriodEnd[2] = CAtof(form.Edit26) * 100;
    ws.PeriodAction[0] = form.ComboBox1;
    ws.PeriodAction[1] = form.ComboBox2;
    ws.PeriodAction[2] = form.ComboBox3;
    // A new number of sub-frames keeps the played position where it is, to the step below.
    const std::int32_t subFrames = std::clamp(form.SubFramesSpinBox, 1, MAX_SUB_FRAMES);
    if (subFrames != ws.SubFrames) {
        const std::int32_t old = std::max(ws.SubFrames, 1);
        ws.CurrentSubFrame = std::clamp(ws.CurrentSubFrame, 0, old - 1) * subFrames / old;
        ws.SubFrames = subFrames;
    }
}

namespace {

std::string ShownReal(double v) {
    return CFormat("%f", v);
}

std::string ShownColour(std::int32_t v) {
    return CFormat("%d", v);
}

void TakeReal(const std::string& text, double& value) {
    if (text != ShownReal(value)) value = CAtof(text);
}

void TakeColour(const std::string& text, std::int32_t& value) {
    if (text != ShownColour(value)) value = ColourComponent(text);
}

}  // namespace

void ShowRayTracingPage(const Workspace& ws, ParamFormState& form) {
    form.Edit5 = ShownReal(ws.DiffuseCoefficient);
    form.Edit6 = ShownReal(ws.ReflectCoefficient);
    form.Edit7 = ShownReal(ws.StrayCoefficient);
    form.Edit8 = ShownColour(ws.BackgroundColour.R);
    form.Edit9 = ShownColour(ws.BackgroundColour.G);
    form.Edit10 = ShownColour(ws.BackgroundColour.B);
    form.Edit2 = ShownReal(ws.LightPosition.x);
    form.Edit3 = ShownReal(ws.LightPosition.y);
    form.Edit4 = ShownReal(ws.LightPosition.z);
    form.CheckBox27 = ws.HalfAtomRadius;
}

void ApplyRayTracingPage(const ParamFormState& form, Workspace& ws) {
    TakeReal(form.Edit5, ws.DiffuseCoefficient);
    TakeReal(form.Edit6, ws.ReflectCoefficient);
    TakeReal(form.Edit7, ws.StrayCoefficient);
    TakeColour(form.Edit8, ws.BackgroundColour.R);
    TakeColour(form.Edit9, ws.BackgroundColour.G);
    TakeColour(form.Edit10, ws.BackgroundColour.B);
    TakeReal(form.Edit2, ws.LightPosition.x);
    TakeReal(form.Edit3, ws.LightPosition.y);
    TakeReal(form.Edit4, ws.LightPosition.z);
    ws.HalfAtomRadius = form.CheckBox27;
}

// The renderer passes a colour on as R + 256 G + 65536 B, so a component outside 0..255 would
// spill into its neighbour; the nearest valid value is what the user meant.
std::int32_t ColourComponent(const std::string& text) {
    return std::clamp(Trunc(CAtof(text)), 0, 255);
}

}  // namespace tarsel
