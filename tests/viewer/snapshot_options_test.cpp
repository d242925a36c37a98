#include "viewer/snapshot_options.h"

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

TEST(SnapshotOptions, Table) {
    struct Case {
        std::vector<std::string> args;
        bool snapshot;
        std::string file;
        int width, height;
        bool error;
        const char* why;
    } cases[] = {
        {{"kvtview"}, false, "", 1600, 900, false, "window mode"},
        {{"kvtview", "--snapshot", "a.png"}, true, "a.png", 1600, 900, false, "default size"},
        {{"kvtview", "--snapshot=a.png", "--size=800x600"}, true, "a.png", 800, 600, false,
         "= forms"},
        {{"kvtview", "ODBC=x", "--size", "320X200", "--snapshot", "b.png", "upd_tend"}, true,
         "b.png", 320, 200, false, "other arguments left alone, X in any case"},
        {{"kvtview", "--snapshot"}, true, "", 1600, 900, true, "file missing"},
        {{"kvtview", "--snapshot", "a.png", "--size"}, true, "a.png", 1600, 900, true,
         "size value missing"},
        {{"kvtview", "--snapshot", "a.png", "--size", "0x10"}, true, "a.png", 1600, 900, true,
         "zero width"},
        {{"kvtview", "--snapshot", "a.png", "--size", "10x-5"}, true, "a.png", 1600, 900, true,
         "negative height"},
        {{"kvtview", "--snapshot", "a.png", "--size", "100"}, true, "a.png", 1600, 900, true,
         "no separator"},
        {{"kvtview", "--snapshot", "a.png", "--size", "99999x10"}, true, "a.png", 1600, 900, true,
         "too wide"},
        {{"kvtview", "--snapshot", "a.png", "--size", "10x10px"}, true, "a.png", 1600, 900, true,
         "trailing text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SnapshotOptions o = ParseSnapshotOptions(c.args);
        EXPECT_EQ(o.snapshot, c.snapshot);
        EXPECT_EQ(o.file, c.file);
        EXPECT_EQ(o.width, c.width);
        EXPECT_EQ(o.height, c.height);
        EXPECT_EQ(!o.error.empty(), c.error);
    }
}

}  // namespace
}  // namespace kvt::viewer
