#include "app/Viewer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/Resets.h"
#include "app/WorkspacePaths.h"
#include "render/RasterCanvas.h"
#include "settings/CameraMotion.h"
#include "workspace/CText.h"
#include "workspace/Numeric.h"
#include "workspace/WorkspaceReader.h"

namespace tarsel {

namespace {

std::string CurrentDirectory() {
    std::string dir(256, '\0');
    while (getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir;
}

}  // namespace

Viewer::Viewer(ViewerHost& host)
    : host_(host),
      ws_(std::make_unique<Workspace>()),
      scene_(Rgb{180, 180, 180}),
      canvas_(std::make_unique<RasterCanvas>(scene_)) {
    Workspace& ws = *ws_;
    ws.StartDirectory = CurrentDirectory();
    ws.ExamplesDirectory = ws.StartDirectory + "/Examples/";
    SetTimer1(false);
    ws.NothingLoaded = true;
    ws.ShowCube = true;
    ws.FrameTime = 0;
    ws.LastRecordedTime = 0;
    ws.BackgroundColour = {180, 180, 180};
    labelFont_ = {fontFace_, 18};
    axisFont_ = {fontFace_, 19};
    host_.SetStatusText(1, "Use: W,S,A,D,Q,E,Arrows");
    tarsel::ResetWorkspace(ws);
    ShowNoSelection();

    // The dialog is created after the main window and copies two of its view flags. Its
    // "Ray tracing" page shows the workspace's values from the start, so that the first OK
    // (the end of the first load) finds nothing to change there.
    form_.BallCheckBox = ws.ShowBalls;
    form_.BondCheckBox = ws.ShowBonds;
    tarsel::ShowRayTracingPage(ws, form_);
}

Viewer::~Viewer() = default;

void Viewer::ShowNoSelection() {
    host_.SetStatusText(2, "PgUp/PgDn");
    host_.RepaintStatusBar();
}

void Viewer::Loadworkspace1Click() {
    const std::optional<std::string> chosen =
        host_.ChooseFile("Workspace (*.tsw *.TSW)", "Load WorkSpace:", ws_->ExamplesDirectory);
    if (!chosen || chosen->empty()) return;
    LoadWorkspaceFile(*chosen);
}

LoadResult Viewer::LoadWorkspaceFile(const std::string& chosen) {
    const WorkspacePaths paths = DeriveWorkspacePaths(chosen);
    const ViewSize size = host_.DrawingAreaSize();

    // The file is read into a copy, so that a refused file leaves the loaded run untouched. The
    // copy's 10 MB are kept for the next load rather than mapped afresh each time.
    if (!staged_) staged_ = std::make_unique<Workspace>();
    Workspace* const staged = staged_.get();
    stagedLoad_.reset();
    *staged = *ws_;
    ResetViewGeometry(*staged, size.Width, size.Height);
    staged->WorkspaceBasePath = paths.Base;
    staged->WorkspaceTitle = paths.Base;
    tarsel::ResetWorkspace(*staged);
    // An open world window stays open over the load, and keeps following the view.
    staged->WorldViewOpen = ws_->WorldViewOpen;
    LoadLog log;
    const ReadOutcome read = ReadWorkspace(paths.WorkspaceFile, *staged, log);
    std::string refusal;
    if (!read.Opened) {
        refusal = CFormat("Can't open workspace \"%s\": %s", paths.WorkspaceFile.c_str(),
                          read.OpenError.c_str());
    } else if (!read.ReadError.empty()) {
        refusal = CFormat("Can't read workspace \"%s\": %s", paths.WorkspaceFile.c_str(),
                          read.ReadError.c_str());
    } else if (!read.Refusal.empty()) {
        refusal = CFormat("Can't load workspace \"%s\".\n%s", paths.WorkspaceFile.c_str(),
                          read.Refusal.c_str());
    }
    if (!refusal.empty()) {
        host_.ShowMessage(refusal, "Error");
        return {false, refusal};
    }
    stagedLoad_ = StagedLoad{chosen, read.FontScaleText};
    AdoptStaged(*staged, paths, read.FontScaleText, &log);
    return {true, {}};
}

LoadResult Viewer::LoadWorkspaceLike(const Viewer& loaded) {
    if (!loaded.stagedLoad_) return {false, "nothing was loaded to load again"};
    // Read straight from the other viewer's copy: it stays as the read left it.
    AdoptStaged(*loaded.staged_, DeriveWorkspacePaths(loaded.stagedLoad_->Chosen),
                loaded.stagedLoad_->FontScaleText, nullptr);
    return {true, {}};
}

void Viewer::AdoptStaged(const Workspace& staged, const WorkspacePaths& paths,
                         const std::optional<std::string>& fontScaleText, const LoadLog* log) {
    // The movie of the run shown so far is completed before another run replaces it.
    if (activeMovie_) StopRecording();
    *ws_ = staged;
    keySubSteps_.Clear();
    loadedCamera_ = ws_->Camera;
    loadedProjection_ = ws_->Projection;
    form_.WorkspaceFileName = paths.WorkspaceFile;
    form_.TrajectoryFileName = paths.TrajectoryFile;
    host_.SetCaption(ws_->WorkspaceTitle);
    ShowNoSelection();
    // The atoms measured and the molecule followed belong to the run shown before.
    StopFollowing();
    measure_.Clear();
    if (log != nullptr) {
        form_.Memo.Append(log->Text(), log->LineCount());
        host_.LoadMemoAppended(log->Text());
    }
    if (fontScaleText) {
        form_.FontScaleEdit = *fontScaleText;
        host_.ParamFormChanged(ParamControl::FontScaleEdit);
    }

    OpenTrajectory(paths);
    FinishLoad();
    RenderScene();
}

void Viewer::OpenTrajectory(const WorkspacePaths& paths) {
    Workspace& ws = *ws_;
    trajectory_.Close();
    frameCache_.Clear();
    ws.CurrentSubFrame = 0;
    if (!trajectory_.Open(paths.TrajectoryFile) && trajectory_.Open(paths.TrajectoryUpper)) {
        form_.TrajectoryFileName = paths.TrajectoryUpper;
    }
    if (!trajectory_.IsOpen()) {
        host_.ShowMessage("File *.xyz not found!", "Error");
        ws.FrameCount = 0;
        return;
    }
    ws.FrameCount = ComputeFrameCount(trajectory_.Size(), ws.MoleculeCount());
}

void Viewer::FinishLoad() {
    Workspace& ws = *ws_;
    BitBtn1Click();
    RecreateLabelFont();
    const CameraFrame& cam = ws.Camera;
    const double k = 2 * ws.Cube.CubeLength * (cam.V2.y + cam.V3.z);
    ws.LightPosition = {cam.V0.x + k, cam.V0.y + k, cam.V0.z - k};
    ShowRayTracingPage();
    ws.NothingLoaded = false;
}

void Viewer::RecreateLabelFont() {
    const Workspace& ws = *ws_;
    labelFont_ = {fontFace_, Trunc(ws.Projection.FontScale * ws.Projection.Scale + 5)};
}

void Viewer::ShowRayTracingPage() {
    tarsel::ShowRayTracingPage(*ws_, form_);
    for (ParamControl control : RAY_TRACING_PAGE_CONTROLS)
        host_.ParamFormChanged(control);
}

void Viewer::ApplySettings() {
    tarsel::ApplySettings(form_, *ws_);
    // "Save AVI" switched off: the open movie is completed now, not left open.
    if (!ws_->RecordAvi && activeMovie_) StopRecording();
    host_.SetBorderFixed(ws_->RecordAvi);
}

void Viewer::BitBtn1Click() {
    ApplySettings();
    ws_->FrameTime = CAtof(form_.FrameTimeEdit);
    // The "Ray tracing" page is applied by OK only, not by the playback buttons.
    ApplyRayTracingPage(form_, *ws_);
    host_.HideParamForm();
    ShowRayTracingPage();
    RenderScene();
}

void Viewer::CheckBox1Click() {
    // At once, without ApplySettings; the programme's rows follow with the next apply.
    ws_->CameraProgrammeOn = form_.CheckBox1;
    host_.ParamFormChanged(ParamControl::CheckBox1);
}

void Viewer::FormShow() {
    ShowRayTracingPage();
}

void Viewer::N4Click() {
    host_.ShowParamForm();
    RecreateLabelFont();
    RenderScene();
}

void Viewer::RenderScene() {
    Workspace& ws = *ws_;
    if (ws.NothingLoaded) {
        host_.ShowScene();
        return;
    }
    // The followed molecule's move since the last pass moves the camera; nothing else does.
    FollowStep();
    canvas_->FillRect(ws.VisibleRect, ws.BackgroundColour);
    // Only this part is shown or recorded; the pass may leave the rest of the bitmap alone.
    canvas_->SetShownArea(ws.VisibleRect);
    if (ws.WorldViewOpen) host_.RepaintWorldForm();
    DrawScene();
    if (ws.RecordAvi) RecordingHandOff();
    // The programme's camera change shows in the next pass.
    if (ws.CameraProgrammeOn) CameraProgrammeStep(ws);
    host_.ShowScene();
    host_.SetStatusText(3, CFormat("%.3f pS ", ws.CurrentTime * 0.01));
}

void Viewer::DrawScene() {
    Workspace& ws = *ws_;
    renderer_.PrepareProjection(ws);
    if (ws.ShowCube) cube_.DrawCube(ws, renderer_.Proj(), *canvas_, axisFont_);
    renderer_.ProjectAtoms(ws);
    if (ws.ShowBonds && !ws.Photo) renderer_.DrawBonds(ws, *canvas_);
    if (ws.Photo) {
        // "Photo" draws its bonds as cylinders, depth-tested with the spheres.
        photo_.DrawPhoto(ws, renderer_.Proj(), renderer_.VisibleAtoms(), *canvas_, labelFont_);
    } else if (ws.RayTracing) {
        renderer_.DrawShadedBalls(ws, *canvas_, labelFont_);
    } else {
        renderer_.DrawFlatBalls(ws, *canvas_, labelFont_);
    }
    // Measurement overlay: the last drawing of the pass, over every drawing mode, so that
    // pictures and movie frames have it too.
    DrawMeasurement();
}

void Viewer::FormResize() {
    Workspace& ws = *ws_;
    const ViewSize size = host_.DrawingAreaSize();
    SetViewGeometry(ws, size.Width, size.Height);
    if (ws.NothingLoaded) scene_.Fill(ws.VisibleRect, ws.BackgroundColour);
    RenderScene();
}

}  // namespace tarsel
