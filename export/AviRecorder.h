#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "export/AviFile.h"
#include "export/DibBitmap.h"

namespace tarsel {

// Result codes of the recorder (the AVI error codes of the same names).
inline constexpr std::uint32_t AVIERR_OK = 0;
inline constexpr std::uint32_t AVIERR_BADPARAM = 0x8004406A;
inline constexpr std::uint32_t AVIERR_BADSIZE = 0x8004406B;
inline constexpr std::uint32_t AVIERR_BADHANDLE = 0x8004406C;
inline constexpr std::uint32_t AVIERR_FILEWRITE = 0x8004406E;
inline constexpr std::uint32_t AVIERR_ERROR = 0x800440C7;

// One open movie of uncompressed 24-bit key frames at 1000 / framePeriod frames a second. The
// stream's header and format come from the first frame.
struct AviRecorder {
    std::unique_ptr<AviFile> file;
    std::string path;
    std::int32_t framePeriod = 30;  // milliseconds; the stream's time scale
    bool stream = false;            // the stream's headers are written (by the first frame)
    BitmapInfoHeader format;        // of the first frame, which every later one must match
    std::int32_t frameCount = 0;    // frames written, the index of the next
    bool failed = false;            // set by the first failed write, never cleared
    int systemError = 0;            // the errno of that failure
};

// A new recorder on `path` (created, or emptied when it exists); nothing when the file cannot
// be created, with the errno in *error.
std::unique_ptr<AviRecorder> OpenRecorder(const std::string& path, std::int32_t framePeriod,
                                          AviLimits limits = {}, int* error = nullptr);

// Adds one key frame. AVIERR_BADHANDLE without a recorder; AVIERR_BADPARAM without a bitmap or
// with an empty one; AVIERR_BADSIZE for a bitmap of another size than the first frame (the
// frame is left out, the recording goes on); AVIERR_ERROR once a write has failed; and
// AVIERR_FILEWRITE for the write that fails, which sets `failed`.
std::uint32_t AppendFrame(AviRecorder* recorder, const DibBitmap* bitmap);

// Completes the movie (indexes, sizes, counts; also after a failed write, so that the frames
// written before it stay readable), closes it and destroys the recorder. A movie that never got
// a frame has no headers and no reader takes it: its empty file is removed. AVIERR_BADHANDLE
// without a recorder; AVIERR_FILEWRITE when completing fails, with the errno in *error.
std::uint32_t CloseRecorder(std::unique_ptr<AviRecorder>& recorder, int* error = nullptr);

}  // namespace tarsel
