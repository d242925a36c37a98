// Figures of one redraw pass over a full catalogue: 64 channels, one hour at
// 100 samples/s in one-hour files, drawn at 1900 x 1000 with the band-pass on.
// Prints the total, the split (catalogue queries, interval reads, filtering,
// drawing) and the ratio to plainly reading the same sample bytes.
//
//   redraw [CHANNELS [SECONDS [RATE]]]
//
// The catalogue is a throw-away SQLite file with its own ODBC data source in a
// temporary directory (removed at the end).

#include "common/time_values.h"
#include "dblib/data_file.h"
#include "dblib/odbc_statement.h"
#include "dblib/wave_database.h"
#include "viewer/redraw_pass.h"
#include "viewer/viewer_session.h"

#include <QGuiApplication>

#include <unistd.h>

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
            char sta[8];
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
    {
        std::ofstream ini(root / "kvtview.ini");
        ini << "[SYSTEM]\nN#=" << channels << "\nNSEC#=" << static_cast<int>(seconds)
            << "\nMODE=0\n[LOG]\nLEVEL=error\nDIR=" << (root / "log").string()
            << "\n[DATABASE]\nODBC=kvtbench\nUSE_TEND=1\n[DATA]\nDIR=" << data.string() << "\n";
        for (int c = 0; c < channels; ++c)
            ini << "[STA" << c << "]\nNAME=B" << (c < 10 ? "0" : "") << c << "\nCH=BHZ\nFILTER=0.50,5.00\n";
    }
    const double buildSeconds = Seconds(buildStart);

    kvt::viewer::ViewerSession session((root / "kvtview.ini").string(), (root / "kvtview").string());
    kvt::viewer::StartupUi ui;
    ui.askYesNo = [](const std::string&, const std::string&) { return true; };
    ui.showError = [](const std::string& t, const std::string&) { std::fprintf(stderr, "redraw: %s\n", t.c_str()); };
    if (!kvt::viewer::RunStartup(session, {(root / "kvtview").string()}, ui).ok()) return 1;

    std::atomic<bool> requested{false};
    kvt::viewer::PassTimings first, second;
    auto r1 = kvt::viewer::RunRedrawPass(session, QSize(1900, 1000), requested, &first);
    auto r2 = kvt::viewer::RunRedrawPass(session, QSize(1900, 1000), requested, &second);
    if (!r1 || !r2) {
        std::fprintf(stderr, "redraw: the pass drew nothing\n");
        return 1;
    }
    int traced = 0;
    for (const auto& c : r2->channels) traced += c.traced ? 1 : 0;

    // Plainly reading the same bytes: every file's samples in one read each.
    const auto readStart = Clock::now();
    std::size_t bytes = 0;
    std::vector<char> buffer;
    for (const auto& e : fs::recursive_directory_iterator(data)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        in.seekg(512);
        buffer.resize(static_cast<std::size_t>(seconds * rate) * sizeof(float));
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        bytes += static_cast<std::size_t>(in.gcount());
    }
    const double plainRead = Seconds(readStart);

    std::printf("redraw pass: %d channels x %.0f s at %.0f samples/s, %dx%d, band-pass on\n",
                channels, seconds, rate, 1900, 1000);
    std::printf("  catalogue and files built in %.2f s; %d channels traced\n", buildSeconds, traced);
    auto print = [](const char* name, const kvt::viewer::PassTimings& t) {
        std::printf("  %s pass: total %.3f s = catalogue %.3f + reads %.3f + filter %.3f + draw %.3f"
                    " (+ other %.3f)\n",
                    name, t.total, t.catalogue, t.read, t.filter, t.draw,
                    t.total - t.catalogue - t.read - t.filter - t.draw);
    };
    print("first ", first);
    print("second", second);
    std::printf("  plain read of the same %.1f MB: %.3f s; reads / plain read = %.1f, pass / plain read = %.1f\n",
                static_cast<double>(bytes) / 1e6, plainRead, second.read / plainRead,
                second.total / plainRead);

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
