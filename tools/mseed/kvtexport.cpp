// kvtexport: writes one channel's catalogued samples of an interval as a
// miniSEED file, so that an event window can be handed to other tools.
//
// Exit status: 0 written; 1 the catalogue or the file failed, or there were
// no data in the interval (no file is left then); 2 bad usage.

#include "mseed_catalogue.h"
#include "mseed_core.h"
#include "mseed_file.h"

#include "dblib/db_result.h"
#include "dblib/wave_database.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto args = kvt::mseed::ParseExportArgs(arguments, error);
    if (!args) {
        std::fprintf(stderr, "kvtexport: %s\n%s", error.c_str(), kvt::mseed::ExportUsage());
        return 2;
    }
    if (args->help) {
        std::fputs(kvt::mseed::ExportUsage(), stdout);
        return 0;
    }
    kvt::CWaveDatabase db;
    error = kvt::mseed::ConnectCatalogue(db, args->connection, args->settingsFile, argc > 0 ? argv[0] : "");
    if (!error.empty()) {
        std::fprintf(stderr, "kvtexport: %s\n", error.c_str());
        return 1;
    }
    std::vector<kvt::DataSegment> segments;
    const int rc = db.ReadInterval(args->station, args->channel, args->locationCode, args->timeBegin,
                                   args->timeEnd, segments);
    if (rc != kvt::db::kOk) {
        std::fprintf(stderr, "kvtexport: the interval cannot be read: error %d: %s%s%s\n", rc,
                     kvt::db::ResultText(rc), db.lastDiagnostic().empty() ? "" : ": ",
                     db.lastDiagnostic().c_str());
        return 1;
    }
    std::vector<kvt::mseed::TraceToWrite> traces;
    long long samples = 0;
    for (kvt::DataSegment& s : segments) {
        if (s.count <= 0 || !(s.sps > 0)) continue;
        kvt::mseed::TraceToWrite t;
        t.id = {args->network, args->station, args->locationCode, args->channel};
        t.start = s.tBegin;
        t.rate = s.sps;
        s.samples.resize(static_cast<std::size_t>(s.count));
        t.samples = std::move(s.samples);
        samples += s.count;
        traces.push_back(std::move(t));
    }
    if (traces.empty()) {
        std::fprintf(stderr, "kvtexport: no data for %s %s in the interval\n", args->station.c_str(),
                     args->channel.c_str());
        return 1;
    }
    std::int64_t records = 0;
    error = kvt::mseed::WriteFile(args->output, traces, records);
    if (!error.empty()) {
        std::fprintf(stderr, "kvtexport: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu trace(s), %lld samples, %lld records\n", args->output.c_str(), traces.size(),
                samples, static_cast<long long>(records));
    return 0;
}
