// kvtquery: asks the waveform catalogue what the monitor would read for one
// channel and interval, and prints the segments (or the newest data time).
// Connection values resolve as for the viewer: command line, then the
// settings file, then kvt.ini.

#include "common/connection_settings.h"
#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"
#include "kvtquery_args.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the catalogue or the files could not answer
constexpr int kExitUsage = 2;

void PrintSegments(const std::vector<kvt::DataSegment>& segments) {
    std::printf("%zu segment(s)\n", segments.size());
    for (const kvt::DataSegment& s : segments) {
        std::printf("%s .. %s  begin %.4f  length %.4f s  %.2f sps  type %d  offset %lld  "
                    "%d samples  %s\n",
                    kvt::tools::FormatUtc(s.tBegin).c_str(),
                    kvt::tools::FormatUtc(s.tBegin + s.tQty).c_str(), s.tBegin, s.tQty, s.sps,
                    s.dataType, static_cast<long long>(s.fileOffset), s.count, s.path.c_str());
    }
}

int PrintLatest(kvt::CWaveDatabase& db, const kvt::tools::QueryArgs& q) {
    kvt::OdbcStatement st(db.hdbc());
    double latest = 0;
    std::int64_t ind = 0;
    if (!st.ExecDirect(kvt::sql::LatestTimeQuery(db.schema(), q.station, q.channel,
                                                 q.locationCode, db.useTend())) ||
        !st.BindDouble(1, &latest, &ind) || st.Fetch() == kvt::FetchResult::Error) {
        std::fprintf(stderr, "kvtquery: the newest data time cannot be read: %s\n",
                     st.diagnostic().c_str());
        return kExitFailed;
    }
    if (ind == kvt::kSqlNullData) {
        std::printf("no data for %s %s\n", q.station.c_str(), q.channel.c_str());
        return kExitOk;
    }
    std::printf("%s  %.4f\n", kvt::tools::FormatUtc(latest).c_str(), latest);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = kvt::tools::ParseQueryArgs(args, error);
    if (!parsed) {
        std::fprintf(stderr, "kvtquery: %s\n%s", error.c_str(), kvt::tools::QueryUsage());
        return kExitUsage;
    }
    const kvt::tools::QueryArgs& q = *parsed;
    if (q.help) {
        std::fputs(kvt::tools::QueryUsage(), stdout);
        return kExitOk;
    }
    if (!q.settingsFile.empty() && !std::filesystem::exists(q.settingsFile)) {
        std::fprintf(stderr, "kvtquery: settings file %s does not exist\n", q.settingsFile.c_str());
        return kExitUsage;
    }
    // The settings file is looked for beside the "program path" handed over.
    const kvt::ConnectionSettings settings =
        q.settingsFile.empty()
            ? kvt::ConnectionSettings("kvtview.ini", argc > 0 ? argv[0] : "")
            : kvt::ConnectionSettings(std::filesystem::path(q.settingsFile).filename().string(),
                                      q.settingsFile);
    const kvt::ConnectionValues values = settings.Load(q.connection);

    kvt::CWaveDatabase db;
    const std::pair<const char*, const std::string*> params[] = {
        {"odbc", &values.dsn}, {"user", &values.user}, {"password", &values.password},
        {"data", &values.dataDir}};
    for (const auto& [name, value] : params) {
        if (const int rc = db.SetParameter(name, *value); rc != kvt::db::kOk) {
            std::fprintf(stderr, "kvtquery: %s: %s\n", name, kvt::db::ResultText(rc));
            return kExitUsage;
        }
    }
    db.SetParameter("use_tend", values.useTend ? "1" : "0");
    if (!db.Connect()) {
        std::fprintf(stderr, "kvtquery: cannot connect to data source \"%s\": %s\n",
                     values.dsn.c_str(), db.lastDiagnostic().c_str());
        return kExitFailed;
    }
    if (q.latest) return PrintLatest(db, q);

    std::vector<kvt::DataSegment> segments;
    const int rc =
        db.ReadInterval(q.station, q.channel, q.locationCode, q.timeBegin, q.timeEnd, segments);
    PrintSegments(segments);
    if (rc != kvt::db::kOk) {
        std::fprintf(stderr, "kvtquery: error %d: %s%s%s\n", rc, kvt::db::ResultText(rc),
                     db.lastDiagnostic().empty() ? "" : ": ", db.lastDiagnostic().c_str());
        return kExitFailed;
    }
    return kExitOk;
}
