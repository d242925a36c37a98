#pragma once
// The synthetic seismic network of the recording simulator: stations on a
// plane (kilometres east and north of the network centre), three components
// each, and the faults a real network shows now and then (a station whose
// data arrive late, one that died, one described with the wrong rate, one
// channel that nobody described, one station described but never installed).
// Pure data; no I/O.

#include <string>
#include <vector>

namespace kvt::sim {

//! What is unusual about a channel; every kind makes the monitor show one of
//! its status texts.
enum class ChannelRole {
    Normal,        //!< records in real time
    Lagging,       //!< records, but its data arrive `lagSeconds` late
    Stopped,       //!< recorded one minute long ago, nothing since
    RateMismatch,  //!< files at `fileRate`, SITECHAN says `describedRate`
    NotDescribed,  //!< records, but has no SITECHAN row
    NeverRecorded, //!< has a SITECHAN row, never any data
};

struct NetworkChannel {
    std::string station;       //!< station code
    std::string channel;       //!< channel code (BHZ, SHN, HHE ...)
    std::string locationCode;  //!< empty: no location code (written as NULL)
    char component = 'Z';      //!< 'Z', 'N' or 'E'
    double describedRate = 0;  //!< samples/s in SITECHAN (0: no SITECHAN row)
    double fileRate = 0;       //!< samples/s of the written files (0: never written)
    ChannelRole role = ChannelRole::Normal;
    double lagSeconds = 0;     //!< s the data stay behind the clock (Lagging)
};

struct NetworkStation {
    std::string code;                //!< station code
    double eastKm = 0;               //!< km east of the network centre
    double northKm = 0;              //!< km north of the network centre
    std::vector<NetworkChannel> channels;  //!< Z, N, E
};

//! Data delay of the lagging station, s (longer than the demo's 600 s window,
//! so that the monitor writes the lag instead of drawing).
inline constexpr double kLagSeconds = 15 * 60;
//! How long ago the stopped station recorded its last minute, s (a day and two
//! hours: the monitor shows the "one day" form of the lag text).
inline constexpr double kStoppedAgoSeconds = 26 * 3600;
//! The rate the mismatching station's files carry, where SITECHAN says 20.
inline constexpr double kMismatchFileRate = 19.999;

//! The network of `stations` stations (at least 1). The first twelve are the
//! named demo stations with the faults above; further stations are healthy,
//! named "S0013", "S0014" ..., and spread over a wider area. Rates cycle
//! through 20, 40 and 100 samples/s; channel codes follow the rate (BH, SH, HH).
std::vector<NetworkStation> BuildNetwork(int stations);

//! Channel code prefix for a rate: "BH" below 40, "SH" below 100, else "HH".
std::string BandCode(double rate);

//! Epicentral distance from a point (km east, km north) to a station, km.
double DistanceKm(const NetworkStation& s, double eastKm, double northKm);

}  // namespace kvt::sim
