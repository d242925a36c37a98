// kvtsim: its command line, a batch run against a throw-away SQLite catalogue
// that records two channels and then continues them, and the network
// simulator recording live until it is told to stop.
#include "kvtsim_args.h"

#include "dblib/wave_database.h"

#include "odbc_session.h"
#include "scratch_catalogue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using kvt::sim::ParseSimArgs;

TEST(KvtSimArgs, ValuesAndErrors) {
    struct Case {
        const char* reason;
        std::vector<std::string> args;
        const char* error;  // empty: accepted
    };
    const Case cases[] = {
        {"data directory alone takes the defaults", {"DATA=/d"}, ""},
        {"every option", {"DATA=/d", "ODBC=x", "USER=u", "PASSWORD=p", "--channel", "A:B:00",
                          "--rate", "100", "--block", "0.5", "--blocks", "3", "--creator", "me",
                          "--file-length", "60", "--quota", "1000", "--start", "1700000000",
                          "--realtime"}, ""},
        {"no data directory", {"ODBC=x"}, "DATA=DIR is required"},
        {"channel without a channel code", {"DATA=/d", "--channel", "A"},
         "bad channel \"A\" (STA:CH or STA:CH:LCODE)"},
        {"rate of zero", {"DATA=/d", "--rate", "0"}, "bad value for --rate: \"0\""},
        {"a block that is not whole samples", {"DATA=/d", "--rate", "3", "--block", "0.5"},
         "--rate times --block must be a whole number of samples"},
        {"option without its value", {"DATA=/d", "--blocks"}, "--blocks needs a value"},
        {"text for a count", {"DATA=/d", "--blocks", "many"}, "bad value for --blocks: \"many\""},
        {"unknown argument", {"DATA=/d", "-x"}, "unknown argument \"-x\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string error;
        const auto args = ParseSimArgs(c.args, error);
        EXPECT_EQ(c.error, error);
        EXPECT_EQ(error.empty(), args.has_value());
    }
    std::string error;
    const auto all = ParseSimArgs(cases[1].args, error);
    ASSERT_TRUE(all);
    ASSERT_EQ(1u, all->channels.size());
    EXPECT_EQ("00", all->channels[0].locationCode);
    EXPECT_EQ(100, all->rate);
    EXPECT_EQ(1700000000, all->start.value_or(0));
    EXPECT_TRUE(all->realtime);
    const auto defaults = ParseSimArgs({"DATA=/d"}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ("ARU", defaults->channels.at(0).station);
    EXPECT_FALSE(defaults->start);
}

int RunSim(const std::string& arguments) {
    const char* bin = std::getenv("KVT_BIN_DIR");
    const std::string command =
        std::string(bin ? bin : ".") + "/kvtsim " + arguments + " > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(KvtSim, RecordsAndContinuesChannels) {
    kvt::test::ScratchCatalogue catalogue;
    const auto& b = catalogue.backend();
    const std::string common = "ODBC=" + b.dsn + " DATA=" + b.dataDir +
                               " --channel TST:BHZ --channel TST:BHN:00 --rate 20 --block 10";
    ASSERT_EQ(0, RunSim(common + " --blocks 3 --start 1700000000"));
    kvt::test::OdbcSession session(b.dsn, "", "");
    const std::string rows = "select STA,CH,LCODE,TBEGIN,TQTY from FILELIST order by CH";
    auto found = session.Query(rows);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ("BHN", found[0][1].value_or(""));
    EXPECT_EQ("00", found[0][2].value_or(""));
    EXPECT_EQ(30.0, std::stod(found[0][4].value_or("0")));
    EXPECT_EQ(30.0, std::stod(found[1][4].value_or("0")));
    // Without a start time each channel continues its newest file.
    ASSERT_EQ(0, RunSim(common + " --blocks 2"));
    found = session.Query(rows);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(50.0, std::stod(found[0][4].value_or("0")));
    EXPECT_EQ(1700000000.0, std::stod(found[1][3].value_or("0")));
    EXPECT_EQ(2, RunSim("--blocks 2"));  // no data directory
}

// ---- The network simulator. ----

extern "C" char** environ;

double Now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Starts kvtsim with the arguments, output to `log`; returns its pid.
pid_t StartSim(const std::vector<std::string>& arguments, const std::string& log) {
    const char* bin = std::getenv("KVT_BIN_DIR");
    std::vector<std::string> args{std::string(bin ? bin : ".") + "/kvtsim"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits up to `seconds` for the process; its exit status, or -1 (then killed).
int WaitExit(pid_t pid, double seconds) {
    const double until = Now() + seconds;
    int status = 0;
    while (Now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

std::string Log(const std::string& path) {
    try { return kvt::test::ReadTextFile(path); } catch (...) { return {}; }
}

double Number(const std::optional<std::string>& text) { return text ? std::stod(*text) : 0; }

class KvtSimStops : public ::testing::TestWithParam<int> {};

// A stop signal ends the recording after the block in progress, whichever of
// the two it is.
TEST_P(KvtSimStops, RecordsLiveUntilTheSignalAndLeavesWholeRows) {
    kvt::test::ScratchCatalogue catalogue;
    const auto& b = catalogue.backend();
    const std::string log = b.dataDir + "/../kvtsim-network.log";
    const double start = Now();
    const pid_t pid = StartSim({"ODBC=" + b.dsn, "DATA=" + b.dataDir, "--backfill", "20", "--seed", "3"}, log);
    ASSERT_GT(pid, 0);
    kvt::test::OdbcSession session(b.dsn, "", "");
    // Live writes: ARU's newest data come closer to the clock than the back-fill's end.
    const std::string newest = "select max(TEND) from FILELIST where STA='ARU' and CH='BHZ'";
    bool live = false;
    for (int i = 0; i < 400 && !live; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live = session.QueryDouble(newest).value_or(0) >= start + 2;
    }
    kill(pid, GetParam());
    ASSERT_EQ(0, WaitExit(pid, 20)) << Log(log);
    ASSERT_TRUE(live) << Log(log);
    EXPECT_NE(Log(log).find("kvtsim: stopped;"), std::string::npos) << Log(log);
    const double end = Now();

    // The network and its faults, as the monitor will find them.
    EXPECT_EQ(35, session.QueryCount("select count(*) from SITECHAN"));
    EXPECT_EQ(0, session.QueryCount("select count(*) from SITECHAN where STA='YAK' and CHAN='BHZ'"));
    EXPECT_LT(0, session.QueryCount("select count(*) from FILELIST where STA='YAK' and CH='BHZ'"));
    EXPECT_EQ(0, session.QueryCount("select count(*) from FILELIST where STA='NRIL'"));
    EXPECT_EQ(20.0, session.QueryDouble("select SPS from SITECHAN where STA='ELT' and CHAN='BHZ'"));
    EXPECT_EQ(19.999, session.QueryDouble("select SPS from FILELIST where STA='ELT' and CH='BHZ'"));
    EXPECT_EQ("00", session.QueryText("select LCODE from FILELIST where STA='KIV' and CH='BHZ'"));
    const double lagging = session.QueryDouble("select max(TEND) from FILELIST where STA='BRVK'").value_or(0);
    EXPECT_NEAR(end - 15 * 60, lagging, 10);
    const double stopped = session.QueryDouble("select max(TEND) from FILELIST where STA='ZAK'").value_or(0);
    EXPECT_NEAR(start - 26 * 3600 + 60, stopped, 10);
    EXPECT_LT(0, session.QueryCount("select count(*) from EVENTLIST where STA='ARU'"));

    // Every row covers exactly the samples of its file: nothing half written.
    for (const auto& row : session.Query("select CPATH,TBEGIN,TEND,SPS,FOFF,STA from FILELIST")) {
        SCOPED_TRACE(row[0].value_or(""));
        const double samples = (Number(row[2]) - Number(row[1])) * Number(row[3]);
        const auto bytes = std::filesystem::file_size(b.dataDir + "/" + row[0].value_or(""));
        const double tolerance = row[5] == "ELT" ? 2 : 0.01;  // 19.999/s: rounded lengths
        EXPECT_NEAR(samples, (static_cast<double>(bytes) - Number(row[4])) / 4, tolerance);
    }

    // The monitor's reader gets the samples back.
    kvt::CWaveDatabase db;
    ASSERT_EQ(0, db.SetParameter("odbc", b.dsn));
    ASSERT_EQ(0, db.SetParameter("data", b.dataDir));
    ASSERT_TRUE(db.Connect()) << db.lastDiagnostic();
    const double until = session.QueryDouble(newest).value_or(0);
    std::vector<kvt::DataSegment> segments;
    ASSERT_EQ(0, db.ReadInterval("MOS", "HHZ", "??", until - 20, until - 10, segments));
    ASSERT_FALSE(segments.empty());
    int count = 0;
    float peak = 0;
    for (const auto& s : segments) {
        EXPECT_EQ(100.0, s.sps);
        count += s.count;
        for (int i = 0; i < s.count; ++i) peak = std::max(peak, std::fabs(s.samples[i]));
    }
    EXPECT_NEAR(1000, count, 2);
    EXPECT_GT(peak, 50);  // ground motion, not silence
}

INSTANTIATE_TEST_SUITE_P(Signals, KvtSimStops, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

TEST(KvtSimNetwork, CreatesTheTablesOfAnEmptyCatalogue) {
    kvt::test::ScratchCatalogue catalogue;
    const auto& b = catalogue.backend();
    {
        kvt::test::OdbcSession session(b.dsn, "", "");
        for (const auto& table : session.Tables()) session.Exec("drop table " + table);
        ASSERT_TRUE(session.Tables().empty());
    }
    const std::string log = b.dataDir + "/../kvtsim-create.log";
    const pid_t pid = StartSim({"ODBC=" + b.dsn, "DATA=" + b.dataDir, "--stations", "2",
                                "--backfill", "5", "--run", "0"}, log);
    ASSERT_EQ(0, WaitExit(pid, 60)) << Log(log);
    EXPECT_NE(Log(log).find("created the catalogue tables"), std::string::npos) << Log(log);
    kvt::test::OdbcSession session(b.dsn, "", "");
    EXPECT_EQ(6, session.QueryCount("select count(*) from SITECHAN"));
    EXPECT_EQ(6, session.QueryCount("select count(*) from FILELIST"));
    EXPECT_EQ(0, session.QueryCount("select count(*) from FILELIST where TEND is null"));
}

TEST(KvtSimNetwork, KeepsEveryChannelUnderItsQuota) {
    kvt::test::ScratchCatalogue catalogue;
    const auto& b = catalogue.backend();
    const std::string log = b.dataDir + "/../kvtsim-quota.log";
    // 10-second files of 20 samples/s hold 1312 bytes; 8 KiB keep six of the twelve.
    const long long quota = 8192;
    const pid_t pid = StartSim({"ODBC=" + b.dsn, "DATA=" + b.dataDir, "--stations", "1", "--backfill",
                                "120", "--run", "0", "--file-seconds", "10", "--quota",
                                std::to_string(quota)}, log);
    ASSERT_EQ(0, WaitExit(pid, 60)) << Log(log);
    EXPECT_EQ(Log(log).find(" 0 old files removed"), std::string::npos) << Log(log);
    kvt::test::OdbcSession session(b.dsn, "", "");
    for (const char* ch : {"BHZ", "BHN", "BHE"}) {
        SCOPED_TRACE(ch);
        const auto rows = session.Query(std::string("select CPATH,FOFF,TQTY,SPS from FILELIST where CH='") + ch + "'");
        double total = 0;
        for (const auto& row : rows) {
            total += Number(row[1]) + Number(row[2]) * Number(row[3]) * 4;
            EXPECT_TRUE(std::filesystem::exists(b.dataDir + "/" + row[0].value_or("")));
        }
        EXPECT_LE(total, quota);
        EXPECT_GE(rows.size(), 4u);  // the newest data stay
    }
    // Files of removed rows are gone: no file on disk without its row.
    std::size_t files = 0;
    for (const auto& f : std::filesystem::recursive_directory_iterator(b.dataDir)) files += f.is_regular_file();
    EXPECT_EQ(static_cast<long long>(files), session.QueryCount("select count(*) from FILELIST"));
}

TEST(KvtSimNetwork, ClearErrorsForBadStarts) {
    struct Case {
        const char* reason;
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {"unknown data source", {"ODBC=no_such_dsn", "DATA=/tmp"}, 1, "kvtsim: cannot connect to no_such_dsn"},
        {"bad station count", {"--stations", "x"}, 2, "--stations: 'x' is not a number"},
        {"unknown option", {"--bogus"}, 2, "unknown argument '--bogus'"},
        {"missing settings file", {"--settings", "/nonexistent/kvtview.ini"}, 2,
         "kvtsim: the settings file /nonexistent/kvtview.ini cannot be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string log = std::filesystem::temp_directory_path() / ("kvtsim-bad-" + std::to_string(getpid()));
        const pid_t pid = StartSim(c.args, log);
        EXPECT_EQ(c.status, WaitExit(pid, 30));
        EXPECT_NE(Log(log).find(c.message), std::string::npos) << Log(log);
        std::filesystem::remove(log);
    }
}

}  // namespace
