#pragma once
// What the recording simulator writes into a catalogue besides samples: the
// tables themselves when the data source has none, the SITECHAN description of
// its network, and the EVENTLIST rows of its events. Table and column names
// come from the connection's schema registry, values are quoted.

#include "events.h"
#include "network.h"

#include <string>
#include <vector>

namespace kvt {
class CWaveDatabase;
}

namespace kvt::sim {

//! Splits a catalogue script into statements: they end with ';' at a line
//! end; whole-line "--" comments and blank lines are dropped.
std::vector<std::string> SplitScript(const std::string& script);

//! The script file (below schemaDir) for a server, by its DBMS name:
//! "sqlite.sql", "postgresql.sql" or "mariadb.sql"; empty for an unknown server.
std::string ScriptForServer(const std::string& dbmsName);

//! Creates the catalogue tables on db's connection when FILELIST is missing
//! (and reconnects so the registry sees them). Returns an empty text, or why
//! it failed. `created` tells whether it created them.
std::string EnsureCatalogue(CWaveDatabase& db, const std::string& schemaDir, bool& created);

//! Replaces the SITECHAN rows of the network's channels: described channels
//! get one row with their rate, location code and position; the others none.
//! Returns an empty text or the first failure.
std::string DescribeNetwork(CWaveDatabase& db, const std::vector<NetworkStation>& net);

//! Deletes the network's EVENTLIST rows from `from` (epoch s) on, so that a
//! run that repeats a time span does not mark its events twice.
std::string ForgetEvents(CWaveDatabase& db, const std::vector<NetworkStation>& net, double from);

//! Enters quake q in EVENTLIST: one row per recording station within
//! `maxKm`, TBEGIN = its P arrival there, EVENT_TIME = origin time.
std::string EnterEvent(CWaveDatabase& db, const std::vector<NetworkStation>& net, const Quake& q,
                       double maxKm);

}  // namespace kvt::sim
