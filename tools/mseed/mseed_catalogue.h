#pragma once
// What kvtimport and kvtexport ask of the catalogue besides the library's
// reader and writer: the connection from the viewer's arguments, the spans a
// creator already stored for a channel, and the channel's SITECHAN row.

#include "mseed_core.h"

#include <string>
#include <vector>

namespace kvt {
class CWaveDatabase;
}

namespace kvt::mseed {

//! Connects db with the connection arguments (ODBC=, USER=, PASSWORD=, DATA=,
//! /use_tend), then the settings file (settingsFile, or kvtview.ini beside
//! programPath), then kvt.ini. Empty text, or why it failed.
std::string ConnectCatalogue(CWaveDatabase& db, const std::vector<std::string>& connection,
                             const std::string& settingsFile, const std::string& programPath);

//! The spans [TBEGIN, TBEGIN+TQTY) of the creator's FILELIST rows of one
//! channel that touch [begin, end) (epoch s). Empty text, or the failure.
std::string StoredSpans(CWaveDatabase& db, const std::string& station, const std::string& channel,
                        const std::string& locationCode, const std::string& creator, double begin,
                        double end, std::vector<Span>& out);

//! Adds a SITECHAN row for the channel with its rate (samples/s) unless one
//! exists; an empty location code is stored as NULL. created tells whether a
//! row was added. Empty text, or the failure.
std::string EnsureSiteChan(CWaveDatabase& db, const std::string& station,
                           const std::string& channel, const std::string& locationCode,
                           double rate, bool& created);

}  // namespace kvt::mseed
