#include "app/Resets.h"

#include "render/Camera.h"
#include "render/SceneBitmap.h"

namespace tarsel {

void ClearMolecules(Workspace& ws) {
    for (MoleculeRecord& m : ws.Molecules) {
        m.AtomCount = 0;
        m.X.fill(0);
        m.Y.fill(0);
        m.Z.fill(0);
        m.RefNum.fill(63);
        m.NameChar1.fill(' ');
        m.NameChar2.fill(' ');
        m.NameChar3.fill(' ');
        m.Q.fill(0);
        m.R.fill(0);
        m.Mass.fill(0);
        m.ColourR.fill(0);
        m.ColourG.fill(0);
        m.ColourB.fill(0);
        m.Ix = m.Iy = m.Iz = 0;
        m.I1a = m.I1b = m.I1g = 0;
        m.I2a = m.I2b = m.I2g = 0;
        m.I3a = m.I3b = m.I3g = 0;
        m.MoleculeMass = 0;
        m.Vx = m.Vy = m.Vz = 0;
        m.Wa = m.Wb = m.Wg = 0;
        for (auto& row : m.Bonds)
            row.fill('0');
    }
    ws.SelectedMolecule = -1;
}

void SetViewGeometry(Workspace& ws, int width, int height) {
    ws.ViewWidth = width;
    ws.ViewHeight = height;
    ws.HalfViewWidth = width / 2;
    ws.HalfViewHeight = height / 2;
    const int left = (SCENE_SIZE - width) / 2;
    const int top = (SCENE_SIZE - height) / 2;
    ws.VisibleRect = {left, top, left + width, top + height};
    ws.WindowRect = {0, 0, width, height};
}

void ResetViewGeometry(Workspace& ws, int width, int height) {
    ClearMolecules(ws);
    SetViewGeometry(ws, width, height);
    ws.CurrentTime = 0;
    ws.TimeStep = 0;
    ws.LastProgrammeTime = 0;
}

void ResetKeyMotion(Workspace& ws) {
    ws.KeyHeld.fill(false);
    ws.KeyCoasting.fill(false);
    ws.MoveStep = 0.2;
    ws.RollStep = 0.005;
    ws.TurnStep = 0.001;
    ws.Rotation = {MakeRotationTriple(0.005), MakeRotationTriple(-0.005)};
}

void ResetWorkspace(Workspace& ws) {
    ws.WorldViewOpen = false;
    ws.PlayForward = true;
    ws.CameraProgrammeOn = false;
    ws.RayTracing = false;
    ws.HalfRadius = false;
    ws.RecordAvi = false;
    ws.HalfAtomRadius = true;
    ws.ShowBalls = true;
    ws.ZBuffered = true;
    ws.ShowBonds = true;
    ws.ShowAtomNames = true;
    ResetKeyMotion(ws);
    ws.Camera = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    ws.Projection.FontScale = 0.25;
    ws.DiffuseCoefficient = 0.6;
    ws.ReflectCoefficient = 0.7;
    ws.StrayCoefficient = 0.3;
    ws.LightPosition = {0, 0, 0};
    ws.BackgroundColour = {180, 180, 180};
}

}  // namespace tarsel
