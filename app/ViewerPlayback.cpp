// The viewer's trajectory operations: reading a frame, the playback buttons and timer, and the
// text export of one frame.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/Viewer.h"
#include "export/FrameText.h"
#include "export/SafeFile.h"
#include "trajectory/Frames.h"
#include "workspace/CText.h"

namespace tarsel {

namespace {

constexpr int kMaxFrameBoxText = 90;  // room left in a 100-character name by "frame" and ".txt"

}  // namespace

void Viewer::SetTimer1(bool on) {
    timer1On_ = on;
    host_.SetTimer1(on, timer1Interval_);
}

void Viewer::ReadFrame(std::int32_t n) {
    Workspace& ws = *ws_;
    // Callers pass 0..FrameCount; a negative frame has no place in the file.
    if (n > ws.FrameCount || n < 0) return;
    ws.CurrentTime = n * ws.FrameTime;
    form_.FrameNumberEdit = std::to_string(n);
    host_.ParamFormChanged(ParamControl::FrameNumberEdit);
    // Without a trajectory the time, the frame box and the bar still follow, but no stream is
    // touched: the molecules stay where the workspace put them.
    const bool streamOpen = trajectory_.IsOpen();
    if (streamOpen) {
        trajectory_.Seek(FrameOffset(n, ws.MoleculeCount()));
        if (trajectory_.Error()) {
            // Nothing clears the error: stop playback rather than raise a box on every tick.
            if (timer1On_) SetTimer1(false);
            host_.ShowMessage("fseek fpMotion error!", "Error");
        }
    }
    form_.TrackBar1 = TrackBarPosition(n, ws.FrameCount);
    host_.ParamFormChanged(ParamControl::TrackBar1);
    if (streamOpen) {
        // While in-betweens play, whole frames come through the cache too: each is read once.
        if (ws.SubFrames <= 1 || !PlaceInBetween(ws, frameCache_, trajectory_, n, 0.0)) {
            if (ws.SubFrames > 1) trajectory_.Seek(FrameOffset(n, ws.MoleculeCount()));
            ReadPoses(trajectory_, ws);
            PlaceActiveMolecules(ws);
        }
    }
    RenderScene();
}

void Viewer::ReadFrameAt(std::int32_t f, double t) {
    if (!(t > 0)) {
        ReadFrame(f);
        return;
    }
    Workspace& ws = *ws_;
    if (f > ws.FrameCount || f < 0) return;
    ws.CurrentTime = (f + t) * ws.FrameTime;
    form_.FrameNumberEdit = std::to_string(f);
    host_.ParamFormChanged(ParamControl::FrameNumberEdit);
    const bool streamOpen = trajectory_.IsOpen();
    if (streamOpen && trajectory_.Error()) {
        if (timer1On_) SetTimer1(false);
        host_.ShowMessage("fseek fpMotion error!", "Error");
    }
    form_.TrackBar1 = TrackBarPosition(f, ws.FrameCount);
    host_.ParamFormChanged(ParamControl::TrackBar1);
    // Frames the file cannot supply leave the molecules where they are.
    if (streamOpen) PlaceInBetween(ws, frameCache_, trajectory_, f, t);
    RenderScene();
}

void Viewer::StartPlayback(bool forward) {
    Workspace& ws = *ws_;
    ApplySettings();
    if (ws.RecordAvi) StartRecording();
    ws.LastProgrammeTime = ws.CurrentTime;
    ws.PlayForward = forward;
    timer1Interval_ = CAtol(form_.FrameTimerEdit);
    SetTimer1(true);
}

void Viewer::Button2Click() {
    StartPlayback(true);
}

void Viewer::Button6Click() {
    StartPlayback(false);
}

void Viewer::Button3Click() {
    SetTimer1(false);
}

void Viewer::Button4Click() {
    ApplySettings();
    const std::int64_t a = static_cast<std::int64_t>(ws_->CurrentFrame) + 1;
    if (a <= ws_->FrameCount) {
        ReadFrame(static_cast<std::int32_t>(a));
        ws_->CurrentFrame = static_cast<std::int32_t>(a);
        ws_->CurrentSubFrame = 0;
    }
}

void Viewer::Button5Click() {
    ApplySettings();
    const std::int64_t a = static_cast<std::int64_t>(ws_->CurrentFrame) - 1;
    if (a >= 0) {
        ReadFrame(static_cast<std::int32_t>(a));
        ws_->CurrentFrame = static_cast<std::int32_t>(a);
        ws_->CurrentSubFrame = 0;
    }
}

void Viewer::Button1Click() {
    ApplySettings();
    const std::int32_t a = CAtol(form_.FrameNumberEdit);
    if (a >= 0 && a <= ws_->FrameCount) {
        ReadFrame(a);
        ws_->CurrentFrame = a;
        ws_->CurrentSubFrame = 0;
    }
}

void Viewer::TrackBar1Change(int position) {
    form_.TrackBar1 = position;
    const std::int32_t a = TrackBarFrame(position, ws_->FrameCount);
    form_.FrameNumberEdit = std::to_string(a);
    host_.ParamFormChanged(ParamControl::FrameNumberEdit);
    ws_->CurrentFrame = a;
    ws_->CurrentSubFrame = 0;
}

void Viewer::Timer1Timer() {
    Workspace& ws = *ws_;
    // Positions count steps of 1/k frame; with k = 1 they are the frame numbers. In 64 bits:
    // the last frame of a run may be the largest 32-bit number.
    const std::int64_t k = std::clamp(ws.SubFrames, 1, MAX_SUB_FRAMES);
    const std::int64_t sub = k > 1 ? std::clamp<std::int64_t>(ws.CurrentSubFrame, 0, k - 1) : 0;
    ReadFrameAt(ws.CurrentFrame, static_cast<double>(sub) / static_cast<double>(k));
    std::int64_t next = std::int64_t{ws.CurrentFrame} * k + sub + (ws.PlayForward ? 1 : -1);
    // An in-between needs the frame after it: forward playback ends on the last whole frame,
    // and backward playback from the end goes on from there.
    const std::int64_t lastWhole = (std::int64_t{ws.FrameCount} - 1) * k;
    if (!ws.PlayForward) next = std::min(next, lastWhole);
    if (next > lastWhole) {
        SetTimer1(false);
        ws.CurrentFrame = ws.FrameCount;
        ws.CurrentSubFrame = 0;
        if (ws.RecordAvi) StopRecording();
    } else {
        const std::int64_t frame = next >= 0 ? next / k : (next - (k - 1)) / k;
        ws.CurrentFrame = static_cast<std::int32_t>(std::max<std::int64_t>(frame, INT32_MIN));
        ws.CurrentSubFrame = static_cast<std::int32_t>(next - frame * k);
    }
    if (std::int64_t{ws.CurrentFrame} * k + ws.CurrentSubFrame <= 0) {
        SetTimer1(false);
        ws.CurrentFrame = 0;
        ws.CurrentSubFrame = 0;
        if (ws.RecordAvi) StopRecording();
    }
}

void Viewer::Button7Click() {
    ExportFrameText(CAtol(form_.FrameNumberEdit));
}

bool Viewer::ExportFrameText(std::int32_t n, const std::string& fileName, std::string* writeError) {
    Workspace& ws = *ws_;
    // Without a trajectory every frame number is past its end: the box says why nothing is saved.
    if (n > ws.FrameCount && trajectory_.IsOpen()) return false;
    const std::string& box = form_.FrameNumberEdit;
    if (n < 0) {
        host_.ShowMessage(CFormat("Frame %d does not exist: frames are numbered from 0.", n),
                          "Error");
        return false;
    }
    if (fileName.empty() && (box.size() > kMaxFrameBoxText || box.find('/') != std::string::npos)) {
        host_.ShowMessage(
            "The frame box must hold a frame number (at most 90 characters, no "
            "'/') to make the file name.",
            "Error");
        return false;
    }
    if (!trajectory_.IsOpen()) {
        host_.ShowMessage("No trajectory is open: there is no frame to save.", "Error");
        return false;
    }
    const std::string path = fileName.empty() ? FrameTextFileName(box) : fileName;
    // The file appears whole or not at all; the trajectory is read only once it could be made.
    const FileWriteResult result = WriteFileSafely(path, [&](std::FILE* out) -> std::string {
        trajectory_.Seek(FrameOffset(n, ws.MoleculeCount()));
        if (trajectory_.Error()) host_.ShowMessage("fseek fpMotion error!", "Error");
        ReadPoses(trajectory_, ws);
        const std::string text =
            FrameText(ws.WorkspaceBasePath, ws.Poses.data(), ws.MoleculeCount());
        std::fwrite(text.data(), 1, text.size(), out);
        return {};
    });
    if (result.Ok()) {
        // The name first: a long folder is what the panel cuts off.
        const std::filesystem::path written = std::filesystem::absolute(path);
        host_.SetStatusText(1, CFormat("Saved %s in %s", written.filename().c_str(),
                                       written.parent_path().c_str()));
        return true;
    }
    if (writeError != nullptr) {
        *writeError = result.Error;
    } else if (result.NotCreated) {
        host_.ShowMessage("Can't open file!", "Error");
    } else {
        host_.ShowMessage(
            CFormat("Could not write all of %s: %s.", path.c_str(), result.Reason.c_str()),
            "Error");
    }
    return false;
}

}  // namespace tarsel
