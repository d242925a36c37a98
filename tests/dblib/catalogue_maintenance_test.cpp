// Catalogue maintenance against real catalogues (SQLite, PostgreSQL, MariaDB):
// the storage quota, cutting an interval in both file regimes, the cut's
// all-or-nothing rollback, and the schema utilities.
#include "writer_test_support.h"

#include "dblib/db_result.h"

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <cctype>
#include <fstream>

namespace {

using kvt::test::kT0;
using kvt::test::Ramp;
namespace db = kvt::db;

const std::string kFileA = "TST/22/14112023-221320-BHZ.TST";  // kT0 .. +10
const std::string kFileB = "TST/22/14112023-221330-BHZ.TST";  // +10 .. +20
const std::string kFileC = "TST/22/14112023-221340-BHZ.TST";  // +20 .. +30

class CatalogueMaintenance : public kvt::test::WriterTest {
protected:
    // Three files of 10 s at 20/s, one row each (total 3 x (512 + 800) bytes).
    void WriteThreeFiles() {
        db.setFileLength(10);
        ASSERT_EQ(db::kOk, Write(Ramp(600), kT0)) << db.lastDiagnostic();
        ASSERT_EQ((std::vector<std::string>{kFileA, kFileB, kFileC}), Files());
    }

    // Everything the removal log holds, newest first, with the count that
    // remained after each read.
    std::vector<std::pair<std::string, int>> TakeLog() {
        std::vector<std::pair<std::string, int>> out;
        kvt::RemovalRecord r;
        for (int left; (left = db.TakeRemovalRecord(r)) >= 0;) {
            EXPECT_TRUE(r.removed) << r.path;
            EXPECT_NEAR(static_cast<double>(std::time(nullptr)), r.time, 60);
            out.emplace_back(std::filesystem::path(r.path).lexically_relative(dataDir()).generic_string(),
                             left);
        }
        return out;
    }

    bool AutocommitOn() {
        SQLULEN value = 0;
        SQLGetConnectAttr(db.hdbc(), SQL_ATTR_AUTOCOMMIT, &value, 0, nullptr);
        return value == SQL_AUTOCOMMIT_ON;
    }
};

bool PlentyOfDisk(const std::string&, std::uint64_t& freeBytes) {
    freeBytes = 20u << 20;
    return true;
}

bool LowDisk(const std::string&, std::uint64_t& freeBytes) {
    freeBytes = 5u << 20;
    return true;
}

TEST_P(CatalogueMaintenance, MakeRoomRemovesOldestFilesUntilTheQuotaHolds) {
    struct Case {
        const char* reason;
        std::int64_t quota;  // bytes
        bool lowDisk;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"under quota, 20 MiB free: nothing goes", 1 << 20, false, {kFileA, kFileB, kFileC}},
        {"quota 3000 bytes: two files go to make room for 800 more", 3000, false, {kFileC}},
        {"quota 4000 bytes: one file goes", 4000, false, {kFileB, kFileC}},
        {"5 MiB free: every file goes", 1 << 20, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::test::ResetCatalogue(backend(), session());
        std::filesystem::remove_all(dataDir() / "TST");
        WriteThreeFiles();
        db.setMaxFileSize(c.quota);
        if (c.lowDisk) db.setFreeSpaceFunction(&LowDisk);
        db.station = "TST";
        db.channel = "BHZ";
        db.locationCode = "";
        db.creator = "rec";
        db.sampleRate = 20;
        EXPECT_EQ(db::kOk, db.MakeRoom(10));
        EXPECT_EQ(c.left, Files());
        EXPECT_EQ(c.left.size(), Rows().size());
        // Oldest first, so the log (read newest first) lists them backwards.
        const std::vector<std::string> all{kFileA, kFileB, kFileC};
        const std::size_t removed = all.size() - c.left.size();
        std::vector<std::pair<std::string, int>> expected;
        for (std::size_t i = removed; i-- > 0;) expected.emplace_back(all[i], static_cast<int>(i));
        EXPECT_EQ(expected, TakeLog());
        db.setMaxFileSize(std::int64_t{1} << 40);
        db.setFreeSpaceFunction(&PlentyOfDisk);
    }
}

TEST_P(CatalogueMaintenance, FileThatCannotBeRemovedIsLoggedAndReported) {
    WriteThreeFiles();
    // A directory with something in it where file B was: unlink fails even for root.
    std::filesystem::remove(dataDir() / kFileB);
    std::filesystem::create_directories(dataDir() / kFileB / "x");
    EXPECT_EQ(1, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 25, "rec"));
    kvt::RemovalRecord r;
    EXPECT_EQ(0, db.TakeRemovalRecord(r));
    EXPECT_EQ((dataDir() / kFileB).string(), r.path);
    EXPECT_FALSE(r.removed);
    EXPECT_EQ(-1, db.TakeRemovalRecord(r));
    // Its row is gone all the same: the cut took effect.
    EXPECT_EQ(2u, Rows().size());

    db.station = "TST";
    db.channel = "BHZ";
    db.locationCode = "";
    db.creator = "rec";
    db.sampleRate = 20;
    std::filesystem::remove_all(dataDir() / kFileA);
    std::filesystem::create_directories(dataDir() / kFileA / "x");
    db.setMaxFileSize(100);
    EXPECT_EQ(1, db.MakeRoom(0));
    EXPECT_EQ(1, db.TakeRemovalRecord(r));
    EXPECT_TRUE(r.removed);  // C, the newer one, went
    EXPECT_EQ(0, db.TakeRemovalRecord(r));
    EXPECT_FALSE(r.removed);  // A stayed on disk
    EXPECT_TRUE(Rows().empty());
}

TEST_P(CatalogueMaintenance, CutRemovesFilesInsideAndShortensTheOneBefore) {
    WriteThreeFiles();
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 25, "rec"))
        << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{kFileA + " 1700000000.0000 5.00 512",
                                        kFileC + " 1700000020.0000 10.00 512"}),
              Rows());
    EXPECT_EQ((std::vector<std::string>{kFileA, kFileC}), Files());
    EXPECT_EQ((std::vector<std::pair<std::string, int>>{{kFileB, 0}}), TakeLog());
    EXPECT_TRUE(AutocommitOn());
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0, kT0 + 30, out));
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(100, out[0].count);
}

TEST_P(CatalogueMaintenance, CutOfAnotherCreatorOrChannelTouchesNothing) {
    WriteThreeFiles();
    const auto before = AllRows();
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 25, "someone else"));
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHN", "", kT0 + 5, kT0 + 25, "rec"));
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "00", kT0 + 5, kT0 + 25, "rec"));
    EXPECT_EQ(before, AllRows());
    EXPECT_EQ(3u, Files().size());
    EXPECT_EQ(db::kEmptyInterval, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 5, "rec"));
}

TEST_P(CatalogueMaintenance, RingCutSplitsMovesAndShortensBlocks) {
    const std::string ring = "ring/TST.BHZ";
    std::filesystem::create_directories(dataDir() / "ring");
    std::ofstream(dataDir() / ring, std::ios::binary) << std::string(1024, '\0');
    db.setWriteMode(1);
    // Two separate blocks of 20 s: one at 1024, one at 1024 + 1600.
    ASSERT_EQ(db::kOk, Write(Ramp(400, 0), kT0, 20, ring)) << db.lastDiagnostic();
    ASSERT_EQ(db::kOk, Write(Ramp(400, 1000), kT0 + 100, 20, ring)) << db.lastDiagnostic();
    // Inside the first block: split; over the start of the second: moved.
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 10, "rec"))
        << db.lastDiagnostic();
    EXPECT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 90, kT0 + 102.5, "rec"))
        << db.lastDiagnostic();
    EXPECT_EQ((std::vector<std::string>{"ring/TST.BHZ 1700000000.0000 5.00 1024",
                                        "ring/TST.BHZ 1700000010.0000 10.00 1824",
                                        "ring/TST.BHZ 1700000102.5000 17.50 2824"}),
              Rows());
    EXPECT_EQ(1u, Files().size());  // ring files stay
    std::vector<kvt::DataSegment> out;
    ASSERT_EQ(db::kOk, db.ReadInterval("TST", "BHZ", "", kT0, kT0 + 200, out));
    ASSERT_EQ(3u, out.size());
    EXPECT_EQ(Ramp(100, 0), out[0].samples);
    EXPECT_EQ(Ramp(200, 200), out[1].samples);
    EXPECT_EQ(Ramp(350, 1050), out[2].samples);
}

TEST_P(CatalogueMaintenance, FailedCutLeavesTheCatalogueAndFilesAsTheyWere) {
    struct Case {
        const char* reason;
        int writeMode;
        const char* event;     // refused statement
        std::string refusedPath;
        int result;
    };
    const Case cases[] = {
        {"one file per row: the shortening after two deletes is refused", 0, "UPDATE", kFileA,
         db::kUpdateFailed},
        {"one file per row: the second delete is refused", 0, "DELETE", kFileC, db::kDeleteFailed},
        {"ring: the update after the delete inside is refused", 1, "UPDATE", "ring/TST.BHZ",
         db::kUpdateFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::test::ResetCatalogue(backend(), session());
        std::filesystem::remove_all(dataDir() / "TST");
        db.setWriteMode(c.writeMode);
        if (c.writeMode == 0) {
            db.setFileLength(10);
            ASSERT_EQ(db::kOk, Write(Ramp(600), kT0)) << db.lastDiagnostic();
            ASSERT_EQ(db::kOk, Write(Ramp(200), kT0 + 40)) << db.lastDiagnostic();
        } else {
            std::filesystem::create_directories(dataDir() / "ring");
            std::ofstream(dataDir() / c.refusedPath, std::ios::binary) << std::string(1024, '\0');
            for (int i = 0; i < 4; ++i)
                ASSERT_EQ(db::kOk, Write(Ramp(200), kT0 + 20 * i, 20, c.refusedPath))
                    << db.lastDiagnostic();
        }
        const auto rows = AllRows();
        const auto files = Files();
        ASSERT_GE(rows.size(), 4u);
        {
            kvt::test::RefusingTrigger refuse(session(), GetParam(), c.event, c.refusedPath);
            EXPECT_EQ(c.result, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 45, "rec"));
        }
        EXPECT_TRUE(AutocommitOn());
        EXPECT_EQ(rows, AllRows());
        EXPECT_EQ(files, Files());
        EXPECT_EQ(0u, db.removalLogSize());
        // The connection works on in autocommit: a later write is seen by
        // another connection at once.
        ASSERT_EQ(db::kOk, db.CutInterval("TST", "BHZ", "", kT0 + 5, kT0 + 45, "rec"))
            << db.lastDiagnostic();
        EXPECT_GT(rows.size(), AllRows().size());
        TakeLog();
    }
}

TEST_P(CatalogueMaintenance, ColumnTypeAndAlterColumn) {
    const std::string table = session().TableName("FILELIST");
    const std::string tend = GetParam() == kvt::test::BackendKind::PostgreSQL ? "tend" : "TEND";
    const std::string cpath = GetParam() == kvt::test::BackendKind::PostgreSQL ? "cpath" : "CPATH";
    // How each server names the type of a DOUBLE column.
    const char* doubleType = GetParam() == kvt::test::BackendKind::PostgreSQL ? "float8" : "double";
    EXPECT_TRUE(db.ColumnTypeIs(table, tend, doubleType));
    std::string upper = doubleType;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(db.ColumnTypeIs(table, tend, upper));
    EXPECT_FALSE(db.ColumnTypeIs(table, cpath, doubleType));
    EXPECT_FALSE(db.ColumnTypeIs(table, "NO_SUCH_COLUMN", "varchar"));
    // Servers that do not know this form of the statement refuse it; either
    // way the answer is a plain true or false and the table stays usable.
    const bool altered = db.AlterColumn(table, tend, "double");
    if (!altered) {
        EXPECT_FALSE(db.lastDiagnostic().empty());
    }
    EXPECT_TRUE(db.Probe());
    EXPECT_FALSE(db.AlterColumn(table, "NO_SUCH_COLUMN", "double"));
}

KVT_INSTANTIATE_BACKEND_TESTS(CatalogueMaintenance);

}  // namespace
