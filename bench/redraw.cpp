// Figures of the redraw pass over a full catalogue: 64 channels, one hour at
// 100 samples/s in one file per channel, drawn at 1900 x 1000. Prints the
// total and its split (catalogue queries, interval reads, filtering, drawing)
// with and without the band-pass, traces drawn through the per-column
// reduction and with a line to every sample, on one thread and with two
// workers (the pictures must be equal), the
// ratio of the pass to plainly reading the same sample bytes, and the drawing
// time of one channel at 10 and 500 samples per pixel column (each figure the
// fastest of a few runs).
//
//   redraw [CHANNELS [SECONDS [RATE]]]     e.g. redraw 64 5400 200
//
// The catalogue is a throw-away SQLite file with its own ODBC data source in a
// temporary directory (removed at the end).

#include "common/time_values.h"
#include "dblib/data_file.h"
#include "dblib/odbc_statement.h"
#include "dblib/wave_database.h"
#include "viewer/amplitude_scale.h"
#include "viewer/redraw_pass.h"
#include "viewer/trace_canvas.h"
#include "viewer/viewer_session.h"

#include <QGuiApplication>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string FindSqliteDriver() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                            "/usr/lib/odbc", "/usr/lib64", "/usr/lib"}) {
        fs::path p = fs::path(dir) / "libsqlite3odbc.so";
        if (fs::exists(p)) return p.string();
    }
    return {};
}

bool Exec(void* hdbc, const std::string& sql) {
    kvt::OdbcStatement st(hdbc);
    if (!st.ExecDirect(sql)) {
        std::fprintf(stderr, "redraw: %s\n  in: %.200s\n", st.diagnostic().c_str(), sql.c_str());
        return false;
    }
    return true;
}

// Runs the schema script: statements end with ';' at a line end, "--" lines are comments.
bool RunScript(void* hdbc, const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "redraw: cannot read %s\n", path.c_str());
        return false;
    }
    std::string line, statement;
    while (std::getline(in, line)) {
        if (line.rfind("--", 0) == 0) continue;
        statement += line + "\n";
        const auto end = line.find_last_not_of(" \t\r");
        if (end != std::string::npos && line[end] == ';') {
            if (!Exec(hdbc, statement)) return false;
            statement.clear();
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int channels = argc > 1 ? std::atoi(argv[1]) : 64;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3600;
    const double rate = argc > 3 ? std::atof(argv[3]) : 100;
    if (channels < 1 || channels > 64 || seconds < 1 || rate <= 0) {
        std::fprintf(stderr, "usage: redraw [CHANNELS(1-64) [SECONDS [RATE]]]\n");
        return 2;
    }
    const std::string driver = FindSqliteDriver();
    if (driver.empty()) {
        std::fprintf(stderr, "redraw: the SQLite ODBC driver is missing (scripts/setup)\n");
        return 1;
    }
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    char tmpl[] = "/tmp/kvt-bench-redraw-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path root = tmpl;
    const fs::path data = root / "data";
    fs::create_directories(data);
    fs::create_directories(root / "log");
    std::ofstream(root / "odbcinst.ini") << "[KVT SQLite3]\nDriver=" << driver << "\n";
    std::ofstream(root / "odbc.ini") << "[kvtbench]\nDriver=KVT SQLite3\nDatabase="
                                     << (root / "catalogue.db").string() << "\nTimeout=5000\n";
    setenv("ODBCSYSINI", root.c_str(), 1);
    setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);

    // Catalogue and data files.
    const auto buildStart = Clock::now();
    const double end = std::floor(kvt::UtcNow());
    const double begin = end - seconds;
    {
        kvt::CWaveDatabase db;
        db.SetParameter("odbc", "kvtbench");
        if (!db.Connect() || !RunScript(db.hdbc(), KVT_SQL_DIR "/sqlite.sql")) return 1;
        Exec(db.hdbc(), "BEGIN");
        const auto count = static_cast<std::size_t>(seconds * rate);
        std::vector<float> samples(count);
        for (int c = 0; c < channels; ++c) {
            char sta[16];
            std::snprintf(sta, sizeof sta, "B%02d", c);
            for (std::size_t i = 0; i < count; ++i)
                samples[i] = static_cast<float>(1000 * std::sin(static_cast<double>(i) / rate * (0.5 + c % 5)) +
                                                100 * std::sin(static_cast<double>(i) * 0.37));
            const std::string rel = kvt::DataFileRelativeName(sta, "BHZ", kvt::ToLocalTime(begin));
            fs::create_directories((data / rel).parent_path());
            std::ofstream out(data / rel, std::ios::binary);
            out << kvt::HeaderBlock(512, kvt::ToLocalTime(begin), seconds, rate, sta, "BHZ");
            out.write(reinterpret_cast<const char*>(samples.data()),
                      static_cast<std::streamsize>(count * sizeof(float)));
            char sql[1024];
            std::snprintf(sql, sizeof sql,
                          "insert into SITECHAN (STA, CHAN, SPS) values ('%s', 'BHZ', %.4f)", sta, rate);
            if (!Exec(db.hdbc(), sql)) return 1;
            std::snprintf(sql, sizeof sql,
                          "insert into FILELIST (STA, CH, TBEGIN, TQTY, SPS, DATATYPE, FOFF, CPATH, TEND) "
                          "values ('%s', 'BHZ', %.4f, %.4f, %.4f, 3, 512, '%s', %.4f)",
                          sta, begin, seconds, rate, rel.c_str(), end);
            if (!Exec(db.hdbc(), sql)) return 1;
        }
        Exec(db.hdbc(), "COMMIT");
    }
    // The settings are read again by every pass, so rewriting them switches the filter.
    auto writeSettings = [&](bool filter) {
        std::ofstream ini(root / "kvtview.ini");
        ini << "[SYSTEM]\nN#=" << channels << "\nNSEC#=" << static_cast<int>(seconds)
            << "\nMODE=0\n[LOG]\nLEVEL=error\nDIR=" << (root / "log").string()
            << "\n[DATABASE]\nODBC=kvtbench\nUSE_TEND=1\n[DATA]\nDIR=" << data.string() << "\n";
        for (int c = 0; c < channels; ++c) {
            ini << "[STA" << c << "]\nNAME=B" << (c < 10 ? "0" : "") << c << "\nCH=BHZ\n";
            if (filter) ini << "FILTER=0.50,5.00\n";
        }
    };
    writeSettings(true);
    const double buildSeconds = Seconds(buildStart);

    kvt::viewer::ViewerSession session((root / "kvtview.ini").string(), (root / "kvtview").string());
    kvt::viewer::StartupUi ui;
    ui.askYesNo = [](const std::string&, const std::string&) { return true; };
    ui.showError = [](const std::string& t, const std::string&) { std::fprintf(stderr, "redraw: %s\n", t.c_str()); };
    if (!kvt::viewer::RunStartup(session, {(root / "kvtview").string()}, ui).ok()) return 1;

    std::atomic<bool> requested{false};
    const QSize size(1900, 1000);
    // Plainly reading the same bytes: every file's samples in one read each.
    auto plainRead = [&](std::size_t& bytes) {
        const auto readStart = Clock::now();
        bytes = 0;
        std::vector<char> buffer;
        for (const auto& e : fs::recursive_directory_iterator(data)) {
            if (!e.is_regular_file()) continue;
            std::ifstream in(e.path(), std::ios::binary);
            in.seekg(512);
            buffer.resize(static_cast<std::size_t>(seconds * rate) * sizeof(float));
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            bytes += static_cast<std::size_t>(in.gcount());
        }
        return Seconds(readStart);
    };
    struct Run {
        const char* name;
        bool filter;
        bool reduce;
        int threads;
        kvt::viewer::PassTimings t;
        QImage image;
        int traced = 0;
    };
    // Passes on the calling thread alone; the last two with two workers.
    Run runs[] = {{"warm-up, filter, reduced  ", true, true, 1, {}, {}, 0},
                  {"filter, reduced           ", true, true, 1, {}, {}, 0},
                  {"filter, every sample      ", true, false, 1, {}, {}, 0},
                  {"no filter, reduced        ", false, true, 1, {}, {}, 0},
                  {"no filter, every sample   ", false, false, 1, {}, {}, 0},
                  {"filter, reduced, 2 workers", true, true, 2, {}, {}, 0},
                  {"no filter, reduced, 2 wkrs", false, true, 2, {}, {}, 0}};
    // The load on a shared machine varies: each pass runs a few times and
    // the fastest run counts.
    const int repeats = 3;
    for (Run& r : runs) {
        writeSettings(r.filter);
        for (int rep = 0; rep < repeats; ++rep) {
            kvt::viewer::PassTimings t;
            auto result = kvt::viewer::RunRedrawPass(session, size, requested, &t, r.reduce, r.threads);
            if (!result) {
                std::fprintf(stderr, "redraw: the pass drew nothing\n");
                return 1;
            }
            if (rep == 0 || t.total < r.t.total) r.t = t;
            r.traced = 0;
            for (const auto& c : result->channels) r.traced += c.traced ? 1 : 0;
            r.image = result->image;
        }
    }
    std::size_t bytes = 0;
    const double plain = plainRead(bytes);

    std::printf("redraw pass: %d channels x %.0f s at %.0f samples/s, %dx%d (%.0f samples per pixel column)\n",
                channels, seconds, rate, size.width(), size.height(), seconds * rate / (size.width() - 2));
    std::printf("  catalogue and files built in %.2f s; %d channels traced\n", buildSeconds, runs[1].traced);
    for (const Run& r : runs)
        std::printf("  %s total %.3f s = catalogue %.3f + reads %.3f + filter %.3f + draw %.3f"
                    " (+ other %.3f); pass / plain read = %.1f\n",
                    r.name, r.t.total, r.t.catalogue, r.t.read, r.t.filter, r.t.draw,
                    r.t.total - r.t.catalogue - r.t.read - r.t.filter - r.t.draw, r.t.total / plain);
    std::printf("  plain read of the same %.1f MB: %.3f s; reads / plain read = %.1f\n",
                static_cast<double>(bytes) / 1e6, plain, runs[1].t.read / plain);
    std::printf("  draw per channel: every sample %.2f ms, reduced %.2f ms (x%.1f); no filter %.2f / %.2f ms (x%.1f)\n",
                1e3 * runs[2].t.draw / channels, 1e3 * runs[1].t.draw / channels,
                runs[2].t.draw / std::max(runs[1].t.draw, 1e-9), 1e3 * runs[4].t.draw / channels,
                1e3 * runs[3].t.draw / channels, runs[4].t.draw / std::max(runs[3].t.draw, 1e-9));
    const bool same = runs[1].image == runs[2].image && runs[3].image == runs[4].image &&
                      runs[5].image == runs[1].image && runs[6].image == runs[3].image;
    std::printf("  same picture every sample / reduced / 2 workers: %s\n", same ? "yes" : "NO");
    std::printf("  whole pass with 2 workers / 1 thread: filter %.2f, no filter %.2f\n",
                runs[5].t.total / std::max(runs[1].t.total, 1e-9), runs[6].t.total / std::max(runs[3].t.total, 1e-9));

    // One channel's trace alone at 10 and 500 samples per pixel column.
    const QFont font = kvt::viewer::MakeDisplayFont(QStringLiteral("Courier new"), 14);
    // The last row: one trace of the pass's own length, the drawing alone
    // (no label or marks), so the ratio is that of the trace drawing.
    double reducedMs[2] = {0, 0};
    const long long passSamples = static_cast<long long>(seconds * rate);
    for (const long long perColumn : {10LL, 500LL, -1LL}) {
        const long long n = perColumn > 0 ? perColumn * size.width() : passSamples;
        std::vector<float> trace(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < trace.size(); ++i)
            trace[i] = static_cast<float>(1000 * std::sin(static_cast<double>(i) / 100 * 0.7) +
                                          100 * std::sin(static_cast<double>(i) * 0.37));
        kvt::viewer::AmplitudeScale scale;
        kvt::viewer::ChooseScale(trace.data(), trace.size(), 100, kvt::viewer::ParseScaleSetting("AUTO"), scale);
        double ms[2] = {1e300, 1e300};
        QImage pictures[2];
        for (int rep = 0; rep < 7; ++rep) {
            for (int reduce = 0; reduce < 2; ++reduce) {
                kvt::viewer::TraceCanvas canvas(size.width(), size.height(), channels, font);
                std::vector<float> copy = trace;
                const auto t0 = Clock::now();
                canvas.DrawTrace(copy.data(), copy.size(), 0, n, channels - 1, scale, reduce != 0);
                ms[reduce] = std::min(ms[reduce], 1e3 * Seconds(t0));
                pictures[reduce] = canvas.TakeImage();
            }
        }
        if (perColumn > 0) reducedMs[perColumn == 10 ? 0 : 1] = ms[1];
        char what[64];
        if (perColumn > 0) std::snprintf(what, sizeof what, "%lld x W", perColumn);
        else std::snprintf(what, sizeof what, "as in the pass");
        std::printf("  one channel of %lld samples (%s): every sample %.3f ms, reduced %.3f ms (x%.1f), same %s\n",
                    n, what, ms[0], ms[1], ms[0] / std::max(ms[1], 1e-9),
                    pictures[0] == pictures[1] ? "yes" : "NO");
    }
    std::printf("  reduced drawing of one channel, 500 x W / 10 x W samples: x%.2f\n",
                reducedMs[1] / std::max(reducedMs[0], 1e-9));

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
