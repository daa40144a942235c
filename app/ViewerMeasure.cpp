// The viewer's measuring between picked atoms and its camera that follows a molecule.

#include <array>
#include <cmath>
#include <span>

#include "app/Viewer.h"
#include "render/MeasureOverlay.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr const char* KEY_HELP = "Use: W,S,A,D,Q,E,Arrows";
constexpr const char* FOLLOW_ON = "Follow Selection: on (F ends it)";
constexpr int MEASURE_FONT_HEIGHT = 16;

}  // namespace

void Viewer::MeasureClick(int x, int y) {
    if (ws_->NothingLoaded) return;
    const std::optional<AtomRef> hit = AtomAt(x, y);
    if (!hit) {
        ClearMeasurement();
        return;
    }
    if (measure_.Add(*hit)) RenderScene();
}

void Viewer::ClearMeasurement() {
    if (measure_.Empty()) return;
    measure_.Clear();
    RenderScene();
}

void Viewer::DrawMeasurement() {
    if (measure_.Empty()) {
        if (measureShown_) host_.SetStatusText(0, "");
        measureShown_ = false;
        return;
    }
    const Workspace& ws = *ws_;
    const int n = measure_.Count();
    std::array<Vec3, MAX_MEASURED_ATOMS> at;
    for (int i = 0; i < n; ++i)
        at[i] = AtomPosition(ws, measure_[i]);
    const std::span<const Vec3> points(at.data(), n);
    const std::optional<double> value = MeasureValue(points);
    const bool signs = FontHasUnitSigns(fontFace_);
    measureShown_ = true;
    if (n == 1) {
        // Numbered as panel 2 numbers a pick: the molecule from 1, the atom from 0.
        host_.SetStatusText(0, CFormat("picked %i,%i", measure_[0].Molecule + 1, measure_[0].Atom));
        return;
    }
    host_.SetStatusText(0, MeasureText(n, value, signs ? UnitSigns::Utf8 : UnitSigns::Plain));
    DrawMeasureOverlay(renderer_.Proj(), ws.VisibleRect, points,
                       MeasureText(n, value, signs ? UnitSigns::Latin1 : UnitSigns::Plain),
                       FontSpec{fontFace_, MEASURE_FONT_HEIGHT * renderer_.Proj().PixelScale()},
                       *canvas_);
}

void Viewer::Followselection1Click() {
    if (follow_.On) {
        StopFollowing();
        return;
    }
    const Workspace& ws = *ws_;
    const int m = ws.SelectedMolecule;
    if (ws.NothingLoaded || m < 0 || m >= LoadedMolecules(ws)) return;
    follow_.On = true;
    follow_.Molecule = m;
    follow_.Last = PlacedMassCentre(ws.Molecules[m]);
    host_.SetStatusText(1, FOLLOW_ON);
    host_.RepaintStatusBar();
}

void Viewer::StopFollowing() {
    if (!follow_.On) return;
    follow_.On = false;
    follow_.Molecule = -1;
    host_.SetStatusText(1, KEY_HELP);
    host_.RepaintStatusBar();
}

void Viewer::FollowStep() {
    if (!follow_.On) return;
    Workspace& ws = *ws_;
    const int m = ws.SelectedMolecule;
    if (m < 0 || m >= LoadedMolecules(ws)) {
        StopFollowing();
        return;
    }
    const Vec3 centre = PlacedMassCentre(ws.Molecules[m]);
    // Another molecule picked meanwhile is followed from where it is now.
    if (m == follow_.Molecule) {
        const Vec3 step = UnwrappedStep(ws.Cube, follow_.Last, centre);
        // A frame of garbage must not carry the camera off to infinity for good.
        if (std::isfinite(step.x) && std::isfinite(step.y) && std::isfinite(step.z)) {
            ws.Camera.V0 = ws.Camera.V0 + step;
        }
    }
    follow_.Molecule = m;
    follow_.Last = centre;
}

}  // namespace tarsel
