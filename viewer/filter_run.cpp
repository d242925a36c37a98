// Running a designed cascade of second-order sections over a window.
//
// A redraw filters every channel's window (hundreds of thousands of samples)
// on each pass, so this loop is the hot part of the filter. It gives the same
// floats, bit for bit, as the plain form (mean removed in a pass of its own,
// then every real sample through every section, states in an array indexed by
// the section count): every section does exactly the same float operations in
// the same order, y = b0 v + b1 x1 + b2 x2 - (a1 y1 + a2 y2) left to right in
// single precision. What changes is where the values live and when the
// operations run:
//  - the cascade is unrolled for each section count, its states in registers;
//  - the mean is taken off each sample on its way into the cascade;
//  - for 2 to 4 sections the sections run side by side on the lanes of one
//    vector, each lane some samples behind the one before it, so a sample's
//    sections no longer wait for each other (see Staggered).
#include "bandpass_filter.h"

#include <cmath>

namespace kvt::viewer {

namespace {

bool IsReal(float v) noexcept { return !IsGapMarker(v) && std::isfinite(v); }

//! What the first pass learns about the real samples of a window.
struct RealStats {
    std::size_t first = 0;  //!< index of the first real sample
    std::size_t count = 0;  //!< number of real samples (0: only gaps)
    double mean = 0.0;      //!< their mean, summed in double in sample order
};

//! Counts and sums the real samples. The sum runs in sample order: double
//! additions do not associate, so any other order could change the mean in
//! its last bit.
RealStats ScanReal(const float* samples, std::size_t count) noexcept {
    RealStats r;
    std::size_t first = 0;
    while (first < count && !IsReal(samples[first])) ++first;
    if (first == count) return r;
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t i = first; i < count; ++i) {
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

//! N sections one after the other on each sample. The output of section s is
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
            const float y = c.b0 * v + c.b1 * h1_[s] + c.b2 * h2_[s] - (c.a1 * h1_[s + 1] + c.a2 * h2_[s + 1]);
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

//! N (2..4) sections side by side on the lanes of one vector of four floats,
//! staggered: lane s works on the real sample 2 s steps behind the one that
//! enters lane 0, so its input is the output lane s - 1 gave two steps ago.
//! Each lane does the very float operations of its section in the same order,
//! but the sections of one sample no longer wait for each other: a step costs
//! one section's recursion instead of the whole cascade's chain.
template <int N>
class Staggered {
    static_assert(N >= 2 && N <= 4);
    using Vec = float __attribute__((vector_size(16)));

public:
    static constexpr int kLag = 2 * (N - 1);  //!< steps from a sample's entry to its output

    Staggered(const BiquadSection* sections, float start) noexcept {
        for (int s = 0; s < 4; ++s) {
            const BiquadSection c = s < N ? sections[s] : BiquadSection{};  // spare lanes stay 0
            b0_[s] = c.b0;
            b1_[s] = c.b1;
            b2_[s] = c.b2;
            a1_[s] = c.a1;
            a2_[s] = c.a2;
        }
        x1_ = x2_ = y1_ = y2_ = Vec{start, start, start, start};
    }

    //! Takes v into section 0; returns the last section's output for the
    //! sample taken kLag steps before.
    float Step(float v) noexcept {
        Vec in = __builtin_shufflevector(y2_, y2_, 3, 0, 1, 2);
        in[0] = v;
        const Vec y = b0_ * in + b1_ * x1_ + b2_ * x2_ - (a1_ * y1_ + a2_ * y2_);
        x2_ = x1_;
        x1_ = in;
        y2_ = y1_;
        y1_ = y;
        return y[N - 1];
    }

    //! Step number `step` (from 0) while the first sample has not yet reached
    //! every lane: a lane it has not reached keeps its starting state.
    float StartStep(float v, std::size_t step) noexcept {
        const Vec x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
        const float out = Step(v);
        for (int s = 1; s < 4; ++s) {
            if (static_cast<std::size_t>(2 * s) <= step) continue;
            x1_[s] = x1[s];
            x2_[s] = x2[s];
            y1_[s] = y1[s];
            y2_[s] = y2[s];
        }
        return out;
    }

private:
    Vec b0_, b1_, b2_, a1_, a2_;  //!< coefficients, lane s for section s
    Vec x1_, x2_, y1_, y2_;       //!< last two inputs and outputs of each lane
};

//! Removes the mean from the real samples and runs them through the filter.
//! Gaps are passed over (the state runs on across them); the output of a
//! sample comes kLag real samples after it went in, so the places of the last
//! ones taken in are kept in a ring.
template <typename Filter>
void RunWindow(Filter filter, float* samples, std::size_t count, const RealStats& r) noexcept {
    constexpr std::size_t kLag = Filter::kLag;
    constexpr std::size_t kRing = 8;
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

template <int N>
void RunSections(const BiquadSection* sections, float* samples, std::size_t count, const RealStats& r,
                 float start) noexcept {
    if constexpr (N >= 2 && N <= 4) {
        RunWindow(Staggered<N>(sections, start), samples, count, r);
    } else {
        RunWindow(Cascade<N>(sections, start), samples, count, r);
    }
}

//! No sections: only the mean is removed.
template <>
void RunSections<0>(const BiquadSection*, float* samples, std::size_t count, const RealStats& r,
                    float) noexcept {
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
