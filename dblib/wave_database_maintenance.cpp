// CWaveDatabase: catalogue maintenance. Keeping a channel's files under its
// quota, cutting an interval out of the catalogue, and two schema utilities.
#include "dblib/data_file.h"
#include "dblib/odbc_handles.h"
#include "dblib/sql_text_writers.h"
#include "dblib/wave_database.h"
#include "dblib/writer_support.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <strings.h>
#include <system_error>
#include <unistd.h>

namespace kvt {

namespace {

// Free space the disk must keep for other writers and the catalogue itself.
constexpr double kMinFreeBytes = 10485760;

bool FileSystemFreeSpace(const std::string& directory, std::uint64_t& freeBytes) {
    std::error_code ec;
    const auto info = std::filesystem::space(directory, ec);
    if (ec) return false;
    freeBytes = info.available;
    return true;
}

// Removes a data file. A file that is already gone counts as removed.
bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

// Autocommit off for the life of the object. Unless committed, the work is
// rolled back; autocommit is switched on again in every case.
class Transaction {
public:
    Transaction(SQLHDBC hdbc, std::string* diag) : hdbc_(hdbc), diag_(diag) {
        started_ = odbc::Succeeded(odbc::Check(
            SQLSetConnectAttr(hdbc_, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, hdbc_, diag_));
    }
    ~Transaction() noexcept {
        if (!started_) return;
        if (!done_) SQLEndTran(SQL_HANDLE_DBC, hdbc_, SQL_ROLLBACK);
        SQLSetConnectAttr(hdbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                          SQL_IS_UINTEGER);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool started() const { return started_; }
    bool Commit() {
        done_ = odbc::Succeeded(
            odbc::Check(SQLEndTran(SQL_HANDLE_DBC, hdbc_, SQL_COMMIT), SQL_HANDLE_DBC, hdbc_, diag_));
        return done_;
    }

private:
    SQLHDBC hdbc_;
    std::string* diag_;
    bool started_ = false;
    bool done_ = false;
};

// A row listed by the cut of the one-file-per-row regime.
struct CutRow {
    std::string cpath;
    double tBegin = 0;
    double endOrQty = 0;  // TEND, or TQTY without TEND
};

// Runs a query of CPATH, TBEGIN, TEND/TQTY and collects its rows.
bool ListCutRows(SQLHDBC hdbc, const std::string& sql, std::string* diag, std::vector<CutRow>& out) {
    odbc::Statement st(hdbc, diag);
    if (!st.ok() || !st.ExecDirect(sql)) return false;
    char path[1024] = {};
    double tBegin = 0, endOrQty = 0;
    SQLLEN ind[3] = {};
    if (!st.Bind(1, SQL_C_CHAR, path, sizeof path, &ind[0]) ||
        !st.Bind(2, SQL_C_DOUBLE, &tBegin, 0, &ind[1]) ||
        !st.Bind(3, SQL_C_DOUBLE, &endOrQty, 0, &ind[2]))
        return false;
    for (;;) {
        const SQLRETURN rc = st.Fetch();
        if (rc == SQL_NO_DATA) break;
        if (!odbc::Succeeded(rc)) return false;
        if (ind[1] == SQL_NULL_DATA || ind[2] == SQL_NULL_DATA) continue;
        out.push_back({ind[0] == SQL_NULL_DATA ? std::string() : std::string(path), tBegin, endOrQty});
    }
    st.CloseCursor();
    return true;
}

}  // namespace

int CWaveDatabase::MakeRoom(double seconds) {
    const sql::ChannelKey key{station, channel, locationCode};
    FreeSpaceFunction freeSpace = freeSpace_ ? freeSpace_ : &FileSystemFreeSpace;
    const double needed = seconds * sampleRate * 4;
    const auto enough = [&](double total, double minFree) {
        if (!(static_cast<double>(maxFileSize_) > total + needed)) return false;
        std::uint64_t freeBytes = 0;
        return !freeSpace(dataDir_, freeBytes) || static_cast<double>(freeBytes) > minFree;
    };

    double total = 0;
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        if (!st.ExecDirect(sql::StorageTotalQuery(schema_, key, creator))) return db::kDeleteFailed;
        SQLLEN ind = 0;
        if (!st.Bind(1, SQL_C_DOUBLE, &total, 0, &ind)) return db::kDeleteFailed;
        const SQLRETURN rc = st.Fetch();
        if (rc != SQL_NO_DATA && !odbc::Succeeded(rc)) return db::kDeleteFailed;
        if (rc == SQL_NO_DATA || ind == SQL_NULL_DATA) total = 0;
        st.CloseCursor();
    }
    if (enough(total, kMinFreeBytes - 1)) return db::kOk;

    struct OldFile {
        std::int64_t foff;
        double tQty, sps;
        std::string cpath;
    };
    std::vector<OldFile> files;
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok() || !st.ExecDirect(sql::OldestFilesQuery(schema_, key, creator)))
            return db::kOdbcFailed;
        std::int64_t foff = 0;
        double tQty = 0, sps = 0;
        char path[1024] = {};
        SQLLEN ind[4] = {};
        if (!st.Bind(1, SQL_C_SBIGINT, &foff, 0, &ind[0]) ||
            !st.Bind(2, SQL_C_DOUBLE, &tQty, 0, &ind[1]) ||
            !st.Bind(3, SQL_C_DOUBLE, &sps, 0, &ind[2]) ||
            !st.Bind(4, SQL_C_CHAR, path, sizeof path, &ind[3]))
            return db::kOdbcFailed;
        for (;;) {
            const SQLRETURN rc = st.Fetch();
            if (rc == SQL_NO_DATA) break;
            if (!odbc::Succeeded(rc)) return db::kOdbcFailed;
            if (ind[3] == SQL_NULL_DATA) continue;
            files.push_back({foff, ind[1] == SQL_NULL_DATA ? 0 : tQty,
                             ind[2] == SQL_NULL_DATA ? 0 : sps, path});
        }
        st.CloseCursor();
    }

    bool failed = false;
    for (const OldFile& f : files) {
        // The row goes first: a row whose file is gone would be read as data,
        // while a file whose row is gone is only disk space (and is logged).
        {
            odbc::Statement st(hdbc(), &lastDiagnostic_);
            if (!st.ok()) return db::kOdbcFailed;
            if (writer::ExecChange(st, sql::DeleteByPathStatement(schema_, f.cpath)) < 0)
                return db::kDeleteFailed;
        }
        const std::string path = ResolveDataPath(dataDir_, f.cpath);
        const bool removed = RemoveFile(path);
        if (!removed) failed = true;
        removalLog_.Append({static_cast<std::int32_t>(writer::NowEpoch()), path, removed});
        total -= f.tQty * f.sps * 4 + static_cast<double>(f.foff);
        if (enough(total, kMinFreeBytes)) break;
    }
    return failed ? 1 : db::kOk;
}

int CWaveDatabase::CutInterval(std::string_view sta, std::string_view ch, std::string_view lcode,
                               double begin, double end, std::string_view who) {
    station.assign(sta);
    channel.assign(ch);
    locationCode.assign(lcode);
    creator.assign(who);
    timeBegin = begin;
    timeEnd = end;
    duration = end - begin;
    if (!std::isfinite(begin) || !std::isfinite(end) || !(end > begin)) return db::kEmptyInterval;
    if (!Probe()) return db::kProbeFailed;
    std::vector<std::string> filesToDelete;
    {
        Transaction tx(hdbc(), &lastDiagnostic_);
        if (!tx.started()) return db::kOdbcFailed;
        const int rc = writeMode_ == 0 ? CutOneFilePerRow(filesToDelete) : CutRing();
        if (rc != db::kOk) return rc;  // rolled back by tx
        if (!tx.Commit()) return db::kOdbcFailed;
    }
    // Files go only once their rows are gone for good: a cut that was rolled
    // back must still find every file it lists.
    bool failed = false;
    for (const std::string& path : filesToDelete) {
        const bool removed = RemoveFile(path);
        if (!removed) failed = true;
        removalLog_.Append({static_cast<std::int32_t>(writer::NowEpoch()), path, removed});
    }
    return failed ? 1 : db::kOk;
}

int CWaveDatabase::CutOneFilePerRow(std::vector<std::string>& filesToDelete) {
    const sql::ChannelKey key{station, channel, locationCode};
    std::vector<CutRow> inside;
    if (!ListCutRows(hdbc(), sql::CutInsideQuery(schema_, key, timeBegin, timeEnd, creator, useTend_),
                     &lastDiagnostic_, inside))
        return db::kOdbcFailed;
    for (const CutRow& row : inside) {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        const std::int64_t n = writer::ExecChange(
            st, sql::CutDeleteRowStatement(schema_, key, row.tBegin, row.endOrQty, row.cpath,
                                           creator, useTend_));
        if (n < 0) return db::kDeleteFailed;
        // Only a file whose row went is removed.
        if (n > 0) filesToDelete.push_back(ResolveDataPath(dataDir_, row.cpath));
    }

    std::vector<CutRow> straddling;
    if (!ListCutRows(hdbc(), sql::CutStraddleQuery(schema_, key, timeBegin, creator, useTend_),
                     &lastDiagnostic_, straddling))
        return db::kOdbcFailed;
    for (const CutRow& row : straddling) {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        if (writer::ExecChange(st, sql::CutShortenStatement(schema_, key, timeBegin, row.tBegin,
                                                            row.endOrQty, creator, useTend_)) < 0)
            return db::kUpdateFailed;
    }
    return db::kOk;
}

int CWaveDatabase::CutRing() {
    const sql::ChannelKey key{station, channel, locationCode};
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        if (writer::ExecChange(st, sql::CutRingDeleteInsideStatement(schema_, key, timeBegin,
                                                                     timeEnd, creator, useTend_)) < 0)
            return db::kDeleteFailed;
    }
    std::vector<sql::RingRow> rows;
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok() || !st.ExecDirect(sql::CutRingOverlapQuery(schema_, key, timeBegin, timeEnd,
                                                                creator, useTend_)))
            return db::kOdbcFailed;
        sql::RingRow r;
        char path[1024] = {};
        std::int32_t dataType = 0;
        SQLLEN ind[9] = {};
        if (!st.Bind(1, SQL_C_DOUBLE, &r.tBegin, 0, &ind[0]) ||
            !st.Bind(2, SQL_C_DOUBLE, &r.tEnd, 0, &ind[1]) ||
            !st.Bind(3, SQL_C_CHAR, path, sizeof path, &ind[2]) ||
            !st.Bind(4, SQL_C_SBIGINT, &r.fileOffset, 0, &ind[3]) ||
            !st.Bind(5, SQL_C_DOUBLE, &r.sps, 0, &ind[4]) ||
            !st.Bind(6, SQL_C_DOUBLE, &r.gain, 0, &ind[5]) ||
            !st.Bind(7, SQL_C_SLONG, &dataType, 0, &ind[6]) ||
            !st.Bind(8, SQL_C_DOUBLE, &r.calib, 0, &ind[7]) ||
            !st.Bind(9, SQL_C_DOUBLE, &r.calper, 0, &ind[8]))
            return db::kOdbcFailed;
        for (;;) {
            const SQLRETURN rc = st.Fetch();
            if (rc == SQL_NO_DATA) break;
            if (!odbc::Succeeded(rc)) return db::kOdbcFailed;
            sql::RingRow row = r;
            row.cpath = ind[2] == SQL_NULL_DATA ? std::string() : std::string(path);
            row.dataType = ind[6] == SQL_NULL_DATA ? kFloat32 : dataType;
            if (ind[3] == SQL_NULL_DATA) row.fileOffset = 0;
            if (ind[5] == SQL_NULL_DATA) row.gain = 1;
            if (ind[7] == SQL_NULL_DATA) row.calib = 0;
            if (ind[8] == SQL_NULL_DATA) row.calper = 0;
            if (ind[0] == SQL_NULL_DATA || ind[1] == SQL_NULL_DATA || ind[4] == SQL_NULL_DATA ||
                !(row.sps > 0))
                continue;
            rows.push_back(std::move(row));
        }
        st.CloseCursor();
    }

    const std::string date = writer::NowCatalogueDate();
    auto run = [&](const std::string& text, int failure) {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        return writer::ExecChange(st, text) < 0 ? failure : db::kOk;
    };
    for (const sql::RingRow& row : rows) {
        const int size = SampleSize(row.dataType) != 0 ? SampleSize(row.dataType) : 4;
        const std::int64_t offset = row.fileOffset != 0 ? row.fileOffset : kDefaultDataOffset;
        // The part after the cut starts at the first whole sample at or after timeEnd.
        const double skip = TolerantCeil((timeEnd - row.tBegin) * row.sps, row.sps);
        const double tailBegin = row.tBegin + skip / row.sps;
        const double tailQty = row.tEnd - tailBegin;
        const auto tailOffset = offset + static_cast<std::int64_t>(skip) * size;
        int rc = db::kOk;
        if (row.tBegin < timeBegin) {
            // Keep the head: the row ends at timeBegin.
            rc = run(sql::CutRingUpdateStatement(schema_, key, row, row.tBegin,
                                                 timeBegin - row.tBegin, row.fileOffset, creator,
                                                 useTend_),
                     db::kUpdateFailed);
            if (rc == db::kOk && row.tEnd > timeEnd && tailQty > 0)
                rc = run(sql::CutRingInsertStatement(schema_, key, row, tailBegin, tailQty,
                                                     tailOffset, creator, date, useTend_),
                         db::kInsertFailed);
        } else if (row.tEnd > timeEnd && tailQty > 0) {
            rc = run(sql::CutRingUpdateStatement(schema_, key, row, tailBegin, tailQty, tailOffset,
                                                 creator, useTend_),
                     db::kUpdateFailed);
        } else {
            // Within the interval (its ends on the interval's bounds).
            rc = run(sql::CutRingDeleteRowStatement(schema_, key, row, creator), db::kDeleteFailed);
        }
        if (rc != db::kOk) return rc;
    }
    return db::kOk;
}

bool CWaveDatabase::ColumnTypeIs(std::string_view table, std::string_view column,
                                 std::string_view typeName) {
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return false;
    std::string t(table), c(column);
    const SQLRETURN rc = st.Check(SQLColumns(st.get(), nullptr, 0, nullptr, 0,
                                             reinterpret_cast<SQLCHAR*>(t.data()), SQL_NTS,
                                             reinterpret_cast<SQLCHAR*>(c.data()), SQL_NTS));
    if (!odbc::Succeeded(rc)) return false;
    char type[128] = {};
    SQLLEN ind = 0;
    if (!st.Bind(6, SQL_C_CHAR, type, sizeof type, &ind)) return false;
    const bool found = odbc::Succeeded(st.Fetch()) && ind != SQL_NULL_DATA;
    st.CloseCursor();
    return found && strcasecmp(type, std::string(typeName).c_str()) == 0;
}

bool CWaveDatabase::AlterColumn(std::string_view table, std::string_view column,
                                std::string_view type) {
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    return st.ok() && st.ExecDirect(sql::AlterColumnStatement(table, column, type));
}

}  // namespace kvt
