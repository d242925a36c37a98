#pragma once
// Command line of the recording simulator kvtsim.
//
//   kvtsim [ODBC=DSN] [USER=U] [PASSWORD=P] [DATA=DIR] [--stations N]
//          [--backfill S] [--run S] [--quota BYTES] [--file-seconds S]
//          [--event-interval S] [--seed N] [--schema-dir DIR] [--quiet]
//          [--settings kvtview.ini]
//
// Connection values use the monitor's spelling, so one set of arguments
// serves both programs.

#include "common/profile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvt::sim {

struct NetworkOptions {
    std::string dsn = "kvtdemo";   //!< ODBC data source of the catalogue
    std::string user = "kvt";
    std::string password = "kvt";
    std::string dataDir = "data";  //!< where the data files go
    int stations = 12;             //!< stations of the network (1 ... 10000)
    double backfillSeconds = 900;  //!< s of data written at start, up to now
    double runSeconds = -1;        //!< s of live recording; < 0 until a signal, 0 none
    std::int64_t quotaBytes = 64ll << 20;  //!< per channel, bytes
    int fileSeconds = 600;         //!< s per data file
    double eventInterval = 180;    //!< mean s between events
    std::uint32_t seed = 1;        //!< varies events and noise
    std::string schemaDir;         //!< scripts that create a missing catalogue (empty: built-in)
    bool quiet = false;            //!< print only errors and the final summary
    bool help = false;             //!< --help was given
    std::string settingsFile;      //!< --settings: the monitor's settings file (empty: none)
    bool dsnGiven = false, userGiven = false, passwordGiven = false, dataGiven = false;
};

//! Takes the connection values that the command line left open from the
//! monitor's settings ([DATABASE] ODBC, USER, PASSWORD; [DATA] DIR); empty
//! values there are not used. Returns an empty text, or why a value is unusable.
std::string ApplySettings(const kvt::Profile& settings, NetworkOptions& out);

//! Parses the arguments (without the program name). Returns an empty text on
//! success, otherwise the error message; `out` then holds what was parsed.
std::string ParseNetworkArgs(const std::vector<std::string>& args, NetworkOptions& out);

//! The usage text.
const char* NetworkUsage();

//! True when the arguments ask for the batch mode (kvtsim_args.h): they name
//! one of its own options (--channel, --rate, --block, --blocks, --creator,
//! --file-length, --start, --realtime).
bool IsBatchCommandLine(const std::vector<std::string>& args);

}  // namespace kvt::sim
