#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/Measurement.h"
#include "app/ViewerHost.h"
#include "app/WorkspacePaths.h"
#include "export/AviRecorder.h"
#include "export/DibBitmap.h"
#include "export/MovieWriter.h"
#include "render/Canvas.h"
#include "render/CubeOverlay.h"
#include "render/PhotoRenderer.h"
#include "render/SceneBitmap.h"
#include "render/SceneRenderer.h"
#include "settings/CameraMotion.h"
#include "settings/ParamFormState.h"
#include "settings/TParamForm.h"
#include "trajectory/InBetween.h"
#include "trajectory/TrajectoryFile.h"
#include "workspace/Workspace.h"

namespace tarsel {

class LoadLog;

// The most samples a side "Smooth edges" and --antialias take.
inline constexpr int MAX_SMOOTH_EDGES = 4;

struct LoadResult {
    bool Loaded = false;
    std::string Error;  // what the user was told when the load was refused
};

// The main window's state and operations, without widgets: the one workspace, the scene bitmap
// and its fonts, the trajectory stream and the parameters dialog's values. The windows turn
// their events into calls of these operations; what the operations need from the windows goes
// through the ViewerHost.
class Viewer : public ParamFormActions {
  public:
    explicit Viewer(ViewerHost& host);
    ~Viewer() override;

    Workspace& Ws() { return *ws_; }
    const Workspace& Ws() const { return *ws_; }
    ParamFormState& Form() { return form_; }
    const ParamFormState& Form() const { return form_; }
    SceneBitmap& Scene() { return scene_; }
    const SceneBitmap& Scene() const { return scene_; }
    Canvas& SceneCanvas() { return *canvas_; }
    // The pass draws with a RasterCanvas on Scene() unless given another canvas on it.
    void SetCanvas(std::unique_ptr<Canvas> canvas) { canvas_ = std::move(canvas); }
    const SceneRenderer& Renderer() const { return renderer_; }
    const CubeOverlay& Cube() const { return cube_; }
    const FontSpec& LabelFont() const { return labelFont_; }
    const FontSpec& AxisFont() const { return axisFont_; }
    TrajectoryFile& Trajectory() { return trajectory_; }

    // File > Load WorkSpace: the open-file dialog, then LoadWorkspaceFile.
    void Loadworkspace1Click();
    // The load of a chosen file: names, resets, read, trajectory, FinishLoad, render pass.
    // A file that cannot be read or exceeds the tables is refused with a message box and
    // leaves the loaded run as it was.
    LoadResult LoadWorkspaceFile(const std::string& chosen);
    // The load of the run that `loaded` loaded last, from what it read instead of the file:
    // the state LoadWorkspaceFile of that file gives, but for the load log. For threads that
    // draw the same run; `loaded` must not load meanwhile.
    LoadResult LoadWorkspaceLike(const Viewer& loaded);

    // The dialog: ApplySettings, its OK button, "Camera Motion", and showing it.
    void ApplySettings();
    void BitBtn1Click() override;
    void CheckBox1Click() override;
    void FormShow() override;

    // Menu "Parameters" > "Work Space".
    void N4Click();

    // The render pass: every change of frame, camera, window size or setting ends in it.
    void RenderScene();
    void FormResize();

    // Trajectory frames and playback.
    void ReadFrame(std::int32_t n);
    // Frame f + t (0 <= t < 1) with the molecules in between frames f and f + 1: the time
    // (f + t) x FrameTime, the frame box and the track bar at f. At t = 0 it is ReadFrame(f).
    void ReadFrameAt(std::int32_t f, double t);
    const FrameCache& Frames() const { return frameCache_; }
    void Button2Click() override;                 // "Play"
    void Button3Click() override;                 // "Stop"
    void Button4Click() override;                 // "+1"
    void Button5Click() override;                 // "-1"
    void Button6Click() override;                 // "PlayBack"
    void Button1Click() override;                 // "Go to Frame"
    void Button7Click() override;                 // "Save as File"
    void TrackBar1Change(int position) override;  // the user moved the slider
    void Timer1Timer();
    bool Timer1On() const { return timer1On_; }
    // "Save as File" for frame n: the file "frame" + the frame box's text + ".txt" in the
    // current folder, or fileName when one is given. False when nothing was written. Why the
    // file could not be written goes to writeError when one is given, else into a message box.
    bool ExportFrameText(std::int32_t n, const std::string& fileName = {},
                         std::string* writeError = nullptr);
    // Recording of the shown frames. StartRecording completes a movie still open before it
    // opens the new one, named after the workspace with the ending of the format chosen in
    // the "Video" group unless a file name is given; StopRecording completes the movie and
    // unchecks "Save AVI"; false when the movie could not be completed (after its message).
    void StartRecording(const std::string& movieFileName = {});
    void StartRecording(const std::string& movieFileName, const MovieSettings& settings);
    bool StopRecording();
    const std::string& AviFileName() const { return aviFileName_; }
    // The open AVI's recorder; nothing when no movie is open or it is of another format.
    const AviRecorder* ActiveRecorder() const {
        return activeMovie_ ? activeMovie_->Avi() : nullptr;
    }
    const MovieWriter* ActiveMovie() const { return activeMovie_.get(); }
    // What the window shows, into a bitmap of the view's size.
    void CopyShownPicture(DibBitmap& to) const;
    // A movie frame: what the window shows, drawn smooth when the recording started with
    // "Smooth edges" on (a pass of its own for that).
    void CopyRecordedPicture(DibBitmap& to);
    // The "Smooth edges" choice of the "Video" group: 1 (off) .. MAX_SMOOTH_EDGES.
    int SmoothEdges() const;
    // The shown view drawn n times larger in each direction (positions, sizes, pens and
    // fonts) and box-filtered down to its size: n x n samples a pixel. The larger view is
    // drawn in pieces of at most pieceSide pixels a side (0: as large as fit the bitmap), so
    // a view of any size can be. The window's picture is drawn anew at its size after.
    QImage SmoothPicture(int n, int pieceSide = 0);
    // Adds a picture to the open movie as the hand-off does; a failed write stops the
    // recording with one message.
    void RecordPicture(const DibBitmap& picture);
    const DibBitmap* RecordBitmap() const { return recordBitmap_.get(); }

    // Keys, mouse and wheel of the main window. Keys are virtual-key codes: 33 Page Up,
    // 34 Page Down, 37-40 the arrows (left, up, right, down), 'A'..'Z' the letters.
    void FormKeyDown(int key);
    void FormKeyUp(int key);
    void FormMouseDown(int x, int y);  // picks an atom
    void FormMouseUp();
    void FormMouseWheel(int delta);  // only the sign counts
    // Selects the molecule of the atom under the client point (x, y); false when none is there.
    bool PickAtom(int x, int y);
    // Asks "Are You Sure !?"; on OK stops the timers, closes the world window and the
    // trajectory and returns true: the application ends.
    bool FormClose();
    void World1Click();
    void WorldFormClosed();
    void Timer2Timer();
    // "Parameters" > "Reset Camera" (and Home): the camera, projection distance and scale as
    // the load placed them, the motion keys stopped.
    void Resetcamera1Click();
    // File > "Save Picture...": the shown view as a PNG file, through the save-file dialog.
    void Savepicture1Click();

    // "Parameters" > "Smooth Motion": the key motion timer ticks SMOOTH_MOTION_PARTS times as
    // often and each tick's steps are split among the sub-ticks; off, the 30 ms ticks.
    static constexpr int KEY_MOTION_INTERVAL = 30;  // ms
    static constexpr int SMOOTH_MOTION_PARTS = 2;
    void Smoothmotion1Click() { SetSmoothMotion(!smoothMotion_); }
    void SetSmoothMotion(bool on);
    bool SmoothMotion() const { return smoothMotion_; }

    // Measuring and following. Ctrl+click adds the atom under the point to the measurement, or
    // clears it on empty space; Esc clears it. "Follow Selection" (F) moves the camera with the
    // selected molecule: FollowStep, the first step of every render pass, moves it by the
    // molecule's displacement since the last pass, which only a newly placed frame makes.
    void MeasureClick(int x, int y);
    void ClearMeasurement();
    const Measurement& Measured() const { return measure_; }
    void Followselection1Click();
    bool Following() const { return follow_.On; }
    void FollowStep();

  private:
    // Panel 2 after a workspace reset: no molecule selected.
    void ShowNoSelection();
    void ShowSelection(const std::string& text);
    void StartPlayback(bool forward);
    void SetTimer1(bool on);
    // The second half of a load: the read workspace replaces the shown one.
    void AdoptStaged(const Workspace& staged, const WorkspacePaths& paths,
                     const std::optional<std::string>& fontScaleText, const LoadLog* log);
    void FinishLoad();
    void RecreateLabelFont();
    void ShowRayTracingPage();
    void OpenTrajectory(const WorkspacePaths& paths);
    // Step of the render pass: records the shown picture when a movie frame is due.
    void RecordingHandOff();
    // The scene's part of the render pass onto the canvas, from the projection to the
    // measurement, over the visible rectangle filled with the background.
    void DrawScene();
    // The selectable atom under the client point, by the rule of a click.
    std::optional<AtomRef> AtomAt(int x, int y) const;
    // Step of the render pass, after the scene: the measurement's lines and value.
    void DrawMeasurement();
    void StopFollowing();
    // Completes and closes the open movie, if any, and drops the recording bitmap; false when
    // completing it failed.
    bool FinishRecording();

    ViewerHost& host_;
    std::unique_ptr<Workspace> ws_;
    ParamFormState form_;
    SceneBitmap scene_;
    std::unique_ptr<Canvas> canvas_;
    SceneRenderer renderer_;
    CubeOverlay cube_;
    PhotoRenderer photo_;
    std::string fontFace_ = "Arial Cyr";
    FontSpec labelFont_;
    FontSpec axisFont_;
    TrajectoryFile trajectory_;
    FrameCache frameCache_;
    bool timer1On_ = false;
    int timer1Interval_ = 30;
    std::string aviFileName_;
    // Where the load placed the camera, for Reset Camera.
    CameraFrame loadedCamera_;
    ProjectionParams loadedProjection_;
    std::unique_ptr<MovieWriter> activeMovie_;
    std::unique_ptr<DibBitmap> recordBitmap_;
    int recordSmooth_ = 1;  // "Smooth edges" as the recording started
    Measurement measure_;
    bool measureShown_ = false;  // panel 0 holds a measurement's text
    struct {
        bool On = false;
        int Molecule = -1;  // whose mass centre Last is
        Vec3 Last;
    } follow_;
    std::unique_ptr<Workspace> staged_;  // what a load reads into
    // What the last load read, while staged_ still holds it.
    struct StagedLoad {
        std::string Chosen;
        std::optional<std::string> FontScaleText;
    };
    std::optional<StagedLoad> stagedLoad_;
    bool smoothMotion_ = false;
    KeyMotionSubSteps keySubSteps_{SMOOTH_MOTION_PARTS};
};

}  // namespace tarsel
