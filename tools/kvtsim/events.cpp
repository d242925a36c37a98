#include "events.h"

#include <cmath>

namespace kvt::sim {

Arrivals TravelTimes(const Quake& q, double epicentralKm) {
    const double hypo = std::hypot(epicentralKm, q.depthKm);
    return {q.originTime + hypo / kVp, q.originTime + hypo / kVs};
}

QuakeSchedule::QuakeSchedule(double intervalSeconds, double radiusKm, std::uint32_t seed)
    : interval_(intervalSeconds > 0 ? intervalSeconds : 300), radius_(radiusKm), seed_(seed) {}

namespace {

// A stateless hash of (seed, slot, field) to [0, 1).
double Uniform(std::uint32_t seed, std::int64_t slot, std::uint32_t field) {
    std::uint64_t x = static_cast<std::uint64_t>(slot) * 0x9E3779B97F4A7C15ull;
    x ^= (static_cast<std::uint64_t>(seed) << 32) | field;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) / 9007199254740992.0;  // 2^53
}

}  // namespace

Quake QuakeSchedule::InSlot(std::int64_t slot) const {
    Quake q;
    q.slot = slot;
    // The origin stays in the first 80 % of the slot so that two events keep apart.
    q.originTime = (static_cast<double>(slot) + 0.8 * Uniform(seed_, slot, 1)) * interval_;
    const double r = radius_ * std::sqrt(Uniform(seed_, slot, 2));
    const double a = 2 * M_PI * Uniform(seed_, slot, 3);
    q.eastKm = r * std::cos(a);
    q.northKm = r * std::sin(a);
    q.depthKm = 2 + 18 * Uniform(seed_, slot, 4);
    // Small events are common, larger ones rare (Gutenberg-Richter, b = 1).
    q.magnitude = 1.5 - std::log10(1 - 0.99 * Uniform(seed_, slot, 5));
    return q;
}

std::vector<Quake> QuakeSchedule::Between(double from, double to) const {
    std::vector<Quake> out;
    if (!(to > from)) return out;
    const auto first = static_cast<std::int64_t>(std::floor(from / interval_));
    const auto last = static_cast<std::int64_t>(std::floor(to / interval_));
    for (std::int64_t k = first; k <= last; ++k) {
        Quake q = InSlot(k);
        if (q.originTime >= from && q.originTime < to) out.push_back(q);
    }
    return out;
}

}  // namespace kvt::sim
