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

}  // namespace kvt::viewer
