#include "dblib_test_support.h"

#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace kvt::test {

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> ReadEnvFile(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string SqliteDriver() {
    for (const char* p : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"})
        if (fs::exists(p)) return p;
    return "libsqlite3odbc.so";
}

// Runs a schema script of dblib/sql: statements end with ";" at a line end,
// comments are whole lines.
void RunScript(void* hdbc, const fs::path& script) {
    std::ifstream in(script);
    ASSERT_TRUE(in) << script;
    std::string line, statement;
    while (std::getline(in, line)) {
        if (line.rfind("--", 0) == 0) continue;
        statement += line + "\n";
        const auto end = line.find_last_not_of(" \t\r");
        if (end != std::string::npos && line[end] == ';') {
            statement.erase(statement.find_last_of(';'));
            Exec(hdbc, statement);
            statement.clear();
        }
    }
}

fs::path SourceDir() {
    const char* s = std::getenv("KVT_SOURCE_DIR");
    return s ? fs::path(s) : fs::path(".");
}

void CreateSqliteCatalogue(const Backend& b, bool dropTend) {
    CWaveDatabase db;
    ASSERT_TRUE(ConnectTo(db, b)) << db.lastDiagnostic();
    RunScript(db.hdbc(), SourceDir() / "dblib/sql/sqlite.sql");
    if (dropTend) Exec(db.hdbc(), "alter table FILELIST drop column TEND");
}

struct Setup {
    TempDir temp;
    TestOdbc odbc;

    Setup() {
        odbc.dir = temp.path();
        std::string odbcinst, odbcini;
        const char* testdb = std::getenv("KVT_TESTDB_DIR");
        std::map<std::string, std::string> env;
        if (testdb != nullptr && fs::exists(fs::path(testdb) / "env"))
            env = ReadEnvFile(fs::path(testdb) / "env");
        odbc.servers = env.count("KVT_PG_DSN") && env.count("KVT_MARIA_DSN");
        if (odbc.servers) {
            odbcinst = ReadFile(fs::path(env["ODBCSYSINI"]) / "odbcinst.ini");
            odbcini = ReadFile(env["ODBCINI"]);
        } else {
            odbcinst = "[SQLite3]\nDriver=" + SqliteDriver() + "\n";
        }
        const fs::path dir = temp.path();
        auto sqliteDsn = [&](const std::string& name, const fs::path& file) {
            odbcini += "\n[" + name + "]\nDriver=SQLite3\nDatabase=" + file.string() +
                       "\nTimeout=10000\n";
        };
        sqliteDsn("dblib_own", dir / "own.sqlite");
        sqliteDsn("dblib_notend", dir / "notend.sqlite");
        sqliteDsn("dblib_notdb", dir / "notdb.sqlite");
        sqliteDsn("dblib_custom", dir / "custom.sqlite");
        // Drivers stay loaded until the process ends, so that the leak
        // checker can still name the libraries that allocated at load time.
        std::string pinned;
        std::istringstream lines(odbcinst);
        for (std::string line; std::getline(lines, line);) {
            pinned += line + "\n";
            if (line.rfind("[", 0) == 0) pinned += "DontDLClose=1\n";
        }
        std::ofstream(dir / "odbcinst.ini") << pinned;
        std::ofstream(dir / "odbc.ini") << odbcini;
        setenv("ODBCSYSINI", dir.c_str(), 1);
        setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);

        odbc.noTend = {"sqlite-notend", "dblib_notend", "", ""};
        odbc.notADatabase = {"sqlite-notdb", "dblib_notdb", "", ""};
        odbc.custom = {"sqlite-custom", "dblib_custom", "", ""};
        std::ofstream(dir / "notdb.sqlite") << std::string(8192, 'x');
        if (odbc.servers) {
            odbc.backends.push_back({"sqlite", env["KVT_SQLITE_DSN"], env["KVT_SQLITE_USER"],
                                     env["KVT_SQLITE_PASSWORD"]});
            odbc.postgres = {"postgresql", env["KVT_PG_DSN"], env["KVT_PG_USER"],
                             env["KVT_PG_PASSWORD"]};
            odbc.mariadb = {"mariadb", env["KVT_MARIA_DSN"], env["KVT_MARIA_USER"],
                            env["KVT_MARIA_PASSWORD"]};
            // The mixed-case catalogue may have an account of its own.
            const std::string mixedUser = env.count("KVT_MARIA_MIXED_USER")
                                              ? env["KVT_MARIA_MIXED_USER"]
                                              : env["KVT_MARIA_USER"];
            const std::string mixedPassword = env.count("KVT_MARIA_MIXED_PASSWORD")
                                                  ? env["KVT_MARIA_MIXED_PASSWORD"]
                                                  : env["KVT_MARIA_PASSWORD"];
            odbc.mariadbMixed = {"mariadb_mixed", env["KVT_MARIA_MIXED_DSN"], mixedUser,
                                 mixedPassword};
            odbc.backends.push_back(odbc.postgres);
            odbc.backends.push_back(odbc.mariadb);
            odbc.backends.push_back(odbc.mariadbMixed);
            odbc.pgStop = env["KVT_PG_STOP"];
            odbc.pgStart = env["KVT_PG_START"];
        } else {
            const Backend own{"sqlite", "dblib_own", "", ""};
            CreateSqliteCatalogue(own, false);
            odbc.backends.push_back(own);
        }
    }
};

}  // namespace

const TestOdbc& Odbc() {
    static Setup setup;
    return setup.odbc;
}

const Backend& NoTendCatalogue() {
    static const bool created = [] {
        CreateSqliteCatalogue(Odbc().noTend, true);
        return true;
    }();
    (void)created;
    return Odbc().noTend;
}

const Backend* FindBackend(const std::string& name) {
    for (const Backend& b : Odbc().backends)
        if (b.name == name) return &b;
    return nullptr;
}

bool ConnectTo(CWaveDatabase& db, const Backend& b) {
    db.SetParameter("odbc", b.dsn);
    db.SetParameter("user", b.user);
    db.SetParameter("password", b.password);
    return db.Connect();
}

bool Exec(void* hdbc, const std::string& sql) {
    OdbcStatement st(hdbc);
    const bool ok = st.ExecDirect(sql);
    EXPECT_TRUE(ok) << sql << ": " << st.diagnostic();
    return ok;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "dblib-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteDataFile(const fs::path& path, std::size_t headerSize,
                   const std::vector<unsigned char>& samples) {
    fs::create_directories(path.parent_path());
    std::string header = "[KVT5.x]\r\nData offset=" + std::to_string(headerSize) + "\r\n";
    header.resize(headerSize, '\0');
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size()));
}

std::vector<unsigned char> FloatBytes(const std::vector<float>& values) {
    std::vector<unsigned char> bytes;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
    return bytes;
}

void ClearFileList(CWaveDatabase& db) {
    Exec(db.hdbc(), sql::Format("delete from %s", db.schema().fileList.name));
}

void InsertFileRow(CWaveDatabase& db, const FileRow& r) {
    const auto& f = db.schema().fileList;
    std::string columns = sql::Format("%s,%s,%s,%s,%s,%s,%s,%s,%s", f.STA, f.CH, f.LCODE, f.TBEGIN,
                                      f.TQTY, f.SPS, f.DATATYPE, f.FOFF, f.CPATH);
    std::string values = sql::Format(
        "'%s','%s',%s,%.6f,%.6f,%.6f,%d,%s,'%s'", SqlQuote(r.sta).c_str(), SqlQuote(r.ch).c_str(),
        r.lcode.empty() ? "NULL" : ("'" + SqlQuote(r.lcode) + "'").c_str(), r.tBegin, r.tQty,
        r.sps, r.dataType, r.foffNull ? "NULL" : std::to_string(r.foff).c_str(),
        SqlQuote(r.cpath).c_str());
    if (r.withTend) {
        columns += sql::Format(",%s", f.TEND);
        values += r.tendNull ? std::string(",NULL") : sql::Format(",%.6f", r.tBegin + r.tQty);
    }
    Exec(db.hdbc(), sql::Format("insert into %s(%s) values(%s)", f.name, columns.c_str(),
                                values.c_str()));
}

}  // namespace kvt::test
