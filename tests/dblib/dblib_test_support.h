#pragma once
// Test support of the database library tests: the catalogues to run against,
// a private ODBC configuration, data files and FILELIST rows.
//
// When the test database servers run (KVT_TESTDB_DIR names their env file)
// the back ends are SQLite, PostgreSQL and MariaDB; otherwise an SQLite
// catalogue of this program's own. Extra SQLite catalogues of this program
// (one without TEND, one that is not a database) have their own DSNs.

#include "dblib/wave_database.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvt::dbtest {

struct Backend {
    std::string name;      //!< one of kBackendNames, or a special catalogue's name
    std::string dsn;
    std::string user;
    std::string password;
};

//! Names of the back ends tests are parameterised with. "mariadb_mixed" is a
//! MariaDB catalogue whose tables and columns are spelled in mixed case
//! ("FileList", "tBegin"): every statement must use the registry's spelling.
inline const std::vector<std::string> kBackendNames{"sqlite", "postgresql", "mariadb",
                                                    "mariadb_mixed"};

//! The back end of that name (from the shared test database fixture), or
//! null when it is not available in this run.
const Backend* FindBackend(const std::string& name);

//! Throw-away SQLite catalogues of this process (created at first use):
//! one whose FILELIST has no TEND column, one whose file is not a database
//! (the driver connects, every catalogue function fails), and an empty one a
//! test fills with tables of its own.
const Backend& NoTendCatalogue();
const Backend& NotADatabase();
const Backend& CustomCatalogue();

//! Shell commands that stop and start the fixture's server of back end
//! "postgresql" or "mariadb" (empty when the servers do not run).
std::string ServerStopCommand(const std::string& name);
std::string ServerStartCommand(const std::string& name);

//! Connects db to backend b (parameters set first). Returns Connect()'s result.
bool ConnectTo(CWaveDatabase& db, const Backend& b);

//! Executes sql on hdbc; fails the current test with the diagnostic when it fails.
bool Exec(void* hdbc, const std::string& sql);

//! A temporary directory removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

//! Writes a data file: header block of headerSize bytes ("[KVT5.x]" text,
//! zero padded) followed by the raw sample bytes.
void WriteDataFile(const std::filesystem::path& path, std::size_t headerSize,
                   const std::vector<unsigned char>& samples);

//! Little-endian bytes of float samples.
std::vector<unsigned char> FloatBytes(const std::vector<float>& values);

//! One FILELIST row to insert. Null-able columns have a flag.
struct FileRow {
    std::string sta = "TST";
    std::string ch = "BHZ";
    std::string lcode;             //!< empty: NULL
    double tBegin = 0;
    double tQty = 0;
    double sps = 0;
    int dataType = 3;
    std::int64_t foff = 512;
    bool foffNull = false;
    std::string cpath;
    bool withTend = true;          //!< write TEND = TBEGIN + TQTY
    bool tendNull = false;         //!< write TEND as NULL
};

//! Deletes every FILELIST row of the catalogue behind db.
void ClearFileList(CWaveDatabase& db);
//! Inserts a FILELIST row with the registry names of db.
void InsertFileRow(CWaveDatabase& db, const FileRow& row);

}  // namespace kvt::dbtest
