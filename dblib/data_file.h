#pragma once
// The data file format: a "[KVT5.x]" text header padded with zero bytes to the
// data offset (512 or 1024), then samples back to back. Sample i was taken at
// TBEGIN + i / SPS. Pure functions: no I/O.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvt {

//! Sample type codes of the DATATYPE column.
enum DataType : int {
    kInt8 = 0,     //!< signed 8-bit integer
    kInt16 = 1,    //!< signed 16-bit integer, little-endian
    kInt32 = 2,    //!< signed 32-bit integer, little-endian
    kFloat32 = 3,  //!< IEEE-754 32-bit float, little-endian (what the writer writes)
    kUInt16 = 5,   //!< unsigned 16-bit integer, little-endian
};

//! Data offset used when a row's FOFF is 0 or null.
inline constexpr std::int64_t kDefaultDataOffset = 512;

//! Bytes per sample of a DATATYPE, or 0 for a code the reader cannot convert.
int SampleSize(int dataType) noexcept;

//! Converts count raw little-endian samples of dataType into out (count floats).
//! Returns false (out untouched) for an unknown dataType.
bool ConvertSamples(int dataType, const unsigned char* raw, std::size_t count, float* out) noexcept;

//! TolerantCeil(x, r): floor(x) + 1 when x - floor(x) >= 1 / r, else floor(x).
//! Sample index of a time offset that tolerates rounding noise below one sample.
double TolerantCeil(double x, double rate) noexcept;

//! How one file is read for an interval: the part of the file inside it.
struct PiecePlan {
    double clipStart = 0;       //!< epoch s, start of the part handed back
    double length = 0;          //!< s handed back, rounded down to 1/10000 s
    std::int64_t count = 0;     //!< samples to read
    std::int64_t skip = 0;      //!< samples of the file before the part
    std::int64_t position = 0;  //!< byte position of the first sample to read
};

//! Plans the read of one file whose data start at epoch s tBegin and run tQty
//! s at sps samples/s, samples of dataType from byte offset dataOffset, for
//! the interval [timeBegin, timeEnd]. Returns 0; db::kNoOverlap when the file
//! lies outside the interval; db::kBadRow when the values cannot describe a
//! file (unknown type, rate not above 0, negative length or offset, times
//! that are not finite, counts or positions beyond what a file can hold).
int PlanPiece(double tBegin, double tQty, double sps, int dataType, std::int64_t dataOffset,
              double timeBegin, double timeEnd, PiecePlan& plan) noexcept;

//! Broken-down local calendar time of an epoch second (fraction dropped).
struct LocalTime {
    int year = 1970, month = 1, day = 1;  //!< month 1-12, day 1-31
    int hour = 0, minute = 0, second = 0;
};

//! Local time of epoch seconds t in the machine's time zone (localtime_r).
LocalTime ToLocalTime(double t) noexcept;

//! Header lines of a data file, each ending in CR LF (not yet padded):
//! "[KVT5.x]", "Data offset=N", "Start time=HH:MM:SS", "Start date=DD-MM-YYYY",
//! "Time duration=DDD HH MM SS", "Data type=FLOAT", "SpS=%0.2f", "Gain=1",
//! "Station=..", "Channel=..". start: local time of the first sample;
//! duration in s; sps in samples/s.
std::string HeaderText(int dataOffset, const LocalTime& start, double duration, double sps,
                       std::string_view station, std::string_view channel);

//! HeaderText padded with zero bytes to dataOffset bytes (cut there if longer).
std::string HeaderBlock(int dataOffset, const LocalTime& start, double duration, double sps,
                        std::string_view station, std::string_view channel);

//! Name of a new data file below the data directory, "/" separated:
//! "STA/HH/DDMMYYYY-HHMMSS-CCC.SSS", HH the start hour, CCC the channel and
//! SSS the station right-aligned to 3 characters (never cut).
std::string DataFileRelativeName(std::string_view station, std::string_view channel,
                                 const LocalTime& start);

//! Path of a catalogue CPATH for opening: "/" and "\" both separate; a path
//! that begins with dataDir (case ignored), with a separator, or has ":" as
//! second character is taken as it is, any other is taken below dataDir.
//! The result uses "/" throughout.
std::string ResolveDataPath(std::string_view dataDir, std::string_view cpath);

//! CPATH of a file as the catalogue stores it: relative to dataDir when the
//! path lies below dataDir, else the whole path; "/" separated.
std::string CataloguePath(std::string_view dataDir, std::string_view path);

}  // namespace kvt
