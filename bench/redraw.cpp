// Figures of the redraw pass over a full catalogue: 64 channels, one hour at
// 100 samples/s in one file per channel, drawn at 1900 x 1000. Prints the
// total and its split (catalogue queries, file reads, filtering, range and
// reduction, drawing) with and without the band-pass, traces drawn through
// the per-column reduction and with a line to every sample, on one thread and
// with two workers (the pictures must be equal); the ratio of the pass to
// plainly reading the same sample bytes; the peak heap of a pass; the CPU
// stages alone on one and two threads; and one channel's reduction and
// drawing at 10 and 500 samples per pixel column (each figure the fastest of
// a few runs).
//
//   redraw [CHANNELS [SECONDS [RATE]]]     e.g. redraw 64 5400 200
//
// The catalogue is a throw-away SQLite file with its own ODBC data source in a
// temporary directory (removed at the end).

#include "bench_sql.h"
#include "heap_meter.h"

#include "common/time_values.h"
#include "dblib/data_file.h"
#include "dblib/odbc_statement.h"
#include "dblib/wave_database.h"
#include "viewer/amplitude_scale.h"
#include "viewer/redraw_pass.h"
#include "viewer/trace_canvas.h"
#include "viewer/trace_jobs.h"
#include "viewer/worker_pool.h"
#include "viewer/viewer_session.h"

#include <QGuiApplication>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Exec(void* hdbc, const std::string& sql) { return kvt::bench::ExecSql(hdbc, sql, "redraw"); }

bool RunScript(void* hdbc, const std::string& path) { return kvt::bench::RunSqlScript(hdbc, path, "redraw"); }

}  // namespace

int main(int argc, char** argv) {
    const int channels = argc > 1 ? std::atoi(argv[1]) : 64;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3600;
    const double rate = argc > 3 ? std::atof(argv[3]) : 100;
    if (channels < 1 || channels > 64 || seconds < 1 || rate <= 0) {
        std::fprintf(stderr, "usage: redraw [CHANNELS(1-64) [SECONDS [RATE]]]\n");
        return 2;
    }
    const std::string driver = kvt::bench::FindSqliteDriver();
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
        std::size_t peakBytes = 0;  //!< heap above the level before the pass, at its highest
    };
    // Passes on the calling thread alone, then with two workers.
    Run runs[] = {{"warm-up, filter, reduced  ", true, true, 1, {}, {}, 0, 0},
                  {"filter, reduced           ", true, true, 1, {}, {}, 0, 0},
                  {"filter, every sample      ", true, false, 1, {}, {}, 0, 0},
                  {"no filter, reduced        ", false, true, 1, {}, {}, 0, 0},
                  {"no filter, every sample   ", false, false, 1, {}, {}, 0, 0},
                  {"filter, reduced, 2 workers", true, true, 2, {}, {}, 0, 0},
                  {"no filter, reduced, 2 wkrs", false, true, 2, {}, {}, 0, 0}};
    // The load on a shared machine varies: each pass runs a few times and
    // the fastest run counts.
    const int repeats = 9;
    for (Run& r : runs) {
        writeSettings(r.filter);
        for (int rep = 0; rep < repeats; ++rep) {
            kvt::viewer::PassTimings t;
            const std::size_t before = kvt::bench::HeapInUse();
            kvt::bench::ResetHeapPeak();
            auto result = kvt::viewer::RunRedrawPass(session, size, requested, &t, r.reduce, r.threads);
            const std::size_t peak = kvt::bench::HeapPeak() - before;
            if (!result) {
                std::fprintf(stderr, "redraw: the pass drew nothing\n");
                return 1;
            }
            if (rep == 0 || t.total < r.t.total) r.t = t;
            r.peakBytes = std::max(r.peakBytes, peak);
            r.traced = 0;
            for (const auto& c : result->channels) r.traced += c.traced ? 1 : 0;
            r.image = result->image;
        }
    }
    std::size_t bytes = 0;
    double plain = 1e300;
    for (int rep = 0; rep < repeats; ++rep) plain = std::min(plain, plainRead(bytes));

    const double perChannelMs = 1e3 / channels;
    std::printf("redraw pass: %d channels x %.0f s at %.0f samples/s, %dx%d (%.0f samples per pixel column)\n",
                channels, seconds, rate, size.width(), size.height(), seconds * rate / (size.width() - 2));
    std::printf("  catalogue and files built in %.2f s; %d channels traced; fastest of %d passes each\n",
                buildSeconds, runs[1].traced, repeats);
    std::printf("  (filter and reduce are thread time, summed over the workers when there are two)\n");
    for (const Run& r : runs)
        std::printf("  %s total %.3f s: catalogue %.3f, reads %.3f, filter %.3f, reduce %.3f, draw %.3f"
                    " (traces %.3f), waiting for workers %.3f; pass / plain read = %.1f\n",
                    r.name, r.t.total, r.t.catalogue, r.t.read, r.t.filter, r.t.reduce, r.t.draw, r.t.traces,
                    r.t.waitForWorkers, r.t.total / plain);
    std::printf("  plain read of the same %.1f MB (one pread per file into one buffer): %.4f s; reads / plain read = %.1f\n",
                static_cast<double>(bytes) / 1e6, plain, runs[3].t.read / plain);
    std::printf("  catalogue share of the pass: %.1f%% with filter, %.1f%% without (1 thread); %.1f%% / %.1f%% (2 workers)\n",
                100 * runs[1].t.catalogue / runs[1].t.total, 100 * runs[3].t.catalogue / runs[3].t.total,
                100 * runs[5].t.catalogue / runs[5].t.total, 100 * runs[6].t.catalogue / runs[6].t.total);
    std::printf("  drawing stage (the drawing thread's trace pixels) per channel: every sample %.3f ms, reduced %.3f ms (x%.1f)\n",
                perChannelMs * runs[4].t.traces, perChannelMs * runs[3].t.traces,
                runs[4].t.traces / std::max(runs[3].t.traces, 1e-9));
    std::printf("  trace making and drawing per channel (path and lines, or reduction and runs): every sample %.3f ms, reduced %.3f ms (x%.1f)\n",
                perChannelMs * (runs[4].t.reduce + runs[4].t.traces), perChannelMs * (runs[3].t.reduce + runs[3].t.traces),
                (runs[4].t.reduce + runs[4].t.traces) / std::max(runs[3].t.reduce + runs[3].t.traces, 1e-9));
    const bool same = runs[1].image == runs[2].image && runs[3].image == runs[4].image &&
                      runs[5].image == runs[1].image && runs[6].image == runs[3].image;
    std::printf("  same picture every sample / reduced / 2 workers: %s\n", same ? "yes" : "NO");
    std::printf("  whole pass, 1 thread / 2 workers: filter x%.2f, no filter x%.2f\n",
                runs[1].t.total / std::max(runs[5].t.total, 1e-9), runs[3].t.total / std::max(runs[6].t.total, 1e-9));
    const double imageBytes = 4.0 * size.width() * size.height();
    const double windowBytes = 4.0 * static_cast<double>(static_cast<long long>(seconds * rate));
    std::printf("  peak heap of a pass (reduced, 1 thread / 2 workers): %.1f / %.1f MB; limit: image %.1f MB + 3 windows %.1f MB = %.1f MB\n",
                static_cast<double>(runs[3].peakBytes) / 1e6, static_cast<double>(runs[6].peakBytes) / 1e6,
                imageBytes / 1e6, 3 * windowBytes / 1e6, (imageBytes + 3 * windowBytes) / 1e6);
    std::printf("  peak heap with filter (1 thread / 2 workers): %.1f / %.1f MB; every sample (no filter): %.1f MB\n",
                static_cast<double>(runs[1].peakBytes) / 1e6, static_cast<double>(runs[5].peakBytes) / 1e6,
                static_cast<double>(runs[4].peakBytes) / 1e6);

    // The CPU stages alone (filter, range, reduction) over every channel's
    // window held in memory, on this thread and on two workers.
    {
        const std::size_t n = static_cast<std::size_t>(seconds * rate);
        std::vector<float> master(n);
        for (std::size_t i = 0; i < n; ++i)
            master[i] = static_cast<float>(1000 * std::sin(static_cast<double>(i) / rate * 0.7) +
                                           100 * std::sin(static_cast<double>(i) * 0.37));
        const auto layout = kvt::viewer::BandLayout::Make(size.width(), size.height(), channels);
        // The same work for one channel, on its own buffer.
        auto oneChannel = [&](int c, bool filter, kvt::viewer::SampleShelf& shelf) {
            kvt::viewer::TraceWork work;
            work.samples = kvt::viewer::SampleLoan(shelf, n);
            std::copy(master.begin(), master.end(), work.samples.samples().begin());
            work.pieces = {{0, n, 0}};
            work.filter = {filter, 0.5f, 5.0f};
            work.rate = rate;
            work.samplesInWindow = static_cast<long long>(n);
            work.layout = layout;
            work.band = layout.BandOf(c);
            kvt::viewer::TraceJob job;
            kvt::viewer::RunTraceWork(work, job);
        };
        for (const bool filter : {true, false}) {
            // 0: this thread alone; 1: two workers fed by this thread as in
            // the pass; 2: two plain threads each doing half of the channels
            // on their own (what this machine's two cores give at best).
            double best[3] = {1e300, 1e300, 1e300};
            for (int rep = 0; rep < repeats; ++rep) {
                for (int w = 0; w < 2; ++w) {
                    const int workers = w == 0 ? 0 : 2;
                    kvt::viewer::SampleShelf shelf(static_cast<std::size_t>(workers) + 1);
                    const auto t0 = Clock::now();
                    {
                        kvt::viewer::WorkerPool pool(workers);
                        for (int c = 0; c < channels; ++c) {
                            auto work = std::make_shared<kvt::viewer::TraceWork>();
                            work->samples = kvt::viewer::SampleLoan(shelf, n);
                            std::copy(master.begin(), master.end(), work->samples.samples().begin());
                            work->pieces = {{0, n, 0}};
                            work->filter = {filter, 0.5f, 5.0f};
                            work->rate = rate;
                            work->samplesInWindow = static_cast<long long>(n);
                            work->layout = layout;
                            work->band = layout.BandOf(c);
                            auto job = std::make_shared<kvt::viewer::TraceJob>();
                            pool.Submit([work, job] { kvt::viewer::RunTraceWork(*work, *job); });
                        }
                    }
                    best[w] = std::min(best[w], Seconds(t0));
                }
                const auto t0 = Clock::now();
                std::vector<std::thread> halves;
                for (int h = 0; h < 2; ++h)
                    halves.emplace_back([&, h] {
                        kvt::viewer::SampleShelf own(1);
                        for (int c = h; c < channels; c += 2) oneChannel(c, filter, own);
                    });
                for (std::thread& t : halves) t.join();
                best[2] = std::min(best[2], Seconds(t0));
            }
            std::printf("  CPU stages of %d windows in memory (%s): 1 thread %.3f s, 2 workers %.3f s (x%.2f);"
                        " two threads on halves, no pass: %.3f s (x%.2f)\n",
                        channels, filter ? "filter, range, reduction" : "range, reduction", best[0], best[1],
                        best[0] / std::max(best[1], 1e-9), best[2], best[0] / std::max(best[2], 1e-9));
        }
    }

    // One channel's trace alone at 10 and 500 samples per pixel column, and
    // at the pass's own length: the reduction (on a worker in the pass) and
    // the drawing of its path (on the drawing thread), each timed alone.
    const QFont font = kvt::viewer::MakeDisplayFont(QStringLiteral("Courier new"), 14);
    double drawMs[2] = {0, 0}, reduceMs[2] = {0, 0};
    const long long passSamples = static_cast<long long>(seconds * rate);
    const auto layout = kvt::viewer::BandLayout::Make(size.width(), size.height(), channels);
    for (const long long perColumn : {10LL, 500LL, -1LL}) {
        const long long n = perColumn > 0 ? perColumn * size.width() : passSamples;
        // Uniform noise fills every pixel column from near the lowest to near
        // the highest row at any density, so the picture (and the pixels to
        // set) stays the same and only the number of samples changes.
        std::vector<float> trace(static_cast<std::size_t>(n));
        std::uint32_t state = 12345;
        for (float& v : trace) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<float>(static_cast<double>(state >> 8) / 16777216.0 * 2000.0 - 1000.0);
        }
        kvt::viewer::AmplitudeScale scale;
        kvt::viewer::ChooseScale(trace.data(), trace.size(), 100, kvt::viewer::ParseScaleSetting("AUTO"), scale);
        double build[2] = {1e300, 1e300}, draw[2] = {1e300, 1e300};
        QImage pictures[2];
        for (int rep = 0; rep < 7; ++rep) {
            for (int reduce = 0; reduce < 2; ++reduce) {
                kvt::viewer::TraceCanvas canvas(size.width(), size.height(), channels, font);
                std::vector<float> copy = trace;
                const kvt::viewer::Band band = layout.BandOf(channels - 1);
                const auto t0 = Clock::now();
                std::vector<kvt::viewer::PathPoint> path;
                std::vector<kvt::viewer::PixelRun> runs;
                if (reduce != 0) runs = kvt::viewer::BuildReducedTraceRuns(copy.data(), copy.size(), 0, n, layout, band, scale);
                else path = kvt::viewer::BuildTracePath(copy.data(), copy.size(), 0, n, layout, band, scale);
                const auto t1 = Clock::now();
                if (reduce != 0) canvas.DrawRuns(runs);
                else canvas.DrawPath(path);
                build[reduce] = std::min(build[reduce], std::chrono::duration<double, std::milli>(t1 - t0).count());
                draw[reduce] = std::min(draw[reduce], 1e3 * Seconds(t1));
                pictures[reduce] = canvas.TakeImage();
            }
        }
        if (perColumn > 0) {
            drawMs[perColumn == 10 ? 0 : 1] = draw[1];
            reduceMs[perColumn == 10 ? 0 : 1] = build[1];
        }
        char what[64];
        if (perColumn > 0) std::snprintf(what, sizeof what, "%lld x W", perColumn);
        else std::snprintf(what, sizeof what, "as in the pass");
        std::printf("  one channel of %lld samples (%s): every sample path %.3f + lines %.3f ms;"
                    " reduction to pixel runs %.3f + filling them %.3f ms; drawing stage x%.0f, both x%.1f; same %s\n",
                    n, what, build[0], draw[0], build[1], draw[1], draw[0] / std::max(draw[1], 1e-9),
                    (build[0] + draw[0]) / std::max(build[1] + draw[1], 1e-9),
                    pictures[0] == pictures[1] ? "yes" : "NO");
    }
    std::printf("  one channel, 500 x W / 10 x W samples: drawing stage x%.2f, reduction x%.2f\n",
                drawMs[1] / std::max(drawMs[0], 1e-9), reduceMs[1] / std::max(reduceMs[0], 1e-9));

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
