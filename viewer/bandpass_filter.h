#pragma once
// Recursive Butterworth filters for the monitor's traces.
//
// The filter is designed from its analogue prototype with the bilinear
// transform and pre-warped corners, realised as a cascade of second-order
// sections in single precision and run once forward over the samples in place
// (causal, with the filter's phase delay). The mean of the real samples is
// removed first. Gap markers (and any sample that is not a finite number) are
// neither used nor changed; the filter state runs on across them.

#include <array>
#include <cstddef>

namespace kvt::viewer {

//! Sample value that stands for a missing sample in a window buffer
//! (bit pattern 0xCCEB79A3). Never drawn, never counted in scaling or filtering.
inline constexpr float kGapMarker = -123456792.0f;

//! True for a gap marker.
constexpr bool IsGapMarker(float v) noexcept { return v == kGapMarker; }

//! Filter kinds by their type number; the display always uses BandPass.
enum class FilterType : int { BandPass = 0, LowPass = 1, BandReject = 2, HighPass = 3 };

//! Two-letter code of a filter type number 0..3 ("BP", "LP", "BR", "HP"),
//! nullptr for any other number.
const char* FilterTypeCode(int type) noexcept;

//! Outcome of ApplyFilter. On anything but Ok the samples are left untouched.
enum class FilterStatus {
    Ok,
    BadType,          //!< type number outside 0..3
    BadInterval,      //!< sample interval not a positive finite number
    BadCorners,       //!< corners negative, not finite, or low >= high for BP/BR
};

//! Readable English text of a status, for the event log.
const char* FilterStatusText(FilterStatus status) noexcept;

//! Lowest and highest filter order; other orders are clamped into this range.
inline constexpr int kMinFilterOrder = 2;
inline constexpr int kMaxFilterOrder = 10;
//! Most second-order sections a design can have (band-pass of order 10).
inline constexpr int kMaxSections = 10;

//! One digital second-order section:
//! y = b0 v + b1 x1 + b2 x2 - (a1 y1 + a2 y2), single precision.
struct BiquadSection {
    float b0 = 0, b1 = 0, b2 = 0;  //!< numerator
    float a1 = 0, a2 = 0;          //!< denominator (a0 is 1)
};

//! A designed filter: the cascade in the order it is applied.
struct FilterDesign {
    std::array<BiquadSection, kMaxSections> sections{};
    int count = 0;  //!< sections in use
};

//! Designs a filter. dt: sample interval in s; f1, f2: low and high corner in
//! Hz (LP uses f2, HP uses f1). order is clamped to 2..10.
//! A corner at 0 Hz or at/above the Nyquist frequency has no warped frequency
//! (the plain design would put a pole on or outside the unit circle), so it
//! stands for "no edge on that side": a band-pass up to Nyquist is a high-pass
//! at f1, one from 0 Hz a low-pass at f2, and one from 0 Hz up to Nyquist
//! passes everything (count 0, only the mean is removed); a band-reject from
//! 0 Hz is a high-pass at f2 and one up to Nyquist a low-pass at f1; a
//! low-pass at/above Nyquist and a high-pass at 0 Hz pass everything.
//! Filters that would pass nothing (low-pass at 0 Hz, high-pass at/above
//! Nyquist, band-reject of the whole band, a band above Nyquist) are refused.
//! Returns a status other than Ok (design untouched) for bad arguments.
FilterStatus DesignFilter(FilterDesign& design, double dt, int type, int order, float f1, float f2);

//! Designs the filter and applies it in place to samples[0..count). The
//! zero-phase flag is accepted for compatibility; the run is always a single
//! forward pass. On a status other than Ok the samples are untouched.
FilterStatus ApplyFilter(float* samples, std::size_t count, double dt, int type, int order, float f1,
                         float f2, int zeroPhase);

//! The display's filter: band-pass of order 3 from low to high Hz.
FilterStatus ApplyBandPass(float* samples, std::size_t count, double dt, float low, float high);

//! Runs a designed cascade over samples in place: removes the mean (in double)
//! of the real samples, starts every section's state at the first real sample
//! (after mean removal), and skips gap markers and non-finite samples.
void RunFilter(const FilterDesign& design, float* samples, std::size_t count) noexcept;

}  // namespace kvt::viewer
