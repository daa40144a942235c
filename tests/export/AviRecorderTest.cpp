#include "export/AviRecorder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/AviParse.h"
#include "support/Ffmpeg.h"
#include "support/TestFiles.h"

namespace tarsel {
namespace {

using test::FourccAt;
using test::RiffChunk;
using test::U16At;
using test::U32At;
using test::U64At;

std::uint8_t PixelByte(int x, int y, int k, int channel) {
    return static_cast<std::uint8_t>(channel == 0   ? x * 7 + k
                                     : channel == 1 ? y * 13 + 3 * k
                                                    : x + y + 5 * k);
}

// Frame k of a recording: every pixel different, and different in every frame.
DibBitmap Pattern(int w, int h, int k) {
    DibBitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                b.Row(y)[3 * x + c] = PixelByte(x, y, k, c);
        }
    }
    return b;
}

// Frame k as ffmpeg decodes it: top-down rows without padding.
std::string Picture(int w, int h, int k) {
    std::string s;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                s += static_cast<char>(PixelByte(x, y, k, c));
        }
    }
    return s;
}

std::string Pictures(int w, int h, int from, int to) {
    std::string s;
    for (int k = from; k < to; ++k)
        s += Picture(w, h, k);
    return s;
}

void Record(const std::string& path, int w, int h, int frames, AviLimits limits = {}) {
    std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30, limits);
    ASSERT_TRUE(r);
    for (int k = 0; k < frames; ++k) {
        const DibBitmap b = Pattern(w, h, k);
        ASSERT_EQ(AppendFrame(r.get(), &b), AVIERR_OK);
    }
    EXPECT_EQ(r->frameCount, frames);
    EXPECT_EQ(CloseRecorder(r), AVIERR_OK);
    EXPECT_FALSE(r);
}

void ExpectDecodes(const std::string& path, int w, int h, int frames) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    const std::string decoded = test::DecodeBgr24(path);
    EXPECT_EQ(decoded.size(), static_cast<std::size_t>(w) * h * 3 * frames);
    EXPECT_TRUE(decoded == Pictures(w, h, 0, frames)) << "the decoded frames differ";
}

class AviRecorderTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.File("movie.avi");
};

// 32-bit fields of a chunk's data by their offsets.
void ExpectFields(const std::string& f, const RiffChunk& c,
                  std::vector<std::pair<int, std::uint32_t>> fields) {
    for (const auto& [at, value] : fields)
        EXPECT_EQ(U32At(f, c.Data() + at), value) << c.Id << " at " << at;
}

TEST_F(AviRecorderTest, FileParsesBackAndFfmpegReadsIt) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    // Rows of 3, 6, 9 and 15 bytes are padded to 4, 8, 12 and 16.
    for (auto [w, stride] : {std::pair{1u, 4u}, {2u, 8u}, {3u, 12u}, {5u, 16u}}) {
        SCOPED_TRACE(w);
        const std::uint32_t h = 3, frames = 3, image = stride * h;
        Record(path, w, h, frames);
        const std::string f = test::ReadFile(path);
        const std::vector<RiffChunk> parts = test::ParseRiff(f);
        ASSERT_EQ(parts.size(), 1u);
        const RiffChunk& riff = parts[0];
        EXPECT_EQ(riff.Type, "AVI ");
        EXPECT_EQ(riff.Size + 8, f.size());

        // avih: time per frame, index flag, frames, streams, buffer, size.
        const RiffChunk& hdrl = riff.Child("hdrl");
        EXPECT_EQ(hdrl.Child("avih").Size, 56u);
        ExpectFields(
            f, hdrl.Child("avih"),
            {{0, 30000}, {12, 0x10}, {16, frames}, {24, 1}, {28, image}, {32, w}, {36, h}});
        // strh: scale, rate, length, buffer, frame rectangle's right and bottom.
        const RiffChunk& strh = hdrl.Child("strl").Child("strh");
        EXPECT_EQ(FourccAt(f, strh.Data()) + FourccAt(f, strh.Data() + 4), "vidsDIB ");
        ExpectFields(f, strh, {{20, 30}, {24, 1000}, {32, frames}, {36, image}, {52, w | h << 16}});
        // strf: the bitmap header, 24 bits, uncompressed, bottom-up.
        const RiffChunk& strf = hdrl.Child("strl").Child("strf");
        ASSERT_EQ(strf.Size, 40u);
        ExpectFields(f, strf, {{0, 40}, {4, w}, {8, h}, {12, 1 | 24 << 16}, {16, 0}, {20, image}});

        const RiffChunk& movi = riff.Child("movi");
        const std::vector<const RiffChunk*> chunks = movi.All("00db");
        ASSERT_EQ(chunks.size(), frames);
        const RiffChunk& idx1 = riff.Child("idx1");
        ASSERT_EQ(idx1.Size, 16 * frames);
        for (std::uint32_t k = 0; k < frames; ++k) {
            const RiffChunk& c = *chunks[k];
            ASSERT_EQ(c.Size, image);
            const DibBitmap b = Pattern(w, h, k);
            EXPECT_EQ(f.substr(c.Data(), image),
                      std::string(reinterpret_cast<const char*>(b.Bits()), image));
            // A key frame, its offset counted from the 'movi' code.
            EXPECT_EQ(FourccAt(f, idx1.Data() + 16 * k), "00db");
            ExpectFields(f, idx1,
                         {{16 * k + 4, 0x10},
                          {16 * k + 8, static_cast<std::uint32_t>(c.Offset - movi.Data())},
                          {16 * k + 12, image}});
        }

        const std::string probe = test::ProbeVideo(path);
        for (const char* line :
             {"codec_name=rawvideo\n", "pix_fmt=bgr24\n", "r_frame_rate=100/3\n"})
            EXPECT_NE(probe.find(line), std::string::npos) << line << " in\n" << probe;
        ExpectDecodes(path, w, h, frames);
    }
}

TEST_F(AviRecorderTest, PastThePartSizeGoesOnAsOpenDml) {
    // Parts of 16 KiB instead of 1 GiB: frames of 2100 bytes, 7 to a part at most.
    const AviLimits limits{16 * 1024, 64};
    const int w = 35, h = 20, frames = 60;
    Record(path, w, h, frames, limits);
    const std::string f = test::ReadFile(path);
    const std::vector<RiffChunk> parts = test::ParseRiff(f);
    ASSERT_GT(parts.size(), 8u);
    EXPECT_EQ(parts[0].Type, "AVI ");
    std::uint32_t framesInParts = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].Type, i == 0 ? "AVI " : "AVIX");
        EXPECT_LE(parts[i].Size + 8, limits.RiffSize);
        framesInParts += parts[i].Child("movi").All("00db").size();
    }
    EXPECT_EQ(framesInParts, std::uint32_t(frames));

    const RiffChunk& hdrl = parts[0].Child("hdrl");
    const std::uint32_t firstPart = parts[0].Child("movi").All("00db").size();
    EXPECT_EQ(U32At(f, hdrl.Child("avih").Data() + 16), firstPart);
    EXPECT_EQ(U32At(f, hdrl.Child("strl").Child("strh").Data() + 32), std::uint32_t(frames));
    EXPECT_EQ(U32At(f, hdrl.Child("odml").Child("dmlh").Data()), std::uint32_t(frames));
    EXPECT_EQ(parts[0].Child("idx1").Size, 16 * firstPart);

    // The super index points at one standard index per part, each at that part's frames.
    const std::uint64_t indx = hdrl.Child("strl").Child("indx").Data();
    EXPECT_EQ(U16At(f, indx), 4);
    ASSERT_EQ(U32At(f, indx + 4), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::uint64_t e = indx + 24 + 16 * i;
        const std::uint64_t ix = U64At(f, e);
        const std::vector<const RiffChunk*> chunks = parts[i].Child("movi").All("00db");
        ASSERT_EQ(FourccAt(f, ix), "ix00");
        EXPECT_EQ(U32At(f, e + 8), U32At(f, ix + 4) + 8);
        ASSERT_EQ(U32At(f, e + 12), chunks.size());
        ASSERT_EQ(U32At(f, ix + 12), chunks.size());
        const std::uint64_t base = U64At(f, ix + 20);
        for (std::size_t k = 0; k < chunks.size(); ++k) {
            EXPECT_EQ(base + U32At(f, ix + 32 + 8 * k), chunks[k]->Data());
            EXPECT_EQ(U32At(f, ix + 36 + 8 * k), chunks[k]->Size);  // bit 31 clear: key frame
        }
    }
    ExpectDecodes(path, w, h, frames);
}

TEST_F(AviRecorderTest, ResultCodes) {
    const DibBitmap frame = Pattern(4, 4, 0), other = Pattern(5, 4, 0), empty(0, 3);
    EXPECT_EQ(AppendFrame(nullptr, &frame), AVIERR_BADHANDLE);
    std::unique_ptr<AviRecorder> none;
    EXPECT_EQ(CloseRecorder(none), AVIERR_BADHANDLE);
    int error = 0;
    EXPECT_FALSE(OpenRecorder(dir.File("no/such/folder.avi"), 30, {}, &error));
    EXPECT_EQ(error, ENOENT);

    // A movie that got no frame leaves no empty file behind.
    std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30);
    ASSERT_TRUE(r);
    EXPECT_EQ(CloseRecorder(r), AVIERR_OK);
    EXPECT_FALSE(std::filesystem::exists(path));

    r = OpenRecorder(path, 30);
    ASSERT_TRUE(r);
    EXPECT_EQ(AppendFrame(r.get(), nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AppendFrame(r.get(), &empty), AVIERR_BADPARAM);
    EXPECT_EQ(AppendFrame(r.get(), &frame), AVIERR_OK);
    EXPECT_EQ(AppendFrame(r.get(), &other), AVIERR_BADSIZE);  // left out, not a failure
    EXPECT_FALSE(r->failed);
    EXPECT_EQ(r->frameCount, 1);
    EXPECT_EQ(CloseRecorder(r), AVIERR_OK);

    // A full device: the first write fails, and every later frame is refused at once.
    r = OpenRecorder("/dev/full", 30);
    ASSERT_TRUE(r);
    EXPECT_EQ(AppendFrame(r.get(), &frame), AVIERR_FILEWRITE);
    EXPECT_TRUE(r->failed);
    EXPECT_EQ(r->systemError, ENOSPC);
    EXPECT_EQ(AppendFrame(r.get(), &frame), AVIERR_ERROR);
    EXPECT_EQ(AppendFrame(nullptr, &frame), AVIERR_BADHANDLE);
    EXPECT_EQ(CloseRecorder(r), AVIERR_OK);  // the failure was told by AppendFrame
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST_F(AviRecorderTest, FramesBeforeAFailedWriteStayReadable) {
    // The disk fills up during frame 4 (a file size limit stands in for it), and a movie past
    // its last part's room stops the same way: both keep what came before.
    const int w = 50, h = 20;  // 3000-byte frames
    struct Case {
        bool DiskFull;
        AviLimits Limits;
        int Written;
    } cases[] = {{true, {}, 3}, {false, {8 * 1024, 3}, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Written);
        std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30, c.Limits);
        ASSERT_TRUE(r);
        rlimit previous{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        const sighandler_t handler = ::signal(SIGXFSZ, SIG_IGN);
        std::uint32_t result = AVIERR_OK;
        for (int k = 0; k < 20 && result == AVIERR_OK; ++k) {
            if (c.DiskFull && k == 3) {
                rlimit full = previous;
                full.rlim_cur = test::ReadFile(path).size() + 1000;
                ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
            }
            const DibBitmap b = Pattern(w, h, k);
            result = AppendFrame(r.get(), &b);
        }
        EXPECT_EQ(result, AVIERR_FILEWRITE);
        EXPECT_EQ(r->frameCount, c.Written);
        EXPECT_EQ(CloseRecorder(r), AVIERR_OK);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        ::signal(SIGXFSZ, handler);
        test::ParseRiff(test::ReadFile(path));  // sizes that add up, no torn frame at the end
        ExpectDecodes(path, w, h, c.Written);
    }
}

TEST_F(AviRecorderTest, KilledRecordingKeepsItsFrames) {
    // A child records without end and is killed after it has told of 40 frames; the last frame
    // it was writing is cut off. Once within the first part, once in a later OpenDML part.
    const int w = 64, h = 48;
    for (const AviLimits limits : {AviLimits{}, AviLimits{64 * 1024, 1024}}) {
        SCOPED_TRACE(limits.RiffSize);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30, limits);
            for (int k = 0; r; ++k) {
                const DibBitmap b = Pattern(w, h, k);
                if (AppendFrame(r.get(), &b) != AVIERR_OK) ::_exit(1);
                if (k == 39 && ::write(ready[1], "r", 1) != 1) ::_exit(1);
            }
            ::_exit(1);
        }
        ::close(ready[1]);
        char signal = 0;
        const bool told = ::read(ready[0], &signal, 1) == 1;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ASSERT_TRUE(told) << "the recording child ended early";
        ASSERT_TRUE(WIFSIGNALED(status));

        ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
        const std::string decoded = test::DecodeBgr24(path);
        const std::size_t frameBytes = static_cast<std::size_t>(w) * h * 3;
        ASSERT_EQ(decoded.size() % frameBytes, 0u);
        const int frames = static_cast<int>(decoded.size() / frameBytes);
        EXPECT_GE(frames, 40);
        EXPECT_TRUE(decoded == Pictures(w, h, 0, frames)) << "the decoded frames differ";

        // The sizes in the file tell of the complete frames, for readers that trust them. A
        // kill between a frame's bytes and the update of the sizes leaves them one frame behind.
        const std::string f = test::ReadFile(path);
        std::uint64_t end = 0;
        while (end + 8 <= f.size() && FourccAt(f, end) == "RIFF")
            end += 8 + U32At(f, end + 4);
        ASSERT_LE(end, f.size());
        std::size_t chunks = 0;
        for (const RiffChunk& part : test::ParseRiff(f.substr(0, end)))
            chunks += part.Child("movi").All("00db").size();
        EXPECT_TRUE(chunks == std::size_t(frames) || chunks + 1 == std::size_t(frames))
            << chunks << " frames in the sizes, " << frames << " decoded";
    }
}

// The counts in 'avih' (frames of the first part), 'strh' and 'dmlh' (all frames) tell of every
// frame as soon as it is written, so that a movie cut off by a kill still says how long it is.
TEST_F(AviRecorderTest, CountsFollowEveryFrameAndSurviveAKill) {
    const int w = 35, h = 20;  // frames of 2100 bytes, 7 to a part of 16 KiB
    for (const AviLimits limits : {AviLimits{}, AviLimits{16 * 1024, 64}}) {
        SCOPED_TRACE(limits.RiffSize);
        const auto expectCounts = [&](std::uint32_t frames) {
            const std::string f = test::ReadFile(path);
            const std::vector<RiffChunk> parts = test::ParseRiff(f);
            const RiffChunk& hdrl = parts[0].Child("hdrl");
            const std::size_t firstPart = parts[0].Child("movi").All("00db").size();
            EXPECT_EQ(U32At(f, hdrl.Child("avih").Data() + 16), firstPart) << frames;
            EXPECT_EQ(U32At(f, hdrl.Child("strl").Child("strh").Data() + 32), frames) << frames;
            EXPECT_EQ(U32At(f, hdrl.Child("odml").Child("dmlh").Data()), frames) << frames;
        };
        {
            std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30, limits);
            ASSERT_TRUE(r);
            for (std::uint32_t k = 0; k < 20; ++k) {
                const DibBitmap b = Pattern(w, h, static_cast<int>(k));
                ASSERT_EQ(AppendFrame(r.get(), &b), AVIERR_OK);
                expectCounts(k + 1);
            }
            EXPECT_EQ(CloseRecorder(r), AVIERR_OK);
            expectCounts(20);
        }
        // A child killed right after its 12th frame, before anything completes the movie.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::unique_ptr<AviRecorder> r = OpenRecorder(path, 30, limits);
            for (int k = 0; r && k < 12; ++k) {
                const DibBitmap b = Pattern(w, h, k);
                if (AppendFrame(r.get(), &b) != AVIERR_OK) ::_exit(1);
            }
            ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        expectCounts(12);
    }
}

}  // namespace
}  // namespace tarsel
