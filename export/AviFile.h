#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/DibBitmap.h"

namespace tarsel {

// The one video stream of a movie: its time base and the format of every frame.
struct AviVideoStream {
    std::uint32_t Scale = 30;  // frame rate = Rate / Scale
    std::uint32_t Rate = 1000;
    std::uint32_t SuggestedBufferSize = 0;
    BitmapInfoHeader Format;
};

// Where a movie goes on in a new RIFF part (OpenDML): the first part stays below 1 GiB, so
// that readers of plain AVI see a complete movie of its frames; later parts follow in
// 'AVIX' parts of the same size.
struct AviLimits {
    std::uint64_t RiffSize = std::uint64_t{1} << 30;  // largest part, its indexes included
    std::uint32_t SuperIndexEntries = 1024;           // room for parts, reserved in the header
};

// A RIFF/AVI file with one uncompressed video stream of key frames. The headers are on disk
// before the first frame, and the sizes and frame counts in them are brought up to date after
// every frame, so that a file cut off by a crash or a kill still reads without its index.
// Finish writes the indexes: 'idx1' for a movie within one part; past it, a standard index
// 'ix00' per part and the super index 'indx' in the stream header, with the total frame
// count in 'dmlh'.
class AviFile {
  public:
    // Creates the file, or empties an existing one. Nothing and the errno when it cannot.
    static std::unique_ptr<AviFile> Create(const std::string& path, AviLimits limits, int* error);
    ~AviFile();
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    // Each returns false after any failure; Error() then tells the errno of the first.
    bool WriteHeaders(const AviVideoStream& stream);
    bool WriteFrame(const std::uint8_t* data, std::uint32_t size);
    // Writes the indexes, completes the headers and closes the file. Called by the destructor
    // when it was not called before.
    bool Finish();

    int Error() const { return error_; }
    std::uint32_t FrameCount() const { return totalFrames_; }
    int PartCount() const { return part_ + 1; }

  private:
    struct Chunk {
        std::uint64_t Position;  // of the chunk's header
        std::uint32_t Size;      // of its data
    };
    struct PartIndex {
        std::uint64_t Position;  // of the part's 'ix00'
        std::uint32_t Size;      // of the whole 'ix00' chunk
        std::uint32_t Frames;
    };

    AviFile(int fd, AviLimits limits);
    bool Fail(int error);
    bool WriteAt(std::uint64_t position, const void* data, std::size_t size);
    bool Patch32(std::uint64_t position, std::uint32_t value);
    std::uint64_t IndexRoom(std::size_t frames) const;
    bool UpdateCounts();
    // Writes the part's indexes and final sizes; with openDml its 'ix00' and super index entry.
    bool CloseCurrentPart(bool openDml);
    bool WriteSuperIndex();
    bool StartNextPart();

    int fd_;
    AviLimits limits_;
    int error_ = 0;
    bool headersWritten_ = false;
    bool finished_ = false;
    bool partClosed_ = false;
    int part_ = 0;
    std::uint64_t end_ = 0;  // end of the last complete item
    std::uint64_t riffStart_ = 0;
    std::uint64_t moviStart_ = 0;  // of the current part's 'LIST' 'movi'
    std::uint64_t avihFlagsAt_ = 0, avihFramesAt_ = 0, strhLengthAt_ = 0, dmlhFramesAt_ = 0;
    std::uint64_t superIndexAt_ = 0;
    std::uint32_t totalFrames_ = 0;
    std::vector<Chunk> partFrames_;
    std::vector<PartIndex> parts_;
};

}  // namespace tarsel
