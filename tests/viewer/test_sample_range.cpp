// The one-pass extremes of drawn samples against a plain sample-by-sample
// loop: values that must not count (gap markers, NaN, infinities) in every
// lane of a vector step and in the tail, and clipping written back exactly as
// drawing sample by sample does.
#include "viewer/sample_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace kvt::viewer {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

DrawnRange PlainRange(const std::vector<float>& v) {
    DrawnRange r;
    for (const float x : v) {
        if (IsGapMarker(x) || !std::isfinite(x)) {
            r.allDrawn = false;
            continue;
        }
        r.lo = std::min(r.lo, x);
        r.hi = std::max(r.hi, x);
    }
    return r;
}

struct Odd {
    const char* reason;
    float value;
};

TEST(RangeOfDrawnSamples, ValuesNotDrawnAtEveryPosition) {
    const Odd odds[] = {
        {"gap marker", kGapMarker},
        {"NaN", kNaN},
        {"positive infinity", kInf},
        {"negative infinity", -kInf},
        {"a drawn value below the gap marker", -1e9f},
        {"a drawn value far above the rest", 3e38f},
    };
    // 37 samples: two vector steps of 16 and a tail of 5.
    for (const Odd& odd : odds) {
        for (std::size_t at = 0; at < 37; ++at) {
            SCOPED_TRACE(testing::Message() << odd.reason << " at " << at);
            std::vector<float> v(37);
            for (std::size_t k = 0; k < v.size(); ++k) v[k] = static_cast<float>((k * 7919) % 101) - 50.0f;
            v[at] = odd.value;
            const DrawnRange want = PlainRange(v);
            const DrawnRange got = RangeOfDrawnSamples(v.data(), v.size());
            EXPECT_EQ(got.lo, want.lo);
            EXPECT_EQ(got.hi, want.hi);
            EXPECT_EQ(got.allDrawn, want.allDrawn);
        }
    }
}

TEST(RangeOfDrawnSamples, NothingDrawn) {
    const std::vector<float> none = {kGapMarker, kNaN, kGapMarker};
    EXPECT_FALSE(RangeOfDrawnSamples(none.data(), none.size()).any());
    EXPECT_FALSE(RangeOfDrawnSamples(nullptr, 0).any());
    EXPECT_TRUE(RangeOfDrawnSamples(nullptr, 0).allDrawn);
}

// Clipping leaves gap markers and non-finite values as they are and clips the
// rest with "above top gives top, then below bottom gives bottom".
TEST(ClipDrawnSamples, WritesBackLikeSampleBySample) {
    std::vector<float> v;
    for (int k = 0; k < 45; ++k) v.push_back(static_cast<float>(k * 13 % 29) * 10.0f - 140.0f);
    v[3] = kGapMarker;
    v[17] = kNaN;
    v[20] = kInf;
    v[41] = -kInf;
    v[44] = kGapMarker;
    std::vector<float> want = v;
    for (float& x : want) {
        if (IsGapMarker(x) || !std::isfinite(x)) continue;
        if (x > 100.0f) x = 100.0f;
        if (x < -100.0f) x = -100.0f;
    }
    std::vector<float> got = v;
    const DrawnRange r = ClipDrawnSamples(got.data(), got.size(), 100.0f, -100.0f);
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(float)), 0);
    EXPECT_EQ(r.lo, -100.0f);
    EXPECT_EQ(r.hi, 100.0f);
    EXPECT_FALSE(r.allDrawn);

    // Inside the range nothing changes.
    std::vector<float> inside = {1.0f, -2.0f, 3.0f};
    const DrawnRange ri = ClipDrawnSamples(inside.data(), inside.size(), 100.0f, -100.0f);
    EXPECT_EQ(inside, (std::vector<float>{1.0f, -2.0f, 3.0f}));
    EXPECT_EQ(ri.lo, -2.0f);
    EXPECT_EQ(ri.hi, 3.0f);
    EXPECT_TRUE(ri.allDrawn);
}

}  // namespace
}  // namespace kvt::viewer
