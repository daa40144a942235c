// The viewer's input operations: keys, mouse, wheel, the menu items that open windows, closing,
// and the key motion timer.

#include <cmath>
#include <optional>

#include "app/Resets.h"
#include "app/ScenePicture.h"
#include "app/Viewer.h"
#include "settings/CameraMotion.h"
#include "workspace/CText.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

constexpr int VK_PAGE_UP = 33;
constexpr int VK_PAGE_DOWN = 34;
constexpr int VK_ESCAPE = 27;

std::optional<MotionKey> MotionKeyOf(int key) {
    switch (key) {
        case 38:
            return MotionKey::Up;
        case 40:
            return MotionKey::Down;
        case 39:
            return MotionKey::Right;
        case 37:
            return MotionKey::Left;
        case 'A':
            return MotionKey::A;
        case 'D':
            return MotionKey::D;
        case 'Q':
            return MotionKey::Q;
        case 'E':
            return MotionKey::E;
        case 'W':
            return MotionKey::W;
        case 'S':
            return MotionKey::S;
        default:
            return std::nullopt;
    }
}

}  // namespace

void Viewer::ShowSelection(const std::string& text) {
    host_.SetStatusText(2, text);
    host_.RepaintStatusBar();
    RenderScene();
}

void Viewer::FormKeyDown(int key) {
    Workspace& ws = *ws_;
    if (key == VK_PAGE_UP) {
        ws.SelectedMolecule = std::min(ws.SelectedMolecule + 1, ws.LastMolecule);
        ShowSelection(CFormat("Mol=%i", ws.SelectedMolecule + 1));
    } else if (key == VK_PAGE_DOWN) {
        ws.SelectedMolecule = std::max(ws.SelectedMolecule - 1, -1);
        if (ws.SelectedMolecule == -1) StopFollowing();
        ShowSelection(ws.SelectedMolecule == -1 ? std::string("PgUp/PgDn")
                                                : CFormat("Mol=%i", ws.SelectedMolecule + 1));
    } else if (key == VK_ESCAPE) {
        ClearMeasurement();
    } else if (key == 'F') {
        Followselection1Click();
    } else if (const std::optional<MotionKey> motion = MotionKeyOf(key)) {
        ws.KeyHeld[static_cast<int>(*motion)] = true;
        host_.SetTimer2(true);
    }
}

void Viewer::FormKeyUp(int key) {
    if (const std::optional<MotionKey> motion = MotionKeyOf(key)) {
        ws_->KeyHeld[static_cast<int>(*motion)] = false;
        ws_->KeyCoasting[static_cast<int>(*motion)] = true;
    }
}

std::optional<AtomRef> Viewer::AtomAt(int x, int y) const {
    const Workspace& ws = *ws_;
    const VisibleAtomList& list = renderer_.VisibleAtoms();
    // From the farthest to the nearest: of overlapping atoms the farthest is picked.
    for (int i = list.Count() - 1; i >= 0; --i) {
        const VisibleAtom& entry = list[i];
        const MoleculeRecord& m = ws.Molecules[entry.Molecule];
        const double e = Trunc(std::ceil(m.PerspectiveFactor[entry.Atom] * m.R[entry.Atom]));
        const double cx = entry.sx + ws.ViewWidth / 2;
        const double cy = ws.ViewHeight / 2 - entry.sy;
        if (cx - e < x && x < cx + e && cy - e < y && y < cy + e) {
            return AtomRef{entry.Molecule, entry.Atom};
        }
    }
    return std::nullopt;
}

bool Viewer::PickAtom(int x, int y) {
    const std::optional<AtomRef> hit = AtomAt(x, y);
    if (!hit) return false;
    ws_->SelectedMolecule = hit->Molecule;
    host_.SetStatusText(2, CFormat("Mol=%i,%i", hit->Molecule + 1, hit->Atom));
    RenderScene();
    return true;
}

void Viewer::FormMouseDown(int x, int y) {
    PickAtom(x, y);
}

void Viewer::FormMouseUp() {
    host_.SetTimer2(false);
}

void Viewer::FormMouseWheel(int delta) {
    Workspace& ws = *ws_;
    ProjectionParams& p = ws.Projection;
    switch (form_.MouseWheel) {
        case WheelMode::CentralProjectionPoint:
            if (delta > 0) p.PP = p.PP + p.PP * 0.02;
            if (delta < 0) p.PP = p.PP - p.PP * 0.02;
            if (!(p.PP > 0)) p.PP = 0.1;
            break;
        case WheelMode::ScaleFactor:
            if (delta > 0) p.Scale = p.Scale + p.Scale * 0.1;
            if (delta < 0) p.Scale = p.Scale - p.Scale * 0.1;
            if (!(p.Scale > 0)) p.Scale = 0.01;
            break;
        case WheelMode::None:
            break;
    }
    RecreateLabelFont();
    RenderScene();
}

bool Viewer::FormClose() {
    if (!host_.Confirm("Are You Sure !?", "Exit")) return false;
    ws_->NothingLoaded = true;
    SetTimer1(false);
    host_.SetTimer2(false);
    host_.CloseWorldForm();
    trajectory_.Close();
    // The movie being recorded is completed, so that the file is whole.
    FinishRecording();
    return true;
}

void Viewer::World1Click() {
    ws_->WorldViewOpen = true;
    host_.ShowWorldForm();
}

void Viewer::WorldFormClosed() {
    ws_->WorldViewOpen = false;
}

void Viewer::Timer2Timer() {
    // With no key held or coasting the tick would only redraw the same picture: the timer
    // rests until the next motion key, so an idle viewer takes no time. (A recording at
    // FrameTime 0 thus gets no copies of an unchanged picture every 30 ms after a key tap.)
    if (smoothMotion_) {
        // A tick begun is carried to its end, so the camera stops where the ticks stop it.
        if (!keySubSteps_.Pending(*ws_)) {
            host_.SetTimer2(false);
            return;
        }
        keySubSteps_.Step(*ws_);
        RenderScene();
        return;
    }
    if (!KeyMotionPending(*ws_)) {
        host_.SetTimer2(false);
        return;
    }
    KeyMotionStep(*ws_);
    RenderScene();
}

void Viewer::SetSmoothMotion(bool on) {
    if (on == smoothMotion_) return;
    smoothMotion_ = on;
    // The 30 ms ticks go on from where a whole tick leaves the camera.
    if (!on && keySubSteps_.Finish(*ws_)) RenderScene();
    host_.SetTimer2Interval(on ? KEY_MOTION_INTERVAL / SMOOTH_MOTION_PARTS : KEY_MOTION_INTERVAL);
}

void Viewer::Resetcamera1Click() {
    Workspace& ws = *ws_;
    if (ws.NothingLoaded) return;
    ws.Camera = loadedCamera_;
    ws.Projection.PP = loadedProjection_.PP;
    ws.Projection.Scale = loadedProjection_.Scale;
    // A coasting key would carry the camera off again at once.
    ResetKeyMotion(ws);
    keySubSteps_.Clear();
    RecreateLabelFont();
    RenderScene();
}

void Viewer::Savepicture1Click() {
    if (ws_->NothingLoaded) {
        host_.ShowMessage("There is no picture to save: load a workspace first.", "Save Picture");
        return;
    }
    // "Smooth edges" of the "Video" group applies to pictures too; the dialog says so.
    const int smooth = SmoothEdges();
    const std::string title =
        smooth > 1 ? CFormat("Save Picture (smooth edges %dx)", smooth) : "Save Picture";
    const std::optional<std::string> path =
        host_.ChooseSaveFile("PNG image (*.png)", title, ws_->WorkspaceBasePath + ".png");
    if (!path || path->empty()) return;
    const std::string problem =
        smooth > 1 ? SaveScenePicture(*this, *path, smooth) : SaveScenePicture(*this, *path);
    if (!problem.empty()) {
        host_.ShowMessage("The picture was not saved: " + problem, "Error");
    }
}

}  // namespace tarsel
