#include "support/Ffmpeg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tarsel::test {

namespace {

std::string Quoted(const std::string& path) {
    std::string q = "'";
    for (char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The command's standard output; its messages go to the test's own error stream.
std::string Output(const std::string& command) {
    std::FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string out;
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(p);
    if (status != 0) ADD_FAILURE() << command << " ended with status " << status;
    return out;
}

}  // namespace

bool HaveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0;
}

std::string ProbeVideo(const std::string& path) {
    return Output(
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,pix_fmt,width,height,r_frame_rate -of default=nw=1 " +
        Quoted(path));
}

std::string DecodeBgr24(const std::string& path) {
    return DecodeRaw(path, "bgr24");
}

std::string DecodeRaw(const std::string& path, const std::string& pixelFormat) {
    return Output("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f rawvideo -pix_fmt " +
                  pixelFormat + " -");
}

int CountFrames(const std::string& path) {
    return std::atoi(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                            "stream=nb_read_frames -of csv=p=0 " +
                            Quoted(path))
                         .c_str());
}

double Psnr(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) {
        ADD_FAILURE() << "pictures of " << a.size() << " and " << b.size() << " bytes";
        return 0;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
        sum += d * d;
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

void Ffmpeg(const std::string& arguments) {
    Output("ffmpeg -nostdin -v error -y " + arguments);
}

}  // namespace tarsel::test
