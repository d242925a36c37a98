// CWaveDatabase: the interval reader and the latest-file queries.
#include "dblib/data_file.h"
#include "dblib/odbc_handles.h"
#include "dblib/segment_file.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kvt {

namespace {

// Reads count samples of dataType at byte position of the file at path into
// out[0..count), converted to float (samples past the end of the file are 0).
int ReadSamples(const std::string& path, int dataType, std::int64_t position, std::size_t count,
                float* out) noexcept {
    SegmentFile file;
    const int rc = file.Open(path, dataType, position, static_cast<std::int64_t>(count));
    return rc != db::kOk ? rc : file.Read(out, count);
}

// One row of the interval query, as bound.
struct IntervalRow {
    double tBegin = 0;
    double sps = 0;
    double tQty = 0;
    std::int32_t dataType = 0;
    std::int64_t fileOffset = 0;
    char path[1024] = {};
    SQLLEN tBeginInd = 0, spsInd = 0, tQtyInd = 0, typeInd = 0, offsetInd = 0, pathInd = 0;

    bool Bind(odbc::Statement& st) {
        return st.Bind(1, SQL_C_DOUBLE, &tBegin, 0, &tBeginInd) &&
               st.Bind(2, SQL_C_DOUBLE, &sps, 0, &spsInd) &&
               st.Bind(3, SQL_C_DOUBLE, &tQty, 0, &tQtyInd) &&
               st.Bind(4, SQL_C_SLONG, &dataType, 0, &typeInd) &&
               st.Bind(5, SQL_C_SBIGINT, &fileOffset, 0, &offsetInd) &&
               st.Bind(6, SQL_C_CHAR, path, sizeof path, &pathInd);
    }
    // A row whose times, rate, type or path are NULL cannot describe a file;
    // nor can a path cut to the buffer (it would name another file).
    bool HasValues() const {
        return tBeginInd != SQL_NULL_DATA && spsInd != SQL_NULL_DATA && tQtyInd != SQL_NULL_DATA &&
               typeInd != SQL_NULL_DATA && pathInd != SQL_NULL_DATA &&
               (pathInd == SQL_NO_TOTAL || pathInd < static_cast<SQLLEN>(sizeof path));
    }
    std::int64_t DataOffset() const {
        return (offsetInd == SQL_NULL_DATA || fileOffset == 0) ? kDefaultDataOffset : fileOffset;
    }
};

}  // namespace

int CWaveDatabase::QueryInterval(std::string_view sta, std::string_view ch, std::string_view lcode,
                                 double begin, double end, std::vector<DataSegment>& out) {
    station.assign(sta);
    channel.assign(ch);
    locationCode.assign(lcode);
    timeBegin = begin;
    timeEnd = end;
    duration = end - begin;
    out.clear();
    if (!std::isfinite(begin) || !std::isfinite(end) || !(end > begin)) return db::kEmptyInterval;
    if (!Probe()) return db::kProbeFailed;

    std::string alias;
    int rc = Alias(alias);
    if (rc != db::kOk) return rc;
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    if (!st.ExecDirect(sql::IntervalQuery(schema_, station, channel, locationCode, timeBegin,
                                          timeEnd, useTend_, alias)))
        return db::kOdbcFailed;
    IntervalRow row;
    if (!row.Bind(st)) return db::kOdbcFailed;
    for (;;) {
        const SQLRETURN frc = st.Fetch();
        if (frc == SQL_NO_DATA) break;
        if (!odbc::Succeeded(frc)) {
            // The rows read so far are still handed back, but the caller learns
            // that the list may be incomplete.
            rc = db::kOdbcFailed;
            break;
        }
        if (!row.HasValues()) continue;
        DataSegment seg;
        // Catalogue values carry float noise: rates to 1/100, times to 1/10000 s.
        seg.sps = std::floor(row.sps * 100) / 100;
        seg.tBegin = std::floor(row.tBegin * 10000) / 10000;
        seg.tQty = std::floor(row.tQty * 10000) / 10000;
        seg.tEnd = seg.tBegin + seg.tQty;
        seg.dataType = static_cast<std::int16_t>(row.dataType);
        seg.fileOffset = row.DataOffset();
        if (seg.dataType != row.dataType) continue;  // not a type code at all
        PiecePlan plan;
        if (PlanPiece(seg.tBegin, seg.tQty, seg.sps, seg.dataType, seg.fileOffset, timeBegin, timeEnd,
                      plan) != db::kOk)
            continue;
        seg.path = row.path;
        seg.tBegin = plan.clipStart;
        seg.tQty = plan.length;
        seg.count = static_cast<std::int32_t>(plan.count);
        seg.filePosition = plan.position;
        out.push_back(std::move(seg));
    }
    st.CloseCursor();
    return rc;
}

int CWaveDatabase::OpenSegment(const DataSegment& seg, SegmentFile& file) const noexcept {
    try {
        return file.Open(ResolveDataPath(dataDir_, seg.path), seg.dataType, seg.filePosition, seg.count);
    } catch (const std::bad_alloc&) {
        return db::kFileOpenFailed;
    }
}

int CWaveDatabase::ReadSegmentSamples(const DataSegment& seg, float* dest, std::size_t capacity) const noexcept {
    SegmentFile file;
    const int rc = OpenSegment(seg, file);
    return rc != db::kOk ? rc : file.Read(dest, capacity);
}

int CWaveDatabase::ReadInterval(std::string_view sta, std::string_view ch, std::string_view lcode,
                                double begin, double end, std::vector<DataSegment>& out) {
    std::vector<DataSegment> planned;
    const int rc = QueryInterval(sta, ch, lcode, begin, end, planned);
    out.clear();
    for (DataSegment& seg : planned) {
        try {
            seg.samples.assign(static_cast<std::size_t>(seg.count), 0.0f);
        } catch (const std::bad_alloc&) {
            continue;  // left out like an unreadable file
        }
        if (ReadSegmentSamples(seg, seg.samples.data(), seg.samples.size()) == db::kOk)
            out.push_back(std::move(seg));
    }
    return rc;
}

int CWaveDatabase::ReadIntervalContiguous(std::span<float> buffer) {
    duration = timeEnd - timeBegin;
    if (!std::isfinite(timeBegin) || !std::isfinite(timeEnd) || !(timeEnd > timeBegin))
        return db::kEmptyInterval;
    if (!Probe()) return db::kProbeFailed;
    std::string alias;
    const int rc = Alias(alias);
    if (rc != db::kOk) return rc;
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    if (!st.ExecDirect(sql::IntervalQuery(schema_, station, channel, locationCode, timeBegin,
                                          timeEnd, useTend_, alias)))
        return db::kOdbcFailed;
    IntervalRow row;
    if (!row.Bind(st)) return db::kOdbcFailed;
    bool first = true;
    for (;;) {
        const SQLRETURN frc = st.Fetch();
        if (frc == SQL_NO_DATA) {
            if (first) return db::kNoIntervalRow;
            break;
        }
        if (!odbc::Succeeded(frc)) {
            if (first) return db::kOdbcFailed;
            break;
        }
        first = false;
        if (!row.HasValues()) continue;
        PiecePlan plan;
        if (PlanPiece(row.tBegin, row.tQty, row.sps, row.dataType, row.DataOffset(), timeBegin,
                      timeEnd, plan) != db::kOk)
            continue;
        std::vector<float> samples;
        try {
            samples.resize(static_cast<std::size_t>(plan.count));
        } catch (const std::bad_alloc&) {
            continue;  // skipped like an unreadable file
        }
        if (ReadSamples(ResolveDataPath(dataDir_, row.path), row.dataType, plan.position, samples.size(),
                        samples.data()) != db::kOk)
            continue;
        const double start =
            row.tBegin > timeBegin ? TolerantCeil((row.tBegin - timeBegin) * row.sps, row.sps) : 0;
        if (!(start < static_cast<double>(buffer.size()))) continue;
        const std::size_t at = static_cast<std::size_t>(start);
        const std::size_t n = std::min(samples.size(), buffer.size() - at);
        std::copy_n(samples.begin(), n, buffer.begin() + static_cast<std::ptrdiff_t>(at));
    }
    st.CloseCursor();
    return db::kOk;
}

int CWaveDatabase::QueryLatestFile(LatestFile& out) {
    out = LatestFile{};
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    if (!st.ExecDirect(sql::LatestFileQuery(schema_, station, channel, locationCode)))
        return db::kOdbcFailed;
    std::int64_t foff = 0;
    double tBegin = 0, tQty = 0;
    char path[1024] = {};
    SQLLEN foffInd = 0, tBeginInd = 0, tQtyInd = 0, pathInd = 0;
    if (!st.Bind(1, SQL_C_SBIGINT, &foff, 0, &foffInd) ||
        !st.Bind(2, SQL_C_DOUBLE, &tBegin, 0, &tBeginInd) ||
        !st.Bind(3, SQL_C_DOUBLE, &tQty, 0, &tQtyInd) ||
        !st.Bind(4, SQL_C_CHAR, path, sizeof path, &pathInd))
        return db::kOdbcFailed;
    bool first = true;
    for (;;) {
        const SQLRETURN frc = st.Fetch();
        if (frc == SQL_NO_DATA) break;
        if (!odbc::Succeeded(frc)) {
            if (first) return db::kOdbcFailed;
            break;
        }
        first = false;
        out.path = pathInd == SQL_NULL_DATA ? std::string() : std::string(path);
        if (foffInd != SQL_NULL_DATA && foff == kDefaultDataOffset) {
            out.tBegin = tBeginInd == SQL_NULL_DATA ? 0 : tBegin;
            out.tQty = tQtyInd == SQL_NULL_DATA ? 0 : tQty;
            break;
        }
    }
    st.CloseCursor();
    return db::kOk;
}

int CWaveDatabase::QueryDataEnd(std::string_view path, bool byDate, DataEnd& out) {
    out = DataEnd{};
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return db::kOdbcFailed;
    const std::string text =
        byDate ? sql::DataEndByDateQuery(schema_, station, channel, locationCode, path)
               : sql::DataEndByOffsetQuery(schema_, station, channel, locationCode, path);
    if (!st.ExecDirect(text)) return db::kOdbcFailed;
    std::int64_t foff = 0;
    double sps = 0, tBegin = 0, tQty = 0;
    std::int32_t dataType = 0;
    SQLLEN ind[5] = {};
    if (!st.Bind(1, SQL_C_SBIGINT, &foff, 0, &ind[0]) ||
        !st.Bind(2, SQL_C_DOUBLE, &sps, 0, &ind[1]) ||
        !st.Bind(3, SQL_C_DOUBLE, &tBegin, 0, &ind[2]) ||
        !st.Bind(4, SQL_C_DOUBLE, &tQty, 0, &ind[3]) ||
        !st.Bind(5, SQL_C_SLONG, &dataType, 0, &ind[4]))
        return db::kOdbcFailed;
    const SQLRETURN frc = st.Fetch();
    if (frc == SQL_NO_DATA) return db::kNoRow;
    if (!odbc::Succeeded(frc)) return db::kOdbcFailed;
    st.CloseCursor();
    for (SQLLEN& i : ind)
        if (i == SQL_NULL_DATA) return db::kNoRow;
    // Rows written by other programs may carry codes the reader cannot
    // convert; their samples are 4 bytes wide.
    const int size = SampleSize(dataType) != 0 ? SampleSize(dataType) : 4;
    const double end = static_cast<double>(foff) + size * sps * tQty;
    if (!std::isfinite(end) || end < 0 || end > 4.0e18) return db::kNoRow;
    out.fileOffset = foff;
    out.endPosition = static_cast<std::int64_t>(end);
    if (byDate) {
        out.tBegin = tBegin;
        out.tQty = tQty;
    }
    return db::kOk;
}

}  // namespace kvt
