// CWaveDatabase: the writers. Samples go into data files, each stored piece
// gets (or lengthens) a FILELIST row, and the file headers are rewritten from
// the catalogue.
#include "dblib/data_file.h"
#include "dblib/odbc_handles.h"
#include "dblib/sql_text.h"
#include "dblib/sql_text_writers.h"
#include "dblib/wave_database.h"
#include "dblib/writer_support.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt {

static_assert(std::endian::native == std::endian::little,
              "samples are written as little-endian floats straight from memory");

namespace {

constexpr int kHeader512 = 512;
constexpr int kHeader1024 = 1024;

// Creates one directory level; an existing one is fine.
bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

// Size of a file in bytes, -1 when it cannot be read.
std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace

int CWaveDatabase::WriteSamples(const float* samples, std::int32_t count, std::string_view sta,
                                std::string_view ch, std::string_view lcode, std::string_view path,
                                double begin, double end, std::string_view who, double rate,
                                double calibration, double calibrationPeriod) {
    return WriteSamplesAt(samples, count, sta, ch, lcode, path, begin, end, who, rate, calibration,
                          calibrationPeriod, -1);
}

int CWaveDatabase::WriteSamplesAt(const float* samples, std::int32_t count, std::string_view sta,
                                  std::string_view ch, std::string_view lcode,
                                  std::string_view path, double begin, double end,
                                  std::string_view who, double rate, double calibration,
                                  double calibrationPeriod, std::int64_t offset) {
    station.assign(sta);
    channel.assign(ch);
    locationCode.assign(lcode);
    filePath = ResolveDataPath(dataDir_, path);
    creator.assign(who);
    timeBegin = begin;
    timeEnd = end;
    duration = end - begin;
    // The catalogue keeps rates to 1/10000 sample per second.
    sampleRate = std::floor(rate * 10000) / 10000;
    calib = calibration;
    calper = calibrationPeriod;
    return WriteBlocks(samples, count, offset >= 0, offset);
}

int CWaveDatabase::WriteBlocks(const float* samples, std::int32_t count, bool ringOffsetGiven,
                               std::int64_t offset) {
    const double rate = sampleRate;
    if (!std::isfinite(rate) || !(rate > 0) || count < 0 || (count > 0 && samples == nullptr) ||
        !std::isfinite(timeBegin) || !std::isfinite(timeEnd))
        return db::kNoOverlap;
    // The count must match the interval to within a sample and a half.
    if (!(std::fabs((timeEnd - timeBegin) * rate - count) <= 1.5 / rate)) return db::kNoOverlap;
    if (!(timeEnd > timeBegin)) return db::kEmptyInterval;
    if (!Probe()) return db::kProbeFailed;

    // Pieces of one file length each, back to back: piece i starts at sample
    // i * perFile, so no sample falls between two pieces when fileLength *
    // rate is not a whole number.
    const double wanted = std::trunc(static_cast<double>(fileLength_) * rate);
    const std::int64_t perFile = wanted >= 1 ? static_cast<std::int64_t>(std::min(wanted, 2.0e9)) : 1;
    const double t0 = timeBegin;
    const double tEnd = timeEnd;
    const std::string ringPath = filePath;
    bool removalFailed = false;
    for (std::int64_t start = 0; start < count; start += perFile) {
        const std::int64_t n = std::min<std::int64_t>(perFile, count - start);
        timeBegin = t0 + static_cast<double>(start) / rate;
        const bool last = start + n >= count;
        duration = last ? tEnd - timeBegin : static_cast<double>(n) / rate;
        const float* piece = samples + start;
        const auto pieceCount = static_cast<std::int32_t>(n);
        int rc;
        if (writeMode_ == 0) {
            rc = WritePieceAppendRegime(piece, pieceCount, removalFailed);
        } else {
            filePath = ringPath;
            std::int64_t position = -1;
            if (start == 0 && ringOffsetGiven && offset > 0) {
                position = offset;
            } else if (start == 0 && ringOffsetGiven) {
                DataEnd end;
                rc = QueryDataEnd(CataloguePath(dataDir_, filePath), false, end);
                if (rc == db::kOk) position = end.endPosition;
                else if (rc == db::kNoRow) position = kHeader1024;
                else return rc;
            }
            rc = WritePieceRing(piece, pieceCount, position);
        }
        if (rc != db::kOk) return rc;
    }
    timeBegin = tEnd;
    duration = 0;
    return removalFailed ? 1 : db::kOk;
}

int CWaveDatabase::WritePieceAppendRegime(const float* samples, std::int32_t count,
                                          bool& removalFailed) {
    LatestFile latest;
    int rc = QueryLatestFile(latest);
    if (rc != db::kOk) return rc;
    const std::size_t logged = removalLog_.size();
    rc = MakeRoom(latest.tQty);
    if (rc != db::kOk && rc != 1) return rc;
    if (rc == 1) removalFailed = true;
    // Making room may have removed the newest file itself.
    if (removalLog_.size() != logged) {
        rc = QueryLatestFile(latest);
        if (rc != db::kOk) return rc;
    }

    const bool continues = !latest.path.empty() &&
                           std::fabs(latest.tBegin + latest.tQty - timeBegin) < 1.5 / sampleRate &&
                           latest.tQty < fileLength_;
    if (continues) {
        const std::string target = ResolveDataPath(dataDir_, latest.path);
        std::int64_t oldSize = FileSize(target);
        // Samples are appended where the row's data end. After a cut the file
        // holds samples past that point; the new ones must follow the
        // catalogued ones, or every later sample would be read at a wrong time.
        DataEnd end;
        if (QueryDataEnd(latest.path, false, end) == db::kOk && end.fileOffset == kHeader512) {
            const std::int64_t catalogued = kHeader512 + (end.endPosition - kHeader512) / 4 * 4;
            if (oldSize >= 0 && catalogued != oldSize &&
                ::truncate(target.c_str(), static_cast<off_t>(catalogued)) == 0)
                oldSize = catalogued;
        }
        rc = WriteDataFile(samples, count, 0, latest.path);
        if (rc != db::kOk) return rc;
        rc = ExtendRow(latest.tBegin, latest.tQty);
        if (rc == db::kOk) {
            RewriteHeader512();  // the header now tells the new length
            filePath = CataloguePath(dataDir_, filePath);
            return db::kOk;
        }
        // The samples must not stay past the catalogued end of the file: the
        // next append would put its samples behind them and mis-time them.
        if (oldSize >= 0 && ::truncate(target.c_str(), static_cast<off_t>(oldSize)) != 0)
            rc = db::kFileWriteFailed;
        // The newest row changed under us: store the piece in a file of its own.
        if (rc != db::kNoRowUpdated) return rc;
    }

    rc = WriteDataFile(samples, count, 1, {});
    if (rc != db::kOk) return rc;
    const std::string created = filePath;
    rc = InsertRow(kHeader512);
    if (rc != db::kOk) {
        // A file without a row would never be read nor removed by MakeRoom.
        ::unlink(created.c_str());
        return rc;
    }
    // The header was written before the row existed; now it can be filled in.
    RewriteHeader512();
    filePath = CataloguePath(dataDir_, filePath);
    return db::kOk;
}

int CWaveDatabase::WritePieceRing(const float* samples, std::int32_t count, std::int64_t position) {
    const std::string relative = CataloguePath(dataDir_, filePath);
    DataEnd byDate;
    int rc = QueryDataEnd(relative, true, byDate);
    const bool haveLatest = rc == db::kOk;
    if (rc != db::kOk && rc != db::kNoRow) return rc;
    if (position < 0) position = haveLatest ? byDate.endPosition : kHeader1024;
    const std::int64_t bytes = 4 * static_cast<std::int64_t>(count);
    const std::int64_t size = FileSize(ResolveDataPath(dataDir_, filePath));
    // A block that would pass the file's end or the ring size starts the ring again.
    if (position < kHeader1024 || (size >= 0 && position > size) || position + bytes > maxFileSize_)
        position = kHeader1024;

    rc = WriteDataFile(samples, count, position, {});
    if (rc == db::kFileWriteFailed && FileSize(ResolveDataPath(dataDir_, filePath)) >= 0) {
        // Part of the block may be on disk: rows over those bytes are void.
        DeleteRowsInRange(position, position + bytes);
        return rc;
    }
    if (rc != db::kOk) return rc;
    rc = DeleteRowsInRange(position, position + bytes);
    if (rc != db::kOk) return rc;

    const bool continues = haveLatest && position != kHeader1024 &&
                           position == byDate.endPosition &&
                           std::fabs(byDate.tBegin + byDate.tQty - timeBegin) < 1.5 / sampleRate &&
                           byDate.tQty < fileLength_;
    rc = continues ? ExtendRow(byDate.tBegin, byDate.tQty) : db::kNoRowUpdated;
    if (rc == db::kNoRowUpdated) rc = InsertRow(position);
    if (rc != db::kOk) return rc;
    RewriteHeader1024();
    return db::kOk;
}

int CWaveDatabase::WriteDataFile(const float* samples, std::int32_t count, std::int64_t position,
                                 std::string_view existingPath) {
    if (count < 0 || (count > 0 && samples == nullptr) || position < 0)
        return db::kFileWriteFailed;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    const std::size_t size = 4 * static_cast<std::size_t>(count);

    if (writeMode_ != 0) {
        const std::string path = ResolveDataPath(dataDir_, filePath);
        if (FileSize(path) < 0) return db::kFileWriteFailed;
        RewriteHeader1024();
        writer::File file(path, O_WRONLY);
        if (!file.ok()) return db::kFileOpenFailed;
        if (!file.WriteAt(position, bytes, size) || !file.Close()) return db::kFileWriteFailed;
        return db::kOk;
    }

    if (position != 0) {
        const LocalTime start = ToLocalTime(timeBegin);
        const std::string relative = DataFileRelativeName(station, channel, start);
        const std::string path = ResolveDataPath(dataDir_, relative);
        // dataDir/STA/HH: create the two levels below the data directory.
        const std::size_t hourSlash = path.rfind('/');
        const std::size_t stationSlash =
            hourSlash == std::string::npos ? std::string::npos : path.rfind('/', hourSlash - 1);
        if (stationSlash == std::string::npos || !MakeDirectory(path.substr(0, stationSlash)) ||
            !MakeDirectory(path.substr(0, hourSlash)))
            return db::kFileOpenFailed;
        filePath = path;
        {
            writer::File file(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
            if (!file.ok()) {
                // The name holds only station, channel and start second: another
                // location code, or a restart within that second, gives the same
                // name. A catalogued file is never overwritten; a leftover is.
                if (errno != EEXIST || PathIsCatalogued(relative)) return db::kFileOpenFailed;
                file = writer::File(path, O_WRONLY | O_TRUNC, 0666);
                if (!file.ok()) return db::kFileOpenFailed;
            }
            const std::string zeros(kHeader512, '\0');
            if (!file.WriteAt(0, reinterpret_cast<const unsigned char*>(zeros.data()), zeros.size()) ||
                !file.WriteAt(kHeader512, bytes, size) || !file.Close()) {
                ::unlink(path.c_str());  // a half-written file is of no use to anyone
                return db::kFileWriteFailed;
            }
        }
        RewriteHeader512();
        return db::kOk;
    }

    filePath = ResolveDataPath(dataDir_, existingPath);
    {
        writer::File file(filePath, O_WRONLY);
        if (!file.ok()) return db::kFileOpenFailed;
        const std::int64_t end = file.Size();
        if (end < 0) return db::kFileWriteFailed;
        if (!file.WriteAt(end, bytes, size) || !file.Close()) {
            // Cut back what was written: the row still ends where it did.
            ::truncate(filePath.c_str(), static_cast<off_t>(end));
            return db::kFileWriteFailed;
        }
    }
    RewriteHeader512();
    return db::kOk;
}

bool CWaveDatabase::PathIsCatalogued(const std::string& cpath) {
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    std::int64_t rows = 1;  // when the catalogue cannot tell, assume the worst
    SQLLEN ind = 0;
    if (st.ok() && st.ExecDirect(sql::RowsOfPathQuery(schema_, cpath)) &&
        st.Bind(1, SQL_C_SBIGINT, &rows, 0, &ind) && odbc::Succeeded(st.Fetch())) {
        st.CloseCursor();
        return ind == SQL_NULL_DATA || rows != 0;
    }
    return true;
}

int CWaveDatabase::InsertRow(std::int64_t fileOffset) {
    // One row holds at most one file length.
    const double r = fileLength_ <= duration ? static_cast<double>(fileLength_) : duration;
    const std::string cpath = CataloguePath(dataDir_, filePath);
    const std::string date = writer::NowCatalogueDate();
    sql::NewRow row;
    row.key = {station, channel, locationCode};
    row.tBegin = timeBegin;
    row.tQty = r;
    row.sps = sampleRate;
    row.cpath = cpath;
    row.creator = creator;
    row.ldDate = date;
    row.fileOffset = fileOffset;
    row.calib = calib;
    row.calper = calper;
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    if (!st.ExecDirect(sql::InsertRowStatement(schema_, row, useTend_))) return db::kInsertFailed;
    if (duration >= fileLength_) {
        timeBegin += r;
        duration -= r;
    }
    return db::kOk;
}

int CWaveDatabase::ExtendRow(double oldBegin, double oldQty) {
    // The piece added: what remains, at most one file length.
    const double r = fileLength_ <= duration ? static_cast<double>(fileLength_) : duration;
    const std::string date = writer::NowCatalogueDate();
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    const sql::ChannelKey key{station, channel, locationCode};
    // TEND is kept up to date even when reads do not use it, so that it is
    // right when they start to. A catalogue without the column gets the
    // update without it rather than no update at all.
    std::int64_t rows = writer::ExecChange(
        st, sql::ExtendRowStatement(schema_, key, oldQty + r, date, oldBegin + oldQty + r,
                                    oldBegin, oldQty));
    if (rows < 0 && !useTend_) {
        const std::string firstError = lastDiagnostic_;
        rows = writer::ExecChange(st, sql::ExtendRowStatement(schema_, key, oldQty + r, date,
                                                              oldBegin + oldQty + r, oldBegin,
                                                              oldQty, false));
        if (rows < 0) lastDiagnostic_ = firstError;
    }
    if (rows < 0) return db::kUpdateFailed;
    return rows == 0 ? db::kNoRowUpdated : db::kOk;
}

int CWaveDatabase::DeleteRowsInRange(std::int64_t from, std::int64_t to) {
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    const std::string text = sql::DeleteRowsInRangeStatement(
        schema_, {station, channel, locationCode}, CataloguePath(dataDir_, filePath), from, to);
    return writer::ExecChange(st, text) < 0 ? db::kDeleteFailed : db::kOk;
}

int CWaveDatabase::RewriteHeader512() {
    const std::string cpath = CataloguePath(dataDir_, filePath);
    double sps = 0, tBegin = 0, endOrQty = 0;
    std::int64_t foff = 0;
    SQLLEN ind[4] = {};
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        if (!st.ExecDirect(sql::Header512Query(schema_, {station, channel, locationCode}, creator,
                                               cpath, useTend_)))
            return db::kOdbcFailed;
        if (!st.Bind(1, SQL_C_DOUBLE, &sps, 0, &ind[0]) ||
            !st.Bind(2, SQL_C_SBIGINT, &foff, 0, &ind[1]) ||
            !st.Bind(3, SQL_C_DOUBLE, &tBegin, 0, &ind[2]) ||
            !st.Bind(4, SQL_C_DOUBLE, &endOrQty, 0, &ind[3]))
            return db::kOdbcFailed;
        const SQLRETURN frc = st.Fetch();
        if (frc == SQL_NO_DATA) return db::kOk;
        if (!odbc::Succeeded(frc)) return db::kOdbcFailed;
        st.CloseCursor();
    }
    if (ind[2] == SQL_NULL_DATA || ind[3] == SQL_NULL_DATA) return db::kOk;
    const double length = useTend_ ? endOrQty - tBegin : endOrQty;
    const std::string header = HeaderBlock(kHeader512, ToLocalTime(tBegin), length, sampleRate,
                                           station, channel);
    writer::File file(ResolveDataPath(dataDir_, filePath), O_WRONLY);
    if (!file.ok()) return db::kFileOpenFailed;
    if (!file.WriteAt(0, reinterpret_cast<const unsigned char*>(header.data()), header.size()) ||
        !file.Close())
        return db::kFileWriteFailed;
    return db::kOk;
}

int CWaveDatabase::RewriteHeader1024() {
    const std::string cpath = CataloguePath(dataDir_, filePath);
    double minT = 0, maxT = 0;
    SQLLEN minInd = 0, maxInd = 0;
    {
        odbc::Statement st(hdbc(), &lastDiagnostic_);
        if (!st.ok()) return db::kOdbcFailed;
        if (!st.ExecDirect(sql::Header1024Query(schema_, {station, channel, locationCode}, creator,
                                                cpath, useTend_)))
            return db::kOdbcFailed;
        if (!st.Bind(1, SQL_C_DOUBLE, &minT, 0, &minInd) ||
            !st.Bind(2, SQL_C_DOUBLE, &maxT, 0, &maxInd))
            return db::kOdbcFailed;
        const SQLRETURN frc = st.Fetch();
        if (frc == SQL_NO_DATA) return db::kOk;
        if (!odbc::Succeeded(frc)) return db::kOdbcFailed;
        st.CloseCursor();
    }
    // No rows of the file yet: min and max are null, there is nothing to tell.
    if (minInd == SQL_NULL_DATA || maxInd == SQL_NULL_DATA) return db::kOk;
    const std::string header = HeaderBlock(kHeader1024, ToLocalTime(minT), maxT - minT, sampleRate,
                                           station, channel);
    writer::File file(ResolveDataPath(dataDir_, filePath), O_WRONLY);
    if (!file.ok()) return db::kFileOpenFailed;
    if (!file.WriteAt(0, reinterpret_cast<const unsigned char*>(header.data()), header.size()) ||
        !file.Close())
        return db::kFileWriteFailed;
    return db::kOk;
}

}  // namespace kvt
