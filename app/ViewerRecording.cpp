// The viewer's movie recording: opening and closing the movie and the frame hand-off of the
// render pass, which records what the window shows.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "app/Viewer.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr std::int32_t kFramePeriodMs = 30;
// Status panel 1 as the viewer starts; it names the movie while one is recorded.
constexpr const char* kKeysHint = "Use: W,S,A,D,Q,E,Arrows";

// What the window shows of the visible rectangle, into the recording bitmap: the part of the
// view that lies beyond the scene bitmap shows the background, as in the window.
void CopyShownPicture(const SceneBitmap& scene, const Rect& visible, Rgb outside, DibBitmap& to) {
    const int w = std::min(visible.Width(), to.Width());
    const int h = std::min(visible.Height(), to.Height());
    if (w <= 0 || h <= 0) return;
    const Rect wanted{visible.Left, visible.Top, visible.Left + w, visible.Top + h};
    const Rect on = ClipToScene(wanted);
    const QImage& image = scene.Image();
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = to.Row(y);
        if (on != wanted) {
            for (int x = 0; x < w; ++x) {
                row[3 * x] = static_cast<std::uint8_t>(outside.B);
                row[3 * x + 1] = static_cast<std::uint8_t>(outside.G);
                row[3 * x + 2] = static_cast<std::uint8_t>(outside.R);
            }
        }
        const int sceneY = visible.Top + y;
        if (sceneY >= on.Top && sceneY < on.Bottom) {
            std::memcpy(row + 3 * (on.Left - visible.Left),
                        image.constScanLine(sceneY) + 3 * on.Left,
                        3 * static_cast<std::size_t>(on.Width()));
        }
    }
}

// A frame is due once the time has moved on by a frame time in the playing direction. Frame
// n's time n x FrameTime can miss (n - 1) x FrameTime + FrameTime by a rounding step (for 0.1,
// one frame in five), so the comparison allows a billionth of the times compared.
bool FrameDue(bool forward, double current, double last, double frameTime) {
    const double slack = 1e-9 * (std::fabs(last) + std::fabs(frameTime));
    return forward ? current >= last + frameTime - slack : current <= last - frameTime + slack;
}

}  // namespace

void Viewer::StartRecording(const std::string& movieFileName) {
    Workspace& ws = *ws_;
    // A recording still open (a second Play after "Stop") is completed before the new one
    // replaces its file.
    const std::int32_t replaced = activeRecorder_ ? activeRecorder_->frameCount : 0;
    const std::string replacedFile = activeRecorder_ ? aviFileName_ : std::string();
    FinishRecording();
    ws.LastRecordedTime = ws.CurrentTime;
    // Beside the workspace, named like it: "tarsel.avi" before any load.
    aviFileName_ = movieFileName.empty()
                       ? DeriveWorkspacePaths(form_.WorkspaceFileName).Base + ".avi"
                       : movieFileName;
    const ViewSize size = host_.DrawingAreaSize();
    recordBitmap_ = std::make_unique<DibBitmap>(size.Width, size.Height);
    int error = 0;
    activeRecorder_ = OpenRecorder(aviFileName_, kFramePeriodMs, {}, &error);
    // Where the frames go, and that the frames of the movie just completed are lost when it
    // is the same file.
    const std::string name = std::filesystem::path(aviFileName_).filename().string();
    host_.SetStatusText(
        1, !activeRecorder_ ? std::string(kKeysHint)
           : replaced > 0 && replacedFile == aviFileName_
               ? CFormat("Recording %s anew: %d frames replaced", name.c_str(), replaced)
               : "Recording " + name);
    if (!activeRecorder_) {
        StopRecording();
        host_.ShowMessage(CFormat("Can't create the movie \"%s\": %s.", aviFileName_.c_str(),
                                  std::strerror(error)),
                          "Error");
    }
}

void Viewer::RecordingHandOff() {
    Workspace& ws = *ws_;
    if (!recordBitmap_ ||
        !FrameDue(ws.PlayForward, ws.CurrentTime, ws.LastRecordedTime, ws.FrameTime)) {
        return;
    }
    SetTimer1(false);
    // The movie has the size of the view: a view that changed size between the start and the
    // first frame (the size grip going as the border is fixed) gets a bitmap of its new size.
    if (activeRecorder_ && activeRecorder_->frameCount == 0 && !activeRecorder_->stream &&
        (recordBitmap_->Width() != ws.ViewWidth || recordBitmap_->Height() != ws.ViewHeight) &&
        ws.ViewWidth > 0 && ws.ViewHeight > 0) {
        recordBitmap_ = std::make_unique<DibBitmap>(ws.ViewWidth, ws.ViewHeight);
    }
    CopyShownPicture(scene_, ws.VisibleRect, ws.BackgroundColour, *recordBitmap_);
    const std::uint32_t result = AppendFrame(activeRecorder_.get(), recordBitmap_.get());
    ws.LastRecordedTime = ws.CurrentTime;
    if (result == AVIERR_FILEWRITE) {
        // One message, not one per frame: the recording ends here with the frames it has.
        const int error = activeRecorder_->systemError;
        const std::int32_t frames = activeRecorder_->frameCount;
        StopRecording();
        host_.ShowMessage(CFormat("Recording stopped: can't write to \"%s\": %s.\nThe movie "
                                  "keeps the %d frames recorded before.",
                                  aviFileName_.c_str(), std::strerror(error), frames),
                          "Error");
    }
    SetTimer1(true);
}

bool Viewer::FinishRecording() {
    recordBitmap_.reset();
    if (!activeRecorder_) return true;
    int error = 0;
    if (CloseRecorder(activeRecorder_, &error) == AVIERR_FILEWRITE) {
        host_.ShowMessage(CFormat("Can't complete the movie \"%s\": %s.", aviFileName_.c_str(),
                                  std::strerror(error)),
                          "Error");
        return false;
    }
    return true;
}

bool Viewer::StopRecording() {
    const bool recording = activeRecorder_ != nullptr;
    const bool completed = FinishRecording();
    if (recording) host_.SetStatusText(1, kKeysHint);
    ws_->RecordAvi = false;
    form_.SaveAVICheckBox = false;
    host_.ParamFormChanged(ParamControl::SaveAVICheckBox);
    return completed;
}

}  // namespace tarsel
