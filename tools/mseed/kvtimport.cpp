// kvtimport: stores the records of miniSEED files in the waveform catalogue
// through the database library's writer, one continuous run at a time, so
// that an archive can be watched in the monitor like recorded data.
//
// Exit status: 0 everything imported; 1 the catalogue failed (connection or
// a write); 2 bad usage; 3 imported, but some files or records were unusable.

#include "mseed_catalogue.h"
#include "mseed_core.h"
#include "mseed_file.h"

#include "dblib/db_result.h"
#include "dblib/wave_database.h"

#include <libmseed.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPartly = 3;

// Free space kept on the data directory's disk, as the writer's own rule.
constexpr std::uintmax_t kReserveBytes = 10u << 20;
// Samples handed to one WriteSamples call at most.
constexpr std::size_t kMaxPerWrite = std::size_t{1} << 22;

struct Totals {
    long long traces = 0;          // runs stored (whole or in part)
    long long samples = 0;         // samples stored
    long long gaps = 0;            // breaks in the data of a stream
    long long skippedSamples = 0;  // samples already catalogued or repeated in the files
    long long badRecords = 0;
};

// The writer would remove the channel's oldest files to free disk space; an
// importer must never delete data, so the writer is told the free space is
// unknown and the importer checks it itself (EnoughDisk).
bool FreeSpaceUnknown(const std::string&, std::uint64_t&) { return false; }

bool EnoughDisk(const std::string& dataDir, std::size_t samples) {
    std::error_code ec;
    const auto info = std::filesystem::space(dataDir, ec);
    if (ec) return true;  // unknown: the write itself will tell
    return info.available > kReserveBytes + samples * 4 + 4096;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto args = kvt::mseed::ParseImportArgs(arguments, error);
    if (!args) {
        std::fprintf(stderr, "kvtimport: %s\n%s", error.c_str(), kvt::mseed::ImportUsage());
        return kExitUsage;
    }
    if (args->help) {
        std::fputs(kvt::mseed::ImportUsage(), stdout);
        return kExitOk;
    }
    // libmseed's own warnings about a record come before ours; mark them.
    ms_loginit(nullptr, "kvtimport: libmseed: ", nullptr, "kvtimport: libmseed: ");
    kvt::CWaveDatabase db;
    error = kvt::mseed::ConnectCatalogue(db, args->connection, args->settingsFile, argc > 0 ? argv[0] : "");
    if (!error.empty()) {
        std::fprintf(stderr, "kvtimport: %s\n", error.c_str());
        return kExitFailed;
    }
    // Rows get their TEND whenever the catalogue has the column, so that
    // monitors that query by TEND see the imported data too (the library
    // checks at once that the column is there and turns this off if not).
    db.SetParameter("use_tend", "1");
    db.setWriteMode(0);
    db.setFileLength(args->fileLength);
    db.setMaxFileSize(args->quota);
    db.setFreeSpaceFunction(&FreeSpaceUnknown);

    Totals total;
    bool partly = false;
    for (const std::string& file : args->files) {
        kvt::mseed::DecodedFile decoded = kvt::mseed::DecodeFile(file);
        if (!decoded.error.empty()) {
            std::fprintf(stderr, "kvtimport: %s\n", decoded.error.c_str());
            partly = true;
            continue;
        }
        for (const kvt::mseed::RecordProblem& p : decoded.problems)
            std::fprintf(stderr, "kvtimport: %s: offset %lld: %s, skipped\n", file.c_str(),
                         static_cast<long long>(p.offset), p.what.c_str());
        total.badRecords += static_cast<long long>(decoded.problems.size());
        partly = partly || !decoded.problems.empty();
        const std::size_t recordCount = decoded.records.size();
        kvt::mseed::Grouping g = kvt::mseed::GroupIntoRuns(std::move(decoded.records));
        long long fileSamples = 0, fileSkipped = 0, fileTraces = 0;
        for (const kvt::mseed::Run& run : g.runs) {
            const kvt::mseed::StreamId& id = run.id;
            bool created = false;
            error = kvt::mseed::EnsureSiteChan(db, id.station, id.channel, id.location, run.rate, created);
            std::vector<kvt::mseed::Span> stored;
            if (error.empty())
                error = kvt::mseed::StoredSpans(db, id.station, id.channel, id.location, args->creator,
                                                run.start, run.End(), stored);
            if (!error.empty()) {
                std::fprintf(stderr, "kvtimport: %s: %s: %s\n", file.c_str(), id.Text().c_str(), error.c_str());
                return kExitFailed;
            }
            const auto ranges = kvt::mseed::UncoveredRanges(run.start, run.rate, run.samples.size(), stored);
            std::size_t stores = 0;
            for (const kvt::mseed::SampleRange& whole : ranges) {
                // Long runs go to the writer in pieces whose sample count
                // stays far inside its 32-bit count.
                for (std::size_t done = 0; done < whole.count; done += kMaxPerWrite) {
                    const kvt::mseed::SampleRange r{whole.first + done, std::min(kMaxPerWrite, whole.count - done)};
                    if (!EnoughDisk(db.dataDir(), r.count)) {
                        std::fprintf(stderr, "kvtimport: %s: not enough free disk space in %s\n",
                                     file.c_str(), db.dataDir().c_str());
                        return kExitFailed;
                    }
                    const double t0 = run.start + static_cast<double>(r.first) / run.rate;
                    const double t1 = t0 + static_cast<double>(r.count) / run.rate;
                    const int rc = db.WriteSamples(run.samples.data() + r.first, static_cast<std::int32_t>(r.count),
                                                   id.station, id.channel, id.location, "", t0, t1,
                                                   args->creator, run.rate, 1.0, 1.0);
                    if (rc != kvt::db::kOk && rc != 1) {
                        std::fprintf(stderr, "kvtimport: %s: %s: cannot store %zu samples: error %d: %s%s%s\n",
                                     file.c_str(), id.Text().c_str(), r.count, rc, kvt::db::ResultText(rc),
                                     db.lastDiagnostic().empty() ? "" : ": ", db.lastDiagnostic().c_str());
                        return kExitFailed;
                    }
                    fileSamples += static_cast<long long>(r.count);
                }
                ++stores;
            }
            fileTraces += stores > 0 ? 1 : 0;
            fileSkipped += static_cast<long long>(run.samples.size());
            for (const kvt::mseed::SampleRange& r : ranges) fileSkipped -= static_cast<long long>(r.count);
        }
        std::printf("%s: %zu records, %zu continuous runs, %lld samples stored, %lld already "
                    "catalogued, %d gaps, %zu bad records\n",
                    file.c_str(), recordCount, g.runs.size(), fileSamples, fileSkipped, g.gaps,
                    decoded.problems.size());
        std::fflush(stdout);
        total.traces += fileTraces;
        total.samples += fileSamples;
        total.gaps += g.gaps;
        total.skippedSamples += fileSkipped;
    }
    std::printf("imported %zu file(s): %lld traces, %lld samples, %lld gaps, %lld samples skipped as "
                "overlaps, %lld bad records\n",
                args->files.size(), total.traces, total.samples, total.gaps, total.skippedSamples,
                total.badRecords);
    return partly ? kExitPartly : kExitOk;
}
