// Band-pass filter of the monitor: design, mean removal, gap handling.
#include "viewer/bandpass_filter.h"
#include "viewer/filter_reference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace kvt::viewer {
namespace {

constexpr double kRate = 20.0;
constexpr double kDt = 1.0 / kRate;

std::vector<float> Sine(double freq, std::size_t count, double amplitude = 1000.0) {
    std::vector<float> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        v[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(i) * kDt));
    }
    return v;
}

//! Gain in dB of a filter for a sine of freq Hz, measured on the steady
//! state: 400 s of signal, amplitude from the RMS of the last 200 s.
double GainDb(int type, float f1, float f2, double freq, int order = 3) {
    constexpr std::size_t kCount = 8000;
    constexpr double kAmplitude = 1000.0;
    std::vector<float> v = Sine(freq, kCount, kAmplitude);
    EXPECT_EQ(ApplyFilter(v.data(), v.size(), kDt, type, order, f1, f2, 1), FilterStatus::Ok);
    double sumSquares = 0.0;
    for (std::size_t i = kCount / 2; i < kCount; ++i) sumSquares += static_cast<double>(v[i]) * v[i];
    const double amplitude = std::sqrt(2.0 * sumSquares / static_cast<double>(kCount / 2));
    return 20.0 * std::log10(amplitude / kAmplitude);
}

struct GainCase {
    const char* reason;
    int type;
    float f1, f2;
    double freq;
    double minDb, maxDb;
};

class FilterGain : public ::testing::TestWithParam<GainCase> {};

TEST_P(FilterGain, SteadyStateGainWithinBounds) {
    const GainCase& c = GetParam();
    SCOPED_TRACE(c.reason);
    const double db = GainDb(c.type, c.f1, c.f2, c.freq);
    EXPECT_GE(db, c.minDb);
    EXPECT_LE(db, c.maxDb);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, FilterGain,
    ::testing::Values(
        GainCase{"band-pass: 3 Hz lies in the pass band", 0, 1, 5, 3.0, -0.5, 0.1},
        GainCase{"band-pass: low corner is -3 dB (pre-warped)", 0, 1, 5, 1.0, -3.21, -2.81},
        GainCase{"band-pass: high corner is -3 dB (pre-warped)", 0, 1, 5, 5.0, -3.21, -2.81},
        GainCase{"band-pass: 0.1 Hz far below the band", 0, 1, 5, 0.1, -300, -40},
        GainCase{"band-pass: 9 Hz above the band, near Nyquist", 0, 1, 5, 9.0, -300, -20},
        GainCase{"band-pass up to Nyquist acts as a high-pass: 9 Hz passes", 0, 1, 10, 9.0, -0.5, 0.1},
        GainCase{"band-pass up to Nyquist acts as a high-pass: 0.1 Hz stopped", 0, 1, 10, 0.1, -300, -40},
        GainCase{"band-pass from 0 acts as a low-pass: 0.1 Hz passes", 0, 0, 5, 0.1, -0.5, 0.1},
        GainCase{"band-pass from 0 acts as a low-pass: 5 Hz is -3 dB", 0, 0, 5, 5.0, -3.21, -2.81},
        GainCase{"low-pass: corner is -3 dB", 1, 0, 2, 2.0, -3.21, -2.81},
        GainCase{"low-pass: 0.5 Hz passes", 1, 0, 2, 0.5, -0.5, 0.1},
        GainCase{"low-pass: 8 Hz stopped", 1, 0, 2, 8.0, -300, -30},
        GainCase{"high-pass: corner is -3 dB", 3, 2, 0, 2.0, -3.21, -2.81},
        GainCase{"high-pass: 8 Hz passes", 3, 2, 0, 8.0, -0.5, 0.1},
        GainCase{"high-pass: 0.5 Hz stopped", 3, 2, 0, 0.5, -300, -30},
        GainCase{"band-reject: low corner is -3 dB", 2, 1, 5, 1.0, -3.21, -2.81},
        GainCase{"band-reject: high corner is -3 dB", 2, 1, 5, 5.0, -3.21, -2.81},
        GainCase{"band-reject: 3 Hz inside the stop band", 2, 1, 5, 3.0, -300, -15},
        GainCase{"band-reject: 0.1 Hz passes", 2, 1, 5, 0.1, -0.5, 0.1}));

TEST(BandPass, DisplayFilterIsOrderThreeBandPass) {
    std::vector<float> a = Sine(1.7, 2000);
    std::vector<float> b = a;
    ASSERT_EQ(ApplyBandPass(a.data(), a.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
    ASSERT_EQ(ApplyFilter(b.data(), b.size(), kDt, 0, 3, 1.0f, 5.0f, 1), FilterStatus::Ok);
    EXPECT_EQ(a, b);
    FilterDesign d;
    ASSERT_EQ(DesignFilter(d, kDt, 0, 3, 1.0f, 5.0f), FilterStatus::Ok);
    EXPECT_EQ(d.count, 3);
}

TEST(BandPass, ConstantBecomesZero) {
    for (const float value : {5.0f, 3.7f, -12345.6f}) {
        SCOPED_TRACE(value);
        std::vector<float> v(500, value);
        ASSERT_EQ(ApplyBandPass(v.data(), v.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
        for (const float s : v) ASSERT_EQ(s, 0.0f);
    }
}

TEST(BandPass, OnlyGapMarkersAreLeftAlone) {
    std::vector<float> v(100, kGapMarker);
    ASSERT_EQ(ApplyBandPass(v.data(), v.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
    EXPECT_EQ(v, std::vector<float>(100, kGapMarker));
    EXPECT_EQ(ApplyBandPass(nullptr, 0, kDt, 1.0f, 5.0f), FilterStatus::Ok);
}

// Samples around a gap are filtered as if the gap were not there: the same
// data without the markers give the same values, and the markers stay put.
TEST(BandPass, GapMarkersKeepPlaceAndStateRunsOn) {
    struct Case {
        const char* reason;
        std::vector<std::size_t> gaps;
    };
    const Case cases[] = {
        {"gap in the middle", {300, 301, 302, 303, 304}},
        {"leading gap: the state starts at the first real sample", {0, 1, 2}},
        {"trailing gap", {597, 598, 599}},
        {"scattered single markers", {10, 200, 201, 450}},
    };
    const std::vector<float> signal = Sine(2.3, 600);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<float> withGaps = signal;
        std::vector<float> compact;
        for (std::size_t i = 0; i < signal.size(); ++i) {
            bool gap = false;
            for (const std::size_t g : c.gaps) gap = gap || g == i;
            if (gap) withGaps[i] = kGapMarker;
            else compact.push_back(signal[i] + 250.0f);  // an offset the mean removal takes away
            if (!gap) withGaps[i] += 250.0f;
        }
        ASSERT_EQ(ApplyBandPass(withGaps.data(), withGaps.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
        ASSERT_EQ(ApplyBandPass(compact.data(), compact.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
        std::size_t k = 0;
        for (std::size_t i = 0; i < withGaps.size(); ++i) {
            bool gap = false;
            for (const std::size_t g : c.gaps) gap = gap || g == i;
            if (gap) {
                EXPECT_EQ(withGaps[i], kGapMarker);
            } else {
                EXPECT_EQ(withGaps[i], compact[k++]);
            }
        }
    }
}

TEST(BandPass, NonFiniteSamplesAreSkippedLikeGaps) {
    std::vector<float> v = Sine(3.0, 400);
    std::vector<float> ref = v;
    v[100] = NAN;
    v[200] = INFINITY;
    ref.erase(ref.begin() + 200);
    ref.erase(ref.begin() + 100);
    ASSERT_EQ(ApplyBandPass(v.data(), v.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
    ASSERT_EQ(ApplyBandPass(ref.data(), ref.size(), kDt, 1.0f, 5.0f), FilterStatus::Ok);
    EXPECT_TRUE(std::isnan(v[100]));
    EXPECT_EQ(v[200], INFINITY);
    EXPECT_EQ(v[399], ref[397]);
    EXPECT_EQ(v[150], ref[149]);
}

TEST(FilterDesign, OrderIsClampedToTwoThroughTen) {
    struct Case {
        int order;
        int sections;  // band-pass: one section per prototype pole of the order
    };
    const Case cases[] = {{-5, 2}, {0, 2}, {1, 2}, {2, 2}, {3, 3}, {7, 7}, {10, 10}, {11, 10}, {1000, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        FilterDesign d;
        ASSERT_EQ(DesignFilter(d, kDt, 0, c.order, 1.0f, 5.0f), FilterStatus::Ok);
        EXPECT_EQ(d.count, c.sections);
    }
    FilterDesign low, two;
    ASSERT_EQ(DesignFilter(low, kDt, 0, 1, 1.0f, 5.0f), FilterStatus::Ok);
    ASSERT_EQ(DesignFilter(two, kDt, 0, 2, 1.0f, 5.0f), FilterStatus::Ok);
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(low.sections[s].b0, two.sections[s].b0);
        EXPECT_EQ(low.sections[s].a1, two.sections[s].a1);
        EXPECT_EQ(low.sections[s].a2, two.sections[s].a2);
    }
}

TEST(FilterDesign, TypeCodes) {
    EXPECT_STREQ(FilterTypeCode(0), "BP");
    EXPECT_STREQ(FilterTypeCode(1), "LP");
    EXPECT_STREQ(FilterTypeCode(2), "BR");
    EXPECT_STREQ(FilterTypeCode(3), "HP");
    EXPECT_EQ(FilterTypeCode(4), nullptr);
    EXPECT_EQ(FilterTypeCode(-1), nullptr);
}

// Arguments that describe no filter are refused and leave the data alone.
TEST(FilterDesign, BadArgumentsAreRefusedWithoutTouchingSamples) {
    struct Case {
        const char* reason;
        int type;
        double dt;
        float f1, f2;
        FilterStatus expected;
    };
    const Case cases[] = {
        {"type above 3", 4, kDt, 1, 5, FilterStatus::BadType},
        {"negative type", -1, kDt, 1, 5, FilterStatus::BadType},
        {"zero interval", 0, 0.0, 1, 5, FilterStatus::BadInterval},
        {"negative interval", 0, -0.05, 1, 5, FilterStatus::BadInterval},
        {"interval not a number", 0, NAN, 1, 5, FilterStatus::BadInterval},
        {"infinite interval", 0, INFINITY, 1, 5, FilterStatus::BadInterval},
        {"corners reversed", 0, kDt, 5, 1, FilterStatus::BadCorners},
        {"corners equal", 0, kDt, 2, 2, FilterStatus::BadCorners},
        {"negative low corner", 0, kDt, -1, 5, FilterStatus::BadCorners},
        {"corner not a number", 0, kDt, NAN, 5, FilterStatus::BadCorners},
        {"band above Nyquist", 0, kDt, 11, 15, FilterStatus::BadCorners},
        {"low-pass at 0 Hz passes nothing", 1, kDt, 0, 0, FilterStatus::BadCorners},
        {"high-pass above Nyquist passes nothing", 3, kDt, 12, 0, FilterStatus::BadCorners},
        {"band-reject of everything", 2, kDt, 0, 10, FilterStatus::BadCorners},
    };
    const std::vector<float> original = Sine(3.0, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<float> v = original;
        EXPECT_EQ(ApplyFilter(v.data(), v.size(), c.dt, c.type, 3, c.f1, c.f2, 1), c.expected);
        EXPECT_EQ(v, original);
        EXPECT_STRNE(FilterStatusText(c.expected), FilterStatusText(FilterStatus::Ok));
    }
}

// Corners at the very edges of the allowed range keep the output finite.
TEST(FilterDesign, EdgeCornersGiveStableOutput) {
    const float corners[][2] = {{0, 10}, {0, 5}, {1, 10}, {9.99f, 10}, {0.001f, 9.999f}};
    for (const auto& c : corners) {
        SCOPED_TRACE(testing::Message() << c[0] << "," << c[1]);
        std::vector<float> v = Sine(2.0, 4000);
        ASSERT_EQ(ApplyBandPass(v.data(), v.size(), kDt, c[0], c[1]), FilterStatus::Ok);
        for (const float s : v) {
            ASSERT_TRUE(std::isfinite(s));
            ASSERT_LT(std::fabs(s), 1e5f);
        }
    }
}


struct Signal {
    std::string reason;
    std::vector<float> samples;
};

// Inputs that take every path of the loop: long runs, gaps and samples that
// are not numbers anywhere (also among the first few, while the first sample
// is still on its way through the sections), windows shorter than the
// cascade, values at the edges of the float range.
std::vector<Signal> IdentitySignals() {
    constexpr std::size_t kCount = 1500;
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 400.0);
    std::vector<float> counts(kCount), fractions(kCount), steps(kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        const double v = 2000.0 + 700.0 * std::sin(0.05 * static_cast<double>(i)) + noise(rng);
        counts[i] = static_cast<float>(std::round(v));
        fractions[i] = static_cast<float>(v * 0.0137);
        steps[i] = i < 300 ? 0.0f : i < 900 ? 1000.0f : -500.0f;
    }
    auto with = [](std::vector<float> v, std::vector<std::size_t> at, float value) {
        for (const std::size_t i : at) v[i] = value;
        return v;
    };
    auto range = [](std::size_t from, std::size_t to) {
        std::vector<std::size_t> r;
        for (std::size_t i = from; i < to; ++i) r.push_back(i);
        return r;
    };
    std::vector<std::size_t> scattered;
    for (std::size_t i = 1; i < kCount; i += 7 + i % 5) scattered.push_back(i);

    // After the mean (16) is taken off, the first sample of each four is
    // exactly the gap marker's value and is then passed over like a gap.
    std::vector<float> marker;
    for (int k = 0; k < 40; ++k) marker.insert(marker.end(), {-123456776.0f, 123456808.0f, 16.0f, 16.0f});
    std::vector<float> huge = counts;
    for (std::size_t i = 0; i < kCount; i += 3) huge[i] = (i % 2 != 0 ? 1.0f : -1.0f) * FLT_MAX;
    std::vector<float> denormals(400);
    for (std::size_t i = 0; i < denormals.size(); ++i) {
        denormals[i] = static_cast<float>(static_cast<int>(i % 9) - 4) * 1e-42f;
    }
    // 2^53 plus ones: in sample order the ones are rounded away, in any other
    // order some are not.
    std::vector<float> beyondExact;
    for (int k = 0; k < 120; ++k) beyondExact.insert(beyondExact.end(), {0x1p53f, 1, 1, 1, 1, 1, 1, -0x1p53f});
    // Small fractions after 2^44 are rounded away in sample order, those after
    // -2^44 (which cancels it) are not; summed in another order they all count.
    std::vector<float> fractionsAfterLarge;
    for (int k = 0; k < 16; ++k) {
        fractionsAfterLarge.push_back(k % 2 == 0 ? 0x1p44f : -0x1p44f);
        fractionsAfterLarge.insert(fractionsAfterLarge.end(), 15, 0x1p-10f);
    }
    std::vector<float> countsThenFractions = counts;
    for (std::size_t i = 700; i < kCount; ++i) countsThenFractions[i] += 0.25f;
    std::vector<float> largeCounts(kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        const double magnitude = 8388000.0 + 1000.0 * static_cast<double>(i % 977);
        largeCounts[i] = static_cast<float>(i % 2 != 0 ? magnitude : -magnitude);
    }
    std::vector<float> zeros(300, 0.0f);
    for (std::size_t i = 0; i < zeros.size(); i += 2) zeros[i] = -0.0f;

    return {
        {"noise in whole counts around an offset", counts},
        {"noise with fractions", fractions},
        {"steps", steps},
        {"leading gap", with(counts, range(0, 25), kGapMarker)},
        {"gap in the middle", with(counts, range(700, 760), kGapMarker)},
        {"trailing gap", with(counts, range(1400, kCount), kGapMarker)},
        {"single gaps and runs, also among the first samples",
         with(with(counts, scattered, kGapMarker), {0, 2, 3, 5}, kGapMarker)},
        {"not a number, first and scattered", with(with(fractions, scattered, NAN), {0}, NAN)},
        {"infinities", with(with(counts, {4, 9, 500}, INFINITY), {6, 800}, -INFINITY)},
        {"only gaps", std::vector<float>(50, kGapMarker)},
        {"only non-numbers", {NAN, INFINITY, kGapMarker, -INFINITY}},
        {"one sample", {42.5f}},
        {"two samples", {42.5f, -7.0f}},
        {"one real sample among gaps", {kGapMarker, 3.0f, kGapMarker, NAN}},
        {"fewer real samples than the cascade is long", {1.0f, kGapMarker, 5.0f, 2.0f, NAN, -3.0f, 8.0f}},
        {"huge values leave the float range once the mean is off", huge},
        {"a value lands on the gap marker once the mean is off", marker},
        {"large values overflow the filter state", with(counts, range(100, 110), 3e37f)},
        {"denormal values", denormals},
        {"signed zeros", zeros},
        {"whole numbers whose partial sums leave the exact range of double", beyondExact},
        {"whole counts, then fractions", countsThenFractions},
        {"fractions after large whole numbers", fractionsAfterLarge},
        {"whole counts around 2^23", largeCounts},
        {"a whole count too large for the sum out of order to be known exact", with(counts, {600}, 3e15f)},
    };
}

//! Index of the first float whose bits differ (the size when all agree).
std::size_t FirstDifferentBits(const std::vector<float>& a, const std::vector<float>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && std::memcmp(&a[i], &b[i], sizeof(float)) == 0) ++i;
    return i;
}

struct DesignRow {
    std::string reason;
    int type;
    int order;
    float f1, f2;
};

// Every type and order, and corners at 0 Hz or Nyquist that leave fewer or no
// sections (100 samples/s, Nyquist at 50 Hz).
std::vector<DesignRow> IdentityDesigns() {
    std::vector<DesignRow> rows = {
        {"display band-pass", 0, 3, 0.5f, 5.0f},
        {"band-pass 0 Hz to Nyquist: no sections", 0, 3, 0.0f, 50.0f},
        {"band-pass from 0 Hz: low-pass", 0, 5, 0.0f, 5.0f},
        {"band-pass up to Nyquist: high-pass", 0, 4, 1.0f, 50.0f},
        {"band-reject from 0 Hz: high-pass", 2, 6, 0.0f, 5.0f},
        {"band-reject up to Nyquist: low-pass", 2, 3, 1.0f, 60.0f},
        {"low-pass at Nyquist: no sections", 1, 4, 0.0f, 50.0f},
        {"high-pass at 0 Hz: no sections", 3, 4, 0.0f, 0.0f},
    };
    const char* codes[] = {"BP", "LP", "BR", "HP"};
    for (int type = 0; type < 4; ++type) {
        for (int order = kMinFilterOrder; order <= kMaxFilterOrder; ++order) {
            rows.push_back({std::string(codes[type]) + " of order " + std::to_string(order), type, order, 1.0f,
                            8.0f});
        }
    }
    return rows;
}

// RunFilter (through ApplyFilter) gives the plain loop's floats, bit for bit,
// for every design and input.
TEST(FilterIdentity, SameFloatsAsPlainLoopForEveryDesignAndInput) {
    constexpr double kDt100 = 0.01;
    const std::vector<Signal> signals = IdentitySignals();
    for (const DesignRow& d : IdentityDesigns()) {
        SCOPED_TRACE(d.reason);
        FilterDesign design;
        ASSERT_EQ(DesignFilter(design, kDt100, d.type, d.order, d.f1, d.f2), FilterStatus::Ok);
        for (const Signal& s : signals) {
            SCOPED_TRACE(s.reason);
            std::vector<float> expected = s.samples;
            std::vector<float> actual = s.samples;
            RunFilterReference(design, expected.data(), expected.size());
            ASSERT_EQ(ApplyFilter(actual.data(), actual.size(), kDt100, d.type, d.order, d.f1, d.f2, 1),
                      FilterStatus::Ok);
            EXPECT_EQ(FirstDifferentBits(expected, actual), expected.size());
        }
    }
}

// Every section count the loop has its own form for, with the sections of a
// band-pass of order 10 cut short.
TEST(FilterIdentity, SameFloatsForEverySectionCount) {
    FilterDesign full;
    ASSERT_EQ(DesignFilter(full, 0.01, 0, kMaxFilterOrder, 0.5f, 20.0f), FilterStatus::Ok);
    const std::vector<Signal> signals = IdentitySignals();
    for (int count = -1; count <= kMaxSections; ++count) {
        SCOPED_TRACE(count);
        FilterDesign design = full;
        design.count = count;
        for (const Signal& s : signals) {
            SCOPED_TRACE(s.reason);
            std::vector<float> expected = s.samples;
            std::vector<float> actual = s.samples;
            RunFilterReference(design, expected.data(), expected.size());
            RunFilter(design, actual.data(), actual.size());
            EXPECT_EQ(FirstDifferentBits(expected, actual), expected.size());
        }
    }
}

}  // namespace
}  // namespace kvt::viewer
