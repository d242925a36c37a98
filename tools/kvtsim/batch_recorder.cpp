// kvtsim's batch mode: a given number of blocks of synthetic ground motion (a
// slow swell plus noise) for the channels named on the command line, through
// the database library's writer, one line per stored block. See SimUsage().

#include "kvtsim/batch_recorder.h"

#include "kvtsim_args.h"

#include "dblib/db_result.h"
#include "dblib/wave_database.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Deterministic noise per channel.
class Signal {
public:
    explicit Signal(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    void Fill(std::vector<float>& out, double t0, double rate) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            state_ = state_ * 1664525u + 1013904223u;
            const double noise = static_cast<double>(state_ >> 8) / (1u << 24) - 0.5;
            const double t = t0 + static_cast<double>(i) / rate;
            out[i] = static_cast<float>(400 * std::sin(2 * M_PI * t / 17.0) + 150 * noise);
        }
    }

private:
    std::uint32_t state_;
};

}  // namespace

int kvt::sim::RunBatch(const std::vector<std::string>& arguments) {
    std::string error;
    const auto args = kvt::sim::ParseSimArgs(arguments, error);
    if (!args) {
        std::fprintf(stderr, "kvtsim: %s\n%s", error.c_str(), kvt::sim::SimUsage());
        return 2;
    }
    kvt::CWaveDatabase db;
    if (db.SetParameter("odbc", args->dsn) != 0 || db.SetParameter("user", args->user) != 0 ||
        db.SetParameter("password", args->password) != 0) {
        std::fprintf(stderr, "kvtsim: data source, user or password longer than %zu characters\n",
                     kvt::kMaxConnectionParameter);
        return 2;
    }
    db.SetParameter("data", args->dataDir);
    db.SetParameter("use_tend", "1");
    if (!db.Connect()) {
        std::fprintf(stderr, "kvtsim: cannot connect to %s: %s\n", args->dsn.c_str(),
                     db.lastDiagnostic().c_str());
        return 1;
    }
    db.setWriteMode(0);
    db.setFileLength(args->fileLength);
    db.setMaxFileSize(args->quota);

    const auto perBlock = static_cast<std::int32_t>(std::llround(args->rate * args->blockSeconds));
    std::vector<float> samples(static_cast<std::size_t>(perBlock));
    std::vector<double> next(args->channels.size());
    std::vector<Signal> signals;
    for (std::size_t c = 0; c < args->channels.size(); ++c) {
        signals.emplace_back(static_cast<std::uint32_t>(c + 1));
        const auto& ch = args->channels[c];
        if (args->start) {
            next[c] = *args->start;
            continue;
        }
        // Continue the channel's newest file, else start the given number of
        // blocks before now, on a whole second.
        db.station = ch.station;
        db.channel = ch.channel;
        db.locationCode = ch.locationCode;
        kvt::LatestFile latest;
        const int rc = db.QueryLatestFile(latest);
        const double end = latest.tBegin + latest.tQty;
        next[c] = (rc == kvt::db::kOk && end > 0)
                      ? end
                      : std::floor(Now() - args->blocks * args->blockSeconds);
    }

    int failures = 0;
    for (int b = 0; b < args->blocks; ++b) {
        for (std::size_t c = 0; c < args->channels.size(); ++c) {
            const auto& ch = args->channels[c];
            const double t0 = next[c];
            const double t1 = t0 + perBlock / args->rate;
            if (args->realtime) {
                const double wait = t1 - Now();
                if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
            }
            signals[c].Fill(samples, t0, args->rate);
            const int rc = db.WriteSamples(samples.data(), perBlock, ch.station, ch.channel,
                                           ch.locationCode, "", t0, t1, args->creator, args->rate,
                                           1, 1);
            std::printf("%s %s %s %.4f %.2f s: %d %s\n", ch.station.c_str(), ch.channel.c_str(),
                        ch.locationCode.empty() ? "--" : ch.locationCode.c_str(), t0, t1 - t0, rc,
                        rc == 0 ? "stored" : rc == 1 ? "stored, a file could not be removed"
                                                     : kvt::db::ResultText(rc));
            if (rc < 0) {
                ++failures;
                if (!db.lastDiagnostic().empty())
                    std::fprintf(stderr, "kvtsim: %s\n", db.lastDiagnostic().c_str());
            } else {
                next[c] = t1;
            }
            kvt::RemovalRecord removed;
            while (db.TakeRemovalRecord(removed) >= 0)
                std::printf("  removed %s%s\n", removed.path.c_str(),
                            removed.removed ? "" : " (failed)");
        }
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
