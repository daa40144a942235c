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
    MovieSettings settings;
    // The viewer's movie must keep up with playback.
    settings.Realtime = true;
    StartRecording(movieFileName, settings);
}

void Viewer::StartRecording(const std::string& movieFileName, const MovieSettings& settings) {
    Workspace& ws = *ws_;
    // A recording still open (a second Play after "Stop") is completed before the new one
    // replaces its file.
    const std::int32_t replaced = activeMovie_ ? activeMovie_->FrameCount() : 0;
    const std::string replacedFile = activeMovie_ ? aviFileName_ : std::string();
    FinishRecording();
    ws.LastRecordedTime = ws.CurrentTime;
    // Beside the workspace, named like it: "tarsel.avi" before any load.
    const int chosen = form_.MovieFormatComboBox;
    const MovieFormat format =
        chosen >= 1 && chosen <= 4 ? static_cast<MovieFormat>(chosen) : MovieFormat::Avi;
    aviFileName_ = movieFileName.empty()
                       ? DeriveWorkspacePaths(form_.WorkspaceFileName).Base + MovieEnding(format)
                       : movieFileName;
    const ViewSize size = host_.DrawingAreaSize();
    recordBitmap_ = std::make_unique<DibBitmap>(size.Width, size.Height);
    recordSmooth_ = SmoothEdges();
    MovieSettings padded = settings;
    padded.Pad = ws.BackgroundColour;
    std::string problem;
    activeMovie_ = OpenMovie(aviFileName_, padded, &problem);
    // Where the frames go, and that the frames of the movie just completed are lost when it
    // is the same file.
    const std::string name = std::filesystem::path(aviFileName_).filename().string();
    host_.SetStatusText(
        1, !activeMovie_ ? std::string(kKeysHint)
           : replaced > 0 && replacedFile == aviFileName_
               ? CFormat("Recording %s anew: %d frames replaced", name.c_str(), replaced)
               : "Recording " + name);
    if (!activeMovie_) {
        StopRecording();
        host_.ShowMessage(
            CFormat("Can't create the movie \"%s\": %s.", aviFileName_.c_str(), problem.c_str()),
            "Error");
    }
}

void Viewer::CopyShownPicture(DibBitmap& to) const {
    tarsel::CopyShownPicture(scene_, ws_->VisibleRect, ws_->BackgroundColour, to);
}

void Viewer::RecordingHandOff() {
    Workspace& ws = *ws_;
    // With sub-frames every played step is due: in-between times are that much closer.
    const double step = ws.FrameTime / std::clamp(ws.SubFrames, 1, MAX_SUB_FRAMES);
    if (!recordBitmap_ || !FrameDue(ws.PlayForward, ws.CurrentTime, ws.LastRecordedTime, step)) {
        return;
    }
    SetTimer1(false);
    // The movie has the size of the view: a view that changed size between the start and the
    // first frame (the size grip going as the border is fixed) gets a bitmap of its new size.
    if (activeMovie_ && activeMovie_->FrameCount() == 0 &&
        (recordBitmap_->Width() != ws.ViewWidth || recordBitmap_->Height() != ws.ViewHeight) &&
        ws.ViewWidth > 0 && ws.ViewHeight > 0) {
        recordBitmap_ = std::make_unique<DibBitmap>(ws.ViewWidth, ws.ViewHeight);
    }
    CopyRecordedPicture(*recordBitmap_);
    RecordPicture(*recordBitmap_);
    ws.LastRecordedTime = ws.CurrentTime;
    SetTimer1(true);
}

void Viewer::RecordPicture(const DibBitmap& picture) {
    if (!activeMovie_) return;
    if (activeMovie_->Append(picture) != AVIERR_FILEWRITE) return;
    // One message, not one per frame: the recording ends here with the frames it has.
    const std::string why = activeMovie_->Failure();
    const std::int32_t frames = activeMovie_->FramesKept();
    StopRecording();
    host_.ShowMessage(CFormat("Recording stopped: can't write to \"%s\": %s.\nThe movie "
                              "keeps the %d frames recorded before.",
                              aviFileName_.c_str(), why.c_str(), frames),
                      "Error");
}

bool Viewer::FinishRecording() {
    recordBitmap_.reset();
    if (!activeMovie_) return true;
    std::string problem;
    const std::uint32_t result = activeMovie_->Close(&problem);
    activeMovie_.reset();
    if (result == AVIERR_FILEWRITE) {
        host_.ShowMessage(
            CFormat("Can't complete the movie \"%s\": %s.", aviFileName_.c_str(), problem.c_str()),
            "Error");
        return false;
    }
    return true;
}

bool Viewer::StopRecording() {
    const bool recording = activeMovie_ != nullptr;
    const bool completed = FinishRecording();
    if (recording) host_.SetStatusText(1, kKeysHint);
    ws_->RecordAvi = false;
    form_.SaveAVICheckBox = false;
    host_.ParamFormChanged(ParamControl::SaveAVICheckBox);
    return completed;
}

}  // namespace tarsel
