#include "export/AviFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "export/LittleEndian.h"

namespace tarsel {

namespace {

constexpr std::uint32_t AVIF_HASINDEX = 0x10;
constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;
constexpr std::uint8_t AVI_INDEX_OF_INDEXES = 0;
constexpr std::uint8_t AVI_INDEX_OF_CHUNKS = 1;
constexpr std::uint32_t DMLH_SIZE = 248;
constexpr std::uint64_t STANDARD_INDEX_HEADER = 32;  // 'ix00', its size and 24 bytes of fields
constexpr std::uint64_t SUPER_INDEX_FIELDS = 24;
// Readers take RIFF sizes as signed 32-bit numbers.
constexpr std::uint64_t LARGEST_RIFF = 0x7FFFFFFF;
constexpr std::uint32_t LARGEST_FRAME = 0x7FFFFF00;  // bit 31 of a standard index entry is a flag

std::uint32_t Clamp32(std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFF));
}

}  // namespace

std::unique_ptr<AviFile> AviFile::Create(const std::string& path, AviLimits limits, int* error) {
    // The sizes are written back into the headers: a pipe cannot take that, and opening a FIFO
    // would wait for its reader.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        if (error != nullptr) *error = ESPIPE;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error != nullptr) *error = errno;
        return nullptr;
    }
    limits.RiffSize = std::min(limits.RiffSize, LARGEST_RIFF);
    limits.SuperIndexEntries = std::max<std::uint32_t>(limits.SuperIndexEntries, 1);
    return std::unique_ptr<AviFile>(new AviFile(fd, limits));
}

AviFile::AviFile(int fd, AviLimits limits) : fd_(fd), limits_(limits) {}

AviFile::~AviFile() {
    Finish();
}

bool AviFile::Fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
}

bool AviFile::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(position));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
        position += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool AviFile::Patch32(std::uint64_t position, std::uint32_t value) {
    LittleEndianBytes b;
    b.U32(value);
    return WriteAt(position, b.Data(), b.Size());
}

bool AviFile::WriteHeaders(const AviVideoStream& stream) {
    if (error_ != 0 || headersWritten_) return false;
    const BitmapInfoHeader& f = stream.Format;
    const std::uint32_t scale = std::max<std::uint32_t>(stream.Scale, 1);
    const std::uint32_t rate = std::max<std::uint32_t>(stream.Rate, 1);
    const std::int32_t height = f.biHeight < 0 ? -f.biHeight : f.biHeight;

    LittleEndianBytes h;
    h.Fourcc("RIFF").U32(0).Fourcc("AVI ");
    const std::size_t hdrl = h.Size();
    h.Fourcc("LIST").U32(0).Fourcc("hdrl");
    h.Fourcc("avih").U32(56);
    h.U32(Clamp32((std::uint64_t{1000000} * scale + rate / 2) / rate));  // microseconds per frame
    h.U32(Clamp32(std::uint64_t{stream.SuggestedBufferSize} * rate / scale));  // bytes per second
    h.U32(0);  // padding granularity
    avihFlagsAt_ = h.Size();
    h.U32(0);  // flags: the index flag comes with the index
    avihFramesAt_ = h.Size();
    h.U32(0).U32(0).U32(1);  // total frames, initial frames, streams
    h.U32(stream.SuggestedBufferSize).I32(f.biWidth).I32(height).Zeros(16);

    const std::size_t strl = h.Size();
    h.Fourcc("LIST").U32(0).Fourcc("strl");
    h.Fourcc("strh").U32(56).Fourcc("vids").Fourcc("DIB ");
    h.U32(0).U16(0).U16(0).U32(0);  // flags, priority, language, initial frames
    h.U32(scale).U32(rate).U32(0);  // scale, rate, start
    strhLengthAt_ = h.Size();
    h.U32(0).U32(stream.SuggestedBufferSize).U32(0).U32(0);  // length, buffer, quality, sample
    const auto side = [](std::int32_t v) {
        return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, 0, 0x7FFF));
    };
    h.I16(0).I16(0).I16(side(f.biWidth)).I16(side(height));
    h.Fourcc("strf").U32(40);
    h.U32(f.biSize).I32(f.biWidth).I32(f.biHeight).U16(f.biPlanes).U16(f.biBitCount);
    h.U32(f.biCompression).U32(f.biSizeImage).I32(f.biXPelsPerMeter).I32(f.biYPelsPerMeter);
    h.U32(f.biClrUsed).U32(f.biClrImportant);
    // Room for the super index: a filler chunk that every reader skips until the movie
    // outgrows its first part and the room becomes the 'indx' chunk.
    superIndexAt_ = h.Size();
    const std::uint64_t superIndexSize = SUPER_INDEX_FIELDS + 16ull * limits_.SuperIndexEntries;
    h.Fourcc("JUNK").U32(Clamp32(superIndexSize)).Zeros(superIndexSize);
    h.PatchU32(strl + 4, static_cast<std::uint32_t>(h.Size() - strl - 8));

    h.Fourcc("LIST").U32(4 + 8 + DMLH_SIZE).Fourcc("odml");
    h.Fourcc("dmlh").U32(DMLH_SIZE);
    dmlhFramesAt_ = h.Size();
    h.U32(0).Zeros(DMLH_SIZE - 4);
    h.PatchU32(hdrl + 4, static_cast<std::uint32_t>(h.Size() - hdrl - 8));

    moviStart_ = h.Size();
    h.Fourcc("LIST").U32(4).Fourcc("movi");
    h.PatchU32(4, static_cast<std::uint32_t>(h.Size() - 8));
    if (!WriteAt(0, h.Data(), h.Size())) return false;
    riffStart_ = 0;
    end_ = h.Size();
    headersWritten_ = true;
    return true;
}

std::uint64_t AviFile::IndexRoom(std::size_t frames) const {
    std::uint64_t room = STANDARD_INDEX_HEADER + 8ull * frames;
    if (part_ == 0) room += 8 + 16ull * frames;  // 'idx1'
    return room;
}

bool AviFile::WriteFrame(const std::uint8_t* data, std::uint32_t size) {
    if (error_ != 0) return false;
    if (!headersWritten_ || partClosed_) return Fail(EINVAL);
    if (size > LARGEST_FRAME) return Fail(EFBIG);
    const std::uint64_t chunk = 8 + std::uint64_t{size} + (size & 1);
    if (!partFrames_.empty() &&
        end_ + chunk - riffStart_ + IndexRoom(partFrames_.size() + 1) > limits_.RiffSize) {
        if (!StartNextPart()) return false;
    }
    LittleEndianBytes header;
    header.Fourcc("00db").U32(size);
    static const std::uint8_t pad = 0;
    iovec pieces[3] = {{const_cast<std::uint8_t*>(header.Data()), header.Size()},
                       {const_cast<std::uint8_t*>(data), size},
                       {const_cast<std::uint8_t*>(&pad), size & 1u}};
    // One system call for the whole chunk; a short write goes on piece by piece.
    const ssize_t n = ::pwritev(fd_, pieces, 3, static_cast<off_t>(end_));
    if (n < 0 && errno != EINTR) return Fail(errno);
    std::uint64_t done = n < 0 ? 0 : static_cast<std::uint64_t>(n);
    std::uint64_t at = end_;
    for (const iovec& piece : pieces) {
        if (done >= piece.iov_len) {
            done -= piece.iov_len;
        } else {
            const auto* p = static_cast<const std::uint8_t*>(piece.iov_base);
            if (!WriteAt(at + done, p + done, piece.iov_len - done)) return false;
            done = 0;
        }
        at += piece.iov_len;
    }
    partFrames_.push_back({end_, size});
    end_ += chunk;
    ++totalFrames_;
    return UpdateCounts();
}

bool AviFile::UpdateCounts() {
    return Patch32(riffStart_ + 4, static_cast<std::uint32_t>(end_ - riffStart_ - 8)) &&
           Patch32(moviStart_ + 4, static_cast<std::uint32_t>(end_ - moviStart_ - 8)) &&
           (part_ != 0 || Patch32(avihFramesAt_, totalFrames_)) &&
           Patch32(strhLengthAt_, totalFrames_) && Patch32(dmlhFramesAt_, totalFrames_);
}

bool AviFile::CloseCurrentPart(bool openDml) {
    if (partClosed_) return true;
    // Nothing is taken as done until every write has succeeded, so that Finish can try again
    // after a failure here and write the same bytes to the same places.
    std::uint64_t at = end_;
    LittleEndianBytes b;
    PartIndex entry{};
    if (openDml) {
        // Offsets count from the 'movi' code to the frame's data.
        const std::uint64_t base = moviStart_ + 8;
        b.Fourcc("ix00").U32(static_cast<std::uint32_t>(24 + 8 * partFrames_.size()));
        b.U16(2).U8(0).U8(AVI_INDEX_OF_CHUNKS).U32(static_cast<std::uint32_t>(partFrames_.size()));
        b.Fourcc("00db").U64(base).U32(0);
        for (const Chunk& c : partFrames_)
            b.U32(static_cast<std::uint32_t>(c.Position + 8 - base)).U32(c.Size);
        if (!WriteAt(at, b.Data(), b.Size())) return false;
        entry = {at, static_cast<std::uint32_t>(b.Size()),
                 static_cast<std::uint32_t>(partFrames_.size())};
        at += b.Size();
    }
    const std::uint64_t moviEnd = at;
    if (part_ == 0) {
        // The plain index of the first part: offsets count from the 'movi' code.
        b.Clear();
        b.Fourcc("idx1").U32(static_cast<std::uint32_t>(16 * partFrames_.size()));
        for (const Chunk& c : partFrames_) {
            b.Fourcc("00db").U32(AVIIF_KEYFRAME);
            b.U32(static_cast<std::uint32_t>(c.Position - (moviStart_ + 8))).U32(c.Size);
        }
        if (!WriteAt(at, b.Data(), b.Size())) return false;
        at += b.Size();
    }
    if (!Patch32(moviStart_ + 4, static_cast<std::uint32_t>(moviEnd - moviStart_ - 8)) ||
        !Patch32(riffStart_ + 4, static_cast<std::uint32_t>(at - riffStart_ - 8)) ||
        !Patch32(strhLengthAt_, totalFrames_) || !Patch32(dmlhFramesAt_, totalFrames_)) {
        return false;
    }
    if (part_ == 0 &&
        (!Patch32(avihFramesAt_, totalFrames_) || !Patch32(avihFlagsAt_, AVIF_HASINDEX))) {
        return false;
    }
    if (openDml) {
        parts_.push_back(entry);
        if (!WriteSuperIndex()) {
            parts_.pop_back();
            return false;
        }
    }
    end_ = at;
    partClosed_ = true;
    return true;
}

bool AviFile::WriteSuperIndex() {
    LittleEndianBytes b;
    b.Fourcc("indx").U32(Clamp32(SUPER_INDEX_FIELDS + 16ull * limits_.SuperIndexEntries));
    b.U16(4).U8(0).U8(AVI_INDEX_OF_INDEXES).U32(static_cast<std::uint32_t>(parts_.size()));
    b.Fourcc("00db").Zeros(12);
    for (const PartIndex& p : parts_)
        b.U64(p.Position).U32(p.Size).U32(p.Frames);
    return WriteAt(superIndexAt_, b.Data(), b.Size());
}

bool AviFile::StartNextPart() {
    // Every part needs its entry in the super index, the coming one included.
    if (parts_.size() + 2 > limits_.SuperIndexEntries) return Fail(EFBIG);
    if (!CloseCurrentPart(true)) return false;
    LittleEndianBytes b;
    b.Fourcc("RIFF").U32(16).Fourcc("AVIX").Fourcc("LIST").U32(4).Fourcc("movi");
    if (!WriteAt(end_, b.Data(), b.Size())) return false;
    riffStart_ = end_;
    moviStart_ = end_ + 12;
    end_ += b.Size();
    ++part_;
    partFrames_.clear();
    partClosed_ = false;
    return true;
}

bool AviFile::Finish() {
    if (finished_) return error_ == 0;
    finished_ = true;
    // Also after a failed frame: what was written before it is completed and kept.
    if (headersWritten_) CloseCurrentPart(part_ > 0);
    // A frame cut off by the failure lies beyond the end; a device cannot be cut, and need not.
    if (::lseek(fd_, 0, SEEK_END) > static_cast<off_t>(end_) && headersWritten_) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(end_));
    }
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    return error_ == 0;
}

}  // namespace tarsel
