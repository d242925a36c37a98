#pragma once
// Command line of kvtquery (pure parsing, no I/O).
//
//   kvtquery [connection] STATION CHANNEL LCODE BEGIN END
//   kvtquery [connection] --latest STATION CHANNEL [LCODE]
//
// connection: ODBC=dsn USER=name PASSWORD=secret DATA=dir /use_tend (the
// viewer's grammar) and --settings FILE (the viewer's settings file; without
// it, kvtview.ini beside the program). LCODE "", "??" or "-" means none.
// Times are epoch seconds or UTC "YYYY-MM-DD[T ]hh:mm[:ss[.fff]]".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::tools {

struct QueryArgs {
    bool help = false;                  //!< --help / -h given
    bool latest = false;                //!< --latest: newest data time only
    std::string settingsFile;           //!< --settings value (empty: beside the program)
    std::vector<std::string> connection;//!< the ODBC=/USER=/PASSWORD=/DATA=/use_tend arguments
    std::string station, channel, locationCode;
    double timeBegin = 0;               //!< epoch s
    double timeEnd = 0;                 //!< epoch s
};

//! Parses the arguments after the program name. On a usage error returns
//! nothing and puts a one-line reason into error.
std::optional<QueryArgs> ParseQueryArgs(const std::vector<std::string>& args, std::string& error);

//! Epoch seconds of a time argument, or nothing when it is neither a number
//! nor a UTC calendar time in the accepted forms.
std::optional<double> ParseTimeArgument(std::string_view text);

//! "YYYY-MM-DD hh:mm:ss.ss" (UTC) of epoch seconds t, rounded to hundredths.
std::string FormatUtc(double t);

//! The usage text.
const char* QueryUsage();

//! True for an argument of the viewer's connection grammar: ODBC=, USER=,
//! PASSWORD=, DATA= (prefixes in any case), /use_tend or -use_tend.
bool IsConnectionArgument(const std::string& argument);

}  // namespace kvt::tools
