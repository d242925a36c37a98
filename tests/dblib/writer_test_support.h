#pragma once
// Shared fixture of the catalogue writer tests: a CWaveDatabase connected to
// one back end (SQLite, PostgreSQL, MariaDB) with an empty catalogue and a data
// directory of its own, local time in UTC (file names and headers), a plain
// free-space reading, and helpers to look at rows and files.

#include "backend_test.h"

#include "dblib/wave_database.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvt::test {

//! A plain epoch second: 2023-11-14 22:13:20 UTC.
inline constexpr double kT0 = 1700000000;

//! n samples whose values tell their index (offset + i, with a fraction so
//! that byte order mistakes show).
std::vector<float> Ramp(int n, float offset = 0);

class WriterTest : public BackendTest {
protected:
    void SetUp() override;
    void TearDown() override;

    //! WriteSamples of `samples` from t (epoch s) at rate, creator "rec",
    //! station TST, channel BHZ, no location code, into path (ring regime).
    int Write(const std::vector<float>& samples, double t, double rate = 20,
              const std::string& path = {});

    //! FILELIST rows as text, one line per row: "CPATH TBEGIN TQTY FOFF" ordered
    //! by TBEGIN, FOFF (times with 4 decimals, TQTY with 2).
    std::vector<std::string> Rows();
    //! Every FILELIST column of every row, for comparing whole catalogues.
    std::vector<Row> AllRows();
    //! Regular files below the data directory, relative, "/" separated, sorted.
    std::vector<std::string> Files() const;
    //! Bytes of a file below the data directory.
    std::string FileBytes(const std::string& relative) const;

    const std::filesystem::path& dataDir() const { return dataDir_; }

    CWaveDatabase db;

private:
    std::filesystem::path dataDir_;
};

//! A trigger that makes every insert, update or delete (`event`) of a FILELIST
//! row fail; with `cpath` only for the row of that CPATH. Dropped by the
//! destructor, so the catalogue can be emptied again.
class RefusingTrigger {
public:
    RefusingTrigger(OdbcSession& session, BackendKind kind, const std::string& event,
                    const std::string& cpath = {});
    ~RefusingTrigger() noexcept;
    RefusingTrigger(const RefusingTrigger&) = delete;
    RefusingTrigger& operator=(const RefusingTrigger&) = delete;

private:
    void Drop() noexcept;
    OdbcSession& session_;
    BackendKind kind_;
};

}  // namespace kvt::test
