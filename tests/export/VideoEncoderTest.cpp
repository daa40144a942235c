#include "export/VideoEncoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/GifPalette.h"
#include "export/MovieWriter.h"
#include "support/Ffmpeg.h"
#include "support/TestFiles.h"

namespace tarsel {
namespace {

constexpr Rgb PAD{90, 30, 200};

// Frame k: blocks of a few colours that move from frame to frame, as a flat scene has them,
// with a margin of the background (the pad colour) at the right and the bottom.
DibBitmap Blocks(int w, int h, int k) {
    DibBitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int block = x >= w - 3 || y >= h - 3 ? 4 : ((x + 2 * k) / 8 + y / 8) % 4;
            const std::uint8_t bgr[5][3] = {
                {200, 40, 10}, {20, 220, 90}, {0, 0, 0}, {250, 250, 250}, {PAD.B, PAD.G, PAD.R}};
            for (int c = 0; c < 3; ++c)
                b.Row(y)[3 * x + c] = bgr[block][c];
        }
    }
    return b;
}

std::string TopDown(const DibBitmap& b) {
    std::string bytes;
    for (int y = 0; y < b.Height(); ++y)
        bytes.append(reinterpret_cast<const char*>(b.Row(y)), 3 * b.Width());
    return bytes;
}

TEST(MovieFormat, ChosenByTheEnding) {
    const std::vector<std::pair<std::string, MovieFormat>> cases = {
        {"run.avi", MovieFormat::Avi},           {"RUN.MP4", MovieFormat::Mp4},
        {"a.b/run.webm", MovieFormat::WebM},     {"run.gif", MovieFormat::Gif},
        {"f/f%05d.png", MovieFormat::PngSeries}, {"f%d.png", MovieFormat::PngSeries},
        {"run.png", MovieFormat::Unknown},       {"f%d%d.png", MovieFormat::Unknown},
        {"d%05d/f.png", MovieFormat::Unknown},   {"f%s%d.png", MovieFormat::Unknown},
        {"run.mov", MovieFormat::Unknown},       {"run", MovieFormat::Unknown},
    };
    for (const auto& [path, format] : cases)
        EXPECT_EQ(MovieFormatOf(path), format) << path;
}

TEST(VideoEncoder, EachFormatAsFfprobeAndFfmpegReadIt) {
    ASSERT_TRUE(test::HaveFfmpeg()) << test::NO_FFMPEG;
    test::TempDir dir;
    // An odd size: yuv420p gets one column and one row of the pad colour, never a crop.
    constexpr int W = 41, H = 31, FRAMES = 5;
    const struct {
        std::string name;
        std::string probe;
        int rateNum, rateDen;
        bool lossless;
    } cases[] = {
        {"m.mp4", "codec_name=h264\nwidth=42\nheight=32\npix_fmt=yuv420p\nr_frame_rate=100/3\n",
         1000, 30, false},
        {"m.webm", "codec_name=vp9\nwidth=42\nheight=32\npix_fmt=yuv420p\nr_frame_rate=25/2\n", 25,
         2, false},
        // GIF keeps delays in hundredths (ffprobe guesses a rate from a few); a picture series
        // has no rate.
        {"m.gif", "codec_name=gif\nwidth=41\nheight=31\npix_fmt=bgra\n", 1000, 30, true},
        {"f%03d.png", "codec_name=png\nwidth=41\nheight=31\npix_fmt=rgb24\n", 1000, 30, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        MovieSettings settings;
        settings.RateNum = c.rateNum;
        settings.RateDen = c.rateDen;
        settings.Pad = PAD;
        std::string problem;
        std::unique_ptr<MovieWriter> movie = OpenMovie(path, settings, &problem);
        ASSERT_TRUE(movie) << problem;
        std::string frames;
        for (int k = 0; k < FRAMES; ++k) {
            const DibBitmap frame = Blocks(W, H, k);
            ASSERT_EQ(movie->Append(frame), AVIERR_OK);
            frames += TopDown(frame);
        }
        EXPECT_EQ(movie->Append(DibBitmap(W + 1, H)), AVIERR_BADSIZE);
        ASSERT_EQ(movie->Close(&problem), AVIERR_OK) << problem;
        std::string probe = test::ProbeVideo(path);
        if (c.probe.find("r_frame_rate") == std::string::npos)
            probe = probe.substr(0, probe.find("r_frame_rate"));
        EXPECT_EQ(probe, c.probe);
        EXPECT_EQ(test::CountFrames(path), FRAMES);
        const std::string decoded = test::DecodeBgr24(path);
        if (c.lossless) {
            EXPECT_TRUE(decoded == frames);
            continue;
        }
        // The picture part is close; the padding column and row are the pad colour.
        ASSERT_EQ(decoded.size(), static_cast<std::size_t>(FRAMES * 42 * 32 * 3));
        std::string picture, padding;
        for (int k = 0; k < FRAMES; ++k) {
            for (int y = 0; y < 32; ++y) {
                const std::string row = decoded.substr(((k * 32) + y) * 42 * 3, 42 * 3);
                if (y < H) picture += row.substr(0, W * 3);
                padding += y < H ? row.substr(W * 3) : row.substr(0, W * 3);
            }
        }
        EXPECT_GE(test::Psnr(frames, picture), 30.0);
        for (std::size_t i = 0; i + 2 < padding.size(); i += 3) {
            EXPECT_NEAR(static_cast<unsigned char>(padding[i]), PAD.B, 16) << i;
            EXPECT_NEAR(static_cast<unsigned char>(padding[i + 1]), PAD.G, 16) << i;
            EXPECT_NEAR(static_cast<unsigned char>(padding[i + 2]), PAD.R, 16) << i;
        }
    }
}

TEST(VideoEncoder, AMovieWithoutFramesLeavesNoFile) {
    test::TempDir dir;
    for (const char* name : {"e.mp4", "e.gif"}) {
        std::string problem;
        std::unique_ptr<MovieWriter> movie = OpenMovie(dir.File(name), {}, &problem);
        ASSERT_TRUE(movie) << problem;
        EXPECT_EQ(movie->Close(&problem), AVIERR_OK);
        EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    }
    std::string problem;
    EXPECT_FALSE(OpenMovie(dir.File("no/such/folder/m.mp4"), {}, &problem));
    EXPECT_NE(problem.find("No such file or directory"), std::string::npos) << problem;
}

TEST(GifPalette, FewColoursExactManyColoursDitheredToTheirMean) {
    // A gradient of 64 x 64 colours: a palette of 256 must dither, keeping each block's mean.
    constexpr int N = 64;
    std::vector<std::uint8_t> bgr(N * N * 3);
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            bgr[(y * N + x) * 3] = static_cast<std::uint8_t>(4 * x);
            bgr[(y * N + x) * 3 + 1] = static_cast<std::uint8_t>(4 * y);
            bgr[(y * N + x) * 3 + 2] = static_cast<std::uint8_t>(128);
        }
    }
    std::vector<std::uint8_t> index(N * N);
    std::uint32_t palette[256];
    EXPECT_EQ(ToPalette(bgr.data(), N * 3, N, N, index.data(), N, palette), 256);
    for (int by = 0; by < N; by += 8) {
        for (int bx = 0; bx < N; bx += 8) {
            double want[3] = {}, got[3] = {};
            for (int y = by; y < by + 8; ++y) {
                for (int x = bx; x < bx + 8; ++x) {
                    const std::uint32_t e = palette[index[y * N + x]];
                    for (int c = 0; c < 3; ++c) {
                        want[c] += bgr[(y * N + x) * 3 + c];
                        got[c] += (e >> (8 * c)) & 0xFF;  // 0xFFRRGGBB: blue is the low byte
                    }
                    EXPECT_NEAR(static_cast<int>((e >> 8) & 0xFF), 4 * y, 24);
                }
            }
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(got[c] / 64, want[c] / 64, 3.0) << bx << "," << by << " " << c;
        }
    }
    // 256 colours exactly: kept as they are.
    for (int i = 0; i < N * N; ++i) {
        bgr[3 * i] = static_cast<std::uint8_t>(i % 256);
        bgr[3 * i + 1] = static_cast<std::uint8_t>(255 - i % 256);
        bgr[3 * i + 2] = 7;
    }
    EXPECT_EQ(ToPalette(bgr.data(), N * 3, N, N, index.data(), N, palette), 256);
    for (int i = 0; i < N * N; ++i) {
        const std::uint32_t e = palette[index[i]];
        ASSERT_EQ(e, 0xFF000000u | 7u << 16 | std::uint32_t(255 - i % 256) << 8 | (i % 256)) << i;
    }
}

}  // namespace
}  // namespace tarsel
