#pragma once

#include <string>

namespace tarsel::test {

// Debian's ffmpeg and ffprobe, the public readers the movies are checked against; make test
// installs them. Tests that need them fail (not skip) without them.
bool HaveFfmpeg();
inline constexpr const char* NO_FFMPEG =
    "ffmpeg and ffprobe are needed: scripts/install-deps.sh installs Debian's ffmpeg";

// The first video stream as ffprobe describes it: "codec_name=rawvideo\npix_fmt=bgr24\n..."
// with codec_name, pix_fmt, width, height and r_frame_rate.
std::string ProbeVideo(const std::string& path);

// Every frame ffmpeg decodes from the movie, as top-down rows of blue-green-red bytes
// without padding, back to back.
std::string DecodeBgr24(const std::string& path);
// Every frame (or the picture) decoded into pixelFormat, as ffmpeg's rawvideo writes it.
std::string DecodeRaw(const std::string& path, const std::string& pixelFormat);

// The frames ffprobe counts by decoding the whole first video stream.
int CountFrames(const std::string& path);

// Peak signal-to-noise ratio in dB of b against a, two pictures of the same bytes; infinity
// when they are equal.
double Psnr(const std::string& a, const std::string& b);

// Runs "ffmpeg -nostdin -v error -y ARGUMENTS"; a test failure when it fails.
void Ffmpeg(const std::string& arguments);

}  // namespace tarsel::test
