#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "workspace/Workspace.h"

namespace tarsel {

// Byte offset of frame n in a trajectory of frames of moleculeCount records; 64-bit, so runs
// beyond 2 GiB play to their end.
constexpr std::int64_t FrameOffset(std::int32_t frame, std::int32_t moleculeCount) {
    return static_cast<std::int64_t>(sizeof(MoleculePose)) * moleculeCount * frame;
}

// Whole frames in a file of fileSize bytes; a trailing partial frame does not count. A workspace
// without molecules has frames of no size and counts no frames.
std::int32_t ComputeFrameCount(std::int64_t fileSize, std::int32_t moleculeCount);

// The open binary trajectory stream (the `fpMotion` of the main window).
class TrajectoryFile {
  public:
    TrajectoryFile() = default;

    // Opens path for binary reading; false (and closed) when it cannot be opened or is not a
    // regular file.
    bool Open(const std::string& path);
    void Close() { file_.reset(); }
    bool IsOpen() const { return file_ != nullptr; }

    // Size in bytes, found by positioning the stream at its end; -1 when closed or unknown.
    std::int64_t Size();
    // Positions the stream; false when the seek fails (the error indicator is not set by that).
    bool Seek(std::int64_t offset);
    // The stream's error indicator, which a failed read sets and a seek does not clear.
    bool Error() const;
    // Reads up to count bytes into dst; returns the number of bytes read.
    std::size_t Read(void* dst, std::size_t count);

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace tarsel
