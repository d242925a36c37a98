#pragma once
// Synthetic ground motion of one channel, in counts.
//
// Background: secondary microseisms (a few sinusoids of 5-8 s period that beat
// against each other) plus broadband cultural noise whose level follows the
// time of day (loud around noon UTC, quiet at night). Events: a P wave train,
// strongest on the vertical, and an S wave train, strongest on the horizontals,
// each with a sharp onset and an exponential coda, scaled by magnitude and
// distance. Every sample is a pure function of its time, so a block written
// in one piece equals the same block written in two.

#include "events.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kvt::sim {

//! One event as seen at one station.
struct QuakeWave {
    Arrivals arrivals;       //!< epoch s
    double amplitude = 0;    //!< peak S amplitude, counts
    double codaSeconds = 8;  //!< S coda decay time, s
};

//! The wave of quake q at a station `epicentralKm` away.
QuakeWave WaveAt(const Quake& q, double epicentralKm);

//! Level of the cultural noise at epoch time t (s): 0.5 at midnight UTC, 1.5 at noon.
double DailyFactor(double t);

class GroundMotion {
public:
    //! seed: distinguishes channels; component 'Z', 'N' or 'E'; rate: samples/s (> 0).
    GroundMotion(std::uint32_t seed, char component, double rate);

    //! Fills out[i] with the ground motion at t0 + i / rate (epoch s).
    void Fill(double t0, std::span<float> out, const std::vector<QuakeWave>& quakes) const;
    //! The ground motion at one epoch time t, s.
    double At(double t, const std::vector<QuakeWave>& quakes) const;

    //! How long after its S arrival an event still adds to the trace, s.
    static constexpr double kWaveSeconds = 120;

private:
    std::uint32_t seed_;
    char component_;
    double rate_;
    double periods_[3];  //!< microseism periods, s
    double phases_[3];   //!< rad
};

}  // namespace kvt::sim
