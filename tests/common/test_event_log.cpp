#include "viewer/event_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kvt_event_log_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        log_.SetClock([this] { return now_; });
        ASSERT_TRUE(log_.InitWith("debug", root_.string()));
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Read(const std::string& name) const {
        std::ifstream in(root_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void WriteFile(const fs::path& path, const std::string& text) const {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    void At(int hour, int minute, int second, int day = 8) {
        now_ = kvt::LogTime{2026, 12, day, hour, minute, second};
    }

    fs::path root_;
    kvt::LogTime now_{2026, 12, 8, 13, 45, 7};
    kvt::EventLog log_;
};

TEST_F(EventLogTest, PlainLineAndFileName) {
    EXPECT_TRUE(log_.Write("Connected to KVT"));
    EXPECT_EQ(log_.FileFor(now_), root_.string() + "/08122026.log");
    EXPECT_EQ(Read("08122026.log"), "13:45:07 08.12.2026  #[KVTVIEW] Connected to KVT#\r\n");
}

TEST_F(EventLogTest, LineFeedsStoredAsCrLf) {
    EXPECT_TRUE(log_.Write("first\nsecond"));
    EXPECT_EQ(Read("08122026.log"), "13:45:07 08.12.2026  #[KVTVIEW] first\r\nsecond#\r\n");
    // The stored length counts the CR: the repeat still folds in place.
    EXPECT_FALSE(log_.Write("first\nsecond"));
    EXPECT_EQ(Read("08122026.log"), "13:45:07 08.12.2026  #[KVTVIEW] first\r\nsecond (2)#\r\n");
}

TEST_F(EventLogTest, EmptyMessageWritesNothing) {
    EXPECT_TRUE(log_.Write(""));
    EXPECT_EQ(Read("08122026.log"), "");
}

// Repeats fold into one counted line stamped with the latest call; the line
// before it never changes, also when the count gains a digit.
TEST_F(EventLogTest, RepeatsFoldIntoCountedLine) {
    const std::string before = "13:45:07 08.12.2026  #[KVTVIEW] Drawing started...#\r\n";
    EXPECT_TRUE(log_.Write("Drawing started..."));
    At(13, 45, 8);
    EXPECT_TRUE(log_.Write("Database error"));
    for (int count = 2; count <= 10; ++count) {
        SCOPED_TRACE(count);
        At(13, 46, count);
        EXPECT_FALSE(log_.Write("Database error"));
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "13:46:%02d 08.12.2026", count);
        EXPECT_EQ(Read("08122026.log"), before + stamp + "  #[KVTVIEW] Database error (" +
                                             std::to_string(count) + ")#\r\n");
    }
    // A different message starts a new line and the count anew.
    At(13, 47, 0);
    EXPECT_TRUE(log_.Write("Drawing started..."));
    EXPECT_TRUE(log_.Write("Database error"));
    const std::string text = Read("08122026.log");
    EXPECT_NE(text.find("Database error (10)#\r\n13:47:00 08.12.2026  #[KVTVIEW] Drawing started...#\r\n"
                        "13:47:00 08.12.2026  #[KVTVIEW] Database error#\r\n"),
              std::string::npos);
}

TEST_F(EventLogTest, FoldingIsCaseSensitive) {
    EXPECT_TRUE(log_.Write("Error"));
    EXPECT_TRUE(log_.Write("error"));
    EXPECT_EQ(Read("08122026.log"),
              "13:45:07 08.12.2026  #[KVTVIEW] Error#\r\n13:45:07 08.12.2026  #[KVTVIEW] error#\r\n");
}

TEST_F(EventLogTest, DayHeader) {
    At(10, 0, 0, 7);
    EXPECT_TRUE(log_.Write("KVTView started... v.20120420"));
    // The pass's header call after midnight creates the new day's file.
    At(0, 0, 5, 8);
    EXPECT_TRUE(log_.Write("", true));
    EXPECT_TRUE(log_.Write("Drawing started..."));
    // The next pass: the file exists, so no second header.
    At(0, 0, 40, 8);
    EXPECT_TRUE(log_.Write("", true));
    EXPECT_EQ(Read("08122026.log"),
              "00:00:05 08.12.2026  #[KVTVIEW] KVTVIEW is working since 10:00:00 07.12.2026#\r\n"
              "00:00:05 08.12.2026  #[KVTVIEW] Drawing started...#\r\n");
    EXPECT_EQ(Read("07122026.log"), "10:00:00 07.12.2026  #[KVTVIEW] KVTView started... v.20120420#\r\n");
}

TEST_F(EventLogTest, NoHeaderWithoutStartMessageOrOnAnExistingFile) {
    EXPECT_TRUE(log_.Write("", true));  // no start message yet
    EXPECT_EQ(Read("08122026.log"), "");
    EXPECT_TRUE(log_.Write("KVTView started..."));
    EXPECT_TRUE(log_.Write("", true));  // file existed before this call
    EXPECT_EQ(Read("08122026.log"), "13:45:07 08.12.2026  #[KVTVIEW] KVTView started...#\r\n");
    // A header call that recreates a deleted file writes the header again.
    fs::remove(root_ / "08122026.log");
    At(14, 0, 0);
    EXPECT_TRUE(log_.Write("", true));
    EXPECT_EQ(Read("08122026.log"),
              "14:00:00 08.12.2026  #[KVTVIEW] KVTVIEW is working since 13:45:07 08.12.2026#\r\n");
}

// The previous line is not at the end of the current file: the repeat is
// written as a line of its own instead of overwriting anything.
TEST_F(EventLogTest, RepeatWhosePreviousLineIsElsewhere) {
    EXPECT_TRUE(log_.Write("Connection lost"));
    At(0, 0, 1, 9);  // after midnight
    EXPECT_TRUE(log_.Write("Connection lost"));
    EXPECT_EQ(Read("09122026.log"), "00:00:01 09.12.2026  #[KVTVIEW] Connection lost#\r\n");
    // Another writer appended to the file after our line.
    WriteFile(root_ / "09122026.log", Read("09122026.log") + "other program#\r\n");
    EXPECT_TRUE(log_.Write("Connection lost"));
    EXPECT_EQ(Read("09122026.log"),
              "00:00:01 09.12.2026  #[KVTVIEW] Connection lost#\r\nother program#\r\n"
              "00:00:01 09.12.2026  #[KVTVIEW] Connection lost#\r\n");
    // Folding goes on from the new line.
    EXPECT_FALSE(log_.Write("Connection lost"));
    EXPECT_NE(Read("09122026.log").find("other program#\r\n00:00:01 09.12.2026  #[KVTVIEW] Connection lost (2)#\r\n"),
              std::string::npos);
}

TEST_F(EventLogTest, LongMessagesAreCutToOneLine) {
    struct Row {
        std::string message;
        const char* why;
    } rows[] = {
        {std::string(5000, 'x'), "plain text"},
        {std::string(3000, '\n'), "line feeds, each stored as two bytes"},
        {[] {
             std::string s;
             while (s.size() < 3000) s += "\xD0\x96";  // a two-byte character
             return s;
         }(),
         "multi-byte characters are not split"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        fs::remove(root_ / "08122026.log");
        EXPECT_TRUE(log_.Write(r.message));
        for (int i = 0; i < 12; ++i) log_.Write(r.message);  // count 13: two digits
        const std::string text = Read("08122026.log");
        EXPECT_LE(text.size(), static_cast<std::size_t>(kvt::EventLog::kMaxLineBytes));
        EXPECT_EQ(text.substr(text.size() - 8), " (13)#\r\n");
        EXPECT_EQ(text.find("\r\r"), std::string::npos);
        const std::string body = text.substr(32, text.size() - 32 - 8);
        if (r.message[0] == '\xD0') {
            EXPECT_EQ(body.size() % 2, 0u);
        }
    }
}

TEST_F(EventLogTest, TwoThreadsLoseAndTearNothing) {
    constexpr int kLines = 1500;
    auto writer = [this](int id) {
        for (int i = 0; i < kLines; ++i) log_.Write("thread " + std::to_string(id) + " line " + std::to_string(i));
    };
    std::thread a(writer, 0);
    std::thread b(writer, 1);
    a.join();
    b.join();
    std::istringstream in(Read("08122026.log"));
    const std::regex form(R"(13:45:07 08\.12\.2026  #\[KVTVIEW\] thread ([01]) line (\d+)#\r)");
    std::set<std::string> seen;
    std::string line;
    int bad = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, form)) ++bad;
        seen.insert(m.size() ? m[1].str() + ":" + m[2].str() : line);
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(seen.size(), 2u * kLines);
}

TEST(EventLogDirectory, SeparatorsAndPieces) {
    const fs::path root = fs::temp_directory_path() / ("kvt_event_dir_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::string back = root.string();
    for (auto& c : back)
        if (c == '/') c = '\\';
    struct Row {
        std::string dir;
        std::string want;
        const char* why;
    } rows[] = {
        {back + "\\LOG", root.string() + "/LOG/", "backslashes become slashes"},
        {root.string() + "//a///b//", root.string() + "/a/b/", "doubled and trailing separators"},
        {root.string() + "/new/deep/dir", root.string() + "/new/deep/dir/", "missing levels are created"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        kvt::EventLog log;
        EXPECT_TRUE(log.InitWith("ERROR", r.dir));
        EXPECT_TRUE(log.enabled());
        EXPECT_EQ(log.directory(), r.want);
        EXPECT_TRUE(fs::is_directory(r.want));
    }
    // A file in the way: the log stays off and writes nothing.
    std::ofstream(root / "plainfile") << "x";
    kvt::EventLog blocked;
    EXPECT_FALSE(blocked.InitWith("ERROR", (root / "plainfile" / "LOG").string()));
    EXPECT_FALSE(blocked.InitWith("ERROR", (root / "plainfile").string()));
    EXPECT_FALSE(blocked.enabled());
    EXPECT_EQ(blocked.directory(), "");
    EXPECT_FALSE(blocked.Write("lost"));
    fs::remove_all(root);
}

// A Windows-style DIR such as "D:\LOG": the drive piece is never
// created, only the directories below it; here it resolves against the
// current directory.
TEST(EventLogDirectory, DrivePieceIsNotCreated) {
    const fs::path root = fs::temp_directory_path() / ("kvt_event_drive_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const fs::path saved = fs::current_path();
    fs::current_path(root);
    kvt::EventLog without;
    EXPECT_FALSE(without.InitWith("ERROR", "D:\\LOG"));  // no "D:" here
    EXPECT_FALSE(fs::exists(root / "D:"));
    fs::create_directory(root / "D:");
    kvt::EventLog log([] { return kvt::LogTime{2026, 12, 8, 9, 0, 0}; });
    EXPECT_TRUE(log.InitWith("ERROR", "D:\\LOG"));
    EXPECT_EQ(log.directory(), "D:/LOG/");
    EXPECT_TRUE(log.Write("x"));
    EXPECT_TRUE(fs::exists(root / "D:" / "LOG" / "08122026.log"));
    fs::current_path(saved);
    fs::remove_all(root);
}

TEST(EventLogInit, ReadsLevelAndDirectoryFromSettings) {
    const fs::path root = fs::temp_directory_path() / ("kvt_event_init_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string settings = (root / "kvtview.ini").string();
    struct Row {
        const char* level;
        bool debug;
        bool warnings;
        const char* why;
    } rows[] = {
        {"debug", true, true, "trace and warnings"},
        {"DEBUG", true, true, "any case"},
        {"error", false, false, "errors only"},
        {"Error", false, false, "any case"},
        {"warning", false, true, "anything else: warnings"},
        {nullptr, false, false, "absent: ERROR"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        std::ofstream(settings, std::ios::binary)
            << "[LOG]\r\n" << (r.level ? std::string("LEVEL=") + r.level + "\r\n" : "")
            << "DIR=" << (root / "log").string() << "\r\n";
        EXPECT_TRUE(kvt::InitLog(settings));
        EXPECT_EQ(kvt::logLevel, r.level ? r.level : "ERROR");
        EXPECT_EQ(kvt::LogIsDebug(), r.debug);
        EXPECT_EQ(kvt::LogWarningsOn(), r.warnings);
    }
    EXPECT_EQ(kvt::ProcessLog().directory(), (root / "log").string() + "/");
    EXPECT_TRUE(kvt::WriteLog("through the process log"));
    fs::remove_all(root);
}

}  // namespace
