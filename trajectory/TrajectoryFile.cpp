#include "trajectory/TrajectoryFile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <limits>

namespace tarsel {

std::int32_t ComputeFrameCount(std::int64_t fileSize, std::int32_t moleculeCount) {
    if (moleculeCount <= 0 || fileSize <= 0) return 0;
    const std::int64_t frames = fileSize / FrameOffset(1, moleculeCount);
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(frames, std::numeric_limits<std::int32_t>::max()));
}

bool TrajectoryFile::Open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    // A folder or a device opens too, but has no frames to offer: its size reads as huge and
    // its reads fail. Only a regular file is a trajectory.
    struct stat st {};
    if (file_ && (fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode))) file_.reset();
    return file_ != nullptr;
}

std::int64_t TrajectoryFile::Size() {
    if (!file_) return -1;
    if (fseeko(file_.get(), 0, SEEK_END) != 0) return -1;
    return static_cast<std::int64_t>(ftello(file_.get()));
}

bool TrajectoryFile::Seek(std::int64_t offset) {
    return file_ && fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool TrajectoryFile::Error() const {
    return file_ && std::ferror(file_.get()) != 0;
}

std::size_t TrajectoryFile::Read(void* dst, std::size_t count) {
    return file_ ? std::fread(dst, 1, count, file_.get()) : 0;
}

}  // namespace tarsel
