#pragma once
// The plain form of RunFilter, kept as the yardstick the fast cascade is held
// to by the tests and the filter benchmark: the mean removed in a pass of its
// own, then every real sample through an array of section states indexed by
// the section count. RunFilter must give exactly these floats.

#include "bandpass_filter.h"

#include <cmath>
#include <cstddef>

namespace kvt::viewer {

//! Runs design over samples[0..count) in place, the straightforward way
//! (see RunFilter for what is done to gaps, non-finite samples and the mean).
inline void RunFilterReference(const FilterDesign& design, float* samples, std::size_t count) noexcept {
    auto isReal = [](float v) { return !IsGapMarker(v) && std::isfinite(v); };
    if (samples == nullptr || count == 0) return;
    double sum = 0.0;
    std::size_t real = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (isReal(samples[i])) {
            sum += samples[i];
            ++real;
        }
    }
    if (real == 0) return;
    const double mean = sum / static_cast<double>(real);
    std::size_t first = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (isReal(samples[i])) {
            samples[i] = static_cast<float>(samples[i] - mean);
            if (first == count) first = i;
        }
    }
    struct State {
        float x1, x2, y1, y2;
    };
    State state[kMaxSections];
    const int sections = design.count < kMaxSections ? design.count : kMaxSections;
    const float start = samples[first];
    for (int s = 0; s < sections; ++s) state[s] = {start, start, start, start};
    for (std::size_t i = first; i < count; ++i) {
        if (!isReal(samples[i])) continue;
        float v = samples[i];
        for (int s = 0; s < sections; ++s) {
            const BiquadSection& c = design.sections[static_cast<std::size_t>(s)];
            State& st = state[s];
            const float y = c.b0 * v + c.b1 * st.x1 + c.b2 * st.x2 - (c.a1 * st.y1 + c.a2 * st.y2);
            st.x2 = st.x1;
            st.x1 = v;
            st.y2 = st.y1;
            st.y1 = y;
            v = y;
        }
        samples[i] = v;
    }
}

}  // namespace kvt::viewer
