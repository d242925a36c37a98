// The interval reader against real catalogues (SQLite, PostgreSQL, MariaDB)
// and real data files: which rows are found, which part of each file is read,
// and how unusable rows and files are left out.
#include "dblib_test_support.h"

#include "dblib/wave_database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using kvt::CWaveDatabase;
using kvt::DataSegment;
using kvt::dbtest::Backend;
using kvt::dbtest::FileRow;
using kvt::dbtest::FloatBytes;
using kvt::dbtest::InsertFileRow;
using kvt::dbtest::WriteDataFile;
namespace db = kvt::db;
namespace fs = std::filesystem;

constexpr double T0 = 1700000000;  // a plain epoch second

// Samples 0, 1, 2, ... plus an offset, so every value tells its index.
std::vector<float> Ramp(int n, float offset = 0) {
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = offset + static_cast<float>(i);
    return v;
}

class ReadInterval : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const Backend* b = kvt::dbtest::FindBackend(GetParam());
        if (b == nullptr) GTEST_SKIP() << GetParam() << " is not available";
        ASSERT_TRUE(kvt::dbtest::ConnectTo(d, *b)) << d.lastDiagnostic();
        d.SetParameter("data", dir.path().string());
        kvt::dbtest::ClearFileList(d);
    }

    // A float file of n ramp samples (starting at `offset`) with a 512-byte
    // header, catalogued as one row.
    FileRow AddFloatFile(const std::string& name, double tBegin, double sps, int n,
                         float offset = 0) {
        WriteDataFile(dir.path() / name, 512, FloatBytes(Ramp(n, offset)));
        FileRow r;
        r.tBegin = tBegin;
        r.tQty = n / sps;
        r.sps = sps;
        r.cpath = name;
        InsertFileRow(d, r);
        return r;
    }

    std::vector<DataSegment> Read(double from, double to, const std::string& lcode = "",
                                  const std::string& sta = "TST") {
        std::vector<DataSegment> out;
        result = d.ReadInterval(sta, "BHZ", lcode, from, to, out);
        return out;
    }

    kvt::dbtest::TempDir dir;
    CWaveDatabase d;
    int result = 1;
};

TEST_P(ReadInterval, TwoFilesSpanningTheIntervalGiveTwoClippedSegments) {
    AddFloatFile("a.dat", T0, 20, 2000);          // T0 .. T0+100
    AddFloatFile("b.dat", T0 + 100, 20, 2000, 10000);  // T0+100 .. T0+200
    const auto out = Read(T0 + 50, T0 + 150);
    EXPECT_EQ(db::kOk, result) << d.lastDiagnostic();
    ASSERT_EQ(2u, out.size());
    EXPECT_DOUBLE_EQ(T0 + 50, out[0].tBegin);
    EXPECT_DOUBLE_EQ(50, out[0].tQty);
    EXPECT_DOUBLE_EQ(T0 + 100, out[0].tEnd);
    EXPECT_EQ(1000, out[0].count);
    EXPECT_EQ(1000.0f, out[0].samples.front());
    EXPECT_EQ(1999.0f, out[0].samples.back());
    EXPECT_EQ("a.dat", out[0].path);
    EXPECT_DOUBLE_EQ(T0 + 100, out[1].tBegin);
    EXPECT_DOUBLE_EQ(50, out[1].tQty);
    EXPECT_EQ(1000, out[1].count);
    EXPECT_EQ(10000.0f, out[1].samples.front());
    EXPECT_EQ(10999.0f, out[1].samples.back());
    EXPECT_EQ(20.0, out[1].sps);
    EXPECT_EQ(3, out[1].dataType);
    EXPECT_EQ(512, out[1].fileOffset);
}

TEST_P(ReadInterval, DataOffsetFromTheRow) {
    struct Case {
        const char* reason;
        std::size_t header;
        std::int64_t foff;
        bool foffNull;
        std::int64_t used;
    };
    const Case cases[] = {
        {"FOFF null reads from byte 512", 512, 0, true, 512},
        {"FOFF 0 reads from byte 512", 512, 0, false, 512},
        {"FOFF 1024 for a 1024-byte header", 1024, 1024, false, 1024},
        {"FOFF inside a ring file", 2048, 2048, false, 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::dbtest::ClearFileList(d);
        WriteDataFile(dir.path() / "f.dat", c.header, FloatBytes(Ramp(200, 5)));
        FileRow r;
        r.tBegin = T0;
        r.tQty = 10;
        r.sps = 20;
        r.foff = c.foff;
        r.foffNull = c.foffNull;
        r.cpath = "f.dat";
        InsertFileRow(d, r);
        const auto out = Read(T0, T0 + 10);
        ASSERT_EQ(1u, out.size());
        EXPECT_EQ(c.used, out[0].fileOffset);
        EXPECT_EQ(5.0f, out[0].samples.front());
        EXPECT_EQ(200, out[0].count);
    }
}

TEST_P(ReadInterval, SkippedSamplesTolerateRounding) {
    AddFloatFile("f.dat", T0, 20, 2000);
    // 0.52 s in: 10.4 samples, fraction 0.4 >= 1/20, so 11 are skipped.
    auto out = Read(T0 + 0.52, T0 + 10);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(11.0f, out[0].samples.front());
    // 0.502 s in: 10.04 samples, fraction below 1/20, so 10 are skipped.
    out = Read(T0 + 0.502, T0 + 10);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(10.0f, out[0].samples.front());
}

TEST_P(ReadInterval, UnreadableFileAmongThreeLeavesTheOthersInOrder) {
    AddFloatFile("one.dat", T0, 10, 100, 100);
    AddFloatFile("two.dat", T0 + 10, 10, 100, 200);
    AddFloatFile("three.dat", T0 + 20, 10, 100, 300);
    fs::remove(dir.path() / "two.dat");
    const auto out = Read(T0, T0 + 30);
    EXPECT_EQ(db::kOk, result);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ("one.dat", out[0].path);
    EXPECT_EQ(100.0f, out[0].samples.front());
    EXPECT_EQ("three.dat", out[1].path);
    EXPECT_EQ(300.0f, out[1].samples.front());
}

TEST_P(ReadInterval, DirectoryInPlaceOfAFileIsLeftOut) {
    AddFloatFile("one.dat", T0, 10, 100);
    fs::create_directory(dir.path() / "dir.dat");
    FileRow r;
    r.tBegin = T0 + 10;
    r.tQty = 10;
    r.sps = 10;
    r.cpath = "dir.dat";
    InsertFileRow(d, r);
    const auto out = Read(T0, T0 + 20);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("one.dat", out[0].path);
}

TEST_P(ReadInterval, RateIsRoundedDownToHundredths) {
    WriteDataFile(dir.path() / "f.dat", 512, FloatBytes(Ramp(72000)));
    FileRow r;
    r.tBegin = T0;
    r.tQty = 3600;
    r.sps = 19.999;
    r.cpath = "f.dat";
    InsertFileRow(d, r);
    const auto out = Read(T0 + 100, T0 + 200);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(19.99, out[0].sps);
    EXPECT_NEAR(1999, out[0].count, 1);
    EXPECT_EQ(static_cast<std::size_t>(out[0].count), out[0].samples.size());
}

TEST_P(ReadInterval, EverySampleTypeConverts) {
    struct Case {
        const char* reason;
        int type;
        std::vector<unsigned char> raw;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"signed 8-bit", 0, {0x01, 0x7f, 0x80, 0xff}, {1, 127, -128, -1}},
        {"signed 16-bit", 1, {0x01, 0x00, 0xff, 0x7f, 0x00, 0x80, 0xfe, 0xff}, {1, 32767, -32768, -2}},
        {"signed 32-bit", 2,
         {0x01, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f, 0, 0, 0, 0x80, 0xfd, 0xff, 0xff, 0xff},
         {1, 2147483647.0f, -2147483648.0f, -3}},
        {"float", 3, FloatBytes({0.25f, -1.5f, 1e6f, -3.0e-5f}), {0.25f, -1.5f, 1e6f, -3.0e-5f}},
        {"unsigned 16-bit", 5, {0x01, 0x00, 0xff, 0xff, 0x00, 0x80, 0x34, 0x12},
         {1, 65535, 32768, 4660}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::dbtest::ClearFileList(d);
        WriteDataFile(dir.path() / "t.dat", 512, c.raw);
        FileRow r;
        r.tBegin = T0;
        r.tQty = 4;
        r.sps = 1;
        r.dataType = c.type;
        r.cpath = "t.dat";
        InsertFileRow(d, r);
        const auto out = Read(T0, T0 + 4);
        ASSERT_EQ(1u, out.size());
        EXPECT_EQ(c.type, out[0].dataType);
        EXPECT_EQ(c.expected, out[0].samples);
    }
}

TEST_P(ReadInterval, ShortFileYieldsZerosForTheMissingPart) {
    WriteDataFile(dir.path() / "short.dat", 512, FloatBytes(Ramp(50, 1)));
    FileRow r;
    r.tBegin = T0;
    r.tQty = 10;  // the row claims 100 samples, the file holds 50
    r.sps = 10;
    r.cpath = "short.dat";
    InsertFileRow(d, r);
    const auto out = Read(T0, T0 + 10);
    ASSERT_EQ(1u, out.size());
    ASSERT_EQ(100, out[0].count);
    EXPECT_EQ(50.0f, out[0].samples[49]);
    EXPECT_EQ(0.0f, out[0].samples[50]);
    EXPECT_EQ(0.0f, out[0].samples[99]);
}

TEST_P(ReadInterval, UnusableRowsAreSkipped) {
    AddFloatFile("good.dat", T0, 10, 100);
    struct Bad {
        const char* reason;
        double tBegin, tQty, sps;
        int type;
    };
    const Bad bad[] = {
        {"unknown DATATYPE 4", T0 + 1, 5, 10, 4},
        {"unknown DATATYPE 77", T0 + 2, 5, 10, 77},
        {"rate zero", T0 + 3, 5, 0, 3},
        {"negative rate", T0 + 4, 5, -10, 3},
        {"negative length", T0 + 50, -10, 10, 3},
        {"rate beyond any file", T0 + 5, 5, 1e12, 3},
        {"rate below 1/100 rounds to zero", T0 + 6, 5, 0.001, 3},
    };
    for (const Bad& b : bad) {
        WriteDataFile(dir.path() / "bad.dat", 512, FloatBytes(Ramp(100)));
        FileRow r;
        r.tBegin = b.tBegin;
        r.tQty = b.tQty;
        r.sps = b.sps;
        r.dataType = b.type;
        r.cpath = "bad.dat";
        r.withTend = false;
        InsertFileRow(d, r);
    }
    d.SetParameter("use_tend", "0");  // rows without TEND are found by TBEGIN+TQTY
    const auto out = Read(T0, T0 + 100);
    EXPECT_EQ(db::kOk, result);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("good.dat", out[0].path);
}

TEST_P(ReadInterval, PathLongerThanTheBufferIsNotCut) {
    if (GetParam() != "sqlite") GTEST_SKIP() << "the server catalogues hold 1024 characters at most";
    AddFloatFile("good.dat", T0, 10, 100);
    // The first 1023 characters name an existing file; the whole path does not.
    const std::string prefix(1023 - dir.path().string().size() - 1, 'p');
    WriteDataFile(dir.path() / prefix, 512, FloatBytes(Ramp(100)));
    FileRow r;
    r.tBegin = T0 + 10;
    r.tQty = 10;
    r.sps = 10;
    r.cpath = (dir.path() / prefix).string() + "-and-more";
    InsertFileRow(d, r);
    const auto out = Read(T0, T0 + 20);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("good.dat", out[0].path);
}

TEST_P(ReadInterval, AbsurdLengthAllocatesOnlyTheInterval) {
    WriteDataFile(dir.path() / "f.dat", 512, FloatBytes(Ramp(100)));
    FileRow r;
    r.tBegin = T0;
    r.tQty = 1e15;
    r.sps = 100;
    r.cpath = "f.dat";
    InsertFileRow(d, r);
    const auto out = Read(T0 + 10, T0 + 20);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(1000, out[0].count);
    EXPECT_EQ(1000u, out[0].samples.size());
}

TEST_P(ReadInterval, LocationCodes) {
    struct File {
        const char* name;
        const char* lcode;  // "" = NULL
    };
    for (const File& f : {File{"none.dat", ""}, File{"qq.dat", "??"}, File{"zero.dat", "00"}}) {
        WriteDataFile(dir.path() / f.name, 512, FloatBytes(Ramp(10)));
        FileRow r;
        r.tBegin = T0;
        r.tQty = 1;
        r.sps = 10;
        r.lcode = f.lcode;
        r.cpath = f.name;
        InsertFileRow(d, r);
    }
    struct Case {
        const char* lcode;
        std::vector<std::string> paths;
    };
    const Case cases[] = {{"", {"none.dat", "qq.dat"}}, {"??", {"none.dat", "qq.dat"}},
                          {"00", {"zero.dat"}}, {"01", {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lcode);
        std::vector<std::string> paths;
        for (const DataSegment& s : Read(T0, T0 + 1, c.lcode)) paths.push_back(s.path);
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(c.paths, paths);
    }
}

TEST_P(ReadInterval, QuotesInValuesNeitherBreakNorWidenTheQuery) {
    AddFloatFile("plain.dat", T0, 10, 100);
    FileRow r;
    r.sta = "O'B";
    r.tBegin = T0;
    r.tQty = 10;
    r.sps = 10;
    r.cpath = "it's.dat";
    WriteDataFile(dir.path() / "it's.dat", 512, FloatBytes(Ramp(100, 7)));
    InsertFileRow(d, r);

    auto out = Read(T0, T0 + 10, "", "X' or '1'='1");
    EXPECT_EQ(db::kOk, result) << d.lastDiagnostic();
    EXPECT_TRUE(out.empty());
    out = Read(T0, T0 + 10, "0' or '1'='1");
    EXPECT_EQ(db::kOk, result) << d.lastDiagnostic();
    EXPECT_TRUE(out.empty());
    out = Read(T0, T0 + 10, "", "O'B");
    EXPECT_EQ(db::kOk, result) << d.lastDiagnostic();
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("it's.dat", out[0].path);
    EXPECT_EQ(7.0f, out[0].samples.front());
}

TEST_P(ReadInterval, WhichRowsTheQueryFinds) {
    // Files of 100 s at 1 sample/s.
    AddFloatFile("old.dat", T0 - 86400 - 50, 1, 100);  // overlaps, but began over a day before
    AddFloatFile("before.dat", T0 - 100, 1, 100);      // ends exactly at the start: not strict
    AddFloatFile("in.dat", T0 + 10, 1, 100);
    AddFloatFile("late.dat", T0 + 86400 + 10, 1, 100);  // beyond a day after the start
    auto names = [](const std::vector<DataSegment>& v) {
        std::vector<std::string> n;
        for (const DataSegment& s : v) n.push_back(s.path);
        return n;
    };
    EXPECT_EQ(std::vector<std::string>{"in.dat"}, names(Read(T0, T0 + 200)));
    EXPECT_EQ(std::vector<std::string>{"in.dat"}, names(Read(T0, T0 + 2 * 86400)));
}

TEST_P(ReadInterval, TendDecidesWhenAsked) {
    WriteDataFile(dir.path() / "f.dat", 512, FloatBytes(Ramp(100)));
    FileRow r;
    r.tBegin = T0;
    r.tQty = 10;
    r.sps = 10;
    r.cpath = "f.dat";
    r.tendNull = true;
    InsertFileRow(d, r);
    ASSERT_TRUE(d.useTend());
    EXPECT_TRUE(Read(T0, T0 + 10).empty());  // TEND null: not found with TEND
    d.SetParameter("use_tend", "0");
    EXPECT_EQ(1u, Read(T0, T0 + 10).size());
}

TEST_P(ReadInterval, EmptyOrInvalidIntervals) {
    AddFloatFile("f.dat", T0, 10, 100);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> cases[] = {
        {T0 + 5, T0 + 5}, {T0 + 5, T0}, {nan, T0}, {T0, nan}, {T0, inf}, {-inf, T0}};
    for (const auto& [from, to] : cases) {
        SCOPED_TRACE(testing::Message() << from << " .. " << to);
        std::vector<DataSegment> out(1);
        EXPECT_EQ(db::kEmptyInterval, d.ReadInterval("TST", "BHZ", "", from, to, out));
        EXPECT_TRUE(out.empty());
    }
    EXPECT_TRUE(Read(T0 + 500, T0 + 600).empty());
    EXPECT_EQ(db::kOk, result);
}

TEST_P(ReadInterval, AbsoluteAndRelativePaths) {
    fs::create_directories(dir.path() / "TST" / "10");
    AddFloatFile("TST/10/rel.dat", T0, 10, 100, 1);
    const std::string absolute = (dir.path() / "abs.dat").string();
    WriteDataFile(absolute, 512, FloatBytes(Ramp(100, 2)));
    FileRow r;
    r.tBegin = T0 + 10;
    r.tQty = 10;
    r.sps = 10;
    r.cpath = absolute;
    InsertFileRow(d, r);
    const auto out = Read(T0, T0 + 20);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(1.0f, out[0].samples.front());
    EXPECT_EQ(2.0f, out[1].samples.front());
}

TEST_P(ReadInterval, ContiguousBuffer) {
    AddFloatFile("a.dat", T0, 10, 100, 100);
    AddFloatFile("b.dat", T0 + 15, 10, 50, 200);  // a 5 s gap before it
    d.station = "TST";
    d.channel = "BHZ";
    d.locationCode = "";
    d.timeBegin = T0 + 5;
    d.timeEnd = T0 + 20;
    std::vector<float> buffer(150, -1.0f);
    EXPECT_EQ(db::kOk, d.ReadIntervalContiguous(buffer)) << d.lastDiagnostic();
    EXPECT_EQ(150.0f, buffer[0]);   // a.dat from 5 s in
    EXPECT_EQ(199.0f, buffer[49]);
    EXPECT_EQ(-1.0f, buffer[50]);   // the gap keeps what the buffer held
    EXPECT_EQ(200.0f, buffer[100]); // b.dat from its start
    EXPECT_EQ(249.0f, buffer[149]);

    std::vector<float> small(10, -1.0f);  // samples past the end are dropped
    EXPECT_EQ(db::kOk, d.ReadIntervalContiguous(small));
    EXPECT_EQ(159.0f, small[9]);

    d.station = "NONE";
    EXPECT_EQ(db::kNoIntervalRow, d.ReadIntervalContiguous(buffer));
    d.timeEnd = d.timeBegin;
    EXPECT_EQ(db::kEmptyInterval, d.ReadIntervalContiguous(buffer));
}

// The two halves of the reader: the query plans the pieces without touching
// a file, and reading the planned pieces gives what ReadInterval gives.
TEST_P(ReadInterval, QueryThenReadSegmentsMatchesReadInterval) {
    AddFloatFile("a.dat", T0, 20, 2000);               // T0 .. T0+100
    AddFloatFile("b.dat", T0 + 100, 20, 2000, 10000);  // T0+100 .. T0+200
    AddFloatFile("gone.dat", T0 + 200, 20, 2000);      // catalogued, file removed below
    fs::remove(dir.path() / "gone.dat");

    std::vector<DataSegment> planned;
    ASSERT_EQ(db::kOk, d.QueryInterval("TST", "BHZ", "", T0 + 50, T0 + 250, planned)) << d.lastDiagnostic();
    ASSERT_EQ(3u, planned.size());
    const auto whole = Read(T0 + 50, T0 + 250);
    ASSERT_EQ(2u, whole.size());  // the missing file is left out
    for (std::size_t i = 0; i < whole.size(); ++i) {
        SCOPED_TRACE(planned[i].path);
        EXPECT_TRUE(planned[i].samples.empty());
        EXPECT_EQ(whole[i].tBegin, planned[i].tBegin);
        EXPECT_EQ(whole[i].tQty, planned[i].tQty);
        EXPECT_EQ(whole[i].count, planned[i].count);
        std::vector<float> samples(static_cast<std::size_t>(planned[i].count), -1.0f);
        EXPECT_EQ(db::kOk, d.ReadSegmentSamples(planned[i], samples.data(), samples.size()));
        EXPECT_EQ(whole[i].samples, samples);
    }
    float sample = -1;
    EXPECT_EQ(db::kFileOpenFailed, d.ReadSegmentSamples(planned[2], &sample, 1));

    // A smaller destination takes the first samples only; nothing is written past it.
    std::vector<float> head(4, -1.0f);
    EXPECT_EQ(db::kOk, d.ReadSegmentSamples(planned[1], head.data(), 3));
    EXPECT_EQ((std::vector<float>{10000, 10001, 10002, -1}), head);
    EXPECT_EQ(db::kOk, d.ReadSegmentSamples(planned[1], head.data(), 0));
}

INSTANTIATE_TEST_SUITE_P(Catalogues, ReadInterval, ::testing::ValuesIn(kvt::dbtest::kBackendNames),
                         [](const auto& info) { return info.param; });

}  // namespace
