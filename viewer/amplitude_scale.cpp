#include "amplitude_scale.h"
#include "sample_range.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "bandpass_filter.h"

namespace kvt::viewer {

namespace {

constexpr float kFloatMax = std::numeric_limits<float>::max();

float ToFloatRange(double v) noexcept {
    if (!std::isfinite(v)) return 0.0f;
    return static_cast<float>(std::clamp(v, -static_cast<double>(kFloatMax), static_cast<double>(kFloatMax)));
}

//! atof in the C locale: leading white space, an optional sign, the longest
//! number that follows; nothing readable gives 0. Independent of the process
//! locale, which a GUI program sets from the environment.
double ReadNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;  // "--1" is no number
    double value = 0.0;
    const char* first = text.data() + i;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow reads as the largest value of its sign, underflow as 0.
        value = 0.0;
        for (const char* c = first; c < result.ptr; ++c) {
            if (*c == 'e' || *c == 'E') {
                value = (c + 1 < result.ptr && c[1] == '-') ? 0.0 : std::numeric_limits<double>::max();
                break;
            }
        }
    } else if (result.ec != std::errc{}) {
        return 0.0;
    }
    return negative ? -value : value;
}

}  // namespace

std::string ScaleTextFor(std::string_view channelScale, std::string_view systemScale) {
    std::string text(channelScale.empty() ? systemScale : channelScale);
    if (text.size() > kMaxScaleText) text.resize(kMaxScaleText);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

ScaleSetting ParseScaleSetting(std::string_view scaleText) {
    ScaleSetting s;
    const bool autoPrefix = scaleText.size() >= 4 &&
                            std::equal(scaleText.begin(), scaleText.begin() + 4, "AUTO", [](char a, char b) {
                                return std::toupper(static_cast<unsigned char>(a)) == b;
                            });
    if (autoPrefix) {
        s.automatic = true;
        return s;
    }
    s.automatic = false;
    const std::size_t semicolon = scaleText.rfind(';');
    if (semicolon == std::string_view::npos) {
        s.top = 15000.0f;
        s.bottom = -15000.0f;
    } else {
        s.top = ToFloatRange(ReadNumber(scaleText.substr(0, semicolon)));
        s.bottom = ToFloatRange(ReadNumber(scaleText.substr(semicolon + 1)));
    }
    return s;
}

void ChooseScale(const float* samples, std::size_t count, double rate, const ScaleSetting& setting,
                 AmplitudeScale& scale) noexcept {
    if (setting.automatic) {
        // The first and last K samples (K = seconds in the array) are left out:
        // the filter's start-up swing would otherwise set the range.
        std::size_t k = 0;
        if (rate > 0.0 && std::isfinite(rate)) {
            const double seconds = static_cast<double>(count) / rate;
            k = seconds >= static_cast<double>(count) ? count : static_cast<std::size_t>(seconds);
        }
        if (samples != nullptr && count > 2 * k) {
            const DrawnRange found = RangeOfDrawnSamples(samples + k, count - 2 * k);
            if (found.any()) {
                scale.top = scale.seen ? std::max(scale.top, found.hi) : found.hi;
                scale.bottom = scale.seen ? std::min(scale.bottom, found.lo) : found.lo;
                scale.seen = true;
            }
        }
    } else {
        scale.top = setting.top;
        scale.bottom = setting.bottom;
    }

    double top = scale.top;
    double bottom = scale.bottom;
    if (top == bottom) {
        top += 1.0;
        bottom -= 1.0;
    } else if (top < bottom) {
        std::swap(top, bottom);
    }
    const double mid = (top + bottom) / 2.0;
    const double half = (top - bottom) / 2.0;
    scale.top = ToFloatRange(mid + 1.5 * half);
    scale.bottom = ToFloatRange(mid - 1.5 * half);
    // Near the float limits the widening can collapse the range again.
    if (!(scale.top > scale.bottom)) {
        scale.top = kFloatMax;
        scale.bottom = -kFloatMax;
    }
}

}  // namespace kvt::viewer
