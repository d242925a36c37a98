// kvtsim against every catalogue back end: the network is described, recorded
// live for a moment, and the monitor's reader gets the samples back.
#include "dblib/wave_database.h"

#include "backend_test.h"
#include "odbc_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

class KvtSimServers : public kvt::test::BackendTest {
protected:
    // Runs kvtsim on this back end with the extra arguments; its exit status.
    int RunSim(const std::string& extra) {
        const char* bin = std::getenv("KVT_BIN_DIR");
        log_ = backend().dataDir + "/../kvtsim-" + kvt::test::BackendKindName(GetParam()) + ".log";
        const std::string command = "timeout 120 " + std::string(bin ? bin : ".") + "/kvtsim ODBC=" +
                                    backend().dsn + " 'USER=" + backend().user + "' 'PASSWORD=" +
                                    backend().password + "' DATA=" + backend().dataDir + " " + extra +
                                    " > " + log_ + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Log() const {
        try { return kvt::test::ReadTextFile(log_); } catch (...) { return {}; }
    }
    std::string log_;
};

TEST_P(KvtSimServers, RecordsANetworkThatTheReaderReadsBack) {
    const double start =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    ASSERT_EQ(0, RunSim("--stations 4 --backfill 30 --run 2 --quiet")) << Log();
    auto& s = session();
    EXPECT_EQ(12, s.QueryCount("select count(*) from SITECHAN"));
    EXPECT_EQ(12, s.QueryCount("select count(*) from FILELIST"));  // one file per channel so far
    EXPECT_EQ("00", s.QueryText("select LCODE from SITECHAN where STA='KIV' and CHAN='BHZ'"));
    EXPECT_LT(0, s.QueryCount("select count(*) from EVENTLIST"));
    const double newest = s.QueryDouble("select max(TEND) from FILELIST where STA='TLY'").value_or(0);
    EXPECT_GT(newest, start + 1);  // written live, after the back-fill

    kvt::CWaveDatabase db;
    ASSERT_EQ(0, db.SetParameter("odbc", backend().dsn));
    ASSERT_EQ(0, db.SetParameter("user", backend().user));
    ASSERT_EQ(0, db.SetParameter("password", backend().password));
    ASSERT_EQ(0, db.SetParameter("data", backend().dataDir));
    ASSERT_TRUE(db.Connect()) << db.lastDiagnostic();
    std::vector<kvt::DataSegment> segments;
    ASSERT_EQ(0, db.ReadInterval("TLY", "SHE", "", newest - 25, newest - 5, segments));
    ASSERT_EQ(1u, segments.size());
    EXPECT_EQ(40.0, segments[0].sps);
    EXPECT_NEAR(800, segments[0].count, 1);

    // A second run continues the files instead of starting new ones.
    ASSERT_EQ(0, RunSim("--stations 4 --backfill 30 --run 0 --quiet")) << Log();
    EXPECT_EQ(12, s.QueryCount("select count(*) from FILELIST"));
    EXPECT_EQ(12, s.QueryCount("select count(*) from SITECHAN"));  // described again, not twice
}

KVT_INSTANTIATE_BACKEND_TESTS(KvtSimServers);

}  // namespace
