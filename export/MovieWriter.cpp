#include "export/MovieWriter.h"

#include <cctype>
#include <cstring>
#include <regex>

#include "export/VideoEncoder.h"

namespace tarsel {

namespace {

// The AVI's time scale: always 1000/30 frames a second.
constexpr std::int32_t AVI_FRAME_PERIOD_MS = 30;

bool EndsWith(const std::string& text, const char* ending) {
    const std::size_t n = std::strlen(ending);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != ending[i])
            return false;
    }
    return true;
}

// The uncompressed AVI, through the recorder as it always was.
class AviMovieWriter : public MovieWriter {
  public:
    explicit AviMovieWriter(std::unique_ptr<AviRecorder> recorder)
        : recorder_(std::move(recorder)) {}
    ~AviMovieWriter() override {
        if (recorder_) CloseRecorder(recorder_);
    }

    std::uint32_t Append(const DibBitmap& frame) override {
        return AppendFrame(recorder_.get(), &frame);
    }
    std::uint32_t Close(std::string* problem) override {
        int error = 0;
        const std::uint32_t result = CloseRecorder(recorder_, &error);
        if (result == AVIERR_FILEWRITE && problem != nullptr) *problem = std::strerror(error);
        return result;
    }
    std::int32_t FrameCount() const override { return recorder_ ? recorder_->frameCount : 0; }
    std::string Failure() const override {
        return recorder_ ? std::strerror(recorder_->systemError) : std::string();
    }
    const AviRecorder* Avi() const override { return recorder_.get(); }

  private:
    std::unique_ptr<AviRecorder> recorder_;
};

}  // namespace

MovieFormat MovieFormatOf(const std::string& path) {
    if (EndsWith(path, ".png")) {
        // One numbered field, in the file's name rather than its folder.
        const std::size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        static const std::regex field("%0?[0-9]*d");
        const auto begin = std::sregex_iterator(name.begin(), name.end(), field);
        if (std::distance(begin, std::sregex_iterator()) != 1) return MovieFormat::Unknown;
        // Any other '%' would be read as a pattern too.
        std::size_t percents = 0;
        for (char c : name)
            percents += c == '%';
        return percents == 1 ? MovieFormat::PngSeries : MovieFormat::Unknown;
    }
    if (EndsWith(path, ".avi")) return MovieFormat::Avi;
    if (EndsWith(path, ".mp4")) return MovieFormat::Mp4;
    if (EndsWith(path, ".webm")) return MovieFormat::WebM;
    if (EndsWith(path, ".gif")) return MovieFormat::Gif;
    return MovieFormat::Unknown;
}

const char* MovieEnding(MovieFormat format) {
    switch (format) {
        case MovieFormat::Mp4:
            return ".mp4";
        case MovieFormat::WebM:
            return ".webm";
        case MovieFormat::Gif:
            return ".gif";
        case MovieFormat::PngSeries:
            return "%05d.png";
        default:
            return ".avi";
    }
}

std::unique_ptr<MovieWriter> OpenMovie(const std::string& path, const MovieSettings& settings,
                                       std::string* problem) {
    const MovieFormat format = MovieFormatOf(path);
    if (format == MovieFormat::Avi) {
        int error = 0;
        std::unique_ptr<AviRecorder> recorder = OpenRecorder(path, AVI_FRAME_PERIOD_MS, {}, &error);
        if (!recorder) {
            if (problem != nullptr) *problem = std::strerror(error);
            return nullptr;
        }
        return std::make_unique<AviMovieWriter>(std::move(recorder));
    }
    if (format == MovieFormat::Unknown) {
        if (problem != nullptr)
            *problem = std::string("a movie's name ends in ") + KNOWN_MOVIE_ENDINGS;
        return nullptr;
    }
    return OpenVideoEncoder(path, format, settings, problem);
}

}  // namespace tarsel
