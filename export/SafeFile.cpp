#include "export/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarsel {

namespace {

FileWriteResult Failure(const std::string& path, const std::string& reason, bool notCreated) {
    FileWriteResult r;
    r.Error = "can't write \"" + path + "\": " + reason;
    r.Reason = reason;
    r.NotCreated = notCreated;
    return r;
}

std::string ErrnoText(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

// Runs the writer and flushes; the reason of the first failure, or nothing.
std::string WriteAndFlush(std::FILE* f, const FileWriter& write) {
    errno = 0;
    std::string reason = write(f);
    if (reason.empty() && (std::fflush(f) != 0 || std::ferror(f) != 0)) reason = ErrnoText(errno);
    return reason;
}

// Devices and pipes cannot be replaced by a renamed file: they are written as they are.
FileWriteResult WriteInPlace(const std::string& path, const FileWriter& write) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return Failure(path, ErrnoText(errno), true);
    std::string reason = WriteAndFlush(f, write);
    if (std::fclose(f) != 0 && reason.empty()) reason = ErrnoText(errno);
    return reason.empty() ? FileWriteResult{} : Failure(path, reason, false);
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileWriteResult WriteFileSafely(const std::string& path, const FileWriter& write) {
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Failure(path, ErrnoText(EISDIR), true);
    if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(path, write);
    // A file that could not be opened for writing is not replaced behind its back either.
    if (exists && access(path.c_str(), W_OK) != 0) return Failure(path, ErrnoText(errno), true);

    // ".NAME.XXXXXX" beside the file, hidden while it is being written.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + "." + name.substr(0, 200) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return Failure(path, ErrnoText(errno), true);
    // mkstemp makes the file private; the result gets the rights of a file made the usual way,
    // or those of the file it replaces.
    fchmod(fd, exists ? (st.st_mode & 07777) : NewFileMode());
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        return Failure(path, ErrnoText(error), true);
    }
    std::string reason = WriteAndFlush(f, write);
    if (reason.empty() && fsync(fileno(f)) != 0) reason = ErrnoText(errno);
    if (std::fclose(f) != 0 && reason.empty()) reason = ErrnoText(errno);
    if (reason.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
        reason = ErrnoText(errno);
    }
    if (reason.empty()) return {};
    unlink(temporary.c_str());
    return Failure(path, reason, false);
}

FileWriteResult WriteFileSafely(const std::string& path, std::string_view bytes) {
    return WriteFileSafely(path, [bytes](std::FILE* f) -> std::string {
        if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return ErrnoText(errno);
        return {};
    });
}

}  // namespace tarsel
