// Figures for the display's band-pass filter (order 3: three second-order
// sections) over one channel's window: nanoseconds per sample of RunFilter
// against the plain per-sample loop it replaced, and whether both give the
// same floats, bit for bit.
//
//   filter [samples] [runs]

#include "viewer/bandpass_filter.h"
#include "viewer/filter_reference.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using kvt::viewer::FilterDesign;

// Best time of several runs, in nanoseconds per sample; out gets the result.
template <typename Run>
double BestNsPerSample(const std::vector<float>& input, int runs, std::vector<float>& out, Run run) {
    double best = std::numeric_limits<double>::infinity();
    for (int r = 0; r < runs; ++r) {
        out = input;
        const auto t0 = std::chrono::steady_clock::now();
        run(out.data(), out.size());
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    return best / static_cast<double>(input.size());
}

struct Signal {
    const char* name;
    std::vector<float> samples;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace kvt::viewer;
    const long long count = argc > 1 ? std::atoll(argv[1]) : 360000LL;  // an hour at 100 samples/s
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    if (count < 1 || runs < 1) {
        std::fprintf(stderr, "usage: filter [samples >= 1] [runs >= 1]\n");
        return 2;
    }
    const std::size_t n = static_cast<std::size_t>(count);
    constexpr double kDt = 0.01;
    FilterDesign design;
    if (DesignFilter(design, kDt, static_cast<int>(FilterType::BandPass), 3, 0.5f, 5.0f) != FilterStatus::Ok) {
        std::fprintf(stderr, "filter: design refused\n");
        return 1;
    }

    // Digitiser counts (whole numbers around an offset), the same with gaps,
    // and values with fractions (a converted or scaled record).
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    Signal signals[3] = {{"counts", {}}, {"counts, gaps", {}}, {"fractions", {}}};
    for (Signal& s : signals) s.samples.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double t = static_cast<double>(k) * kDt;
        const double v = 5000.0 + 800.0 * std::sin(t * 0.7) + 300.0 * std::sin(t * 17.0) + noise(rng);
        signals[0].samples[k] = static_cast<float>(std::round(v));
        signals[1].samples[k] = k % 50000 < 100 ? kGapMarker : signals[0].samples[k];
        signals[2].samples[k] = static_cast<float>(v * 0.0137);
    }

    std::printf("samples per run              %zu (best of %d runs)\n", n, runs);
    std::printf("sections                     %d (band-pass of order 3)\n", design.count);
    bool allSame = true;
    for (const Signal& s : signals) {
        std::vector<float> ref, fast;
        const double refNs = BestNsPerSample(s.samples, runs, ref, [&](float* p, std::size_t c) {
            kvt::viewer::RunFilterReference(design, p, c);
        });
        const double fastNs = BestNsPerSample(s.samples, runs, fast, [&](float* p, std::size_t c) {
            RunFilter(design, p, c);
        });
        const bool same = std::memcmp(ref.data(), fast.data(), n * sizeof(float)) == 0;
        allSame = allSame && same;
        std::printf("%-13s plain loop     %.2f ns/sample\n", s.name, refNs);
        std::printf("%-13s RunFilter      %.2f ns/sample (%.1fx), same floats: %s\n", s.name, fastNs,
                    refNs / fastNs, same ? "yes" : "NO");
    }

    // Other section counts (the sections of a band-pass of order 10 cut short).
    FilterDesign full;
    DesignFilter(full, kDt, static_cast<int>(FilterType::BandPass), kMaxFilterOrder, 0.5f, 20.0f);
    std::printf("other section counts, counts (ns/sample plain loop / RunFilter):\n");
    for (int count = 0; count <= kMaxSections; ++count) {
        FilterDesign cut = full;
        cut.count = count;
        std::vector<float> ref, fast;
        const double refNs = BestNsPerSample(signals[0].samples, runs, ref, [&](float* p, std::size_t c) {
            kvt::viewer::RunFilterReference(cut, p, c);
        });
        const double fastNs = BestNsPerSample(signals[0].samples, runs, fast, [&](float* p, std::size_t c) {
            RunFilter(cut, p, c);
        });
        const bool same = std::memcmp(ref.data(), fast.data(), n * sizeof(float)) == 0;
        allSame = allSame && same;
        std::printf("  %2d sections  %6.2f / %5.2f%s\n", count, refNs, fastNs, same ? "" : "  NOT THE SAME FLOATS");
    }
    return allSame ? 0 : 1;
}
