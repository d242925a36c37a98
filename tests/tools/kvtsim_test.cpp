// kvtsim: its command line, and a run against a throw-away SQLite catalogue
// that records two channels and then continues them.
#include "kvtsim_args.h"

#include "odbc_session.h"
#include "scratch_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
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

}  // namespace
