// Drawing a trace through the per-column reduction must give the very same
// picture as a line to every sample, and leave the very same (clipped) samples
// behind, for the kinds of data a station sends: joined windows and segments
// drawn one by one with the automatic range carried over.
#include "viewer/amplitude_scale.h"
#include "viewer/band_geometry.h"
#include "viewer/bandpass_filter.h"
#include "viewer/trace_canvas.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kvt::viewer {
namespace {

enum class Signal { Noise, RandomWalk, Spikes, Flat, Sine };

//! Edits on the first and last samples of pixel columns (joined windows only),
//! where the per-column buckets meet.
enum class Border { None, Spikes, Gaps };

struct Case {
    const char* reason;
    Signal signal;
    double rate;          //!< samples/s
    int seconds;          //!< window length
    int width, height, channels, band;
    bool integers;        //!< integer-valued samples (many equal rows)
    double gapShare;      //!< share of samples replaced by gap markers
    const char* scale;    //!< scale text: "AUTO" or a fixed "top;bottom"
    long long startOffset;  //!< first data sample's x index (odd: not on a column edge)
    int segments;         //!< 1: one joined window; more: drawn piecewise
    bool filtered;        //!< band-passed before drawing (float data with a tail)
    Border border;        //!< spikes or holes put at column edges
};

// Widths 100-2000 at 1-200 samples/s give from a few pixels per sample to
// several hundred samples per pixel column; the fractional ratios check that
// the buckets follow the drawing's own x mapping.
const Case kCases[] = {
    {"noise, many samples per column", Signal::Noise, 100, 600, 1900, 1000, 8, 3, false, 0, "AUTO", 0, 1, false, Border::None},
    {"random walk, fractional samples per pixel", Signal::RandomWalk, 100, 37, 1013, 600, 4, 1, false, 0, "AUTO", 0, 1, false, Border::None},
    {"spikes that leave single-sample needles", Signal::Spikes, 50, 120, 800, 400, 2, 0, false, 0, "AUTO", 0, 1, false, Border::None},
    {"flat signal: one row, every line zero length", Signal::Flat, 20, 300, 640, 300, 1, 0, true, 0, "AUTO", 0, 1, false, Border::None},
    {"clipped onto both borders by a fixed range", Signal::RandomWalk, 100, 300, 1200, 500, 3, 2, false, 0, "40;-40", 0, 1, false, Border::None},
    {"integer counts: many equal rows in a column", Signal::Noise, 200, 200, 1500, 800, 6, 5, true, 0, "AUTO", 0, 1, false, Border::None},
    {"gaps lift the pen inside columns", Signal::RandomWalk, 100, 120, 700, 400, 2, 1, false, 0.02, "AUTO", 0, 1, false, Border::None},
    {"long gaps and an odd start offset", Signal::Sine, 40, 300, 1111, 500, 4, 2, false, 0.001, "AUTO", 3333, 1, false, Border::None},
    {"1 sample/s: several pixels per sample", Signal::Noise, 1, 600, 2000, 600, 2, 1, false, 0.05, "AUTO", 7, 1, false, Border::None},
    {"2 samples/s on a narrow picture", Signal::RandomWalk, 2, 3600, 100, 200, 1, 0, false, 0, "AUTO", 1, 1, false, Border::None},
    {"band-passed float data", Signal::Noise, 100, 300, 1900, 1000, 8, 7, false, 0.01, "AUTO", 0, 1, true, Border::None},
    {"tall band: steep lines between columns", Signal::Spikes, 100, 60, 300, 900, 1, 0, false, 0, "AUTO", 0, 1, false, Border::None},
    {"piecewise, automatic range carried over", Signal::RandomWalk, 100, 300, 1900, 1000, 8, 4, false, 0, "AUTO", 0, 3, false, Border::None},
    {"piecewise, odd offsets and clipping", Signal::Spikes, 200, 120, 1234, 700, 4, 0, false, 0.01, "300;-300", 1001, 4, false, Border::None},
    {"piecewise integers with gaps", Signal::Noise, 20, 900, 777, 500, 3, 2, true, 0.03, "AUTO", 5, 3, false, Border::None},
    {"piecewise, a segment runs past the window end", Signal::Sine, 50, 200, 1000, 400, 2, 1, false, 0, "AUTO", 2501, 2, false, Border::None},
    {"spikes on the first and last sample of columns", Signal::Noise, 100, 120, 1013, 600, 3, 1, false, 0, "AUTO", 0, 1, false, Border::Spikes},
    {"spikes at column edges, clipped by a fixed range", Signal::RandomWalk, 200, 60, 900, 500, 2, 0, true, 0, "60;-60", 17, 1, false, Border::Spikes},
    {"one sample per column exactly", Signal::Spikes, 10, 100, 1002, 400, 2, 1, false, 0, "AUTO", 0, 1, false, Border::Spikes},
    {"a little under one sample per column", Signal::Noise, 10, 99, 1000, 400, 2, 0, true, 0, "AUTO", 3, 1, false, Border::Gaps},
    {"a little over one sample per column", Signal::RandomWalk, 10, 101, 1000, 400, 1, 0, false, 0.01, "AUTO", 0, 1, false, Border::Spikes},
    {"3.7 pixels per sample", Signal::Noise, 5, 54, 1000, 500, 2, 1, false, 0.02, "AUTO", 0, 1, false, Border::Gaps},
    {"holes and non-finite values at column edges", Signal::RandomWalk, 100, 60, 1200, 500, 2, 1, true, 0, "AUTO", 0, 1, false, Border::Gaps},
    {"short strokes ending on an extreme inside columns", Signal::Noise, 100, 300, 700, 400, 1, 0, true, 0.15, "AUTO", 0, 1, false, Border::Gaps},
};

std::vector<float> MakeSamples(const Case& c, std::size_t count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> normal(0.0f, 30.0f);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<float> v(count);
    float walk = 0.0f;
    for (std::size_t k = 0; k < count; ++k) {
        float s = 0.0f;
        switch (c.signal) {
            case Signal::Noise: s = normal(rng); break;
            case Signal::RandomWalk: walk += normal(rng) * 0.2f; s = walk; break;
            case Signal::Spikes: s = normal(rng) * 0.05f + (rng() % 97 == 0 ? 500.0f * (rng() % 2 ? 1 : -1) : 0.0f); break;
            case Signal::Flat: s = 12.0f; break;
            case Signal::Sine: s = static_cast<float>(200 * std::sin(static_cast<double>(k) / c.rate * 0.7) + normal(rng)); break;
        }
        if (c.integers) s = std::round(s);
        if (unit(rng) < c.gapShare) s = kGapMarker;
        v[k] = s;
    }
    // A run of markers as a real hole, not only single ones.
    if (c.gapShare > 0 && count > 100)
        for (std::size_t k = count / 3; k < count / 3 + count / 20; ++k) v[k] = kGapMarker;
    if (c.filtered) ApplyBandPass(v.data(), count, 1.0 / c.rate, 0.5f, 5.0f);
    return v;
}

// Number of pixels that differ, and the first one for the message.
long long DifferentPixels(const QImage& a, const QImage& b, QPoint& first) {
    long long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && n++ == 0) first = QPoint(x, y);
    return n;
}

// Puts spikes or holes (gap markers, NaN, infinities) on samples that start or
// end a pixel column of a window of n samples drawn at the given width.
void EditColumnEdges(const Case& c, std::vector<float>& window, std::uint32_t seed) {
    if (c.border == Border::None) return;
    std::mt19937 rng(seed);
    const double p = PixelsPerSample(c.width, static_cast<long long>(window.size()));
    const float holes[] = {kGapMarker, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity()};
    for (std::size_t j = 1; j < window.size(); ++j) {
        if (SampleColumn(static_cast<long long>(j), p) == SampleColumn(static_cast<long long>(j) - 1, p)) continue;
        if (rng() % 3 != 0) continue;
        float& edge = window[rng() % 2 ? j : j - 1];  // first of a column or last of the one before
        if (c.border == Border::Spikes) {
            if (!IsGapMarker(edge)) edge = (rng() % 2 ? 1.0f : -1.0f) * (300.0f + static_cast<float>(rng() % 200));
        } else {
            edge = holes[rng() % 4];
        }
    }
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

class TraceIdentity : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_trace_identity";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives until the process ends
        }
    }
};

// One channel drawn both ways: the same samples in, the same picture, samples
// and ranges out.
TEST_P(TraceIdentity, ReducedDrawingEqualsEverySample) {
    const Case& c = GetParam();
    const long long n = static_cast<long long>(c.rate * c.seconds);
    const ScaleSetting setting = ParseScaleSetting(c.scale);
    const QFont font = MakeDisplayFont(QStringLiteral("Courier new"), 14);
    TraceCanvas every(c.width, c.height, c.channels, font), reduced(c.width, c.height, c.channels, font);
    every.DrawFrame();
    reduced.DrawFrame();
    every.DrawBand(c.band);
    reduced.DrawBand(c.band);

    // The segments: equal parts of the data, each starting where the previous
    // one ended plus a small hole, the first at the case's start offset.
    const std::size_t total = static_cast<std::size_t>(std::max<long long>(n - c.startOffset, 1));
    const std::size_t dataCount = c.segments > 1 ? total + total / 10 : total;  // the last may overrun
    const std::vector<float> data = MakeSamples(c, dataCount, static_cast<std::uint32_t>(n + c.width));
    AmplitudeScale everyScale, reducedScale;
    if (c.segments == 1) {
        std::vector<float> a(static_cast<std::size_t>(n), kGapMarker);
        std::copy(data.begin(), data.begin() + static_cast<long>(std::min<std::size_t>(dataCount, a.size() - c.startOffset)),
                  a.begin() + c.startOffset);
        EditColumnEdges(c, a, static_cast<std::uint32_t>(c.width));
        std::vector<float> b = a;
        ChooseScale(a.data(), a.size(), c.rate, setting, everyScale);
        ChooseScale(b.data(), b.size(), c.rate, setting, reducedScale);
        every.DrawTrace(a.data(), a.size(), 0, n, c.band, everyScale, false);
        reduced.DrawTrace(b.data(), b.size(), 0, n, c.band, reducedScale, true);
        EXPECT_TRUE(SameBits(a, b));
    } else {
        const std::size_t part = dataCount / static_cast<std::size_t>(c.segments);
        long long offset = c.startOffset;
        for (int s = 0; s < c.segments; ++s) {
            SCOPED_TRACE(testing::Message() << "segment " << s);
            const std::size_t from = part * static_cast<std::size_t>(s);
            const std::size_t to = s + 1 == c.segments ? dataCount : from + part;
            std::vector<float> a(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(to));
            std::vector<float> b = a;
            ChooseScale(a.data(), a.size(), c.rate, setting, everyScale);
            ChooseScale(b.data(), b.size(), c.rate, setting, reducedScale);
            every.DrawTrace(a.data(), a.size(), offset, n, c.band, everyScale, false);
            reduced.DrawTrace(b.data(), b.size(), offset, n, c.band, reducedScale, true);
            EXPECT_TRUE(SameBits(a, b));
            EXPECT_EQ(everyScale.top, reducedScale.top);
            EXPECT_EQ(everyScale.bottom, reducedScale.bottom);
            offset += static_cast<long long>(to - from) + 7 + s;  // a hole between segments
        }
    }
    QPoint first;
    EXPECT_EQ(DifferentPixels(every.image(), reduced.image(), first), 0) << "first at " << first.x() << "," << first.y();
    // The trace was really drawn (not two blank pictures).
    long long blue = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) blue += every.image().pixel(x, y) == colours::kTrace.rgb() ? 1 : 0;
    EXPECT_GT(blue, 0);
}

// Test names from the reasons: letters and digits kept, the rest as '_'.
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.reason; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, TraceIdentity, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace kvt::viewer
