// The data file format: header text, file names, paths, sample types and the
// plan of reading one file for an interval.
#include "dblib/data_file.h"
#include "dblib/db_result.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

namespace db = kvt::db;
using kvt::LocalTime;

std::string Golden(const char* name) {
    const char* source = std::getenv("KVT_SOURCE_DIR");
    std::ifstream in(std::string(source ? source : ".") + "/tests/dblib/golden/" + name,
                     std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(DataFileHeader, MatchesGoldenFiles) {
    const LocalTime start{2024, 2, 1, 10, 0, 0};
    const std::string h512 = kvt::HeaderBlock(512, start, 90061.0, 100.0, "ABC", "BHZ");
    EXPECT_EQ(512u, h512.size());
    EXPECT_EQ(Golden("header512.golden"), h512);

    const LocalTime late{1999, 12, 31, 23, 59, 59};
    // 150.7 s: seconds are truncated; 19.999 samples/s prints with two decimals.
    const std::string h1024 = kvt::HeaderBlock(1024, late, 150.7, 19.99, "KVT01", "SHE");
    EXPECT_EQ(1024u, h1024.size());
    EXPECT_EQ(Golden("header1024.golden"), h1024);
}

TEST(DataFileHeader, DurationSplit) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, "Time duration=000 00 00 00\r\n"},
        {59.99, "Time duration=000 00 00 59\r\n"},
        {3600, "Time duration=000 01 00 00\r\n"},
        {86399, "Time duration=000 23 59 59\r\n"},
        {86400 * 3 + 7322, "Time duration=003 02 02 02\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const std::string h = kvt::HeaderText(512, LocalTime{}, c.seconds, 20, "S", "C");
        EXPECT_NE(std::string::npos, h.find(c.text)) << h;
    }
}

TEST(DataFileHeader, LongHeaderIsCutAtTheDataOffset) {
    const std::string station(600, 'S');
    EXPECT_EQ(512u, kvt::HeaderBlock(512, LocalTime{}, 1, 1, station, "C").size());
}

TEST(DataFileName, NamingRule) {
    const LocalTime t{2024, 2, 1, 9, 5, 7};
    EXPECT_EQ("ABC/09/01022024-090507-BHZ.ABC", kvt::DataFileRelativeName("ABC", "BHZ", t));
    // Codes shorter than 3 are right-aligned with blanks, longer ones are never cut.
    EXPECT_EQ("AB/09/01022024-090507-  Z. AB", kvt::DataFileRelativeName("AB", "Z", t));
    EXPECT_EQ("KVT01/09/01022024-090507-HHZ1.KVT01",
              kvt::DataFileRelativeName("KVT01", "HHZ1", t));
}

TEST(DataFilePath, Resolution) {
    struct Case {
        const char* reason;
        const char* dataDir;
        const char* cpath;
        const char* expected;
    };
    const Case cases[] = {
        {"relative path below the data directory", "/srv/data", "ABC/10/f.ABC",
         "/srv/data/ABC/10/f.ABC"},
        {"data directory ending with a separator", "/srv/data/", "ABC/f", "/srv/data/ABC/f"},
        {"Windows separators in the catalogue", "/srv/data", "ABC\\10\\f", "/srv/data/ABC/10/f"},
        {"absolute path stays", "/srv/data", "/other/f", "/other/f"},
        {"drive-letter path stays", "/srv/data", "D:\\Data\\f", "D:/Data/f"},
        {"path already under a relative data directory", "data", "DATA/ABC/f", "DATA/ABC/f"},
        {"empty data directory", "", "ABC/f", "ABC/f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected, kvt::ResolveDataPath(c.dataDir, c.cpath));
    }
}

TEST(DataFilePath, CataloguePath) {
    EXPECT_EQ("ABC/10/f", kvt::CataloguePath("/srv/data", "/srv/data/ABC/10/f"));
    EXPECT_EQ("ABC/10/f", kvt::CataloguePath("/srv/data/", "/srv/data/ABC/10/f"));
    EXPECT_EQ("/srv/database/f", kvt::CataloguePath("/srv/data", "/srv/database/f"));
    EXPECT_EQ("/other/f", kvt::CataloguePath("/srv/data", "/other/f"));
}

TEST(DataFileSamples, SizesAndConversion) {
    EXPECT_EQ(1, kvt::SampleSize(0));
    EXPECT_EQ(2, kvt::SampleSize(1));
    EXPECT_EQ(4, kvt::SampleSize(2));
    EXPECT_EQ(4, kvt::SampleSize(3));
    EXPECT_EQ(0, kvt::SampleSize(4));
    EXPECT_EQ(2, kvt::SampleSize(5));
    EXPECT_EQ(0, kvt::SampleSize(-1));
    EXPECT_EQ(0, kvt::SampleSize(6));

    struct Case {
        const char* reason;
        int type;
        std::vector<unsigned char> raw;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"signed 8-bit", 0, {0x00, 0x7f, 0x80, 0xff}, {0, 127, -128, -1}},
        {"signed 16-bit little-endian", 1, {0x34, 0x12, 0x00, 0x80, 0xff, 0xff}, {4660, -32768, -1}},
        {"signed 32-bit little-endian", 2, {0x78, 0x56, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff},
         {305419896.0f, -1}},
        {"float little-endian", 3, {0x00, 0x00, 0xc0, 0x3f, 0x00, 0x00, 0x20, 0xc1}, {1.5f, -10.0f}},
        {"unsigned 16-bit little-endian", 5, {0xff, 0xff, 0x00, 0x80}, {65535, 32768}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<float> out(c.expected.size(), 99.0f);
        ASSERT_TRUE(kvt::ConvertSamples(c.type, c.raw.data(), out.size(), out.data()));
        EXPECT_EQ(c.expected, out);
    }
    float untouched = 7;
    const unsigned char raw[4] = {1, 2, 3, 4};
    EXPECT_FALSE(kvt::ConvertSamples(4, raw, 1, &untouched));
    EXPECT_EQ(7, untouched);
}

TEST(DataFileSamples, TolerantCeil) {
    // At 20 samples/s a fraction from 1/20 up counts as a further sample.
    EXPECT_EQ(11, kvt::TolerantCeil(10.4, 20));
    EXPECT_EQ(10, kvt::TolerantCeil(10.04, 20));
    EXPECT_EQ(10, kvt::TolerantCeil(10.0, 20));
    EXPECT_EQ(11, kvt::TolerantCeil(10.05, 20));
    EXPECT_EQ(0, kvt::TolerantCeil(0.009, 100));
}

struct PlanCase {
    const char* reason;
    double tBegin, tQty, sps;
    int type;
    std::int64_t offset;
    double from, to;
    int result;
    double clipStart = 0, length = 0;
    std::int64_t count = 0, skip = 0, position = 0;
};

TEST(DataFilePlan, PiecesOfOneFile) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const PlanCase cases[] = {
        {"interval inside the file", 1000, 100, 20, 3, 512, 1010, 1020, 0, 1010, 10, 200, 200,
         512 + 800},
        {"interval starts before the file", 1000, 100, 20, 1, 512, 990, 1010, 0, 1000, 10, 200, 0,
         512},
        {"interval ends after the file", 1000, 100, 20, 0, 1024, 1090, 1200, 0, 1090, 10, 200, 1800,
         1024 + 1800},
        {"10.4 samples in: 11 skipped", 1000, 100, 20, 3, 512, 1000.52, 1001.52, 0, 1000.52, 1, 20,
         11, 512 + 44},
        {"10.04 samples in: 10 skipped", 1000, 100, 20, 3, 512, 1000.502, 1001.502, 0, 1000.502, 1,
         20, 10, 512 + 40},
        {"file ends before the interval", 1000, 100, 20, 3, 512, 1100.5, 1200, db::kNoOverlap},
        {"file starts after the interval", 1000, 100, 20, 3, 512, 900, 999, db::kNoOverlap},
        {"unknown sample type", 1000, 100, 20, 4, 512, 1000, 1010, db::kBadRow},
        {"rate zero", 1000, 100, 0, 3, 512, 1000, 1010, db::kBadRow},
        {"negative rate", 1000, 100, -20, 3, 512, 1000, 1010, db::kBadRow},
        {"negative length", 1000, -100, 20, 3, 512, 900, 1010, db::kBadRow},
        {"start time not a number", nan, 100, 20, 3, 512, 1000, 1010, db::kBadRow},
        {"length not a number", 1000, nan, 20, 3, 512, 1000, 1010, db::kBadRow},
        {"infinite length", 1000, inf, 20, 3, 512, 1000, 1010, db::kBadRow},
        {"rate not a number", 1000, 100, nan, 3, 512, 1000, 1010, db::kBadRow},
        {"negative offset", 1000, 100, 20, 3, -4, 1000, 1010, db::kBadRow},
        {"absurd rate gives more samples than a segment holds", 1000, 1e9, 1e6, 3, 512, 1000,
         1e6, db::kBadRow},
        {"absurd length is clipped to the interval", 1000, 1e15, 100, 3, 512, 2000, 2010, 0, 2000,
         10, 1000, 100000, 512 + 400000},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::PiecePlan plan;
        ASSERT_EQ(c.result, kvt::PlanPiece(c.tBegin, c.tQty, c.sps, c.type, c.offset, c.from, c.to, plan));
        if (c.result != 0) continue;
        EXPECT_DOUBLE_EQ(c.clipStart, plan.clipStart);
        EXPECT_DOUBLE_EQ(c.length, plan.length);
        EXPECT_EQ(c.count, plan.count);
        EXPECT_EQ(c.skip, plan.skip);
        EXPECT_EQ(c.position, plan.position);
    }
}

}  // namespace
