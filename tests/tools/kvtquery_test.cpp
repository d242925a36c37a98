// kvtquery: its command line, and what it prints for a real SQLite catalogue.
#include "dblib_test_support.h"
#include "kvtquery_args.h"
#include "test_backends.h"

#include "common/time_values.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace {

using kvt::tools::ParseQueryArgs;
using kvt::tools::ParseTimeArgument;

TEST(KvtqueryArgs, Times) {
    EXPECT_EQ(1700000000.5, ParseTimeArgument("1700000000.5"));
    EXPECT_EQ(kvt::EpochFromCalendar(2024, 2, 1, 10, 0, 0), ParseTimeArgument("2024-02-01T10:00"));
    EXPECT_EQ(kvt::EpochFromCalendar(2024, 2, 1, 10, 0, 5.25),
              ParseTimeArgument("2024-02-01 10:00:05.25"));
    for (const char* bad : {"", "abc", "2024-13-01T00:00", "2024-02-01", "2024-02-01T10:00:xx",
                            "10:00", "1e400", "nan"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseTimeArgument(bad).has_value());
    }
}

TEST(KvtqueryArgs, FormatUtc) {
    const double t = kvt::EpochFromCalendar(2024, 2, 1, 10, 0, 5);
    EXPECT_EQ("2024-02-01 10:00:05.00", kvt::tools::FormatUtc(t));
    EXPECT_EQ("2024-02-01 10:00:06.00", kvt::tools::FormatUtc(t + 0.999));
    EXPECT_EQ("2024-02-01 10:00:05.25", kvt::tools::FormatUtc(t + 0.25));
    EXPECT_EQ("invalid time", kvt::tools::FormatUtc(1e300));
}

TEST(KvtqueryArgs, Interval) {
    std::string error;
    const auto q = ParseQueryArgs({"ODBC=x", "USER=u", "/use_tend", "STA", "BHZ", "-", "100",
                                   "160", "--settings", "v.ini"},
                                  error);
    ASSERT_TRUE(q) << error;
    EXPECT_EQ("STA", q->station);
    EXPECT_EQ("BHZ", q->channel);
    EXPECT_EQ("", q->locationCode);
    EXPECT_EQ(100, q->timeBegin);
    EXPECT_EQ(160, q->timeEnd);
    EXPECT_EQ("v.ini", q->settingsFile);
    EXPECT_EQ((std::vector<std::string>{"ODBC=x", "USER=u", "/use_tend"}), q->connection);
    EXPECT_FALSE(q->latest);
}

TEST(KvtqueryArgs, Latest) {
    std::string error;
    auto q = ParseQueryArgs({"--latest", "STA", "BHZ"}, error);
    ASSERT_TRUE(q) << error;
    EXPECT_TRUE(q->latest);
    q = ParseQueryArgs({"--latest", "STA", "BHZ", "00"}, error);
    ASSERT_TRUE(q) << error;
    EXPECT_EQ("00", q->locationCode);
}

TEST(KvtqueryArgs, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"STA", "BHZ", "-", "100"},
        {"STA", "BHZ", "-", "100", "90"},
        {"STA", "BHZ", "-", "100", "100"},
        {"STA", "BHZ", "-", "x", "200"},
        {"STA", "BHZ", "-", "100", "200", "extra"},
        {"--latest", "STA"},
        {"--settings"},
        {"--frobnicate", "STA", "BHZ", "-", "1", "2"},
        {"", "BHZ", "-", "1", "2"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        std::string error;
        EXPECT_FALSE(ParseQueryArgs(args, error));
        EXPECT_FALSE(error.empty());
    }
}

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};

ProgramRun RunKvtquery(const std::string& arguments) {
    const char* bin = std::getenv("KVT_BIN_DIR");
    const std::string command = std::string(bin ? bin : ".") + "/kvtquery " + arguments + " 2>&1";
    ProgramRun r;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0) r.output.append(buffer.data(), n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(KvtqueryProgram, PrintsSegmentsAndLatestTime) {
    const kvt::dbtest::Backend* b = kvt::dbtest::FindBackend("sqlite");
    ASSERT_NE(nullptr, b);
    kvt::dbtest::TempDir dir;
    kvt::CWaveDatabase d;
    ASSERT_TRUE(kvt::dbtest::ConnectTo(d, *b)) << d.lastDiagnostic();
    kvt::dbtest::ClearFileList(d);
    const double t0 = kvt::EpochFromCalendar(2024, 2, 1, 10, 0, 0);
    for (int i = 0; i < 2; ++i) {
        const std::string name = "f" + std::to_string(i) + ".dat";
        kvt::dbtest::WriteDataFile(dir.path() / name, 512,
                                 kvt::dbtest::FloatBytes(std::vector<float>(200, 1.0f)));
        kvt::dbtest::FileRow r;
        r.sta = "QRY";
        r.tBegin = t0 + 10 * i;
        r.tQty = 10;
        r.sps = 20;
        r.cpath = name;
        kvt::dbtest::InsertFileRow(d, r);
    }
    const std::string connection = "ODBC=" + b->dsn + " DATA=" + dir.path().string();
    ProgramRun r = RunKvtquery(connection + " QRY BHZ - 2024-02-01T10:00:05 2024-02-01T10:00:15");
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("2 segment(s)")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("2024-02-01 10:00:05.00 .. 2024-02-01 10:00:10.00"))
        << r.output;
    EXPECT_NE(std::string::npos, r.output.find("100 samples  f1.dat")) << r.output;

    r = RunKvtquery(connection + " --latest QRY BHZ");
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("2024-02-01 10:00:20.00")) << r.output;

    r = RunKvtquery(connection + " --latest NONE BHZ");
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("no data for NONE BHZ")) << r.output;
}

TEST(KvtqueryProgram, ErrorsAreClear) {
    kvt::test::PrepareOdbcEnvironment();  // private ODBC configuration for the child
    ProgramRun r = RunKvtquery("ODBC=no_such_source QRY BHZ - 0 10");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("cannot connect to data source \"no_such_source\""))
        << r.output;
    r = RunKvtquery("QRY BHZ");
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("usage: kvtquery")) << r.output;
    r = RunKvtquery("--settings /nonexistent/kvtview.ini QRY BHZ - 0 10");
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("does not exist")) << r.output;
    r = RunKvtquery("ODBC=" + std::string(40, 'x') + " QRY BHZ - 0 10");
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("longer than 31")) << r.output;
}

}  // namespace
