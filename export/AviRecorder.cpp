#include "export/AviRecorder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tarsel {

std::unique_ptr<AviRecorder> OpenRecorder(const std::string& path, std::int32_t framePeriod,
                                          AviLimits limits, int* error) {
    std::unique_ptr<AviFile> file = AviFile::Create(path, limits, error);
    if (!file) return nullptr;
    auto recorder = std::make_unique<AviRecorder>();
    recorder->file = std::move(file);
    recorder->path = path;
    recorder->framePeriod = framePeriod;
    return recorder;
}

std::uint32_t AppendFrame(AviRecorder* recorder, const DibBitmap* bitmap) {
    if (recorder == nullptr) return AVIERR_BADHANDLE;
    if (bitmap == nullptr || bitmap->Empty()) return AVIERR_BADPARAM;
    if (recorder->failed) return AVIERR_ERROR;
    const BitmapInfoHeader& header = bitmap->Header();
    AviFile& file = *recorder->file;
    const auto fail = [&] {
        recorder->failed = true;
        recorder->systemError = file.Error();
        return AVIERR_FILEWRITE;
    };
    if (!recorder->stream) {
        AviVideoStream s;
        s.Scale = static_cast<std::uint32_t>(recorder->framePeriod > 0 ? recorder->framePeriod : 1);
        s.Rate = 1000;
        s.SuggestedBufferSize = header.biSizeImage;
        s.Format = header;
        if (!file.WriteHeaders(s)) return fail();
        recorder->stream = true;
        recorder->format = header;
    } else if (header.biWidth != recorder->format.biWidth ||
               header.biHeight != recorder->format.biHeight) {
        // A frame of another size would be read as garbage by every player.
        return AVIERR_BADSIZE;
    }
    if (!file.WriteFrame(bitmap->Bits(), header.biSizeImage)) return fail();
    ++recorder->frameCount;
    return AVIERR_OK;
}

std::uint32_t CloseRecorder(std::unique_ptr<AviRecorder>& recorder, int* error) {
    if (!recorder) return AVIERR_BADHANDLE;
    const bool failedBefore = recorder->failed;
    const bool finished = recorder->file->Finish();
    const int systemError = recorder->file->Error();
    const bool empty = !recorder->stream;
    const std::string path = recorder->path;
    recorder.reset();
    // Without its headers (no frame, or no room even for them) no reader takes the file. Only
    // a regular file: a recording to a device (/dev/full) leaves the device alone.
    struct stat st {};
    if (empty && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::unlink(path.c_str());
    }
    // A write that failed during the recording was reported by AppendFrame already.
    if (!finished && !failedBefore) {
        if (error != nullptr) *error = systemError;
        return AVIERR_FILEWRITE;
    }
    return AVIERR_OK;
}

}  // namespace tarsel
