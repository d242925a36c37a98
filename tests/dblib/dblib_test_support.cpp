#include "dblib_test_support.h"

#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "scratch_catalogue.h"
#include "test_backends.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace kvt::dbtest {

namespace fs = std::filesystem;
using kvt::test::BackendKind;
using kvt::test::FixtureValue;
using kvt::test::OdbcSession;
using kvt::test::ScratchCatalogue;

namespace {

// The catalogues of the shared fixture under this library's test names.
const std::pair<const char*, BackendKind> kKinds[] = {
    {"sqlite", BackendKind::SQLite},
    {"postgresql", BackendKind::PostgreSQL},
    {"mariadb", BackendKind::MariaDB},
    {"mariadb_mixed", BackendKind::MariaDBMixedCase},
};

Backend FromShared(const std::string& name, const kvt::test::Backend& b) {
    return Backend{name, b.dsn, b.user, b.password};
}

}  // namespace

const Backend* FindBackend(const std::string& name) {
    static std::map<std::string, std::optional<Backend>> found;
    auto it = found.find(name);
    if (it == found.end()) {
        std::optional<Backend> b;
        for (const auto& [n, kind] : kKinds)
            if (name == n)
                if (const auto shared = kvt::test::FindBackend(kind)) b = FromShared(name, *shared);
        it = found.emplace(name, b).first;
    }
    return it->second ? &*it->second : nullptr;
}

const Backend& NoTendCatalogue() {
    static ScratchCatalogue catalogue;
    static const Backend b = [] {
        OdbcSession session = catalogue.backend().Connect();
        kvt::test::DropTendColumn(session);
        return FromShared("sqlite_notend", catalogue.backend());
    }();
    return b;
}

const Backend& NotADatabase() {
    static ScratchCatalogue catalogue;
    static const Backend b = [] {
        // The SQLite driver opens its file lazily: connecting works, reading
        // the catalogue then fails.
        std::ofstream(catalogue.file(), std::ios::binary | std::ios::trunc)
            << std::string(8192, 'x');
        return FromShared("sqlite_notdb", catalogue.backend());
    }();
    return b;
}

const Backend& CustomCatalogue() {
    static ScratchCatalogue catalogue;
    static const Backend b = FromShared("sqlite_custom", catalogue.backend());
    return b;
}

namespace {

std::string ServerCommand(const std::string& name, const char* what) {
    const std::string prefix = name == "postgresql" ? "KVT_PG_" : name == "mariadb" ? "KVT_MARIA_" : "";
    if (prefix.empty()) return {};
    return FixtureValue(prefix + what).value_or("");
}

}  // namespace

std::string ServerStopCommand(const std::string& name) { return ServerCommand(name, "STOP"); }
std::string ServerStartCommand(const std::string& name) { return ServerCommand(name, "START"); }

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

}  // namespace kvt::dbtest
