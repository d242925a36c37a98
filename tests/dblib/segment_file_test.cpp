// A planned file piece opened on one thread and read on another: what Open
// and Read give for missing files, directories, short files and stored types.
#include "dblib_test_support.h"

#include "dblib/data_file.h"
#include "dblib/db_result.h"
#include "dblib/segment_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace db = kvt::db;
namespace fs = std::filesystem;

TEST(SegmentFile, OpenAndReadEachKindOfFile) {
    kvt::dbtest::TempDir dir;
    kvt::dbtest::WriteDataFile(dir.path() / "float.dat", 512, kvt::dbtest::FloatBytes({1.5f, 2.5f, 3.5f}));
    const std::vector<unsigned char> int16{0x07, 0x00, 0xFE, 0xFF};  // 7, -2 little-endian
    kvt::dbtest::WriteDataFile(dir.path() / "int16.dat", 512, int16);
    fs::create_directories(dir.path() / "a-directory");

    struct Case {
        const char* reason;
        std::string name;
        int dataType;
        std::int64_t position;
        std::int64_t count;
        std::size_t capacity;
        int openResult;
        int readResult;
        std::vector<float> expected;  // the destination after Read (it starts as -1s)
    };
    const Case cases[] = {
        {"a missing file cannot be opened", "missing.dat", kvt::kFloat32, 512, 3, 3, db::kFileOpenFailed,
         db::kFileReadFailed, {-1, -1, -1}},
        {"floats are read as stored", "float.dat", kvt::kFloat32, 512, 3, 3, db::kOk, db::kOk, {1.5f, 2.5f, 3.5f}},
        {"a short file gives zeros past its end", "float.dat", kvt::kFloat32, 516, 3, 3, db::kOk, db::kOk,
         {2.5f, 3.5f, 0}},
        {"no more than the destination holds", "float.dat", kvt::kFloat32, 512, 3, 2, db::kOk, db::kOk,
         {1.5f, 2.5f, -1}},
        {"16-bit integers are converted", "int16.dat", kvt::kInt16, 512, 2, 3, db::kOk, db::kOk, {7, -2, -1}},
        {"a directory opens but cannot be read", "a-directory", kvt::kFloat32, 0, 3, 3, db::kOk,
         db::kFileReadFailed, {-1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::SegmentFile file;
        EXPECT_EQ(file.Open((dir.path() / c.name).string(), c.dataType, c.position, c.count), c.openResult);
        EXPECT_EQ(file.isOpen(), c.openResult == db::kOk);
        // Moved to another owner (as to a worker), the file is read there.
        kvt::SegmentFile moved(std::move(file));
        EXPECT_FALSE(file.isOpen());
        std::vector<float> dest(3, -1.0f);
        const int read = moved.Read(dest.data(), c.capacity);
        if (c.readResult == db::kOk) {
            EXPECT_EQ(read, db::kOk);
            EXPECT_EQ(dest, c.expected);
        } else {
            EXPECT_NE(read, db::kOk);
        }
    }
}

}  // namespace
