#pragma once

#include "workspace/Workspace.h"

namespace tarsel {

// All 500 molecule records to their cleared state and no selection. Name, mass centre, Active
// and the perspective factors are left as they are.
void ClearMolecules(Workspace& ws);

// The view rectangles for a drawing area of width x height: the centre of the scene bitmap.
void SetViewGeometry(Workspace& ws, int width, int height);

// ClearMolecules, the view rectangles, and the time values.
void ResetViewGeometry(Workspace& ws, int width, int height);

// The motion keys released and stopped, their steps and rotation triples as after a load.
void ResetKeyMotion(Workspace& ws);

// View flags, camera, key-motion steps, font scale, shading and colour defaults.
void ResetWorkspace(Workspace& ws);

}  // namespace tarsel
