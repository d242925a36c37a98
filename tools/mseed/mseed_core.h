#pragma once
// Pure parts of the miniSEED import and export (no I/O, no libmseed, no Qt):
// time conversion between epoch seconds and miniSEED's microsecond ticks,
// grouping decoded records into continuous runs, the decision which part of a
// run the catalogue already holds, the choice of export encoding, and the
// command lines of kvtimport and kvtexport.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvt::mseed {

//! miniSEED high-precision time: microseconds since 1970-01-01 00:00:00 UTC.
using Ticks = std::int64_t;
inline constexpr double kTicksPerSecond = 1000000.0;

//! Epoch seconds of a tick count.
double EpochFromTicks(Ticks t);
//! Tick count of epoch seconds, rounded to the nearest microsecond.
Ticks TicksFromEpoch(double t);

//! Network.station.location.channel of one stream. Codes as in the records
//! (trailing spaces removed); an empty location means none.
struct StreamId {
    std::string network, station, location, channel;
    auto operator<=>(const StreamId&) const = default;
    //! "NET.STA.LOC.CHA" for messages.
    std::string Text() const;
};

//! One decoded data record.
struct RecordPiece {
    StreamId id;
    double start = 0;            //!< epoch s of the first sample
    double rate = 0;             //!< samples/s
    std::vector<float> samples;  //!< decoded samples
    std::int64_t fileOffset = 0; //!< byte offset of the record in its file
};

//! One continuous stretch of samples of one stream.
struct Run {
    StreamId id;
    double start = 0;            //!< epoch s of the first sample
    double rate = 0;             //!< samples/s
    std::vector<float> samples;
    double End() const { return start + static_cast<double>(samples.size()) / rate; }  //!< epoch s after the last sample
};

//! Result of grouping: the runs, in stream and time order, and what broke them.
struct Grouping {
    std::vector<Run> runs;
    int gaps = 0;      //!< breaks where data were missing between two records
    int overlaps = 0;  //!< records that began before the previous one ended (their repeated samples dropped)
};

//! Groups records (any order) into continuous runs per stream. A record
//! continues a run when it has the run's rate and begins within half a sample
//! of the run's end; one that begins later starts a new run (a gap). Samples
//! of a record that repeat time already in the run are dropped (an overlap);
//! a change of rate starts a new run. Records without samples or with a rate
//! not above 0 are left out.
Grouping GroupIntoRuns(std::vector<RecordPiece> records);

//! A time span [begin, end) in epoch s.
struct Span {
    double begin = 0, end = 0;
};

//! A stretch of samples of a run: first index and count.
struct SampleRange {
    std::size_t first = 0, count = 0;
};

//! The parts of a run (start, rate, count samples) that none of the stored
//! spans cover. A sample counts as stored when its time lies inside a span
//! (half a sample of tolerance at the span's ends). In time order.
std::vector<SampleRange> UncoveredRanges(double start, double rate, std::size_t count,
                                         const std::vector<Span>& stored);

//! True when every sample is a whole number below 2^28 in magnitude, so that
//! the samples and their differences fit Steim-2 compression losslessly.
bool AllIntegral(const std::vector<float>& samples);

//! kvtimport's command line.
struct ImportArgs {
    bool help = false;
    std::string settingsFile;            //!< --settings FILE (empty: kvtview.ini beside the program)
    std::vector<std::string> connection; //!< ODBC=/USER=/PASSWORD=/DATA=/use_tend arguments
    std::string creator = "kvtimport";   //!< CREATER of the rows written
    std::int64_t quota = std::int64_t{1} << 50;  //!< bytes a channel may keep before old files go
    int fileLength = 3600;               //!< s per data file
    std::vector<std::string> files;
};

//! Parses the arguments after the program name; nothing and a reason on error.
std::optional<ImportArgs> ParseImportArgs(const std::vector<std::string>& args, std::string& error);
const char* ImportUsage();

//! kvtexport's command line.
struct ExportArgs {
    bool help = false;
    std::string settingsFile;
    std::vector<std::string> connection;
    std::string network = "XX";          //!< network code written (the catalogue keeps none)
    std::string station, channel, locationCode;  //!< locationCode empty: none
    double timeBegin = 0, timeEnd = 0;   //!< epoch s
    std::string output;
};

std::optional<ExportArgs> ParseExportArgs(const std::vector<std::string>& args, std::string& error);
const char* ExportUsage();

}  // namespace kvt::mseed
