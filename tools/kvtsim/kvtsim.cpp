// kvtsim: records synthetic ground motion of a station network into a
// waveform catalogue, the way a recording system does, so the monitor has
// live data to show (and a catalogue server has load to carry).
//
// At start it makes the catalogue tables when the data source has none,
// describes its network in SITECHAN, back-fills the last minutes of data and
// then writes every channel's newest second through WriteSamples once a
// second; events go into EVENTLIST. SIGINT or SIGTERM ends it after the write
// in progress, so no row is left half done.

#include "batch_recorder.h"
#include "ground_motion.h"
#include "network.h"
#include "sim_args.h"
#include "sim_catalogue.h"

#include "common/time_values.h"
#include "dblib/db_result.h"
#include "dblib/wave_database.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef KVT_SQL_DIR
#define KVT_SQL_DIR "dblib/sql"
#endif

namespace {

using namespace kvt::sim;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int) { g_stop = 1; }

void InstallSignalHandlers() {
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    // Calls in progress (file writes, the server's socket) restart, so the
    // write under way completes; only the sleep between seconds is cut short.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

constexpr const char* kCreator = "kvtsim";

// The clock with its fractions (the library's UtcNow gives whole seconds).
double Now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}
constexpr double kEventReachKm = 600;  // stations farther away get no event mark

struct ChannelState {
    const NetworkStation* station;
    const NetworkChannel* channel;
    GroundMotion motion;
    double next = 0;          // epoch s of the next sample to write
    std::string lastError;    // printed once until it changes
};

class Simulator {
public:
    Simulator(const NetworkOptions& o, kvt::CWaveDatabase& db)
        : o_(o), db_(db), net_(BuildNetwork(o.stations)),
          schedule_(o.eventInterval, 150 + 60 * std::sqrt(static_cast<double>(o.stations)), o.seed) {}

    int Run();

private:
    bool Setup(double now);
    // Writes the channel's samples up to `until` (epoch s) in pieces of at most
    // one file length; false when a write failed (retried at the next second).
    bool CatchUp(ChannelState& c, double until);
    void EnterEventsUntil(double t);
    void Say(const char* fmt, const std::string& a, double x = 0) const {
        if (!o_.quiet) { std::printf(fmt, a.c_str(), x); std::fflush(stdout); }
    }

    const NetworkOptions& o_;
    kvt::CWaveDatabase& db_;
    std::vector<NetworkStation> net_;
    QuakeSchedule schedule_;
    std::vector<ChannelState> channels_;
    double eventsUntil_ = 0;
    long long blocks_ = 0, samples_ = 0, failures_ = 0, removed_ = 0, rounds_ = 0;
    double longestRound_ = 0;  // s of the slowest live round (load figure)
};

bool Simulator::Setup(double now) {
    bool created = false;
    std::string err = EnsureCatalogue(db_, o_.schemaDir.empty() ? KVT_SQL_DIR : o_.schemaDir, created);
    if (err.empty()) {
        if (created) Say("kvtsim: created the catalogue tables in %s\n", o_.dsn);
        err = DescribeNetwork(db_, net_);
    }
    if (!err.empty()) {
        std::fprintf(stderr, "kvtsim: %s\n", err.c_str());
        return false;
    }
    const double from = now - o_.backfillSeconds;
    for (const NetworkStation& st : net_) {
        for (const NetworkChannel& ch : st.channels) {
            if (ch.fileRate <= 0) continue;
            const auto seed = static_cast<std::uint32_t>(std::hash<std::string>{}(st.code + ch.channel) ^ o_.seed);
            ChannelState c{&st, &ch, GroundMotion(seed, ch.component, ch.fileRate), 0, {}};
            // Continue where an earlier run of this channel stopped, when that is recent.
            db_.station = ch.station;
            db_.channel = ch.channel;
            db_.locationCode = ch.locationCode;
            kvt::LatestFile latest;
            const double lastEnd = db_.QueryLatestFile(latest) == 0 && latest.tBegin > 0
                                       ? latest.tBegin + latest.tQty : 0;
            c.next = std::max(from - ch.lagSeconds, lastEnd);
            if (ch.role == ChannelRole::Stopped) {
                // One minute of data a day ago, then silence: written once only.
                if (lastEnd <= 0) {
                    c.next = now - kStoppedAgoSeconds;
                    if (!CatchUp(c, c.next + 60)) return false;
                }
                continue;
            }
            channels_.push_back(std::move(c));
        }
    }
    eventsUntil_ = from - kLagSeconds;
    err = ForgetEvents(db_, net_, eventsUntil_);
    if (!err.empty()) {
        std::fprintf(stderr, "kvtsim: %s\n", err.c_str());
        return false;
    }
    return true;
}

bool Simulator::CatchUp(ChannelState& c, double until) {
    const NetworkChannel& ch = *c.channel;
    const double rate = ch.fileRate;
    std::vector<QuakeWave> waves;
    std::vector<float> samples;
    while (!g_stop) {
        const double left = until - c.next;
        auto count = static_cast<std::int64_t>(std::floor(left * rate + 1e-6));
        if (count < 1) return true;
        count = std::min<std::int64_t>(count, static_cast<std::int64_t>(o_.fileSeconds * rate));
        const double t0 = c.next;
        const double t1 = t0 + static_cast<double>(count) / rate;
        // Events whose waves can reach into this block.
        waves.clear();
        const double reach = kEventReachKm / kVs + GroundMotion::kWaveSeconds;
        for (const Quake& q : schedule_.Between(t0 - reach, t1))
            waves.push_back(WaveAt(q, DistanceKm(*c.station, q.eastKm, q.northKm)));
        samples.resize(static_cast<std::size_t>(count));
        c.motion.Fill(t0, samples, waves);
        const int rc = db_.WriteSamples(samples.data(), static_cast<std::int32_t>(count), ch.station,
                                        ch.channel, ch.locationCode, "", t0, t1, kCreator, rate, 1.0, 1.0);
        kvt::RemovalRecord removal;
        while (db_.TakeRemovalRecord(removal) >= 0) ++removed_;
        if (rc < 0) {
            ++failures_;
            std::string text = kvt::db::ResultText(rc);
            if (!db_.lastDiagnostic().empty()) text += ": " + db_.lastDiagnostic();
            if (text != c.lastError)
                std::fprintf(stderr, "kvtsim: %s %s: %s\n", ch.station.c_str(), ch.channel.c_str(), text.c_str());
            c.lastError = text;
            if (rc == kvt::db::kProbeFailed) db_.Connect();  // the server went away: try again
            return false;
        }
        if (!c.lastError.empty()) {
            Say("kvtsim: %s writes again\n", ch.station + " " + ch.channel);
            c.lastError.clear();
        }
        if (rc == 1) Say("kvtsim: %s: an old file over the quota could not be deleted\n", ch.station);
        c.next = t1;
        ++blocks_;
        samples_ += count;
    }
    return true;
}

void Simulator::EnterEventsUntil(double t) {
    for (const Quake& q : schedule_.Between(eventsUntil_, t)) {
        const std::string err = EnterEvent(db_, net_, q, kEventReachKm);
        if (!err.empty()) {
            std::fprintf(stderr, "kvtsim: event not entered: %s\n", err.c_str());
            return;  // tried again at the next second
        }
        char text[160];
        std::snprintf(text, sizeof text, "kvtsim: event M%.1f at %s, depth %.0f km, %.0f km E %.0f km N\n",
                      q.magnitude, "%s", q.depthKm, q.eastKm, q.northKm);
        Say(text, kvt::FormatTimeSeconds(q.originTime));
        eventsUntil_ = q.originTime + 1e-3;
    }
    eventsUntil_ = std::max(eventsUntil_, t);
}

int Simulator::Run() {
    // Blocks end on whole seconds: their lengths stay whole hundredths of a
    // second, which is how finely the catalogue keeps a row's length (TQTY).
    const double start = std::floor(Now());
    if (!Setup(start)) return 1;
    std::size_t described = 0, recording = channels_.size();
    for (const NetworkStation& st : net_)
        for (const NetworkChannel& ch : st.channels) described += ch.describedRate > 0;
    if (!o_.quiet)
        std::printf("kvtsim: %zu stations, %zu channels described, %zu recording into %s (data in %s)\n",
                    net_.size(), described, recording, o_.dsn.c_str(), o_.dataDir.c_str());
    // Back-fill, then one round per second until stopped.
    double now = start;
    for (;;) {
        EnterEventsUntil(now);
        const auto roundStart = std::chrono::steady_clock::now();
        for (ChannelState& c : channels_) {
            if (g_stop) break;
            CatchUp(c, now - c.channel->lagSeconds);
        }
        if (now > start) {  // the first round is the back-fill
            ++rounds_;
            longestRound_ = std::max(
                longestRound_,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - roundStart).count());
        }
        if (g_stop || o_.runSeconds == 0 || (o_.runSeconds > 0 && now - start >= o_.runSeconds)) break;
        // Sleep to the next whole second; a signal cuts the sleep short.
        const double wake = std::floor(Now()) + 1;
        while (!g_stop) {
            const double left = wake - Now();
            if (left <= 0) break;
            struct timespec ts;
            ts.tv_sec = static_cast<time_t>(left);
            ts.tv_nsec = static_cast<long>((left - static_cast<double>(ts.tv_sec)) * 1e9);
            nanosleep(&ts, nullptr);
        }
        if (g_stop) break;
        now = std::floor(Now());
    }
    std::printf("kvtsim: stopped; %lld blocks, %lld samples written, %lld failed writes, %lld old files removed; "
                "%lld live rounds, the longest %.2f s\n",
                blocks_, samples_, failures_, removed_, rounds_, longestRound_);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (IsBatchCommandLine(args)) return RunBatch(args);
    NetworkOptions o;
    const std::string err = ParseNetworkArgs(args, o);
    if (!err.empty()) {
        std::fprintf(stderr, "kvtsim: %s\n%s", err.c_str(), NetworkUsage());
        return 2;
    }
    if (o.help) {
        std::fputs(NetworkUsage(), stdout);
        return 0;
    }
    if (!o.settingsFile.empty()) {
        std::error_code exists;
        if (!std::filesystem::is_regular_file(o.settingsFile, exists)) {
            std::fprintf(stderr, "kvtsim: the settings file %s cannot be read\n", o.settingsFile.c_str());
            return 2;
        }
        const std::string bad = ApplySettings(kvt::Profile::Load(o.settingsFile), o);
        if (!bad.empty()) {
            std::fprintf(stderr, "kvtsim: %s: %s\n", o.settingsFile.c_str(), bad.c_str());
            return 2;
        }
    }
    InstallSignalHandlers();
    std::error_code ec;
    std::filesystem::create_directories(o.dataDir, ec);
    if (ec) {
        std::fprintf(stderr, "kvtsim: cannot create the data directory %s: %s\n", o.dataDir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    kvt::CWaveDatabase db;
    db.SetParameter("odbc", o.dsn);
    db.SetParameter("user", o.user);
    db.SetParameter("password", o.password);
    db.SetParameter("data", o.dataDir);
    db.SetParameter("use_tend", "1");
    db.setWriteMode(0);  // one file per stretch of fileSeconds, as the recorders keep them
    db.setFileLength(o.fileSeconds);
    db.setMaxFileSize(o.quotaBytes);
    if (!db.Connect()) {
        std::fprintf(stderr, "kvtsim: cannot connect to %s: %s\n", o.dsn.c_str(),
                     db.lastDiagnostic().empty() ? "no reason given" : db.lastDiagnostic().c_str());
        return 1;
    }
    Simulator sim(o, db);
    return sim.Run();
}
