// CWaveDatabase: parameters, connect, disconnect, probe, server information,
// TEND check and reconnect, against real catalogues through unixODBC.
#include "dblib_test_support.h"

#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"
#include "dblib/wave_database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using kvt::CWaveDatabase;
using kvt::dbtest::Backend;
using kvt::dbtest::ConnectTo;
namespace db = kvt::db;

TEST(WaveDatabaseParameters, Defaults) {
    CWaveDatabase d;
    EXPECT_EQ("kvt", d.dsn());
    EXPECT_EQ("kvt", d.user());
    EXPECT_EQ("qmz", d.password());
    EXPECT_EQ("D:\\Data", d.dataDir());
    EXPECT_TRUE(d.useTend());
    EXPECT_EQ(20.0, d.sampleRate);
    EXPECT_EQ(3600, d.fileLength());
    EXPECT_EQ(1, d.writeMode());
    EXPECT_EQ(100, d.maxFileSize());
    EXPECT_EQ(nullptr, d.hdbc());
    EXPECT_EQ(nullptr, d.henv());
}

TEST(WaveDatabaseParameters, NamesIgnoreCase) {
    struct Case {
        const char* name;
        const char* value;
        const std::string& (CWaveDatabase::*field)() const;
    };
    const Case cases[] = {
        {"ODBC", "station_dsn", &CWaveDatabase::dsn},
        {"odbc", "other", &CWaveDatabase::dsn},
        {"User", "reader", &CWaveDatabase::user},
        {"PASSWORD", "secret", &CWaveDatabase::password},
        {"Data", "/srv/data", &CWaveDatabase::dataDir},
    };
    CWaveDatabase d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(db::kOk, d.SetParameter(c.name, c.value));
        EXPECT_EQ(c.value, (d.*c.field)());
    }
    EXPECT_EQ(db::kOk, d.SetParameter("USE_TEND", "0"));
    EXPECT_FALSE(d.useTend());
    EXPECT_EQ(db::kOk, d.SetParameter("use_tend", "1"));
    EXPECT_TRUE(d.useTend());  // unverified before Connect
}

TEST(WaveDatabaseParameters, UnknownNameChangesNothing) {
    CWaveDatabase d;
    EXPECT_EQ(db::kUnknownParameter, d.SetParameter("server", "x"));
    EXPECT_EQ(db::kUnknownParameter, d.SetParameter("", "x"));
    EXPECT_EQ(db::kUnknownParameter, d.SetParameter("odbc ", "x"));
    EXPECT_EQ("kvt", d.dsn());
    EXPECT_EQ("kvt", d.user());
    EXPECT_EQ("qmz", d.password());
    EXPECT_EQ("D:\\Data", d.dataDir());
}

TEST(WaveDatabaseParameters, LongConnectionValuesAreRefusedNotCut) {
    const std::string max(31, 'a');
    const std::string tooLong(32, 'b');
    for (const char* name : {"odbc", "user", "password"}) {
        SCOPED_TRACE(name);
        CWaveDatabase d;
        EXPECT_EQ(db::kOk, d.SetParameter(name, max));
        EXPECT_EQ(db::kValueTooLong, d.SetParameter(name, tooLong));
    }
    CWaveDatabase d;
    d.SetParameter("password", max);
    d.SetParameter("password", tooLong);
    EXPECT_EQ(max, d.password());
    // The data directory is a path, not a 32-byte field.
    EXPECT_EQ(db::kOk, d.SetParameter("data", std::string(300, 'd')));
    EXPECT_STRNE("unknown result code", db::ResultText(db::kValueTooLong));
}

// Parameterised by back-end name, so that listing the tests touches no database.
class WaveDatabaseConnect : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const Backend* b = kvt::dbtest::FindBackend(GetParam());
        if (b == nullptr) GTEST_SKIP() << GetParam() << " is not available";
        backend = *b;
    }
    Backend backend;
};

TEST_P(WaveDatabaseConnect, ConnectProbeServerInfoDisconnect) {
    CWaveDatabase d;
    ASSERT_TRUE(ConnectTo(d, backend)) << d.lastDiagnostic();
    EXPECT_NE(nullptr, d.hdbc());
    EXPECT_NE(nullptr, d.henv());
    EXPECT_TRUE(d.Probe()) << d.lastDiagnostic();
    std::string name, version;
    EXPECT_EQ(db::kOk, d.GetServerInfo(name, version));
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(version.empty());
    EXPECT_TRUE(d.useTend());  // the standard catalogue has TEND
    d.Disconnect();
    EXPECT_EQ(nullptr, d.hdbc());
    EXPECT_EQ(nullptr, d.henv());
    EXPECT_FALSE(d.Probe());
    EXPECT_EQ(db::kOdbcFailed, d.GetServerInfo(name, version));
    d.Disconnect();  // twice is harmless
}

TEST_P(WaveDatabaseConnect, RepeatedConnectReplacesHandles) {
    CWaveDatabase d;
    ASSERT_TRUE(ConnectTo(d, backend)) << d.lastDiagnostic();
    // LeakSanitizer reports the first pair of handles if Connect leaks them.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(d.Connect()) << d.lastDiagnostic();
    EXPECT_TRUE(d.Probe());
}

TEST_P(WaveDatabaseConnect, ProgramsQueryOnTheConnection) {
    CWaveDatabase d;
    ASSERT_TRUE(ConnectTo(d, backend)) << d.lastDiagnostic();
    kvt::OdbcStatement st(d.hdbc());
    ASSERT_TRUE(st.ok());
    ASSERT_TRUE(st.ExecDirect(kvt::sql::Format("select count(*) from %s",
                                               d.schema().fileList.name)))
        << st.diagnostic();
    std::int64_t count = -1, ind = 0;
    ASSERT_TRUE(st.BindInt64(1, &count, &ind));
    EXPECT_EQ(kvt::FetchResult::Row, st.Fetch());
    EXPECT_GE(count, 0);
    EXPECT_EQ(kvt::FetchResult::NoData, st.Fetch());

    kvt::OdbcStatement bad(d.hdbc());
    EXPECT_FALSE(bad.ExecDirect("select nothing from no_such_table"));
    EXPECT_FALSE(bad.diagnostic().empty());
}

TEST_P(WaveDatabaseConnect, MissingDataSourceFailsWithBothHandlesNull) {
    CWaveDatabase d;
    Backend b = backend;
    b.dsn = "no_such_dsn";
    EXPECT_FALSE(ConnectTo(d, b));
    EXPECT_EQ(nullptr, d.hdbc());
    EXPECT_EQ(nullptr, d.henv());
    EXPECT_FALSE(d.lastDiagnostic().empty());
    std::vector<kvt::DataSegment> out;
    EXPECT_EQ(db::kProbeFailed, d.ReadInterval("A", "B", "", 0, 10, out));
}

INSTANTIATE_TEST_SUITE_P(Catalogues, WaveDatabaseConnect,
                         ::testing::ValuesIn(kvt::dbtest::kBackendNames),
                         [](const auto& info) { return info.param; });

TEST(WaveDatabaseServers, WrongPasswordLeavesHandlesNull) {
    const Backend* pg = kvt::dbtest::FindBackend("postgresql");
    const Backend* maria = kvt::dbtest::FindBackend("mariadb");
    if (pg == nullptr || maria == nullptr) GTEST_SKIP() << "test database servers not running";
    for (Backend b : {*pg, *maria}) {
        SCOPED_TRACE(b.name);
        b.password = "wrong-" + b.password;
        CWaveDatabase d;
        EXPECT_FALSE(ConnectTo(d, b));
        EXPECT_EQ(nullptr, d.hdbc());
        EXPECT_EQ(nullptr, d.henv());
        EXPECT_FALSE(d.lastDiagnostic().empty());
        // A connected object that reconnects with a wrong password ends disconnected.
        CWaveDatabase e;
        Backend good = b;
        good.password = b.password.substr(6);
        ASSERT_TRUE(ConnectTo(e, good)) << e.lastDiagnostic();
        e.SetParameter("password", b.password);
        EXPECT_FALSE(e.Connect());
        EXPECT_EQ(nullptr, e.hdbc());
        EXPECT_FALSE(e.Probe());
    }
}

TEST(WaveDatabaseTend, UseTendWithoutTendColumnEndsFalse) {
    CWaveDatabase d;
    d.SetParameter("use_tend", "1");
    ASSERT_TRUE(ConnectTo(d, kvt::dbtest::NoTendCatalogue())) << d.lastDiagnostic();
    EXPECT_FALSE(d.useTend());
    EXPECT_STREQ("TEND", d.schema().fileList.TEND);
    // Asking again on the live connection checks again.
    EXPECT_EQ(db::kOk, d.SetParameter("use_tend", "1"));
    EXPECT_FALSE(d.useTend());
}

TEST(WaveDatabaseTend, UseTendOnLiveConnectionIsChecked) {
    CWaveDatabase d;
    d.SetParameter("use_tend", "0");
    ASSERT_TRUE(ConnectTo(d, *kvt::dbtest::FindBackend("sqlite"))) << d.lastDiagnostic();
    EXPECT_FALSE(d.useTend());
    EXPECT_EQ(db::kOk, d.SetParameter("use_tend", "1"));
    EXPECT_TRUE(d.useTend());
}

TEST(WaveDatabaseSchema, FailedTableListKeepsBuiltInNamesAndConnects) {
    // The SQLite driver opens the file lazily: the connect succeeds, the
    // catalogue functions fail because the file is not a database.
    CWaveDatabase d;
    ASSERT_TRUE(ConnectTo(d, kvt::dbtest::NotADatabase())) << d.lastDiagnostic();
    EXPECT_STREQ("FILELIST", d.schema().fileList.name);
    EXPECT_STREQ("TBEGIN", d.schema().fileList.TBEGIN);
    EXPECT_FALSE(d.useTend());
    EXPECT_FALSE(d.Probe());
    std::vector<kvt::DataSegment> out;
    EXPECT_EQ(db::kProbeFailed, d.ReadInterval("A", "B", "", 0, 10, out));
}

TEST(WaveDatabaseSchema, MixedCaseNamesOfTheDatabaseAreUsed) {
    const Backend* mixed = kvt::dbtest::FindBackend("mariadb_mixed");
    if (mixed == nullptr) GTEST_SKIP() << "test database servers not running";
    CWaveDatabase d;
    ASSERT_TRUE(ConnectTo(d, *mixed)) << d.lastDiagnostic();
    EXPECT_STREQ("FileList", d.schema().fileList.name);
    EXPECT_STREQ("tBegin", d.schema().fileList.TBEGIN);
    EXPECT_STREQ("tEnd", d.schema().fileList.TEND);
    EXPECT_STREQ("SiteChan", d.schema().siteChan.name);
    EXPECT_TRUE(d.useTend());
    EXPECT_TRUE(d.Probe()) << d.lastDiagnostic();
}

// Stops a server for one test and starts it again whatever the test's outcome,
// so that later tests find it running.
class ServerStop {
public:
    explicit ServerStop(const std::string& backend) : backend_(backend) {
        stopped_ = std::system(kvt::dbtest::ServerStopCommand(backend_).c_str()) == 0;
    }
    ~ServerStop() { Start(); }
    bool stopped() const { return stopped_; }
    bool Start() {
        if (!stopped_) return true;
        stopped_ = std::system(kvt::dbtest::ServerStartCommand(backend_).c_str()) != 0;
        return !stopped_;
    }

private:
    std::string backend_;
    bool stopped_ = false;
};

TEST(WaveDatabaseServers, ConnectionLossAndRecovery) {
    for (const char* name : {"postgresql", "mariadb"}) {
        SCOPED_TRACE(name);
        const Backend* b = kvt::dbtest::FindBackend(name);
        if (b == nullptr || kvt::dbtest::ServerStopCommand(name).empty())
            GTEST_SKIP() << "test database servers not running";
        CWaveDatabase d;
        ASSERT_TRUE(ConnectTo(d, *b)) << d.lastDiagnostic();
        ASSERT_TRUE(d.Probe());
        ServerStop stop(name);
        ASSERT_TRUE(stop.stopped());
        EXPECT_FALSE(d.Probe());
        std::vector<kvt::DataSegment> out;
        EXPECT_EQ(db::kProbeFailed, d.ReadInterval("TST", "BHZ", "", 1000, 2000, out));
        EXPECT_FALSE(d.Connect());
        EXPECT_EQ(nullptr, d.hdbc());
        EXPECT_EQ(nullptr, d.henv());
        ASSERT_TRUE(stop.Start());
        EXPECT_TRUE(d.Connect()) << d.lastDiagnostic();
        EXPECT_TRUE(d.Probe());
        EXPECT_EQ(db::kOk, d.ReadInterval("TST", "BHZ", "", 1000, 2000, out));
    }
}

}  // namespace
