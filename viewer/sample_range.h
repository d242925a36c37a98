#pragma once
// The lowest and highest drawn value of a stretch of samples, in one pass
// that the compiler can turn into vector instructions: traces of an hour hold
// hundreds of thousands of samples per channel, and both the automatic range
// and the per-column drawing only need these two numbers.

#include "bandpass_filter.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace kvt::viewer {

//! A sample that is drawn: neither a gap marker nor infinite nor NaN.
inline bool IsDrawnSample(float v) noexcept { return !IsGapMarker(v) && std::fabs(v) <= FLT_MAX; }

//! Extremes of the drawn samples of a stretch.
struct DrawnRange {
    float lo = std::numeric_limits<float>::infinity();   //!< lowest drawn value (+inf when none)
    float hi = -std::numeric_limits<float>::infinity();  //!< highest drawn value (-inf when none)
    bool allDrawn = true;  //!< no gap marker or non-finite value in the stretch

    bool any() const noexcept { return lo <= hi; }
};

namespace detail {

//! One pass over samples[0..count): extremes of the drawn values and whether
//! all are drawn; with Clip, drawn values are first clipped into
//! [bottom, top] in place (gap markers and non-finite values stay) and the
//! extremes are those of the clipped values.
template <bool Clip>
inline DrawnRange ScanDrawnSamples(float* samples, std::size_t count, float top, float bottom) noexcept {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    DrawnRange r;
    std::size_t q = 0;
#if defined(__GNUC__)
    // Four lanes at a time in vector registers: independent running extremes
    // per lane need no reordering of floating-point operations, so the
    // result is the plain loop's.
    typedef float F4 __attribute__((vector_size(16)));
    typedef int I4 __attribute__((vector_size(16)));
    const F4 inf = {kInf, kInf, kInf, kInf};
    const F4 gap = {kGapMarker, kGapMarker, kGapMarker, kGapMarker};
    const F4 largest = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
    const F4 vTop = {top, top, top, top};
    const F4 vBottom = {bottom, bottom, bottom, bottom};
    const I4 noSign = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    F4 lo = inf, hi = -inf;
    I4 bad = {0, 0, 0, 0};
    for (; q + 4 <= count; q += 4) {
        F4 v;
        std::memcpy(&v, samples + q, sizeof v);
        const F4 magnitude = (F4)((I4)v & noSign);
        const I4 drawn = (v != gap) & (magnitude <= largest);
        if constexpr (Clip) {
            F4 c = v > vTop ? vTop : v;
            c = c < vBottom ? vBottom : c;
            v = drawn ? c : v;
            std::memcpy(samples + q, &v, sizeof v);
        }
        const F4 forLo = drawn ? v : inf;
        const F4 forHi = drawn ? v : -inf;
        lo = forLo < lo ? forLo : lo;
        hi = forHi > hi ? forHi : hi;
        bad |= ~drawn;
    }
    for (int i = 0; i < 4; ++i) {
        if (lo[i] < r.lo) r.lo = lo[i];
        if (hi[i] > r.hi) r.hi = hi[i];
        if (bad[i] != 0) r.allDrawn = false;
    }
#endif
    for (; q < count; ++q) {
        float v = samples[q];
        if (!IsDrawnSample(v)) {
            r.allDrawn = false;
            continue;
        }
        if constexpr (Clip) {
            if (v > top) v = top;
            if (v < bottom) v = bottom;
            samples[q] = v;
        }
        if (v < r.lo) r.lo = v;
        if (v > r.hi) r.hi = v;
    }
    return r;
}

}  // namespace detail

//! Lowest and highest drawn value of samples[0..count). Equal values of
//! either sign of zero may give either zero.
inline DrawnRange RangeOfDrawnSamples(const float* samples, std::size_t count) noexcept {
#if defined(__GNUC__)
    // Fast first pass: plain extremes over all values in four independent
    // pairs of vector accumulators (16 samples per step, no dependency chain
    // on one register), NaNs noted apart. It is the answer when no value was
    // NaN, infinite or a gap marker; the gap marker lies below any range a
    // station's data take, so a lowest value above it rules the marker out.
    typedef float F4 __attribute__((vector_size(16)));
    typedef int I4 __attribute__((vector_size(16)));
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const F4 inf = {kInf, kInf, kInf, kInf};
    F4 lo[4] = {inf, inf, inf, inf}, hi[4] = {-inf, -inf, -inf, -inf};
    I4 nan = {0, 0, 0, 0};
    std::size_t q = 0;
    for (; q + 16 <= count; q += 16) {
        for (int u = 0; u < 4; ++u) {
            F4 v;
            std::memcpy(&v, samples + q + 4 * u, sizeof v);
            lo[u] = v < lo[u] ? v : lo[u];
            hi[u] = v > hi[u] ? v : hi[u];
            nan |= v != v;
        }
    }
    // The four pairs folded lane by lane first (extremes do not depend on
    // the order they are taken in), then the four lanes.
    lo[0] = lo[1] < lo[0] ? lo[1] : lo[0];
    lo[2] = lo[3] < lo[2] ? lo[3] : lo[2];
    lo[0] = lo[2] < lo[0] ? lo[2] : lo[0];
    hi[0] = hi[1] > hi[0] ? hi[1] : hi[0];
    hi[2] = hi[3] > hi[2] ? hi[3] : hi[2];
    hi[0] = hi[2] > hi[0] ? hi[2] : hi[0];
    DrawnRange r;
    bool plain = true;
    for (int i = 0; i < 4; ++i) {
        if (nan[i] != 0) plain = false;
        if (lo[0][i] < r.lo) r.lo = lo[0][i];
        if (hi[0][i] > r.hi) r.hi = hi[0][i];
    }
    for (; q < count; ++q) {
        const float v = samples[q];
        if (v != v) plain = false;
        if (v < r.lo) r.lo = v;
        if (v > r.hi) r.hi = v;
    }
    if (plain && (count == 0 || (r.lo > kGapMarker && r.hi < kInf))) return r;
#endif
    // Not written to without clipping.
    return detail::ScanDrawnSamples<false>(const_cast<float*>(samples), count, 0.0f, 0.0f);
}

//! Clips the drawn values of samples[0..count) into [bottom, top] in place,
//! with the same comparisons as drawing sample by sample (v > top gives top,
//! then v < bottom gives bottom), and returns the extremes of the clipped
//! drawn values.
inline DrawnRange ClipDrawnSamples(float* samples, std::size_t count, float top, float bottom) noexcept {
    // Most stretches lie inside the range (an automatic one holds all but the
    // ends of the window): reading them once is enough.
    const DrawnRange r = RangeOfDrawnSamples(samples, count);
    if (!(r.lo < bottom) && !(r.hi > top)) return r;
    return detail::ScanDrawnSamples<true>(samples, count, top, bottom);
}

}  // namespace kvt::viewer
