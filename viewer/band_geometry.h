#pragma once
// How the drawing area is cut into one horizontal band per channel, and how a
// sample becomes a pixel. Pure integer and float arithmetic, no drawing.
//
// The drawing area is W x H pixels, y growing downwards. Band rows are counted
// upwards from the bottom of the area (lo, hi) and turned into image rows here.

#include <cmath>

namespace kvt::viewer {

//! One channel's band. lo and hi count pixels upwards from the bottom of the
//! area; the image rows are the top-down rows of the bitmap.
struct Band {
    int index = 0;      //!< channel index, 0 = lowest band
    int lo = 0;         //!< pixels above the bottom of the area, lower edge
    int hi = 0;         //!< pixels above the bottom of the area, upper edge (lo + R)
    int topRow = 0;     //!< image row of the top border (H - hi - 1)
    int bottomRow = 0;  //!< image row of the bottom border (H - lo - 1)
};

//! The layout of all bands of one picture.
struct BandLayout {
    int width = 0;        //!< W, pixels
    int height = 0;       //!< H, pixels
    int channels = 0;     //!< N
    int bandHeight = 0;   //!< R = (H - N - 1) / N (0 when N < 1)
    int x0 = 1;           //!< first trace column
    int x1 = 0;           //!< last trace column, W - 1

    //! Layout of a W x H area with n channels.
    static BandLayout Make(int width, int height, int channels) noexcept;

    //! Band of channel i (0-based; i is not range-checked, any int gives
    //! the arithmetic result).
    Band BandOf(int i) const noexcept;
};

// Inline: the trace drawing maps hundreds of thousands of samples per channel.

//! Pixels per sample for n samples in the window: (W - 2) / n; 0 when n < 1.
inline double PixelsPerSample(int width, long long samplesInWindow) noexcept {
    if (samplesInWindow < 1) return 0.0;
    return static_cast<double>(width - 2) / static_cast<double>(samplesInWindow);
}

//! Image column of x index j: integer part of j * p + 1.
inline int SampleColumn(long long j, double pixelsPerSample) noexcept {
    return static_cast<int>(static_cast<double>(j) * pixelsPerSample + 1.0);
}

//! Image row of a value already clipped into [bottom, top] in band b:
//! H - 1 - integer part of (lo + (value - bottom) * R / (top - bottom) + 0.5).
//! A range with top <= bottom maps every value to the bottom border.
inline int SampleRow(const BandLayout& layout, const Band& b, float value, float top, float bottom) noexcept {
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
