#include "mseed_catalogue.h"

#include "common/connection_settings.h"
#include "dblib/db_result.h"
#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"

#include <cstdio>
#include <filesystem>

namespace kvt::mseed {

namespace {

std::string Literal(const std::string& v) { return "'" + SqlQuote(v) + "'"; }

std::string Failure(const OdbcStatement& st, const std::string& sql) {
    return (st.diagnostic().empty() ? std::string("statement failed") : st.diagnostic()) + " [" + sql + "]";
}

}  // namespace

std::string ConnectCatalogue(CWaveDatabase& db, const std::vector<std::string>& connection,
                             const std::string& settingsFile, const std::string& programPath) {
    if (!settingsFile.empty() && !std::filesystem::exists(settingsFile))
        return "settings file " + settingsFile + " does not exist";
    const ConnectionSettings settings =
        settingsFile.empty()
            ? ConnectionSettings("kvtview.ini", programPath)
            : ConnectionSettings(std::filesystem::path(settingsFile).filename().string(), settingsFile);
    const ConnectionValues values = settings.Load(connection);
    const std::pair<const char*, const std::string*> params[] = {
        {"odbc", &values.dsn}, {"user", &values.user}, {"password", &values.password},
        {"data", &values.dataDir}};
    for (const auto& [name, value] : params) {
        if (const int rc = db.SetParameter(name, *value); rc != db::kOk)
            return std::string(name) + ": " + db::ResultText(rc);
    }
    db.SetParameter("use_tend", values.useTend ? "1" : "0");
    if (!db.Connect())
        return "cannot connect to data source \"" + values.dsn + "\": " + db.lastDiagnostic();
    return {};
}

std::string StoredSpans(CWaveDatabase& db, const std::string& station, const std::string& channel,
                        const std::string& locationCode, const std::string& creator, double begin,
                        double end, std::vector<Span>& out) {
    out.clear();
    const FileListNames& f = db.schema().fileList;
    char times[96];
    // A day of slack on the start, as the interval query does, keeps the
    // condition usable by an index on TBEGIN.
    std::snprintf(times, sizeof times, "%.4f and %s>%.4f", end, f.TBEGIN, begin - 86400.0);
    const std::string sql = std::string("select ") + f.TBEGIN + "," + f.TQTY + " from " + f.name +
                            " where " + f.STA + "=" + Literal(station) + " and " + f.CH + "=" +
                            Literal(channel) + " and " + sql::LocationCodeCondition(f.LCODE, locationCode) +
                            " and " + f.CREATER + "=" + Literal(creator) + " and " + f.TBEGIN + "<" + times;
    OdbcStatement st(db.hdbc());
    double tBegin = 0, tQty = 0;
    std::int64_t ind[2] = {0, 0};
    if (!st.ExecDirect(sql) || !st.BindDouble(1, &tBegin, &ind[0]) || !st.BindDouble(2, &tQty, &ind[1]))
        return Failure(st, sql);
    for (;;) {
        const FetchResult r = st.Fetch();
        if (r == FetchResult::NoData) break;
        if (r == FetchResult::Error) return Failure(st, sql);
        if (ind[0] == kSqlNullData || ind[1] == kSqlNullData) continue;
        if (tBegin + tQty > begin) out.push_back({tBegin, tBegin + tQty});
    }
    return {};
}

std::string EnsureSiteChan(CWaveDatabase& db, const std::string& station,
                           const std::string& channel, const std::string& locationCode,
                           double rate, bool& created) {
    created = false;
    const SiteChanNames& t = db.schema().siteChan;
    const std::string where = std::string(" where ") + t.STA + "=" + Literal(station) + " and " + t.CHAN +
                              "=" + Literal(channel) + " and " +
                              sql::LocationCodeCondition(t.LCODE, locationCode);
    {
        const std::string sql = std::string("select count(*) from ") + t.name + where;
        OdbcStatement st(db.hdbc());
        std::int32_t n = 0;
        std::int64_t ind = 0;
        if (!st.ExecDirect(sql) || !st.BindInt32(1, &n, &ind) || st.Fetch() != FetchResult::Row)
            return Failure(st, sql);
        if (n > 0) return {};
    }
    char sps[32];
    std::snprintf(sps, sizeof sps, "%.4f", rate);
    const std::string sql = std::string("insert into ") + t.name + "(" + t.STA + "," + t.CHAN + "," +
                            t.LCODE + "," + t.SPS + "," + t.DESCR + ") values(" + Literal(station) + "," +
                            Literal(channel) + "," +
                            (sql::NoLocationCode(locationCode) ? std::string("NULL") : Literal(locationCode)) +
                            "," + sps + ",'kvtimport')";
    OdbcStatement st(db.hdbc());
    if (!st.ExecDirect(sql)) return Failure(st, sql);
    created = true;
    return {};
}

}  // namespace kvt::mseed
