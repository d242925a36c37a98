#include "band_geometry.h"

#include <cmath>

namespace kvt::viewer {

BandLayout BandLayout::Make(int width, int height, int channels) noexcept {
    BandLayout l;
    l.width = width;
    l.height = height;
    l.channels = channels;
    l.bandHeight = channels >= 1 ? (height - channels - 1) / channels : 0;
    l.x0 = 1;
    l.x1 = width - 1;
    return l;
}

Band BandLayout::BandOf(int i) const noexcept {
    Band b;
    b.index = i;
    b.lo = bandHeight * i + i + 1;
    b.hi = b.lo + bandHeight;
    b.topRow = height - b.hi - 1;
    b.bottomRow = height - b.lo - 1;
    return b;
}

double PixelsPerSample(int width, long long samplesInWindow) noexcept {
    if (samplesInWindow < 1) return 0.0;
    return static_cast<double>(width - 2) / static_cast<double>(samplesInWindow);
}

int SampleColumn(long long j, double pixelsPerSample) noexcept {
    return static_cast<int>(static_cast<double>(j) * pixelsPerSample + 1.0);
}

int SampleRow(const BandLayout& layout, const Band& b, float value, float top, float bottom) noexcept {
    const double span = static_cast<double>(top) - static_cast<double>(bottom);
    double level = b.lo;
    if (span > 0.0 && std::isfinite(span)) {
        level = b.lo + (static_cast<double>(value) - bottom) * layout.bandHeight / span;
        // The value is clipped to the range before it gets here; this only
        // keeps a stray value (or NaN) on the band.
        if (!(level >= b.lo)) level = b.lo;
        if (level > b.hi) level = b.hi;
    }
    return layout.height - 1 - static_cast<int>(level + 0.5);
}

}  // namespace kvt::viewer
