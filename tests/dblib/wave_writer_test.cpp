// The catalogue writers against real catalogues (SQLite, PostgreSQL, MariaDB)
// and real files: which file a block goes to, what the file and its row hold,
// the ring regime, and what a failed write leaves behind.
#include "writer_test_support.h"

#include "dblib/data_file.h"
#include "dblib/db_result.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sys/resource.h>

namespace {

using kvt::test::kT0;
using kvt::test::Ramp;
namespace db = kvt::db;

class WaveWriter : public kvt::test::WriterTest {};

std::string Golden(const std::string& name) {
    const char* source = std::getenv("KVT_SOURCE_DIR");
    std::ifstream in(std::string(source ? source : ".") + "/tests/dblib/golden/" + name,
                     std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The floats stored at byte `offset` of file bytes.
std::vector<float> SamplesAt(const std::string& bytes, std::size_t offset, std::size_t n) {
    std::vector<float> out(n);
    if (bytes.size() >= offset + 4 * n) std::memcpy(out.data(), bytes.data() + offset, 4 * n);
    return out;
}

TEST_P(WaveWriter, SampleCountMustMatchTheInterval) {
    struct Case {
        const char* reason;
        int count;
        double seconds;
        int result;
    };
    const Case cases[] = {
        {"200 samples fill 10 s at 20/s", 200, 10, db::kOk},
        {"one sample too many", 201, 10, db::kNoOverlap},
        {"one sample too few", 199, 10, db::kNoOverlap},
        {"an empty interval", 0, 0, db::kEmptyInterval},
        {"an interval running backwards", 0, -0.0001, db::kEmptyInterval},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::vector<float> samples = Ramp(c.count);
        EXPECT_EQ(c.result, db.WriteSamples(samples.data(), c.count, "TST", "BHZ", "", "",
                                            kT0 + 1000, kT0 + 1000 + c.seconds, "rec", 20, 1, 1));
    }
    EXPECT_EQ(1u, Rows().size());
}

TEST_P(WaveWriter, BlockIsAppendedWhileTheDataContinue) {
    struct Case {
        const char* reason;
        double gap;         // s between the first block's end and the second's start
        int fileLength;     // s
        bool appended;
    };
    const Case cases[] = {
        {"seamless continuation", 0, 3600, true},
        {"0.07 s late is within 1.5 samples at 20/s", 0.07, 3600, true},
        {"0.07 s early is within 1.5 samples", -0.07, 3600, true},
        {"0.08 s late is a new stretch", 0.08, 3600, false},
        {"a file already a whole file length long", 0, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::test::ResetCatalogue(backend(), session());
        std::filesystem::remove_all(dataDir() / "TST");
        db.setFileLength(c.fileLength);
        ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
        ASSERT_EQ(db::kOk, Write(Ramp(100, 1000), kT0 + 10 + c.gap)) << db.lastDiagnostic();
        const auto files = Files();
        const auto rows = Rows();
        if (c.appended) {
            ASSERT_EQ(1u, files.size());
            EXPECT_EQ("TST/22/14112023-221320-BHZ.TST", files[0]);
            ASSERT_EQ(1u, rows.size());
            EXPECT_EQ("TST/22/14112023-221320-BHZ.TST 1700000000.0000 15.00 512", rows[0]);
            const std::string bytes = FileBytes(files[0]);
            EXPECT_EQ(512u + 300 * 4, bytes.size());
            EXPECT_EQ(1000.25f, SamplesAt(bytes, 512 + 800, 1)[0]);
        } else {
            ASSERT_EQ(2u, files.size());
            ASSERT_EQ(2u, rows.size());
            EXPECT_EQ("TST/22/14112023-221320-BHZ.TST 1700000000.0000 10.00 512", rows[0]);
            EXPECT_EQ(kvt::DataFileRelativeName("TST", "BHZ", kvt::ToLocalTime(kT0 + 10 + c.gap)),
                      files[1]);
        }
    }
}

TEST_P(WaveWriter, AppendAfterACutFollowsTheCataloguedSamples) {
    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
    // The row now ends at +5 s while the file still holds 10 s.
    ASSERT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 20, "rec"));
    ASSERT_EQ(db::kOk, Write(Ramp(100, 5000), kT0 + 5)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST 1700000000.0000 10.00 512"}),
              Rows());
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0, kT0 + 10, out));
    ASSERT_EQ(1u, out.size());
    std::vector<float> expected = Ramp(100);
    const std::vector<float> added = Ramp(100, 5000);
    expected.insert(expected.end(), added.begin(), added.end());
    EXPECT_EQ(expected, out[0].samples);
    EXPECT_EQ(512u + 800, FileBytes("TST/22/14112023-221320-BHZ.TST").size());
}

TEST_P(WaveWriter, WrittenFilesReadBackSampleForSample) {
    db.setFileLength(10);
    std::vector<float> samples = Ramp(610);
    samples[7] = -3.5e-7f;
    samples[400] = 1.0e30f;
    ASSERT_EQ(db::kOk, Write(samples, kT0)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST",
                                        "TST/22/14112023-221330-BHZ.TST",
                                        "TST/22/14112023-221340-BHZ.TST",
                                        "TST/22/14112023-221350-BHZ.TST"}),
              Files());
    EXPECT_EQ((std::vector<std::string>{
                  "TST/22/14112023-221320-BHZ.TST 1700000000.0000 10.00 512",
                  "TST/22/14112023-221330-BHZ.TST 1700000010.0000 10.00 512",
                  "TST/22/14112023-221340-BHZ.TST 1700000020.0000 10.00 512",
                  "TST/22/14112023-221350-BHZ.TST 1700000030.0000 0.50 512"}),
              Rows());
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0, kT0 + 30.5, out));
    std::vector<float> back;
    for (const auto& seg : out) back.insert(back.end(), seg.samples.begin(), seg.samples.end());
    EXPECT_EQ(samples, back);
    // The header tells the file's start and length once its row exists.
    EXPECT_EQ(Golden("written_header512.golden"),
              FileBytes("TST/22/14112023-221320-BHZ.TST").substr(0, 512));
}

TEST_P(WaveWriter, RingWrapsToTheFirstBlockAfterTheHeader) {
    const std::string ring = "ring/TST.BHZ";
    std::filesystem::create_directories(dataDir() / "ring");
    std::ofstream(dataDir() / ring, std::ios::binary) << std::string(1024, '\0');
    db.setWriteMode(1);
    db.setMaxFileSize(1024 + 2 * 800);  // room for two blocks of 200 samples
    ASSERT_EQ(db::kOk, Write(Ramp(200, 0), kT0, 20, ring)) << db.lastDiagnostic();
    ASSERT_EQ(db::kOk, Write(Ramp(200, 1000), kT0 + 100, 20, ring)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"ring/TST.BHZ 1700000000.0000 10.00 1024",
                                        "ring/TST.BHZ 1700000100.0000 10.00 1824"}),
              Rows());
    // The third block would pass the ring's size: it overwrites the first.
    ASSERT_EQ(db::kOk, Write(Ramp(200, 2000), kT0 + 200, 20, ring)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"ring/TST.BHZ 1700000100.0000 10.00 1824",
                                        "ring/TST.BHZ 1700000200.0000 10.00 1024"}),
              Rows());
    const std::string bytes = FileBytes(ring);
    EXPECT_EQ(1024u + 1600, bytes.size());
    EXPECT_EQ(Ramp(200, 2000), SamplesAt(bytes, 1024, 200));
    EXPECT_EQ(0, bytes.compare(0, 28, "[KVT5.x]\r\nData offset=1024\r\n"));
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0 + 200, kT0 + 210, out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(Ramp(200, 2000), out[0].samples);
    // A contiguous block lengthens the newest row instead of adding one.
    ASSERT_EQ(db::kOk, Write(Ramp(200, 3000), kT0 + 210, 20, ring)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"ring/TST.BHZ 1700000200.0000 20.00 1024"}), Rows());
}

TEST_P(WaveWriter, RingPositionOfTheFirstBlockFromTheCaller) {
    const std::string ring = "ring/TST.BHZ";
    std::filesystem::create_directories(dataDir() / "ring");
    std::ofstream(dataDir() / ring, std::ios::binary) << std::string(1024, '\0');
    db.setWriteMode(1);
    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0, 20, ring)) << db.lastDiagnostic();
    const auto at = [&](double t, std::int64_t offset) {
        const std::vector<float> s = Ramp(20);
        return db.WriteSamplesAt(s.data(), 20, "TST", "BHZ", "", ring, t, t + 1, "rec", 20, 1, 1,
                                 offset);
    };
    struct Case {
        const char* reason;
        double t;
        std::int64_t offset;
        const char* row;
    };
    const Case cases[] = {
        {"a positive offset is used as it is", kT0 + 100, 1200, "ring/TST.BHZ 1700000100.0000 1.00 1200"},
        {"zero: the end of the data of the highest offset", kT0 + 200, 0,
         "ring/TST.BHZ 1700000200.0000 1.00 1280"},
        {"negative: the end of the newest block", kT0 + 300, -1,
         "ring/TST.BHZ 1700000300.0000 1.00 1360"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ASSERT_EQ(db::kOk, at(c.t, c.offset)) << db.lastDiagnostic();
        EXPECT_EQ(c.row, Rows().back());
    }
    // Rows that begin before a block stay; only those starting inside it go.
    EXPECT_EQ("ring/TST.BHZ 1700000000.0000 10.00 1024", Rows().front());
}

TEST_P(WaveWriter, CatalogueWithoutTendColumn) {
    kvt::test::DropTendColumn(session());
    ASSERT_EQ(0, db.SetParameter("use_tend", "1"));
    ASSERT_FALSE(db.useTend());
    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
    ASSERT_EQ(db::kOk, Write(Ramp(100, 200), kT0 + 10)) << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST 1700000000.0000 15.00 512"}),
              Rows());
    EXPECT_NE(std::string::npos,
              FileBytes("TST/22/14112023-221320-BHZ.TST").find("Time duration=000 00 00 15\r\n"));
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0, kT0 + 15, out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(Ramp(300), out[0].samples);
    ASSERT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 12, kT0 + 20, "rec"))
        << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST 1700000000.0000 12.00 512"}),
              Rows());
}

TEST_P(WaveWriter, RingFileMustExist) {
    db.setWriteMode(1);
    EXPECT_EQ(db::kFileWriteFailed, Write(Ramp(20), kT0, 20, "ring/missing"));
    EXPECT_TRUE(Rows().empty());
}

TEST_P(WaveWriter, NewFileNeverOverwritesACataloguedFileOfTheSameName) {
    const std::string name = "TST/22/14112023-221320-BHZ.TST";
    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
    const std::string before = FileBytes(name);
    const auto rows = Rows();
    // A new stretch starting within the same second, and another location
    // code of the channel starting then, would both get that name.
    EXPECT_EQ(db::kFileOpenFailed, Write(Ramp(20), kT0 + 0.3));
    const std::vector<float> s = Ramp(200);
    EXPECT_EQ(db::kFileOpenFailed,
              db.WriteSamples(s.data(), 200, "TST", "BHZ", "00", "", kT0, kT0 + 10, "rec", 20, 1, 1));
    EXPECT_EQ(before, FileBytes(name));
    EXPECT_EQ(rows, Rows());
    // A file of that name without a row is a leftover and is replaced.
    kvt::test::ResetCatalogue(backend(), session());
    ASSERT_EQ(db::kOk, Write(Ramp(20, 7), kT0)) << db.lastDiagnostic();
    EXPECT_EQ(512u + 80, FileBytes(name).size());
}

TEST_P(WaveWriter, RowThatCannotBeInsertedLeavesNoFile) {
    {
        kvt::test::RefusingTrigger refuse(session(), GetParam(), "INSERT");
        EXPECT_EQ(db::kInsertFailed, Write(Ramp(200), kT0));
        EXPECT_FALSE(db.lastDiagnostic().empty());
    }
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(Rows().empty());
}

TEST_P(WaveWriter, LengtheningThatFailsCutsTheFileBack) {
    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
    {
        kvt::test::RefusingTrigger refuse(session(), GetParam(), "UPDATE");
        EXPECT_EQ(db::kUpdateFailed, Write(Ramp(100), kT0 + 10));
    }
    EXPECT_EQ(512u + 800, FileBytes("TST/22/14112023-221320-BHZ.TST").size());
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST 1700000000.0000 10.00 512"}),
              Rows());
}

// A file size limit stands in for a full disk: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }

private:
    rlimit saved_{};
    void (*old_)(int) = nullptr;
};

TEST_P(WaveWriter, FullDiskGivesWriteFailureAndNoRow) {
    db.setFileLength(100000);
    // 2 MB of samples against a 1 MiB limit (the catalogue files stay below it).
    const std::vector<float> big = Ramp(500000);
    {
        FileSizeLimit limit(1 << 20);
        EXPECT_EQ(db::kFileWriteFailed, Write(big, kT0));
    }
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(Rows().empty());

    ASSERT_EQ(db::kOk, Write(Ramp(200), kT0)) << db.lastDiagnostic();
    {
        FileSizeLimit limit(1 << 20);
        EXPECT_EQ(db::kFileWriteFailed, Write(big, kT0 + 10));
    }
    EXPECT_EQ(512u + 800, FileBytes("TST/22/14112023-221320-BHZ.TST").size());
    EXPECT_EQ((std::vector<std::string>{"TST/22/14112023-221320-BHZ.TST 1700000000.0000 10.00 512"}),
              Rows());
}

KVT_INSTANTIATE_BACKEND_TESTS(WaveWriter);

}  // namespace
