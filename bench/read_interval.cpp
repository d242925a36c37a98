// read_interval: how much the catalogue costs on top of the file reads.
//
// Builds a catalogue of one channel at 100 samples/s in 150-second files
// (float samples after a 512-byte header), then times ReadInterval over
// 3600 s next to plainly reading the same byte ranges of the same (page-
// cached) files, and the mean time of one small catalogue query, for SQLite
// and, when the test database servers run, PostgreSQL.
//
//   read_interval [REPEATS]
//
// PostgreSQL is used when KVT_TESTDB_DIR names the directory of running test
// servers (scripts/testdb start DIR); otherwise only SQLite is measured.

#include "bench_sql.h"

#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kRate = 100;          // samples per second
constexpr int kFileSeconds = 150;      // seconds per data file
constexpr int kHours = 6;              // catalogued data
constexpr double kInterval = 3600;     // seconds read per call
constexpr double kT0 = 1700000000;     // start of the catalogued data
constexpr const char* kStation = "BENCH";
constexpr const char* kChannel = "HHZ";

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::map<std::string, std::string> ReadEnvFile(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exec(void* hdbc, const std::string& sql) { return kvt::bench::ExecSql(hdbc, sql, "read_interval"); }

struct FileInfo {
    std::string path;
    double tBegin;
};

// Writes the data files once; returns them in time order.
std::vector<FileInfo> WriteFiles(const fs::path& dataDir) {
    std::vector<FileInfo> files;
    const int n = kHours * 3600 / kFileSeconds;
    const int samples = static_cast<int>(kFileSeconds * kRate);
    std::vector<float> data(static_cast<std::size_t>(samples));
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < samples; ++k)
            data[static_cast<std::size_t>(k)] = static_cast<float>((i * samples + k) % 1000);
        const std::string name = "f" + std::to_string(i) + ".dat";
        std::ofstream out(dataDir / name, std::ios::binary);
        const std::string header(512, '\0');
        out.write(header.data(), 512);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size() * sizeof(float)));
        files.push_back({name, kT0 + i * kFileSeconds});
    }
    return files;
}

bool Catalogue(kvt::CWaveDatabase& db, const std::vector<FileInfo>& files) {
    const auto& f = db.schema().fileList;
    if (!Exec(db.hdbc(), kvt::sql::Format("delete from %s where %s='%s'", f.name, f.STA, kStation)))
        return false;
    for (const FileInfo& file : files) {
        if (!Exec(db.hdbc(),
                  kvt::sql::Format("insert into %s(%s,%s,%s,%s,%s,%s,%s,%s,%s) values('%s','%s',"
                                   "%.4f,%d,%.2f,3,512,'%s',%.4f)",
                                   f.name, f.STA, f.CH, f.TBEGIN, f.TQTY, f.SPS, f.DATATYPE,
                                   f.FOFF, f.CPATH, f.TEND, kStation, kChannel, file.tBegin,
                                   kFileSeconds, kRate, file.path.c_str(),
                                   file.tBegin + kFileSeconds)))
            return false;
    }
    return true;
}

// Reads the byte ranges ReadInterval reads, with one open, seek and read per file.
std::size_t PlainRead(const fs::path& dataDir, const std::vector<FileInfo>& files, double from,
                      double to, std::vector<float>& out) {
    std::size_t total = 0;
    for (const FileInfo& file : files) {
        const double end = file.tBegin + kFileSeconds;
        if (end <= from || file.tBegin >= to) continue;
        const double clipStart = std::max(from, file.tBegin);
        const double clipEnd = std::min(end, to);
        const auto count = static_cast<std::size_t>((clipEnd - clipStart) * kRate);
        const auto skip = static_cast<off_t>((clipStart - file.tBegin) * kRate);
        out.resize(count);
        const int fd = ::open((dataDir / file.path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = ::pread(fd, out.data(), count * sizeof(float), 512 + skip * 4);
        ::close(fd);
        if (n > 0) total += static_cast<std::size_t>(n) / sizeof(float);
    }
    return total;
}

struct Figures {
    double readInterval = 0;  // s per call
    double plain = 0;         // s per call
    double query = 0;         // s per small query
    std::size_t samples = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Measure(const char* name, const std::string& dsn, const std::string& user,
             const std::string& password, const fs::path& dataDir,
             const std::vector<FileInfo>& files, int repeats, Figures& fig) {
    kvt::CWaveDatabase db;
    db.SetParameter("odbc", dsn);
    db.SetParameter("user", user);
    db.SetParameter("password", password);
    db.SetParameter("data", dataDir.string());
    if (!db.Connect()) {
        std::fprintf(stderr, "read_interval: %s: cannot connect: %s\n", name,
                     db.lastDiagnostic().c_str());
        return false;
    }
    if (!Catalogue(db, files)) return false;

    // Interval in the middle of the data, not aligned to file boundaries.
    const double from = kT0 + 3600 + 37.5;
    const double to = from + kInterval;
    std::vector<kvt::DataSegment> segments;
    std::vector<float> buffer;
    // Warm-up: the page cache holds every file afterwards.
    db.ReadInterval(kStation, kChannel, "", from, to, segments);
    PlainRead(dataDir, files, from, to, buffer);

    std::vector<double> a, b;
    for (int i = 0; i < repeats; ++i) {
        auto t = Clock::now();
        const int rc = db.ReadInterval(kStation, kChannel, "", from, to, segments);
        a.push_back(Seconds(Clock::now() - t));
        if (rc != 0) {
            std::fprintf(stderr, "read_interval: %s: ReadInterval %d: %s\n", name, rc,
                         db.lastDiagnostic().c_str());
            return false;
        }
        t = Clock::now();
        fig.samples = PlainRead(dataDir, files, from, to, buffer);
        b.push_back(Seconds(Clock::now() - t));
    }
    std::size_t read = 0;
    for (const auto& s : segments) read += static_cast<std::size_t>(s.count);
    if (read != fig.samples)
        std::fprintf(stderr, "read_interval: %s: %zu samples from ReadInterval, %zu plain\n", name,
                     read, fig.samples);
    fig.readInterval = Median(a);
    fig.plain = Median(b);

    const std::string small = kvt::sql::LatestTimeQuery(db.schema(), kStation, kChannel, "", true);
    const int queries = repeats * 4;
    const auto t = Clock::now();
    for (int i = 0; i < queries; ++i) {
        kvt::OdbcStatement st(db.hdbc());
        double latest = 0;
        std::int64_t ind = 0;
        if (!st.ExecDirect(small) || !st.BindDouble(1, &latest, &ind) ||
            st.Fetch() != kvt::FetchResult::Row) {
            std::fprintf(stderr, "read_interval: %s: %s\n", name, st.diagnostic().c_str());
            return false;
        }
    }
    fig.query = Seconds(Clock::now() - t) / queries;
    Exec(db.hdbc(), kvt::sql::Format("delete from %s where %s='%s'", db.schema().fileList.name,
                                     db.schema().fileList.STA, kStation));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    char pattern[] = "/tmp/kvt-bench-read.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("read_interval: mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path dataDir = dir / "data";
    fs::create_directories(dataDir);

    // Private ODBC configuration: an SQLite catalogue of our own, plus the
    // test servers' data sources when they run.
    std::map<std::string, std::string> env;
    if (const char* testdb = std::getenv("KVT_TESTDB_DIR"))
        env = ReadEnvFile(fs::path(testdb) / "env");
    std::string odbcinst, odbcini;
    if (!env.empty()) {
        odbcinst = ReadText(fs::path(env["ODBCSYSINI"]) / "odbcinst.ini");
        odbcini = ReadText(env["ODBCINI"]);
    }
    odbcinst += "\n[BenchSQLite]\nDriver=libsqlite3odbc.so\n";
    for (const char* p : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so"})
        if (fs::exists(p)) odbcinst += std::string("Driver=") + p + "\n";
    odbcini += "\n[bench_sqlite]\nDriver=BenchSQLite\nDatabase=" + (dir / "bench.sqlite").string() +
               "\n";
    std::ofstream(dir / "odbcinst.ini") << odbcinst;
    std::ofstream(dir / "odbc.ini") << odbcini;
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);

    {
        kvt::CWaveDatabase db;
        db.SetParameter("odbc", "bench_sqlite");
        if (!db.Connect() ||
            !Exec(db.hdbc(),
                  "create table FILELIST (NINDEX INTEGER PRIMARY KEY AUTOINCREMENT, STA "
                  "VARCHAR(16), TBEGIN DOUBLE, TQTY DOUBLE, SPS DOUBLE, GAIN DOUBLE, CPATH "
                  "VARCHAR(1024), COMMENT VARCHAR(255), DATATYPE SMALLINT, CH VARCHAR(16), "
                  "CREATER VARCHAR(64), LDDATE TIMESTAMP, FOFF BIGINT, CALIB DOUBLE, CALPER "
                  "DOUBLE, LCODE VARCHAR(8), TEND DOUBLE)") ||
            !Exec(db.hdbc(), "create index FILELIST_CHANNEL on FILELIST (STA, CH, LCODE, TBEGIN)")) {
            std::fprintf(stderr, "read_interval: cannot create the SQLite catalogue: %s\n",
                         db.lastDiagnostic().c_str());
            return 1;
        }
    }
    const std::vector<FileInfo> files = WriteFiles(dataDir);
    std::printf("read_interval: %zu files of %d s at %.0f samples/s, %.0f s per read, %d repeats\n",
                files.size(), kFileSeconds, kRate, kInterval, repeats);

    struct Target {
        const char* name;
        std::string dsn, user, password;
    };
    std::vector<Target> targets{{"SQLite", "bench_sqlite", "", ""}};
    if (env.count("KVT_PG_DSN"))
        targets.push_back({"PostgreSQL", env["KVT_PG_DSN"], env["KVT_PG_USER"],
                           env["KVT_PG_PASSWORD"]});
    else
        std::printf("PostgreSQL: not measured (KVT_TESTDB_DIR does not name running test servers)\n");

    int status = 0;
    for (const Target& t : targets) {
        Figures fig;
        if (!Measure(t.name, t.dsn, t.user, t.password, dataDir, files, repeats, fig)) {
            status = 1;
            continue;
        }
        std::printf("%-10s ReadInterval %8.3f ms  plain read %8.3f ms  ratio %5.2f  "
                    "(%zu samples)  small query %7.3f ms\n",
                    t.name, fig.readInterval * 1e3, fig.plain * 1e3, fig.readInterval / fig.plain,
                    fig.samples, fig.query * 1e3);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
