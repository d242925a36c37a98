#include "common/connection_settings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(ViewerArguments, Grammar) {
    struct Row {
        Args args;
        kvt::ViewerArguments want;
        const char* why;
    } rows[] = {
        {{}, {}, "nothing given"},
        {{"ODBC=Main", "USER=op", "PASSWORD=p=w", "DATA=D:\\Data"},
         {"Main", "op", "p=w", "D:\\Data", false, false}, "all four values, '=' inside a value"},
        {{"odbc=Main"}, {"Main", "", "", "", false, false}, "prefix in any case, value keeps case"},
        {{"ODBC=", "uSeR="}, {}, "empty values count as not given"},
        {{"ODBC=A", "ODBC=B"}, {"B", "", "", "", false, false}, "a later argument replaces"},
        {{"ODBC=A", "ODBC="}, {"A", "", "", "", false, false}, "a later empty one does not"},
        {{"/USE_TEND"}, {"", "", "", "", true, false}, "/use_tend in capitals"},
        {{"-use_tendency"}, {"", "", "", "", true, false}, "-use_tend with more behind it"},
        {{"use_tend"}, {}, "use_tend without dash or slash does nothing"},
        {{"/use_ten"}, {}, "too short"},
        {{"upd_tend"}, {"", "", "", "", false, true}, "upd_tend"},
        {{"-UPD_TEND"}, {"", "", "", "", false, true}, "-upd_tend in capitals"},
        {{"/upd_tend"}, {"", "", "", "", false, true}, "/upd_tend"},
        {{"upd_tendx"}, {}, "upd_tend must be the whole argument"},
        {{"--snapshot", "x.png", "ODBCX", "PASSWORD"}, {}, "other forms are ignored"},
        {{"USER= spaced value "}, {"", " spaced value ", "", "", false, false}, "value kept as is"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const kvt::ViewerArguments a = kvt::ParseViewerArguments(r.args);
        EXPECT_EQ(a.odbc, r.want.odbc);
        EXPECT_EQ(a.user, r.want.user);
        EXPECT_EQ(a.password, r.want.password);
        EXPECT_EQ(a.dataDir, r.want.dataDir);
        EXPECT_EQ(a.useTend, r.want.useTend);
        EXPECT_EQ(a.updTend, r.want.updTend);
    }
}

TEST(ConnectionFilePath, BesideTheProgram) {
    struct Row {
        const char* program;
        const char* want;
        const char* why;
    } rows[] = {
        {"/opt/kvt/bin/kvtview", "/opt/kvt/bin/kvtview.ini", "absolute path"},
        {"./kvtview", "./kvtview.ini", "relative path"},
        {"kvtview", "kvtview.ini", "no separator: current directory"},
        {"C:\\KVT\\KVTVIEW.EXE", "C:/KVT/kvtview.ini", "backslashes turned into slashes"},
        {"", "kvtview.ini", "empty program path"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(kvt::ConnectionFilePath("kvtview.ini", r.program), r.want);
    }
}

// Files of a test: bin/ holds the program's kvtview.ini, kvt/ and win/ may
// hold a kvt.ini.
class Connection : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kvt_connection_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        for (const char* d : {"bin", "kvt", "win"}) fs::create_directories(root_ / d);
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const fs::path& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    kvt::ConnectionSettings Make(std::map<std::string, std::string> env) {
        env_ = std::move(env);
        return kvt::ConnectionSettings("kvtview.ini", (root_ / "bin" / "kvtview").string(),
                                       [this](const char* name) -> const char* {
                                           auto it = env_.find(name);
                                           return it == env_.end() ? nullptr : it->second.c_str();
                                       });
    }
    std::string Dir(const char* d) const { return (root_ / d).string(); }

    fs::path root_;
    std::map<std::string, std::string> env_;
};

TEST_F(Connection, SystemFileLocation) {
    // Nothing set: /etc.
    EXPECT_EQ(Make({}).systemFile, "/etc/kvt.ini");
    // WINDIR, with or without a trailing backslash, no existence check.
    EXPECT_EQ(Make({{"WINDIR", Dir("win")}}).systemFile, Dir("win") + "/kvt.ini");
    EXPECT_EQ(Make({{"WINDIR", "C:\\WINDOWS\\"}}).systemFile, "C:/WINDOWS/kvt.ini");
    // KVT without a kvt.ini: no system file at all, WINDIR not consulted.
    EXPECT_EQ(Make({{"KVT", Dir("kvt")}, {"WINDIR", Dir("win")}}).systemFile, "");
    Write(root_ / "kvt" / "kvt.ini", "[DATABASE]\n");
    EXPECT_EQ(Make({{"KVT", Dir("kvt")}, {"WINDIR", Dir("win")}}).systemFile, Dir("kvt") + "/kvt.ini");
    EXPECT_EQ(Make({}).connectionFile, Dir("bin") + "/kvtview.ini");
}

TEST_F(Connection, Resolution) {
    struct Row {
        std::optional<std::string> connection;  // bin/kvtview.ini
        std::optional<std::string> system;      // win/kvt.ini (through WINDIR)
        Args args;
        kvt::ConnectionValues want;
        const char* why;
    } rows[] = {
        {std::nullopt, std::nullopt, {}, {"KVT", "KVT", "QMZ", "D:/DATA", false, false},
         "no files, no arguments: built-in defaults"},
        {"[DATABASE]\nODBC=Local\nUSER=u1\n[DATA]\nDIR=C:\\d1\n",
         "[DATABASE]\nODBC=Sys\nUSER=u2\nPASSWORD=p2\n[DATA]\nDIR=/d2\n", {},
         {"Local", "u1", "p2", "C:/d1", false, false},
         "connection file first, each value on its own, system file for the rest"},
        {"[DATABASE]\nODBC=Local\n", std::nullopt, {"ODBC=", "odbc=Cmd", "DATA=/cmd\\d"},
         {"Cmd", "KVT", "QMZ", "/cmd/d", false, false}, "command line wins; slashes in DATA"},
        {"[DATABASE]\nODBC=Local\n", std::nullopt, {"ODBC="}, {"Local", "KVT", "QMZ", "D:/DATA", false, false},
         "an empty ODBC= leaves the data source to the files"},
        {"[DATABASE]\nODBC=\n", "[DATABASE]\nODBC=Sys\n", {}, {"Sys", "KVT", "QMZ", "D:/DATA", false, false},
         "an empty value in the connection file falls back to kvt.ini"},
        {"[DATABASE]\nUSE_TEND=0\n", "[DATABASE]\nUSE_TEND=1\n", {}, {"KVT", "KVT", "QMZ", "D:/DATA", false, false},
         "USE_TEND=0 in the connection file wins over kvt.ini"},
        {"[DATABASE]\nUSE_TEND=-1\n", "[DATABASE]\nUSE_TEND=1\n", {}, {"KVT", "KVT", "QMZ", "D:/DATA", true, false},
         "-1 leaves the decision to kvt.ini"},
        {"[DATABASE]\nUSE_TEND=\n", "[DATABASE]\nUSE_TEND=1\n", {}, {"KVT", "KVT", "QMZ", "D:/DATA", true, false},
         "an empty USE_TEND leaves the decision to kvt.ini"},
        {std::nullopt, "[DATABASE]\nUSE_TEND=2\n", {}, {"KVT", "KVT", "QMZ", "D:/DATA", true, false},
         "an absent USE_TEND leaves the decision to kvt.ini"},
        {"[DATABASE]\nUSE_TEND=5\n", std::nullopt, {}, {"KVT", "KVT", "QMZ", "D:/DATA", true, false},
         "above 0 turns the flag on"},
        {"[DATABASE]\nUSE_TEND=0\n", std::nullopt, {"-use_tend", "upd_tend"},
         {"KVT", "KVT", "QMZ", "D:/DATA", true, true}, "the command line turns it on, never off"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        fs::remove(root_ / "bin" / "kvtview.ini");
        fs::remove(root_ / "win" / "kvt.ini");
        if (r.connection) Write(root_ / "bin" / "kvtview.ini", *r.connection);
        if (r.system) Write(root_ / "win" / "kvt.ini", *r.system);
        const kvt::ConnectionValues v = Make({{"WINDIR", Dir("win")}}).Load(r.args);
        EXPECT_EQ(v.dsn, r.want.dsn);
        EXPECT_EQ(v.user, r.want.user);
        EXPECT_EQ(v.password, r.want.password);
        EXPECT_EQ(v.dataDir, r.want.dataDir);
        EXPECT_EQ(v.useTend, r.want.useTend);
        EXPECT_EQ(v.updTendArgument, r.want.updTendArgument);
    }
}

TEST_F(Connection, KvtWithoutKvtIniIgnoresWindir) {
    Write(root_ / "win" / "kvt.ini", "[DATABASE]\nODBC=FromWindir\nUSE_TEND=1\n");
    const kvt::ConnectionValues v = Make({{"KVT", Dir("kvt") + "\\"}, {"WINDIR", Dir("win")}}).Load({});
    EXPECT_EQ(v.dsn, "KVT");
    EXPECT_FALSE(v.useTend);
}

}  // namespace
