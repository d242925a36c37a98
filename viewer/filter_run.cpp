// Running a designed cascade of second-order sections over a window.
//
// A redraw filters every channel's window (hundreds of thousands of samples)
// on each pass, so this loop is the hot part of the filter. It gives the same
// floats, bit for bit, as the plain form (mean removed in a pass of its own,
// then every real sample through every section, states in an array indexed by
// the section count): every section does exactly the same float operations in
// the same order, y = b0 v + b1 x1 + b2 x2 - (a1 y1 + a2 y2) left to right in
// single precision, and the mean is the same double. What changes is where
// the values live and when the operations run:
//  - the sum for the mean goes four and eight samples at a time for as long
//    as no partial sum is rounded, so that its order does not matter;
//  - the mean is taken off each sample on its way into the cascade;
//  - the sections run side by side on the lanes of vectors, each lane some
//    samples behind the one before it, so the sections of one sample no
//    longer wait for each other (see Staggered); a single section runs alone.
#include "bandpass_filter.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kvt::viewer {

namespace {

bool IsReal(float v) noexcept { return !IsGapMarker(v) && std::isfinite(v); }

//! What the first pass learns about the real samples of a window.
struct RealStats {
    std::size_t first = 0;  //!< index of the first real sample
    std::size_t count = 0;  //!< number of real samples (0: only gaps)
    double mean = 0.0;      //!< their mean, summed in double in sample order
};

using Vec4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));
using Vec4d = double __attribute__((vector_size(32)));

constexpr std::size_t kSumBlock = 256;  //!< samples summed out of order at a time (a multiple of 8)
//! 2^52. Whole numbers up to 2^53 are exact in double; the bound on the partial
//! sums is itself summed in double, so it is held to half that.
constexpr double kExactLimit = 4503599627370496.0;

//! Running sum of the real samples, kept equal to the sum in sample order.
struct RealSum {
    double sum = 0.0;    //!< +0.0 at the start
    std::size_t n = 0;   //!< real samples summed
    double bound = 0.0;  //!< no partial sum so far exceeds this in magnitude
};

//! Sums the real samples of p[0..kSumBlock) in any order, which gives the sum
//! in sample order as long as every partial sum is exact: all the samples so
//! far are whole numbers (digitiser counts usually are) and no partial sum, in
//! whatever order, exceeds 2^53 (checked on a bound of the partial sums, see
//! kExactLimit). Adds the block to acc and returns true when that holds, else
//! returns false and leaves acc alone.
bool SumBlockExactly(const float* p, RealSum& acc) noexcept {
    const Vec4 gap = {kGapMarker, kGapMarker, kGapMarker, kGapMarker};
    const Vec4 largest = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
    const Vec4 two23 = {8388608.0f, 8388608.0f, 8388608.0f, 8388608.0f};  // floats from here up are whole
    const Int4 noSign = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    Vec4d sum0 = {}, sum1 = {};
    Int4 real = {};
    Int4 whole = ~Int4{};
    Int4 top = {};  // largest magnitude, as bits (order of magnitudes is that of their bits)
    // Adds the real samples of the 4 at q to sum, in double.
    auto take = [&](const float* q, Vec4d& sum) {
        Vec4 x;
        std::memcpy(&x, q, sizeof x);
        const Int4 bits = std::bit_cast<Int4>(x);
        const Int4 use = (x != gap) & (std::bit_cast<Vec4>(bits & noSign) <= largest);
        const Int4 aBits = bits & noSign & use;
        const Vec4 a = std::bit_cast<Vec4>(aBits);
        // Below 2^23 adding and taking off 2^23 rounds to a whole number.
        whole &= (a >= two23) | (((a + two23) - two23) == a);
        real -= use;
        const Int4 larger = aBits > top;
        top = (aBits & larger) | (top & ~larger);
        const Vec4 v = std::bit_cast<Vec4>(bits & use);
        sum += __builtin_convertvector(v, Vec4d);
    };
    for (std::size_t k = 0; k < kSumBlock; k += 8) {
        take(p + k, sum0);
        take(p + k + 4, sum1);
    }
    if ((whole[0] & whole[1] & whole[2] & whole[3]) == 0) return false;
    std::int32_t topBits = 0;
    for (int l = 0; l < 4; ++l) topBits = top[l] > topBits ? top[l] : topBits;
    float largestMagnitude;
    std::memcpy(&largestMagnitude, &topBits, sizeof largestMagnitude);
    const std::size_t n = static_cast<std::size_t>(real[0] + real[1] + real[2] + real[3]);
    const double bound = acc.bound + static_cast<double>(n) * largestMagnitude;
    if (!(bound <= kExactLimit)) return false;
    const Vec4d s = sum0 + sum1;
    acc.sum += (s[0] + s[1]) + (s[2] + s[3]);
    acc.n += n;
    acc.bound = bound;
    return true;
}

//! Counts and sums the real samples. The result is the sum in sample order
//! (double additions do not associate, so another order could change the mean
//! in its last bit): blocks are summed out of order only while that is exact.
[[gnu::noinline]] RealStats ScanReal(const float* samples, std::size_t count) noexcept {
    RealStats r;
    std::size_t first = 0;
    while (first < count && !IsReal(samples[first])) ++first;
    if (first == count) return r;
    RealSum acc;
    std::size_t i = first;
    while (count - i >= kSumBlock && SumBlockExactly(samples + i, acc)) i += kSumBlock;
    double sum = acc.sum;
    std::size_t n = acc.n;
    for (; i < count; ++i) {
        const float x = samples[i];
        const bool use = IsReal(x);
        // Adding +0.0 for a gap leaves the sum as it is: a sum that starts at
        // +0.0 never becomes -0.0 when rounding to nearest.
        sum += use ? static_cast<double>(x) : 0.0;
        n += use ? 1u : 0u;
    }
    r.first = first;
    r.count = n;
    r.mean = sum / static_cast<double>(n);
    return r;
}

//! N sections one after the other on each sample (used for one section,
//! where lanes gain nothing). The output of section s is
//! the input of section s + 1, so the two share one history: h1[s], h2[s] are
//! the last two inputs of section s and h1[s + 1], h2[s + 1] its last two
//! outputs.
template <int N>
class Cascade {
public:
    static constexpr int kLag = 0;  //!< steps from a sample's entry to its output

    Cascade(const BiquadSection* sections, float start) noexcept {
#pragma GCC unroll 16
        for (int s = 0; s < N; ++s) c_[s] = sections[s];
#pragma GCC unroll 16
        for (int s = 0; s <= N; ++s) h1_[s] = h2_[s] = start;
    }

    //! One sample through every section; returns the last section's output.
    float Step(float v) noexcept {
#pragma GCC unroll 16
        for (int s = 0; s < N; ++s) {
            const BiquadSection& c = c_[s];
            const float y =
                c.b0 * v + c.b1 * h1_[s] + c.b2 * h2_[s] - (c.a1 * h1_[s + 1] + c.a2 * h2_[s + 1]);
            h2_[s] = h1_[s];
            h1_[s] = v;
            v = y;
        }
        h2_[N] = h1_[N];
        h1_[N] = v;
        return v;
    }
    float StartStep(float v, std::size_t) noexcept { return Step(v); }

private:
    BiquadSection c_[N];
    float h1_[N + 1];
    float h2_[N + 1];
};

//! N sections side by side on the lanes of vectors of four floats (section s
//! on lane s % 4 of vector s / 4), staggered: lane s works on the real sample
//! 2 s steps behind the one that enters lane 0, so its input is the output
//! lane s - 1 gave two steps ago. Each lane does the very float operations of
//! its section in the same order, but the sections of one sample no longer
//! wait for each other: a step costs one section's recursion instead of the
//! whole cascade's chain.
template <int N>
class Staggered {
    using Vec = Vec4;
    static constexpr int kVectors = (N + 3) / 4;

public:
    static constexpr int kLag = 2 * (N - 1);  //!< steps from a sample's entry to its output

    Staggered(const BiquadSection* sections, float start) noexcept {
        for (int s = 0; s < 4 * kVectors; ++s) {
            const BiquadSection c = s < N ? sections[s] : BiquadSection{};  // spare lanes stay 0
            Lanes& l = lanes_[s / 4];
            l.b0[s % 4] = c.b0;
            l.b1[s % 4] = c.b1;
            l.b2[s % 4] = c.b2;
            l.a1[s % 4] = c.a1;
            l.a2[s % 4] = c.a2;
            l.x1[s % 4] = l.x2[s % 4] = l.y1[s % 4] = l.y2[s % 4] = start;
        }
    }

    //! Takes v into section 0; returns the last section's output for the
    //! sample taken kLag steps before.
    float Step(float v) noexcept {
        Vec in[kVectors];
#pragma GCC unroll 4
        for (int g = 0; g < kVectors; ++g) {
            in[g] = __builtin_shufflevector(lanes_[g].y2, lanes_[g].y2, 3, 0, 1, 2);
            in[g][0] = g == 0 ? v : lanes_[g - 1].y2[3];
        }
#pragma GCC unroll 4
        for (int g = 0; g < kVectors; ++g) {
            Lanes& l = lanes_[g];
            const Vec y = l.b0 * in[g] + l.b1 * l.x1 + l.b2 * l.x2 - (l.a1 * l.y1 + l.a2 * l.y2);
            l.x2 = l.x1;
            l.x1 = in[g];
            l.y2 = l.y1;
            l.y1 = y;
        }
        return lanes_[(N - 1) / 4].y1[(N - 1) % 4];
    }

    //! Step number `step` (from 0) while the first sample has not yet reached
    //! every lane: a lane it has not reached keeps its starting state.
    float StartStep(float v, std::size_t step) noexcept {
        Lanes before[kVectors];
        for (int g = 0; g < kVectors; ++g) before[g] = lanes_[g];
        const float out = Step(v);
        for (int s = 1; s < 4 * kVectors; ++s) {
            if (static_cast<std::size_t>(2 * s) <= step) continue;
            const Lanes& b = before[s / 4];
            Lanes& l = lanes_[s / 4];
            l.x1[s % 4] = b.x1[s % 4];
            l.x2[s % 4] = b.x2[s % 4];
            l.y1[s % 4] = b.y1[s % 4];
            l.y2[s % 4] = b.y2[s % 4];
        }
        return out;
    }

private:
    struct Lanes {
        Vec b0, b1, b2, a1, a2;  //!< coefficients
        Vec x1, x2, y1, y2;      //!< last two inputs and outputs
    };
    Lanes lanes_[kVectors];
};

//! Removes the mean from the real samples and runs them through the filter.
//! Gaps are passed over (the state runs on across them); the output of a
//! sample comes kLag real samples after it went in, so the places of the last
//! ones taken in are kept in a ring.
template <typename Filter>
void RunWindow(Filter filter, float* samples, std::size_t count, const RealStats& r) noexcept {
    constexpr std::size_t kLag = Filter::kLag;
    constexpr std::size_t kRing = 32;
    static_assert(kLag < kRing);
    std::size_t where[kRing] = {};
    std::size_t step = 0;
    // The real sample at i with the mean taken off, or false for a sample
    // that is passed over.
    auto take = [&](std::size_t i, float& v) {
        const float x = samples[i];
        if (!IsReal(x)) return false;
        v = static_cast<float>(x - r.mean);
        if (!IsReal(v)) {
            // A huge sample can leave the float range once the mean is taken
            // off (or land on the gap marker): it is then passed over too.
            samples[i] = v;
            return false;
        }
        where[step % kRing] = i;
        return true;
    };
    std::size_t i = r.first;
    for (float v; i < count && step < kLag; ++i) {
        if (take(i, v)) filter.StartStep(v, step++);
    }
    for (float v; i < count; ++i) {
        if (!take(i, v)) continue;
        const float out = filter.Step(v);
        samples[where[(step - kLag) % kRing]] = out;
        ++step;
    }
    // Push the last samples through to the last lane; what enters now is
    // never written anywhere.
    for (std::size_t k = 0; k < kLag; ++k, ++step) {
        const float out = step < kLag ? filter.StartStep(0.0f, step) : filter.Step(0.0f);
        if (step >= kLag) samples[where[(step - kLag) % kRing]] = out;
    }
}

// Not inlined into RunFilter, so that each loop has the registers to itself.
template <int N>
[[gnu::noinline]] void RunSections(const BiquadSection* sections, float* samples, std::size_t count,
                                   const RealStats& r, float start) noexcept {
    if constexpr (N >= 2) {
        RunWindow(Staggered<N>(sections, start), samples, count, r);
    } else {
        RunWindow(Cascade<N>(sections, start), samples, count, r);
    }
}

//! No sections: only the mean is removed.
template <>
[[gnu::noinline]] void RunSections<0>(const BiquadSection*, float* samples, std::size_t count,
                                      const RealStats& r, float) noexcept {
    for (std::size_t i = r.first; i < count; ++i) {
        const float x = samples[i];
        if (IsReal(x)) samples[i] = static_cast<float>(x - r.mean);
    }
}

}  // namespace

void RunFilter(const FilterDesign& design, float* samples, std::size_t count) noexcept {
    if (samples == nullptr || count == 0) return;
    const RealStats r = ScanReal(samples, count);
    if (r.count == 0) return;  // nothing but gaps: left as they are
    // Every section starts as if the first real sample had always been there
    // (a leading gap is skipped rather than taken as a value).
    const float start = static_cast<float>(samples[r.first] - r.mean);
    const BiquadSection* c = design.sections.data();
    switch (design.count < 0 ? 0 : design.count) {
        case 0: RunSections<0>(c, samples, count, r, start); break;
        case 1: RunSections<1>(c, samples, count, r, start); break;
        case 2: RunSections<2>(c, samples, count, r, start); break;
        case 3: RunSections<3>(c, samples, count, r, start); break;
        case 4: RunSections<4>(c, samples, count, r, start); break;
        case 5: RunSections<5>(c, samples, count, r, start); break;
        case 6: RunSections<6>(c, samples, count, r, start); break;
        case 7: RunSections<7>(c, samples, count, r, start); break;
        case 8: RunSections<8>(c, samples, count, r, start); break;
        case 9: RunSections<9>(c, samples, count, r, start); break;
        default: RunSections<kMaxSections>(c, samples, count, r, start); break;
    }
}

}  // namespace kvt::viewer
