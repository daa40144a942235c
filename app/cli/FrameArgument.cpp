#include "app/cli/FrameArgument.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "app/cli/CliCommon.h"
#include "workspace/CText.h"

namespace tarsel::cli {

bool DecimalFrame(std::string_view text, std::optional<std::int64_t>& whole, double& fraction) {
    constexpr std::int64_t CAP = std::int64_t{1} << 62;
    const std::size_t point = text.find('.');
    const std::string_view digits = text.substr(0, point);
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    auto allDigits = [](std::string_view t) {
        return !t.empty() &&
               std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!allDigits(digits) || (point != std::string_view::npos && !allDigits(decimals))) {
        return false;
    }
    std::int64_t value = 0;
    for (char c : digits)
        value = value > (CAP - (c - '0')) / 10 ? CAP : value * 10 + (c - '0');
    double t = 0;
    if (!decimals.empty()) {
        const std::string number = "0." + std::string(decimals);
        std::from_chars(number.data(), number.data() + number.size(), t);
        // "12.99999999999999999" rounds to 1: it is still an in-between of 12 and 13.
        t = std::min(t, std::nextafter(1.0, 0.0));
    }
    whole = value;
    fraction = t;
    return true;
}

std::string FrameText(std::int64_t whole, double fraction) {
    std::string text = CFormat("%lld", static_cast<long long>(whole));
    if (fraction > 0) text += CFormat("%.15g", fraction).substr(1);  // ".5" of "0.5"
    return text;
}

std::string ShowFrameAt(Viewer& viewer, std::int64_t whole, double fraction) {
    if (!(fraction > 0)) return ShowFrame(viewer, whole);
    if (!viewer.Trajectory().IsOpen()) return "--frame needs a trajectory, and none was found";
    const long long count = viewer.Ws().FrameCount;
    const std::string text = FrameText(whole, fraction);
    if (count == 0) {
        return CFormat("--frame %s: the trajectory holds no complete frame", text.c_str());
    }
    if (whole + 1 >= count) {
        return CFormat("--frame %s is beyond the last frame: the trajectory has frames 0 to %lld",
                       text.c_str(), count - 1);
    }
    const auto frame = static_cast<std::int32_t>(whole);
    viewer.ApplySettings();
    viewer.ReadFrameAt(frame, fraction);
    viewer.Ws().CurrentFrame = frame;
    viewer.Ws().CurrentSubFrame = 0;
    return {};
}

}  // namespace tarsel::cli
