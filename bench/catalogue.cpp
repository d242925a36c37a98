// catalogue: where the catalogue time of a redraw pass goes.
//
// Builds an SQLite catalogue of CHANNELS channels the way the redraw bench
// does (one SITECHAN row and one FILELIST row per channel, no events) and
// times, per kind, the statements a redraw pass makes for every channel:
// liveness probe, newest data time, the two rate lookups, the interval query
// and the event marks, each with its own statement handle (allocate, bind,
// execute, fetch, close, free) as the viewer and the library make them, and
// the library's ReadInterval of one second (probe, interval query and a read
// of 100 samples from a file that holds only its header, so the file costs
// three system calls). Then one pass's statements in the pass's order, the
// floor of one statement (allocate and free alone, "select 1"), and, when
// built with the SQLite library, the same texts run by SQLite directly
// (prepare, step, finalize) to separate the database's own work from the ODBC
// layers. Every figure is the CPU time of the calling thread, the fastest of
// the repeats.
//
//   catalogue [CHANNELS [REPEATS]] [--files=N] [--no-tend] [KEY=VALUE ...]
//
// --files=N catalogues N one-hour files per channel, back to back (a year of
// hourly files is 8760), as an archive's catalogue holds, where the default
// of one file hides the cost of queries that look at every file of a channel.
// --no-tend asks as a catalogue without a usable TEND column is asked (the
// viewer's default): newest time max(TBEGIN+TQTY), overlap on TBEGIN+TQTY.
//
// KEY=VALUE lines are added to the data source (driver options, e.g.
// StepAPI=0 or JournalMode=DELETE) to compare settings; unless given, the data
// source sets JournalMode=WAL and StepAPI=1, as the demo's does.

#include "bench_sql.h"

#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"
#include "viewer/pass_logic.h"

#ifdef KVT_HAVE_SQLITE3
#include <sqlite3.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace {

// The CPU time of this thread in seconds: on a shared machine the time the
// thread waits for a core would swamp statements of a few microseconds.
double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

bool Exec(void* hdbc, const std::string& sql) { return kvt::bench::ExecSql(hdbc, sql, "catalogue"); }

bool RunScript(void* hdbc, const std::string& path) { return kvt::bench::RunSqlScript(hdbc, path, "catalogue"); }

// One query of the viewer's kind: a statement of its own, column 1 bound as a
// double, every row fetched (only the first with firstOnly, as the rate
// lookups do). Returns the rows, or -1 on failure.
int QueryDoubles(void* hdbc, const std::string& sql, bool firstOnly = false) {
    kvt::OdbcStatement st(hdbc);
    double value = 0;
    std::int64_t indicator = 0;
    if (!st.BindDouble(1, &value, &indicator) || !st.ExecDirect(sql)) return -1;
    int rows = 0;
    for (;;) {
        const kvt::FetchResult r = st.Fetch();
        if (r == kvt::FetchResult::Error) return -1;
        if (r != kvt::FetchResult::Row) break;
        ++rows;
        if (firstOnly) break;
    }
    st.CloseCursor();
    return rows;
}

// The interval query with the library's bindings: four numbers, two integers, a path.
int QueryInterval(void* hdbc, const std::string& sql) {
    kvt::OdbcStatement st(hdbc);
    double tBegin = 0, sps = 0, tQty = 0;
    std::int32_t type = 0;
    std::int64_t offset = 0;
    char path[1024];
    std::int64_t ind[6] = {};
    if (!st.ExecDirect(sql) || !st.BindDouble(1, &tBegin, &ind[0]) ||
        !st.BindDouble(2, &sps, &ind[1]) || !st.BindDouble(3, &tQty, &ind[2]) ||
        !st.BindInt32(4, &type, &ind[3]) || !st.BindInt64(5, &offset, &ind[4]) ||
        !st.BindText(6, path, sizeof path, &ind[5]))
        return -1;
    int rows = 0;
    while (st.Fetch() == kvt::FetchResult::Row) ++rows;
    st.CloseCursor();
    return rows;
}

// The texts of one channel's statements, as the pass makes them.
struct ChannelTexts {
    std::string latest, sitechanRate, fileRate, interval, events;
};

// Fastest of `repeats` rounds of fn over every channel, in microseconds per call.
double PerCall(int repeats, int channels, const std::function<bool(int)>& fn) {
    double best = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const double t0 = CpuNow();
        for (int c = 0; c < channels; ++c)
            if (!fn(c)) {
                std::fprintf(stderr, "catalogue: a statement failed\n");
                std::exit(1);
            }
        best = std::min(best, CpuNow() - t0);
    }
    return 1e6 * best / channels;
}

#ifdef KVT_HAVE_SQLITE3
// The same text run by SQLite itself on its own connection: prepare, step to the end, finalize.
bool Direct(sqlite3* db, const std::string& sql, bool firstOnly) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW && !firstOnly) {
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || (firstOnly && rc == SQLITE_ROW);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int channels = 64, repeats = 30, files = 1;
    bool useTend = true;
    std::vector<std::string> options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--files=", 0) == 0)
            files = std::atoi(a.c_str() + 8);
        else if (a == "--no-tend")
            useTend = false;
        else if (a.find('=') != std::string::npos)
            options.push_back(a);
        else if (positional++ == 0)
            channels = std::atoi(a.c_str());
        else
            repeats = std::atoi(a.c_str());
    }
    if (channels < 1 || channels > 64 || repeats < 1 || files < 1) {
        std::fprintf(stderr, "usage: catalogue [CHANNELS(1-64) [REPEATS]] [--files=N] [--no-tend] "
                             "[KEY=VALUE ...]\n");
        return 2;
    }
    const std::string driver = kvt::bench::FindSqliteDriver();
    if (driver.empty()) {
        std::fprintf(stderr, "catalogue: the SQLite ODBC driver is missing (scripts/setup)\n");
        return 1;
    }
    char tmpl[] = "/tmp/kvt-bench-catalogue-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path root = tmpl;
    const fs::path file = root / "catalogue.db";
    const fs::path data = root / "data";
    fs::create_directories(data);
    std::ofstream(root / "odbcinst.ini") << "[KVT SQLite3]\nDriver=" << driver << "\n";
    {
        std::ofstream ini(root / "odbc.ini");
        ini << "[kvtbench]\nDriver=KVT SQLite3\nDatabase=" << file.string() << "\nTimeout=5000\n";
        // As the demo's data source, unless the command line sets these options.
        for (const char* option : {"StepAPI=1", "JournalMode=WAL"}) {
            const std::string key = std::string(option).substr(0, std::string(option).find('=') + 1);
            if (std::none_of(options.begin(), options.end(),
                             [&](const std::string& o) { return o.rfind(key, 0) == 0; }))
                options.insert(options.begin(), option);
        }
        for (const std::string& o : options) ini << o << "\n";
    }
    setenv("ODBCSYSINI", root.c_str(), 1);
    setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);

    const double end = 1700000000;
    const double seconds = 3600, rate = 100;
    const double begin = end - seconds;
    {
        kvt::CWaveDatabase db;
        db.SetParameter("odbc", "kvtbench");
        if (!db.Connect() || !RunScript(db.hdbc(), KVT_SQL_DIR "/sqlite.sql")) {
            std::fprintf(stderr, "catalogue: cannot build the catalogue: %s\n",
                         db.lastDiagnostic().c_str());
            return 1;
        }
        Exec(db.hdbc(), "BEGIN");
        for (int c = 0; c < channels; ++c) {
            const std::string sta = kvt::sql::Format("B%02d", c);
            // The reader does not parse the header; samples past the end read as 0.
            std::ofstream(data / (sta + ".BHZ")) << std::string(512, '\0');
            if (!Exec(db.hdbc(), kvt::sql::Format("insert into SITECHAN (STA, CHAN, SPS) values "
                                                  "('%s', 'BHZ', %.4f)",
                                                  sta.c_str(), rate)) ||
                !Exec(db.hdbc(),
                      kvt::sql::Format("insert into FILELIST (STA, CH, TBEGIN, TQTY, SPS, DATATYPE, "
                                       "FOFF, CPATH, TEND) with recursive h(n) as (select 1 union "
                                       "all select n+1 from h where n<%d) select '%s', 'BHZ', "
                                       "%.4f-n*%.4f, %.4f, %.4f, 3, 512, '%s.BHZ', %.4f-(n-1)*%.4f "
                                       "from h",
                                       files, sta.c_str(), end, seconds, seconds, rate, sta.c_str(),
                                       end, seconds)))
                return 1;
        }
        Exec(db.hdbc(), "COMMIT");
    }

    kvt::CWaveDatabase db;
    db.SetParameter("odbc", "kvtbench");
    db.SetParameter("use_tend", useTend ? "1" : "0");
    db.SetParameter("data", data.string());
    if (!db.Connect()) {
        std::fprintf(stderr, "catalogue: cannot connect: %s\n", db.lastDiagnostic().c_str());
        return 1;
    }
    void* hdbc = db.hdbc();
    const kvt::CDbSchema& s = db.schema();
    std::string dbms, version;
    if (db.GetServerInfo(dbms, version) != 0) return 1;
    const std::string alias = kvt::sql::DerivedTableAlias(dbms, version);
    const std::string probe = kvt::sql::ProbeQuery(s);
    const kvt::viewer::ChannelColumns fileCols{s.fileList.name, s.fileList.STA, s.fileList.CH,
                                               s.fileList.LCODE};
    const kvt::viewer::ChannelColumns siteCols{s.siteChan.name, s.siteChan.STA, s.siteChan.CHAN,
                                               s.siteChan.LCODE};
    std::vector<ChannelTexts> texts;
    for (int c = 0; c < channels; ++c) {
        const std::string sta = kvt::sql::Format("B%02d", c);
        ChannelTexts t;
        t.latest = kvt::viewer::LatestTimeText(db.useTend(), s.fileList.TEND, s.fileList.TBEGIN,
                                               s.fileList.TQTY, fileCols, sta, "BHZ", "??");
        t.sitechanRate = kvt::viewer::ChannelSelectText(s.siteChan.SPS, siteCols, sta, "BHZ", "??");
        t.fileRate = kvt::viewer::ChannelSelectText(s.fileList.SPS, fileCols, sta, "BHZ", "??");
        t.interval = kvt::sql::IntervalQuery(s, sta, "BHZ", "??", begin, end, db.useTend(), alias);
        t.events = kvt::viewer::EventMarksText(s.eventList.TBEGIN, s.eventList.name,
                                               s.eventList.STA, begin, end, sta);
        texts.push_back(t);
    }

    std::printf("catalogue: %d channels of %d files, %s, SQLite %s through unixODBC, CPU time, "
                "fastest of %d rounds; data source:\n",
                channels, files, useTend ? "TEND" : "no TEND", version.c_str(), repeats);
    for (const std::string& o : options) std::printf("  %s\n", o.c_str());

    std::vector<kvt::DataSegment> segments;
    // The library's read of the channel's last second: probe, interval query, file.
    auto readInterval = [&](int c) {
        return db.ReadInterval(kvt::sql::Format("B%02d", c), "BHZ", "??", end - 1, end, segments) ==
                   0 &&
               segments.size() == 1;
    };
    struct Kind {
        const char* name;
        int perChannel;  // of this kind per channel and pass
        std::function<bool(int)> odbc;
        std::function<std::string(int)> text;  // for the direct run; empty: none
        bool firstOnly = false;                // only the first row is fetched
        double us = 0, directUs = 0;
    };
    auto doubles = [&](std::string ChannelTexts::*field, bool firstOnly = false) {
        return [&, field, firstOnly](int c) {
            return QueryDoubles(hdbc, texts[static_cast<size_t>(c)].*field, firstOnly) >= 0;
        };
    };
    auto textOf = [&](std::string ChannelTexts::*field) {
        return [&, field](int c) { return texts[static_cast<size_t>(c)].*field; };
    };
    // Probes: one before each of the five queries, and one more that the pass
    // makes before ReadInterval, which probes again itself.
    std::vector<Kind> kinds{
        {"probe", 6, [&](int) { return db.Probe(); }, [&](int) { return probe; }},
        {"newest data time", 1, doubles(&ChannelTexts::latest), textOf(&ChannelTexts::latest)},
        {"SITECHAN rate", 1, doubles(&ChannelTexts::sitechanRate, true),
         textOf(&ChannelTexts::sitechanRate), true},
        {"FILELIST rate", 1, doubles(&ChannelTexts::fileRate, true),
         textOf(&ChannelTexts::fileRate), true},
        {"interval query", 1,
         [&](int c) { return QueryInterval(hdbc, texts[static_cast<size_t>(c)].interval) == 1; },
         textOf(&ChannelTexts::interval)},
        {"event marks", 1, doubles(&ChannelTexts::events), textOf(&ChannelTexts::events)},
    };
    std::vector<Kind> others{
        {"ReadInterval, 1 s", 0, readInterval, {}},
        {"allocate + free", 0, [&](int) { return kvt::OdbcStatement(hdbc).ok(); }, {}},
        {"select 1", 0, [&](int) { return QueryDoubles(hdbc, "select 1") == 1; },
         [](int) { return std::string("select 1"); }},
        {"server name + version", 0,
         [&](int) { return db.GetServerInfo(dbms, version) == 0; }, {}},
    };
#ifdef KVT_HAVE_SQLITE3
    sqlite3* direct = nullptr;
    if (sqlite3_open_v2(file.c_str(), &direct, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "catalogue: SQLite cannot open %s\n", file.c_str());
        return 1;
    }
#endif
    for (auto* list : {&kinds, &others})
        for (Kind& k : *list) {
            k.us = PerCall(repeats, channels, k.odbc);
#ifdef KVT_HAVE_SQLITE3
            if (k.text)
                k.directUs = PerCall(repeats, channels,
                                     [&](int c) { return Direct(direct, k.text(c), k.firstOnly); });
#endif
        }
#ifdef KVT_HAVE_SQLITE3
    sqlite3_close(direct);
#endif

    // One pass's catalogue work in the pass's order: the newest-time scan
    // first, then per channel the two rate lookups, ReadInterval and the
    // marks, each query after its probe; with and without the pass's own
    // probe in front of ReadInterval.
    auto runPass = [&](bool probeBeforeRead) {
        double best = 1e300;
        for (int r = 0; r < repeats; ++r) {
            const double t0 = CpuNow();
            for (int c = 0; c < channels; ++c) {
                db.Probe();
                QueryDoubles(hdbc, texts[static_cast<size_t>(c)].latest);
            }
            for (int c = 0; c < channels; ++c) {
                const ChannelTexts& t = texts[static_cast<size_t>(c)];
                db.Probe();
                QueryDoubles(hdbc, t.sitechanRate, true);
                db.Probe();
                QueryDoubles(hdbc, t.fileRate, true);
                if (probeBeforeRead) db.Probe();
                readInterval(c);
                db.Probe();
                QueryDoubles(hdbc, t.events);
            }
            best = std::min(best, CpuNow() - t0);
        }
        return best;
    };
    const double pass = runPass(true);
    const double passOneProbe = runPass(false);

    std::printf("  %-22s %10s %10s %12s\n", "statement", "us each", "SQLite", "ms per pass");
    double sum = 0;
    int statements = 0;
    for (const Kind& k : kinds) {
        const int n = k.perChannel * channels;
        statements += n;
        sum += k.us * n / 1e3;
        std::printf("  %-22s %10.1f %10.1f %12.3f   (%d per pass)\n", k.name, k.us, k.directUs,
                    k.us * n / 1e3, n);
    }
    std::printf("  %-22s %10s %10s %12.3f   (%d statements)\n", "sum of the kinds", "", "", sum,
                statements);
    std::printf("  one pass in order: %.3f ms (%.1f us per statement); without the pass's probe\n"
                "    in front of ReadInterval (which probes itself): %.3f ms\n",
                pass * 1e3, 1e6 * pass / statements, passOneProbe * 1e3);
    std::printf("  others:\n");
    for (const Kind& k : others)
        std::printf("  %-22s %10.1f %10s\n", k.name, k.us,
                    k.text ? kvt::sql::Format("%.1f", k.directUs).c_str() : "");
    // What the pass's statements would cost if each were as cheap as the
    // cheapest statement through the driver manager, or as the probe (the
    // cheapest that reads the catalogue file).
    std::printf("  floor: %d statements x \"select 1\" = %.3f ms, x probe = %.3f ms\n", statements,
                statements * others[2].us / 1e3, statements * kinds[0].us / 1e3);
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
