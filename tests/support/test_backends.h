// The catalogue databases a test can run against.
//
// SQLite is always there: the fixture's catalogue file when the test database
// servers run (CTest fixture kvt_databases, see scripts/testdb), otherwise a
// throw-away catalogue of this process. PostgreSQL and MariaDB are there when
// the environment variable KVT_TESTDB_DIR names a directory whose "env" file
// the fixture wrote.
//
// ODBC configuration: every test process uses its own odbcinst.ini/odbc.ini in
// a private directory (ODBCSYSINI/ODBCINI), holding the fixture's data sources
// and a few spare SQLite data sources for throw-away catalogues. unixODBC reads
// ODBCSYSINI/ODBCINI at the first ODBC call of a process and keeps answers it
// looked up, so the variables are set once, before any connection;
// PrepareOdbcEnvironment() does that and every function here calls it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "odbc_session.h"

namespace kvt::test {

enum class BackendKind {
  SQLite,            //!< file catalogue through the SQLite ODBC driver
  PostgreSQL,        //!< private PostgreSQL server, names folded to lower case
  MariaDB,           //!< private MariaDB server, upper-case names
  MariaDBMixedCase,  //!< MariaDB with "FileList"/"tBegin" spellings (case kept by the server)
};

//! The kinds a parameterised test instantiates; unavailable ones are skipped.
inline constexpr BackendKind kAllBackendKinds[] = {BackendKind::SQLite, BackendKind::PostgreSQL,
                                                   BackendKind::MariaDB};

//! "SQLite", "PostgreSQL", "MariaDB", "MariaDBMixedCase" (usable in test names).
const char* BackendKindName(BackendKind kind);

//! One reachable catalogue.
struct Backend {
  BackendKind kind = BackendKind::SQLite;
  std::string dsn;       //!< ODBC data source name in the private odbc.ini
  std::string user;      //!< empty for SQLite
  std::string password;  //!< empty for SQLite
  std::string dataDir;   //!< existing directory for this catalogue's data files
  std::string sqlScript; //!< path of the script that creates the catalogue

  //! Opens a raw session on this catalogue. Throws OdbcError.
  OdbcSession Connect() const { return OdbcSession(dsn, user, password); }
};

//! Makes this process use the private ODBC configuration (see above) and
//! returns its directory. Idempotent. Throws std::runtime_error when the
//! directory or files cannot be written or no SQLite ODBC driver is found.
const std::string& PrepareOdbcEnvironment();

//! Value of KEY from the fixture's env file (KVT_TESTDB_DIR/env); nullopt when
//! the fixture is not configured for this test or has no such key.
std::optional<std::string> FixtureValue(const std::string& key);

//! Whether KVT_TESTDB_DIR is set (the test was declared with DATABASES).
bool FixtureRequested();

//! Every available catalogue (standard spelling), SQLite first. With
//! `includeMixedCase` the mixed-case MariaDB catalogue is appended when there.
std::vector<Backend> AvailableBackends(bool includeMixedCase = false);

//! The catalogue of that kind, nullopt when it is not available. Throws
//! std::runtime_error when KVT_TESTDB_DIR is set but its env file is missing
//! (the fixture failed), so a broken fixture fails tests instead of skipping.
std::optional<Backend> FindBackend(BackendKind kind);

//! Empties every catalogue table. When a table or FILELIST's TEND column is
//! missing (a test dropped it) the catalogue is recreated from its script
//! instead. Fast: a few deletes. Throws OdbcError.
void ResetCatalogue(const Backend& backend, OdbcSession& session);
void ResetCatalogue(const Backend& backend);

//! Drops and recreates all tables from the backend's script (slower).
void RecreateCatalogue(const Backend& backend, OdbcSession& session);

//! Removes the TEND column from FILELIST (catalogues of older installations
//! lack it). ResetCatalogue brings it back.
void DropTendColumn(OdbcSession& session);

//! Text of a file; throws std::runtime_error when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace kvt::test
