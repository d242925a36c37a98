#pragma once
// Command line of kvtsim, the recording simulator: which catalogue and data
// directory, which channels, and how much synthetic signal to record.
// Pure: no I/O.

#include <optional>
#include <string>
#include <vector>

namespace kvt::sim {

struct SimChannel {
    std::string station;
    std::string channel;
    std::string locationCode;  //!< empty: none
};

struct SimArgs {
    std::string dsn = "kvt";
    std::string user = "kvt";
    std::string password = "qmz";
    std::string dataDir;
    std::vector<SimChannel> channels;  //!< at least one
    double rate = 20;                  //!< samples/s
    double blockSeconds = 10;          //!< s per WriteSamples call
    int blocks = 6;                    //!< blocks per channel
    std::string creator = "kvtsim";
    int fileLength = 3600;             //!< s per data file
    long long quota = 1LL << 40;       //!< bytes a channel may keep
    std::optional<double> start;       //!< epoch s of the first block (default: see Usage)
    bool realtime = false;             //!< pace the blocks with the clock
};

//! Parses argv[1..]. Returns nullopt and sets error on bad input.
std::optional<SimArgs> ParseSimArgs(const std::vector<std::string>& args, std::string& error);

//! The usage text.
const char* SimUsage();

}  // namespace kvt::sim
