#include "writer_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace kvt::test {

namespace fs = std::filesystem;

namespace {

bool TwentyMiBFree(const std::string&, std::uint64_t& freeBytes) {
    freeBytes = 20u << 20;
    return true;
}

}  // namespace

std::vector<float> Ramp(int n, float offset) {
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = offset + static_cast<float>(i) + 0.25f;
    return v;
}

void WriterTest::SetUp() {
    BackendTest::SetUp();
    if (IsSkipped()) return;
    // File names and headers carry local time; pin it.
    setenv("TZ", "UTC", 1);
    tzset();
    char pattern[] = "/tmp/kvt_writer_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dataDir_ = pattern;
    ASSERT_EQ(0, db.SetParameter("odbc", backend().dsn));
    ASSERT_EQ(0, db.SetParameter("user", backend().user));
    ASSERT_EQ(0, db.SetParameter("password", backend().password));
    ASSERT_EQ(0, db.SetParameter("data", dataDir_.string()));
    ASSERT_TRUE(db.Connect()) << db.lastDiagnostic();
    db.setWriteMode(0);
    db.setMaxFileSize(std::int64_t{1} << 40);
    db.setFreeSpaceFunction(&TwentyMiBFree);
}

void WriterTest::TearDown() {
    db.Disconnect();
    if (!dataDir_.empty()) {
        std::error_code ec;
        fs::remove_all(dataDir_, ec);
    }
    BackendTest::TearDown();
}

int WriterTest::Write(const std::vector<float>& samples, double t, double rate,
                      const std::string& path) {
    const double end = t + static_cast<double>(samples.size()) / rate;
    return db.WriteSamples(samples.data(), static_cast<std::int32_t>(samples.size()), "TST", "BHZ",
                           "", path, t, end, "rec", rate, 1, 1);
}

std::vector<std::string> WriterTest::Rows() {
    std::vector<std::string> out;
    for (const Row& r : session().Query("select CPATH,TBEGIN,TQTY,FOFF from " +
                                        session().TableName("FILELIST") + " order by TBEGIN,FOFF")) {
        char text[128];
        std::snprintf(text, sizeof text, " %.4f %.2f ", std::stod(r[1].value_or("nan")),
                      std::stod(r[2].value_or("nan")));
        out.push_back(r[0].value_or("NULL") + text + r[3].value_or("NULL"));
    }
    return out;
}

std::vector<Row> WriterTest::AllRows() {
    return session().Query("select * from " + session().TableName("FILELIST") +
                           " order by NINDEX");
}

std::vector<std::string> WriterTest::Files() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dataDir_))
        if (e.is_regular_file()) out.push_back(fs::relative(e.path(), dataDir_).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string WriterTest::FileBytes(const std::string& relative) const {
    std::ifstream in(dataDir_ / relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RefusingTrigger::RefusingTrigger(OdbcSession& session, BackendKind kind, const std::string& event,
                                 const std::string& cpath)
    : session_(session), kind_(kind) {
    Drop();
    const std::string row = event == "INSERT" ? "NEW" : "OLD";
    const std::string when = cpath.empty() ? "1=1" : row + ".CPATH='" + Quote(cpath) + "'";
    const std::string table = session_.TableName("FILELIST");
    switch (kind_) {
    case BackendKind::SQLite:
        session_.Exec("CREATE TRIGGER kvt_refuse BEFORE " + event + " ON " + table + " WHEN " + when +
                      " BEGIN SELECT RAISE(ABORT, 'refused by test trigger'); END");
        break;
    case BackendKind::PostgreSQL:
        session_.Exec("CREATE FUNCTION kvt_refuse() RETURNS trigger AS $$ BEGIN IF " + when +
                      " THEN RAISE EXCEPTION 'refused by test trigger'; END IF; IF TG_OP = 'DELETE' "
                      "THEN RETURN OLD; END IF; RETURN NEW; END $$ LANGUAGE plpgsql");
        session_.Exec("CREATE TRIGGER kvt_refuse BEFORE " + event + " ON " + table +
                      " FOR EACH ROW EXECUTE FUNCTION kvt_refuse()");
        break;
    default:
        session_.Exec("CREATE TRIGGER kvt_refuse BEFORE " + event + " ON " + table +
                      " FOR EACH ROW BEGIN IF " + when +
                      " THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused by test trigger'; "
                      "END IF; END");
        break;
    }
}

RefusingTrigger::~RefusingTrigger() noexcept { Drop(); }

void RefusingTrigger::Drop() noexcept {
    try {
        if (kind_ == BackendKind::PostgreSQL) {
            session_.TryExec("DROP TRIGGER IF EXISTS kvt_refuse ON " + session_.TableName("FILELIST"));
            session_.TryExec("DROP FUNCTION IF EXISTS kvt_refuse()");
        } else {
            session_.TryExec("DROP TRIGGER IF EXISTS kvt_refuse");
        }
    } catch (...) {
    }
}

}  // namespace kvt::test
