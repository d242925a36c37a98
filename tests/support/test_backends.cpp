#include "test_backends.h"

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "scratch_catalogue.h"

#include <odbcinst.h>

#ifndef KVT_SQL_DIR
#error "KVT_SQL_DIR must name the folder of the catalogue scripts"
#endif

namespace fs = std::filesystem;

namespace kvt::test {
namespace {

// The fourteen catalogue tables, in the order of the schema registry.
constexpr std::array<const char*, 14> kTables = {
    "FILELIST", "SITECHAN", "SITE",     "ORIGIN",     "NETWORKS",  "LASTID",      "ID_SENS",
    "ID_FREQ",  "GEOGRAPHIC_REGION",    "EVENTLIST",  "EARTHQUAKE", "CONTREG",    "CALIBRATION",
    "ARRIVAL"};

std::string SqlDir() {
  return KVT_SQL_DIR;
}

// First existing file among the usual places of an ODBC driver library.
std::string FindDriver(const std::string& file) {
  const char* const dirs[] = {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                              "/usr/lib/i386-linux-gnu/odbc",   "/usr/lib/odbc",
                              "/usr/lib64/odbc",                "/usr/lib64",
                              "/usr/local/lib/odbc",            "/usr/local/lib"};
  for (const char* dir : dirs) {
    const fs::path candidate = fs::path(dir) / file;
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  }
  return {};
}

void WriteTextFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Parsed fixture env file, loaded once.
const std::map<std::string, std::string>* FixtureEnv() {
  static const std::unique_ptr<std::map<std::string, std::string>> env = [] {
    std::unique_ptr<std::map<std::string, std::string>> values;
    const char* dir = std::getenv("KVT_TESTDB_DIR");
    if (dir == nullptr || *dir == '\0') return values;
    const fs::path file = fs::path(dir) / "env";
    std::ifstream in(file);
    if (!in) return values;
    values = std::make_unique<std::map<std::string, std::string>>();
    std::string line;
    while (std::getline(in, line)) {
      const auto eq = line.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      (*values)[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
  }();
  return env.get();
}

struct PrivateDir {
  std::string path;
  ~PrivateDir() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

}  // namespace

const char* BackendKindName(BackendKind kind) {
  switch (kind) {
    case BackendKind::SQLite: return "SQLite";
    case BackendKind::PostgreSQL: return "PostgreSQL";
    case BackendKind::MariaDB: return "MariaDB";
    case BackendKind::MariaDBMixedCase: return "MariaDBMixedCase";
  }
  return "unknown";
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FixtureRequested() {
  const char* dir = std::getenv("KVT_TESTDB_DIR");
  return dir != nullptr && *dir != '\0';
}

std::optional<std::string> FixtureValue(const std::string& key) {
  const auto* env = FixtureEnv();
  if (env == nullptr) return std::nullopt;
  const auto it = env->find(key);
  if (it == env->end()) return std::nullopt;
  return it->second;
}

const std::string& PrepareOdbcEnvironment() {
  static std::mutex mutex;
  static PrivateDir dir;  // removed when the process ends normally
  std::lock_guard<std::mutex> lock(mutex);
  if (!dir.path.empty()) return dir.path;

  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                        "/kvt-odbc-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a private ODBC directory from " + pattern);
  const fs::path root = pattern;

  // Drivers: the fixture's list when it runs (servers' drivers included),
  // otherwise the SQLite driver found on this machine.
  std::string odbcinst;
  std::string odbc;
  if (const auto fixtureDir = FixtureValue("KVT_TESTDB_DIR")) {
    odbcinst = ReadTextFile(*fixtureDir + "/odbcinst.ini");
    odbc = ReadTextFile(*fixtureDir + "/odbc.ini") + "\n";
  } else {
    const std::string sqlite = FindDriver("libsqlite3odbc.so");
    if (sqlite.empty())
      throw std::runtime_error("SQLite ODBC driver libsqlite3odbc.so not found (package libsqliteodbc)");
    // DontDLClose: the driver stays loaded until exit, so leak reports name it.
    odbcinst = "[SQLite3]\nDescription=SQLite3 ODBC driver\nDriver=" + sqlite + "\nSetup=" +
               sqlite + "\nThreading=2\nDontDLClose=1\n";
  }
  // Spare data sources for throw-away catalogues, written now because the
  // driver manager may keep answers about names it looked up before.
  for (int slot = 0; slot < ScratchCatalogue::kSlots; ++slot) {
    const fs::path slotDir = root / ("scratch" + std::to_string(slot));
    fs::create_directories(slotDir);
    odbc += "[" + ScratchCatalogue::SlotDsn(slot) + "]\nDescription=Throw-away test catalogue\n"
            "Driver=SQLite3\nDatabase=" + (slotDir / "catalogue.sqlite").string() +
            "\nTimeout=10000\nSyncPragma=OFF\nJournalMode=MEMORY\nStepAPI=1\n\n";
  }
  WriteTextFile(root / "odbcinst.ini", odbcinst);
  WriteTextFile(root / "odbc.ini", odbc);
  setenv("ODBCSYSINI", root.c_str(), 1);
  setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);
  // The driver manager loads the installer library for every connection and
  // unloads it afterwards; leaks in it then show as an unknown module that no
  // suppression can name. Using the library here keeps it loaded.
  UWORD mode = 0;
  SQLGetConfigMode(&mode);
  dir.path = root.string();
  return dir.path;
}

std::optional<Backend> FindBackend(BackendKind kind) {
  PrepareOdbcEnvironment();
  if (FixtureRequested() && FixtureEnv() == nullptr)
    throw std::runtime_error(std::string("KVT_TESTDB_DIR is set but ") +
                             std::getenv("KVT_TESTDB_DIR") +
                             "/env is missing: the test databases did not start "
                             "(see the test kvt_databases_start)");
  Backend backend;
  backend.kind = kind;
  auto value = [](const char* key) { return FixtureValue(key).value_or(""); };
  switch (kind) {
    case BackendKind::SQLite:
      backend.sqlScript = SqlDir() + "/sqlite.sql";
      if (FixtureEnv() == nullptr) {
        // One throw-away catalogue serves the whole process.
        static std::unique_ptr<ScratchCatalogue> scratch;
        static std::mutex mutex;
        std::lock_guard<std::mutex> lock(mutex);
        if (!scratch) scratch = std::make_unique<ScratchCatalogue>();
        return scratch->backend();
      }
      backend.dsn = value("KVT_SQLITE_DSN");
      backend.dataDir = value("KVT_SQLITE_DATA");
      break;
    case BackendKind::PostgreSQL:
      if (FixtureEnv() == nullptr) return std::nullopt;
      backend.dsn = value("KVT_PG_DSN");
      backend.user = value("KVT_PG_USER");
      backend.password = value("KVT_PG_PASSWORD");
      backend.dataDir = value("KVT_PG_DATA");
      backend.sqlScript = SqlDir() + "/postgresql.sql";
      break;
    case BackendKind::MariaDB:
      if (FixtureEnv() == nullptr) return std::nullopt;
      backend.dsn = value("KVT_MARIA_DSN");
      backend.user = value("KVT_MARIA_USER");
      backend.password = value("KVT_MARIA_PASSWORD");
      backend.dataDir = value("KVT_MARIA_DATA");
      backend.sqlScript = SqlDir() + "/mariadb.sql";
      break;
    case BackendKind::MariaDBMixedCase:
      if (FixtureEnv() == nullptr) return std::nullopt;
      backend.dsn = value("KVT_MARIA_MIXED_DSN");
      backend.user = value("KVT_MARIA_MIXED_USER");
      backend.password = value("KVT_MARIA_MIXED_PASSWORD");
      backend.dataDir = value("KVT_MARIA_MIXED_DATA");
      backend.sqlScript = SqlDir() + "/mariadb-mixedcase.sql";
      break;
  }
  if (backend.dsn.empty()) return std::nullopt;
  std::error_code ec;
  fs::create_directories(backend.dataDir, ec);
  return backend;
}

std::vector<Backend> AvailableBackends(bool includeMixedCase) {
  std::vector<Backend> backends;
  for (BackendKind kind : kAllBackendKinds) {
    if (auto backend = FindBackend(kind)) backends.push_back(*backend);
  }
  if (includeMixedCase) {
    if (auto backend = FindBackend(BackendKind::MariaDBMixedCase)) backends.push_back(*backend);
  }
  return backends;
}

void RecreateCatalogue(const Backend& backend, OdbcSession& session) {
  session.ExecScript(ReadTextFile(backend.sqlScript));
}

void ResetCatalogue(const Backend& backend, OdbcSession& session) {
  const auto tables = session.Tables();
  bool complete = session.HasColumn("FILELIST", "TEND");
  std::vector<std::string> names;
  for (const char* table : kTables) {
    const std::string name = session.TableName(table);
    bool found = false;
    for (const auto& t : tables) found = found || t == name;
    complete = complete && found;
    names.push_back(name);
  }
  if (!complete) {
    RecreateCatalogue(backend, session);
    return;
  }
  for (const auto& name : names) session.Exec("delete from " + name);
}

void ResetCatalogue(const Backend& backend) {
  OdbcSession session = backend.Connect();
  ResetCatalogue(backend, session);
}

void DropTendColumn(OdbcSession& session) {
  // SQLite refuses to drop a column that an index names (the servers drop
  // such indexes with the column): the script's index on TEND goes first.
  std::string dbms = session.DbmsName();
  for (char& c : dbms) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (dbms.find("sqlite") != std::string::npos)
    session.Exec("drop index if exists FILELIST_CHANNEL_TEND");
  session.Exec("alter table " + session.TableName("FILELIST") + " drop column TEND");
}

}  // namespace kvt::test
