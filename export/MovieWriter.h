#pragma once

// A movie being written, whatever its format. The viewer's recording and the tool's movie
// command hand their frames to one of these; the file name's ending chooses the format.

#include <cstdint>
#include <memory>
#include <string>

#include "export/AviRecorder.h"
#include "export/DibBitmap.h"
#include "workspace/Workspace.h"

namespace tarsel {

enum class MovieFormat { Avi, Mp4, WebM, Gif, PngSeries, Unknown };

// The endings the movie writers know, for messages.
inline constexpr const char* KNOWN_MOVIE_ENDINGS =
    ".avi, .mp4, .webm, .gif, or .png with %d-style digits in the name (frames/f%05d.png)";

// The format a file name asks for: by its ending (in any case), or a numbered PNG series when
// the name holds one printf-style "%d" or "%0Nd" and ends in .png.
MovieFormat MovieFormatOf(const std::string& path);

// ".avi", ".mp4", ".webm", ".gif" and "%05d.png": what a movie of that format is named with.
const char* MovieEnding(MovieFormat format);

// How an encoded movie is made; the AVI takes none of it and keeps its 1000/30 frames a second.
struct MovieSettings {
    // Frames a second as a fraction; 1000/30 unless told.
    int RateNum = 1000;
    int RateDen = 30;
    // Constant quality of MP4 (x264's scale, 18 is visually lossless) and WebM (VP9's).
    int Crf = -1;  // the format's own default: 18 for MP4, 32 for WebM
    // Fast enough to keep up with playback, for recording from the viewer.
    bool Realtime = false;
    // The colour of the column or row that pads an odd size for yuv420p.
    Rgb Pad{};
};

// One open movie. Frames must all have the size of the first.
class MovieWriter {
  public:
    virtual ~MovieWriter() = default;
    // Adds one frame, with the recorder's result codes: AVIERR_BADSIZE for a frame of another
    // size (left out), AVIERR_ERROR once a write has failed, AVIERR_FILEWRITE for the write
    // that fails, after which Failure() says why.
    virtual std::uint32_t Append(const DibBitmap& frame) = 0;
    // Completes the file; AVIERR_FILEWRITE with the reason in *problem when that fails.
    virtual std::uint32_t Close(std::string* problem) = 0;
    // Frames in the file, or in the encoder on their way to it.
    virtual std::int32_t FrameCount() const = 0;
    // The frames a player still finds in the file after a failed write.
    virtual std::int32_t FramesKept() const { return FrameCount(); }
    virtual std::string Failure() const = 0;
    // The AVI recorder underneath, for the AVI; nothing for the encoded formats.
    virtual const AviRecorder* Avi() const { return nullptr; }
};

// Opens a movie of the format path names. Nothing when it cannot be made, with the reason in
// *problem (the file cannot be created, the encoder is missing from this FFmpeg).
std::unique_ptr<MovieWriter> OpenMovie(const std::string& path, const MovieSettings& settings,
                                       std::string* problem);

}  // namespace tarsel
