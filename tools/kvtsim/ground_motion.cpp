#include "ground_motion.h"

#include <algorithm>
#include <cmath>

namespace kvt::sim {

namespace {

constexpr double kTwoPi = 2 * M_PI;
constexpr double kMicroseismAmplitude = 120;  // counts per sinusoid
constexpr double kNoiseAmplitude = 60;        // counts at DailyFactor 1

// Stateless noise in [-1, 1) from a seed and a sample time.
double Hash(std::uint32_t seed, std::int64_t key) {
    std::uint64_t x = static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull + seed;
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return static_cast<double>(x >> 11) / 4503599627370496.0 - 1.0;  // 2^52
}

// A wave train starting at `onset`: sharp rise, exponential decay, carrier f Hz.
double Train(double t, double onset, double decay, double f, double phase) {
    const double tau = t - onset;
    if (tau < 0 || tau > 12 * decay) return 0;
    const double envelope = (1 - std::exp(-tau / 0.15)) * std::exp(-tau / decay);
    return envelope * (0.75 * std::sin(kTwoPi * f * tau + phase) +
                       0.25 * std::sin(kTwoPi * 1.83 * f * tau + 2 * phase));
}

}  // namespace

QuakeWave WaveAt(const Quake& q, double epicentralKm) {
    QuakeWave w;
    w.arrivals = TravelTimes(q, epicentralKm);
    const double hypo = std::max(std::hypot(epicentralKm, q.depthKm), 5.0);
    // Local magnitude: tenfold amplitude per unit, falling off with distance.
    w.amplitude = 2500 * std::pow(10.0, q.magnitude - 1.5) * (60 / hypo);
    w.codaSeconds = 6 + hypo / 25;
    return w;
}

double DailyFactor(double t) {
    const double dayFraction = std::fmod(t, 86400) / 86400;
    return 1 - 0.5 * std::cos(kTwoPi * dayFraction);
}

GroundMotion::GroundMotion(std::uint32_t seed, char component, double rate)
    : seed_(seed), component_(component), rate_(rate > 0 ? rate : 1) {
    for (int k = 0; k < 3; ++k) {
        periods_[k] = 5 + 3 * (0.5 + 0.5 * Hash(seed_, 1000 + k));
        phases_[k] = M_PI * (1 + Hash(seed_, 2000 + k));
    }
}

double GroundMotion::At(double t, const std::vector<QuakeWave>& quakes) const {
    double v = 0;
    for (int k = 0; k < 3; ++k) v += kMicroseismAmplitude * std::sin(kTwoPi * t / periods_[k] + phases_[k]);
    // The noise key is the time in tenths of a millisecond: the same instant
    // gives the same value whichever block it falls in.
    v += kNoiseAmplitude * DailyFactor(t) * Hash(seed_, std::llround(t * 1e4));
    const bool vertical = component_ == 'Z';
    // The wave trains are kept well below the Nyquist frequency of the channel.
    const double fP = std::min(6.0, 0.3 * rate_);
    const double fS = std::min(2.5, 0.2 * rate_);
    const double phase = component_ == 'N' ? 1.1 : component_ == 'E' ? 2.3 : 0;
    for (const QuakeWave& w : quakes) {
        if (t < w.arrivals.p || t > w.arrivals.s + kWaveSeconds) continue;
        const double pGain = vertical ? 0.45 : 0.15;
        const double sGain = vertical ? 0.4 : 1.0;
        v += w.amplitude * pGain * Train(t, w.arrivals.p, 2.5, fP, phase);
        v += w.amplitude * sGain * Train(t, w.arrivals.s, w.codaSeconds, fS, phase + 0.7);
    }
    return v;
}

void GroundMotion::Fill(double t0, std::span<float> out, const std::vector<QuakeWave>& quakes) const {
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(At(t0 + static_cast<double>(i) / rate_, quakes));
}

}  // namespace kvt::sim
