#include "trace_path.h"

#include <cmath>

#include "bandpass_filter.h"

namespace kvt::viewer {

std::vector<PathPoint> BuildTracePath(float* samples, std::size_t count, long long firstIndex,
                                      long long samplesInWindow, const BandLayout& layout, const Band& b,
                                      const AmplitudeScale& scale) {
    std::vector<PathPoint> path;
    if (samples == nullptr || samplesInWindow < 1 || firstIndex >= samplesInWindow) return path;
    const double p = PixelsPerSample(layout.width, samplesInWindow);
    // Positions left of the window (a negative first index) are not drawn.
    const std::size_t kBegin = firstIndex < 0 ? static_cast<std::size_t>(-firstIndex) : 0;
    const std::size_t inWindow = static_cast<std::size_t>(samplesInWindow - firstIndex);
    const std::size_t kEnd = count < inWindow ? count : inWindow;
    if (kBegin < kEnd) path.reserve(kEnd - kBegin);

    bool penDown = false;
    for (std::size_t k = kBegin; k < kEnd; ++k) {
        float& v = samples[k];
        if (IsGapMarker(v) || !std::isfinite(v)) {
            penDown = false;
            continue;
        }
        if (v > scale.top) v = scale.top;
        if (v < scale.bottom) v = scale.bottom;
        const long long j = firstIndex + static_cast<long long>(k);
        path.push_back({SampleColumn(j, p), SampleRow(layout, b, v, scale.top, scale.bottom), !penDown});
        penDown = true;
    }
    return path;
}

}  // namespace kvt::viewer
