// Pure parts of the miniSEED import and export: microsecond ticks, grouping
// of records into continuous runs, what a re-import leaves out, the choice of
// integer compression, and the two command lines.
#include "mseed_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace kvt::mseed;

TEST(MseedTicks, RoundTripKeepsMicroseconds) {
    const struct {
        const char* reason;
        Ticks ticks;
    } cases[] = {
        {"epoch itself", 0},
        {"a recent time with microseconds", 1700000000123456},
        {"before 1970 (negative ticks)", -1500001},
        {"last microsecond of a second", 1262304000999999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.ticks, TicksFromEpoch(EpochFromTicks(c.ticks)));
    }
    EXPECT_DOUBLE_EQ(-1.500001, EpochFromTicks(-1500001));
    EXPECT_EQ(1700000000500000, TicksFromEpoch(1700000000.4999996));
}

RecordPiece Rec(const char* sta, double start, double rate, int n, float first = 0) {
    RecordPiece r;
    r.id = {"XX", sta, "", "BHZ"};
    r.start = start;
    r.rate = rate;
    for (int i = 0; i < n; ++i) r.samples.push_back(first + static_cast<float>(i));
    return r;
}

TEST(MseedGrouping, RunsGapsAndOverlaps) {
    struct Case {
        const char* reason;
        std::vector<RecordPiece> records;
        std::vector<std::size_t> runSizes;
        int gaps, overlaps;
    };
    const Case cases[] = {
        {"records that follow on form one run", {Rec("A", 100, 10, 10), Rec("A", 101, 10, 10)}, {20}, 0, 0},
        {"within half a sample still continues", {Rec("A", 100, 10, 10), Rec("A", 101.04, 10, 10)}, {20}, 0, 0},
        {"a missing stretch starts a new run", {Rec("A", 100, 10, 10), Rec("A", 102, 10, 10)}, {10, 10}, 1, 0},
        {"the order in the file does not matter", {Rec("A", 101, 10, 10), Rec("A", 100, 10, 10)}, {20}, 0, 0},
        {"a repeated record adds nothing", {Rec("A", 100, 10, 10), Rec("A", 100, 10, 10)}, {10}, 0, 1},
        {"a partly repeated record adds its new samples", {Rec("A", 100, 10, 10), Rec("A", 100.5, 10, 10)}, {15}, 0, 1},
        {"a change of rate starts a new run", {Rec("A", 100, 10, 10), Rec("A", 101, 20, 10)}, {10, 10}, 0, 0},
        {"streams are kept apart", {Rec("B", 100, 10, 10), Rec("A", 101, 10, 10)}, {10, 10}, 0, 0},
        {"records without samples or rate are left out", {Rec("A", 100, 10, 0), Rec("A", 100, 0, 5)}, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const Grouping g = GroupIntoRuns(c.records);
        std::vector<std::size_t> sizes;
        for (const kvt::mseed::Run& r : g.runs) sizes.push_back(r.samples.size());
        EXPECT_EQ(c.runSizes, sizes);
        EXPECT_EQ(c.gaps, g.gaps);
        EXPECT_EQ(c.overlaps, g.overlaps);
    }
    // Samples are joined in time order, and a partial overlap keeps the first copy.
    const Grouping g = GroupIntoRuns({Rec("A", 100.5, 10, 10, 105), Rec("A", 100, 10, 10, 100)});
    ASSERT_EQ(1u, g.runs.size());
    ASSERT_EQ(15u, g.runs[0].samples.size());
    for (std::size_t i = 0; i < 15; ++i) EXPECT_EQ(100.0f + static_cast<float>(i), g.runs[0].samples[i]);
    EXPECT_EQ(100.0, g.runs[0].start);
    EXPECT_EQ(101.5, g.runs[0].End());
}

TEST(MseedOverlap, UncoveredRanges) {
    struct Case {
        const char* reason;
        std::vector<Span> stored;
        std::vector<std::pair<std::size_t, std::size_t>> expected;  // first, count
    };
    // A run of 100 samples at 10/s from t = 1000.
    const Case cases[] = {
        {"nothing stored: the whole run", {}, {{0, 100}}},
        {"all stored: nothing", {{1000, 1010}}, {}},
        {"stored within rounding of the catalogue's 0.1 ms times", {{1000.0001, 1009.9999}}, {}},
        {"the first half stored", {{990, 1005}}, {{50, 50}}},
        {"the last part stored", {{1008, 1020}}, {{0, 80}}},
        {"a hole in the middle is filled", {{1000, 1003}, {1006, 1010}}, {{30, 30}}},
        {"spans elsewhere do not matter", {{500, 600}, {1010, 1020}}, {{0, 100}}},
        {"overlapping stored spans, in any order", {{1004, 1007}, {1002, 1005}}, {{0, 20}, {70, 30}}},
        {"a span of less than half a sample covers nothing", {{1000, 1000.04}}, {{0, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<std::pair<std::size_t, std::size_t>> got;
        for (const SampleRange& r : UncoveredRanges(1000, 10, 100, c.stored)) got.push_back({r.first, r.count});
        EXPECT_EQ(c.expected, got);
    }
}

TEST(MseedEncoding, IntegerCompressionOnlyWhenLossless) {
    EXPECT_TRUE(AllIntegral({0.0f, -5.0f, 16777216.0f}));
    EXPECT_TRUE(AllIntegral({}));
    EXPECT_FALSE(AllIntegral({1.0f, 1.5f}));
    EXPECT_FALSE(AllIntegral({536870912.0f}));  // differences would not fit Steim-2
    EXPECT_FALSE(AllIntegral({NAN}));
}

TEST(MseedArgs, Import) {
    struct Case {
        const char* reason;
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {"files with connection values", {"ODBC=x", "DATA=/d", "a.mseed", "b.mseed"}, ""},
        {"every option", {"--creator", "me", "--quota", "1000", "--file-length", "600", "--settings", "k.ini", "a"}, ""},
        {"no file", {"ODBC=x"}, "no miniSEED file given"},
        {"quota of zero would remove every file", {"--quota", "0", "a"}, "bad value for --quota: \"0\""},
        {"file length over a day", {"--file-length", "90000", "a"}, "bad value for --file-length: \"90000\""},
        {"option without value", {"a", "--creator"}, "--creator needs a value"},
        {"unknown option", {"-x", "a"}, "unknown option -x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string error;
        const auto a = ParseImportArgs(c.args, error);
        EXPECT_EQ(c.error, error);
        EXPECT_EQ(error.empty(), a.has_value());
    }
    std::string error;
    const auto a = ParseImportArgs(cases[0].args, error);
    ASSERT_TRUE(a);
    EXPECT_EQ((std::vector<std::string>{"ODBC=x", "DATA=/d"}), a->connection);
    EXPECT_EQ((std::vector<std::string>{"a.mseed", "b.mseed"}), a->files);
    EXPECT_EQ("kvtimport", a->creator);
    EXPECT_GT(a->quota, std::int64_t{1} << 40);  // the writer's own default (100 bytes) would delete data
}

TEST(MseedArgs, Export) {
    struct Case {
        const char* reason;
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {"epoch seconds", {"ODBC=x", "ABC", "BHZ", "-", "1700000000", "1700000060", "o.mseed"}, ""},
        {"UTC calendar times", {"ABC", "BHZ", "00", "2023-11-14 22:13:20", "2023-11-14T22:14", "o"}, ""},
        {"too few arguments", {"ABC", "BHZ", "00", "1", "2"}, "expected STATION CHANNEL LCODE FROM TO OUT.mseed"},
        {"unreadable time", {"ABC", "BHZ", "00", "yesterday", "2", "o"},
         "cannot read the time \"yesterday\" (epoch seconds or YYYY-MM-DD hh:mm[:ss[.fff]] UTC)"},
        {"end before start", {"ABC", "BHZ", "00", "20", "10", "o"}, "the interval is empty: TO must come after FROM"},
        {"station too long for a record header", {"ABCDEF", "BHZ", "00", "1", "2", "o"},
         "codes too long for miniSEED: station 1-5, channel 1-3, location 0-2, network 0-2 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string error;
        const auto a = ParseExportArgs(c.args, error);
        EXPECT_EQ(c.error, error);
        EXPECT_EQ(error.empty(), a.has_value());
    }
    std::string error;
    const auto a = ParseExportArgs(cases[1].args, error);
    ASSERT_TRUE(a);
    EXPECT_EQ(1700000000.0, a->timeBegin);
    EXPECT_EQ(1700000040.0, a->timeEnd);
    EXPECT_EQ("00", a->locationCode);
    const auto none = ParseExportArgs(cases[0].args, error);
    ASSERT_TRUE(none);
    EXPECT_EQ("", none->locationCode);
    EXPECT_EQ("XX", none->network);
}

}  // namespace
