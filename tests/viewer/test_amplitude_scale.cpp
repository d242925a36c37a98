// Amplitude range of a trace: automatic, fixed, widening and carry-over.
#include "viewer/amplitude_scale.h"

#include "viewer/bandpass_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace kvt::viewer {
namespace {

struct ScaleCase {
    const char* reason;
    const char* text;
    std::vector<float> samples;
    double rate;
    float top, bottom;
};

TEST(ChooseScale, SingleArrayCases) {
    std::vector<float> ramp;
    for (int v = 10; v <= 20; ++v) ramp.push_back(static_cast<float>(v));
    const ScaleCase cases[] = {
        {"automatic range 10..20 widened by half", "AUTO", ramp, 100.0, 22.5f, 7.5f},
        {"constant 5: equal ends moved apart, then widened", "AUTO", std::vector<float>(50, 5.0f), 100.0, 6.5f, 3.5f},
        {"gap markers do not count", "AUTO", {kGapMarker, 10.0f, kGapMarker, 20.0f, kGapMarker}, 100.0, 22.5f, 7.5f},
        {"non-finite samples do not count", "AUTO", {NAN, 10.0f, INFINITY, 20.0f, -INFINITY}, 100.0, 22.5f, 7.5f},
        {"nothing found keeps 1/-1 and widens it", "AUTO", {kGapMarker, kGapMarker}, 100.0, 1.5f, -1.5f},
        {"empty array like nothing found", "AUTO", {}, 100.0, 1.5f, -1.5f},
        {"AUTO prefix is enough", "AUTOMATIC", ramp, 100.0, 22.5f, 7.5f},
        {"rate 0 scans the whole array", "AUTO", ramp, 0.0, 22.5f, 7.5f},
        {"fixed 1000;-1000", "1000;-1000", ramp, 100.0, 1500.0f, -1500.0f},
        {"fixed ends reversed are exchanged", "-1000;1000", ramp, 100.0, 1500.0f, -1500.0f},
        {"no semicolon: 15000/-15000", "BIG", ramp, 100.0, 22500.0f, -22500.0f},
        {"0;0 becomes 1/-1 before widening", "0;0", ramp, 100.0, 1.5f, -1.5f},
        {"non-numbers read as 0", "X;Y", ramp, 100.0, 1.5f, -1.5f},
        {"split at the last semicolon, atof stops at the first", "1;2;3", ramp, 100.0, 3.5f, 0.5f},
        {"atof skips blanks and stops at junk", " 12abc; -4", ramp, 100.0, 16.0f, -8.0f},
        {"signs and exponents", "+1e3;-1E3", ramp, 100.0, 1500.0f, -1500.0f},
        {"infinity reads as 0", "INF;-10", ramp, 100.0, 2.5f, -12.5f},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(c.reason);
        AmplitudeScale scale;
        ChooseScale(c.samples.data(), c.samples.size(), c.rate, ParseScaleSetting(c.text), scale);
        EXPECT_FLOAT_EQ(scale.top, c.top);
        EXPECT_FLOAT_EQ(scale.bottom, c.bottom);
    }
}

// K = count / rate samples at each end are left out of the automatic range:
// 60 s at 100 samples/s ignores the first and the last 60 samples.
TEST(ChooseScale, EndsOfKSamplesAreIgnored) {
    std::vector<float> v(6000, 0.0f);
    for (int i = 0; i < 60; ++i) {
        v[static_cast<std::size_t>(i)] = 1e6f;
        v[static_cast<std::size_t>(5999 - i)] = -1e6f;
    }
    v[60] = 10.0f;     // first position counted
    v[5939] = -10.0f;  // last position counted
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 100.0, ParseScaleSetting("AUTO"), scale);
    EXPECT_FLOAT_EQ(scale.top, 15.0f);
    EXPECT_FLOAT_EQ(scale.bottom, -15.0f);
    EXPECT_TRUE(scale.seen);
}

TEST(ChooseScale, ShortArrayWithLargeMarginFindsNothing) {
    std::vector<float> v = {5.0f, 6.0f, 7.0f};
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 1.0, ParseScaleSetting("AUTO"), scale);  // K = 3
    EXPECT_FALSE(scale.seen);
    EXPECT_FLOAT_EQ(scale.top, 1.5f);
}

// In piecewise drawing the widened range of one segment is where the next
// segment's automatic range starts; a fixed range is the same every time.
TEST(ChooseScale, RangeCarriesOverBetweenSegments) {
    const std::vector<float> first = {0.0f, 10.0f};
    const std::vector<float> second = {4.0f, 5.0f};
    AmplitudeScale scale;
    const ScaleSetting automatic = ParseScaleSetting("AUTO");
    ChooseScale(first.data(), first.size(), 100.0, automatic, scale);
    EXPECT_FLOAT_EQ(scale.top, 12.5f);
    EXPECT_FLOAT_EQ(scale.bottom, -2.5f);
    ChooseScale(second.data(), second.size(), 100.0, automatic, scale);
    EXPECT_FLOAT_EQ(scale.top, 16.25f);
    EXPECT_FLOAT_EQ(scale.bottom, -6.25f);

    AmplitudeScale fixed;
    const ScaleSetting setting = ParseScaleSetting("1000;-1000");
    ChooseScale(first.data(), first.size(), 100.0, setting, fixed);
    ChooseScale(second.data(), second.size(), 100.0, setting, fixed);
    EXPECT_FLOAT_EQ(fixed.top, 1500.0f);
    EXPECT_FLOAT_EQ(fixed.bottom, -1500.0f);
}

TEST(ChooseScale, HugeValuesStayFiniteAndOrdered) {
    const char* texts[] = {"1e999;0", "3e38;-3e38", "-1e999;1e999"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        AmplitudeScale scale;
        ChooseScale(nullptr, 0, 100.0, ParseScaleSetting(text), scale);
        EXPECT_TRUE(std::isfinite(scale.top));
        EXPECT_TRUE(std::isfinite(scale.bottom));
        EXPECT_GT(scale.top, scale.bottom);
    }
    std::vector<float> v = {std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 100.0, ParseScaleSetting("AUTO"), scale);
    EXPECT_GT(scale.top, scale.bottom);
    EXPECT_TRUE(std::isfinite(scale.top));
}

TEST(ScaleText, ChannelValueOverridesSystemAndIsUpperCased) {
    EXPECT_EQ(ScaleTextFor("", "auto"), "AUTO");
    EXPECT_EQ(ScaleTextFor("1000;-1000", "AUTO"), "1000;-1000");
    EXPECT_EQ(ScaleTextFor("", ""), "");
    EXPECT_EQ(ScaleTextFor(std::string(40, 'a'), "AUTO"), std::string(31, 'A'));
    EXPECT_TRUE(ParseScaleSetting("auto").automatic);
    EXPECT_FALSE(ParseScaleSetting("").automatic);
    EXPECT_FALSE(ParseScaleSetting("AUT").automatic);
}

}  // namespace
}  // namespace kvt::viewer
