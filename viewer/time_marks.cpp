#include "time_marks.h"

#include <cmath>

namespace kvt::viewer {

std::vector<TimeMark> TimeMarkPositions(int x0, int x1, double windowStart, double windowLength) {
    std::vector<TimeMark> marks;
    if (!(windowLength > 0.0) || !std::isfinite(windowLength) || !std::isfinite(windowStart)) return marks;
    // Beyond 2^53 s a double no longer holds every whole second, and stepping
    // by one second would never end; no real epoch time comes near that.
    constexpr double kLargestTime = 9007199254740992.0;
    if (std::fabs(windowStart) + windowLength >= kLargestTime) return marks;
    const double q = static_cast<double>(x1 - x0) / windowLength;
    const bool seconds = q > 2.0;
    const bool minutes = q * 120.0 > 1.0;
    if (!minutes) return marks;  // q * 120 > 1 holds whenever q > 2

    const double end = windowStart + windowLength;
    double s = std::floor(windowStart);
    if (!seconds) {
        // Only whole minutes can get a mark: go straight to the first one.
        s = std::ceil(s / 60.0) * 60.0;
    }
    for (; s < end; s += seconds ? 1.0 : 60.0) {
        const bool minute = std::fmod(s, 60.0) == 0.0;
        if (!minute && !seconds) continue;
        const int x = static_cast<int>(std::floor(x0 + (s - windowStart) * q + 0.5));
        marks.push_back({x, minute ? kMinuteMarkLength : kSecondMarkLength});
    }
    return marks;
}

int EventMarkColumn(double t, double windowStart, double windowEnd, int x0, int x1) noexcept {
    const double span = windowEnd - windowStart;
    if (!(span > 0.0)) return x0;
    const double cut = std::floor(t * 1e4) / 1e4;
    const double x = (cut - windowStart) * (x1 - x0) / span + x0;
    // Times far outside the window are held at a column far off the picture
    // (the conversion of an out-of-range double to int is undefined).
    if (!(x > -1e9)) return -1000000000;
    if (x > 1e9) return 1000000000;
    return static_cast<int>(x);
}

}  // namespace kvt::viewer
