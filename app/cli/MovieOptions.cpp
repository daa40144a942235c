// The options of encoded movies: --fps, --crf and --jobs.

#include <charconv>
#include <cmath>
#include <numeric>

#include "app/cli/CliCommon.h"
#include "export/MovieWriter.h"

namespace tarsel::cli {

namespace {

std::optional<double> Decimal(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> Whole(std::string_view text, int from, int to) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < from ||
        value > to) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::string> ParseMovieOption(const std::vector<std::string>& args, std::size_t& i,
                                            Options& o) {
    const std::string& a = args[i];
    if (a != "--fps" && a != "--crf" && a != "--jobs") return std::nullopt;
    const std::string_view v = i + 1 < args.size() ? std::string_view(args[++i]) : "";
    if (a == "--fps") {
        const std::optional<double> fps = Decimal(v);
        if (!fps || *fps < 1 || *fps > 240) return "--fps needs frames a second from 1 to 240";
        // Thousandths are enough for 29.97 and its kin.
        const int num = static_cast<int>(std::lround(*fps * 1000)), g = std::gcd(num, 1000);
        o.Fps = std::make_pair(num / g, 1000 / g);
    } else if (a == "--crf") {
        if (!(o.Crf = Whole(v, 0, 51))) return "--crf needs a quality from 0 (best) to 51";
    } else {
        const std::optional<int> jobs = Whole(v, 1, 256);
        if (!jobs) return "--jobs needs a number of threads from 1 to 256";
        o.Jobs = *jobs;
    }
    return std::string();
}

std::string MovieOutputProblem(const Options& o) {
    const MovieFormat format = MovieFormatOf(o.Output);
    if (format == MovieFormat::Unknown) {
        return "movie can't tell the format of \"" + o.Output + "\": its name must end in " +
               KNOWN_MOVIE_ENDINGS;
    }
    if (o.Fps && format == MovieFormat::Avi) {
        return "--fps is for MP4, WebM, GIF and PNG movies: an AVI always has 1000/30 frames a "
               "second";
    }
    if (o.Crf && format != MovieFormat::Mp4 && format != MovieFormat::WebM) {
        return "--crf is for MP4 and WebM movies";
    }
    return {};
}

}  // namespace tarsel::cli
