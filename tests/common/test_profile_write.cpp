#include "common/profile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using kvt::ProfileError;

// A settings file as a user keeps it: comments, blank lines, CR LF, keys the
// editor never writes.
const std::string kFile =
    "; monitor of the wall display\r\n"
    "[SYSTEM]\r\n"
    "N#=2\r\n"
    "NSEC# = 600\r\n"
    "FONT_NAME=Courier new\r\n"
    "\r\n"
    "[STA0]\r\n"
    "NAME=ARU\r\n"
    "SCALE=100\r\n"
    "\r\n"
    "[STA1]\r\n"
    "NAME=OBN\r\n";

TEST(ProfileEdit, SetChangesOnlyTheNamedKey) {
    struct Row {
        std::string text;
        const char* section;
        const char* key;
        const char* value;
        std::string want;
        const char* why;
    } rows[] = {
        {kFile, "SYSTEM", "N#", "5",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=5\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\n\r\n[STA1]\r\nNAME=OBN\r\n",
         "replace a value, every other byte kept"},
        {kFile, "system", "nsec#", "1200",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=2\r\nNSEC# =1200\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\n\r\n[STA1]\r\nNAME=OBN\r\n",
         "names match without case; the key's own spelling stays"},
        {kFile, "STA0", "FILTER", "",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=2\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\nFILTER=\r\n\r\n[STA1]\r\nNAME=OBN\r\n",
         "new key goes after the section's last line, before the blank line"},
        {kFile, "STA1", "CH", "BHZ",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=2\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\n\r\n[STA1]\r\nNAME=OBN\r\nCH=BHZ\r\n",
         "new key in the last section"},
        {kFile, "DATABASE", "USE_TEND", "1", kFile + "[DATABASE]\r\nUSE_TEND=1\r\n",
         "new section at the end"},
        {"[A]\nK=1", "A", "L", "2", "[A]\nK=1\nL=2", "no final line end: LF file, none added at the end"},
        {"[A]\nK=1", "B", "L", "2", "[A]\nK=1\n[B]\nL=2\n", "new section after a last line without end"},
        {"", "SYSTEM", "MODE", "1", "[SYSTEM]\r\nMODE=1\r\n", "empty file gets CR LF lines"},
        {"\xEF\xBB\xBF[A]\r\nK=1\r\n", "A", "K", "2", "\xEF\xBB\xBF[A]\r\nK=2\r\n",
         "a byte order mark stays and its section is found"},
        {"\xEF\xBB\xBFK=1", "A", "K", "2", "\xEF\xBB\xBFK=1\r\n[A]\r\nK=2\r\n",
         "a byte order mark before a key outside any section"},
        {"[A]\r\nK=1\r\n[B]\r\n[a]\r\nK=2\r\n", "A", "K", "9", "[A]\r\nK=9\r\n[B]\r\n[a]\r\nK=2\r\n",
         "duplicates: the first section and key, the ones a reader sees"},
        {"[A]\r\nK=1\r\nK=2\r\n", "A", "K", "x y", "[A]\r\nK=x y\r\nK=2\r\n", "first of duplicate keys"},
        {"[A]\r\nK=1\r\n", "A", "K", " padded ", "[A]\r\nK=\" padded \"\r\n",
         "blanks at the ends are kept in quotes"},
        {"[A]\r\nK=1\r\n", "A", "K", "\"q\"", "[A]\r\nK=\"\"q\"\"\r\n", "enclosing quotes kept in quotes"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const kvt::ProfileEdit edit = kvt::SetProfileString(r.text, r.section, r.key, r.value);
        ASSERT_TRUE(edit.ok()) << edit.message;
        EXPECT_EQ(edit.text, r.want);
        EXPECT_EQ(kvt::Profile::FromText(edit.text).Text(r.section, r.key, "-", 0), r.value);
    }
}

TEST(ProfileEdit, BadNamesAndValuesAreRefused) {
    struct Row {
        const char* section;
        std::string key;
        std::string value;
        ProfileError want;
        const char* why;
    } rows[] = {
        {"", "K", "1", ProfileError::BadName, "empty section"},
        {"A]", "K", "1", ProfileError::BadName, "bracket in the section"},
        {" A", "K", "1", ProfileError::BadName, "blank around the section"},
        {"A", "", "1", ProfileError::BadName, "empty key"},
        {"A", "K=L", "1", ProfileError::BadName, "'=' in the key"},
        {"A", "[K", "1", ProfileError::BadName, "key that would read as a header"},
        {"A", ";K", "1", ProfileError::BadName, "key that would read as a comment"},
        {"A", "K", "1\r\n[B]", ProfileError::BadValue, "line break in the value"},
        {"A", "K", std::string("a\0b", 3), ProfileError::BadValue, "NUL in the value"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const kvt::ProfileEdit edit = kvt::SetProfileString(kFile, r.section, r.key, r.value);
        EXPECT_EQ(edit.error, r.want);
        EXPECT_FALSE(edit.message.empty());
    }
}

TEST(ProfileEdit, RemoveSection) {
    struct Row {
        std::string text;
        const char* section;
        std::string want;
        const char* why;
    } rows[] = {
        {kFile, "STA0",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=2\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA1]\r\nNAME=OBN\r\n",
         "header and all its lines up to the next section"},
        {kFile, "sta1",
         "; monitor of the wall display\r\n[SYSTEM]\r\nN#=2\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
         "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\n\r\n",
         "last section, name without case"},
        {kFile, "STA5", kFile, "missing section changes nothing"},
        {"[A]\nK=1\n[B]\nL=2\n[a]\nK=3\n", "A", "[B]\nL=2\n", "every duplicate goes, none reappears"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const kvt::ProfileEdit edit = kvt::RemoveProfileSection(r.text, r.section);
        ASSERT_TRUE(edit.ok());
        EXPECT_EQ(edit.text, r.want);
        EXPECT_FALSE(kvt::Profile::FromText(edit.text).SectionHasKeys(r.section));
    }
}

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvt_profile_write_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "kvtview.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Put(const std::string& bytes) {
        std::ofstream out(path_, std::ios::binary);
        out << bytes;
    }
    std::string Get(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Get() const { return Get(path_); }
    int FilesInDir() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
        return n;
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(ProfileFile, WriteAndDeleteKeepTheRestOfTheFile) {
    Put(kFile);
    ASSERT_TRUE(kvt::WriteProfileInt(path_, "SYSTEM", "N#", 1).ok());
    ASSERT_TRUE(kvt::DeleteProfileSection(path_, "STA1").ok());
    EXPECT_EQ(Get(),
              "; monitor of the wall display\r\n[SYSTEM]\r\nN#=1\r\nNSEC# = 600\r\nFONT_NAME=Courier new\r\n\r\n"
              "[STA0]\r\nNAME=ARU\r\nSCALE=100\r\n\r\n");
    EXPECT_EQ(FilesInDir(), 1);  // no temporary file left behind
}

TEST_F(ProfileFile, MissingFileIsCreatedByWriteOnly) {
    ASSERT_TRUE(kvt::DeleteProfileSection(path_, "STA0").ok());
    EXPECT_FALSE(fs::exists(path_));
    ASSERT_TRUE(kvt::WriteProfileString(path_, "DATA", "DIR", "/srv/data").ok());
    EXPECT_EQ(Get(), "[DATA]\r\nDIR=/srv/data\r\n");
}

TEST_F(ProfileFile, ModeAndSymbolicLinkSurvive) {
    const std::string real = (dir_ / "real.ini").string();
    {
        std::ofstream out(real, std::ios::binary);
        out << "[A]\nK=1\n";
    }
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, path_);
    ASSERT_TRUE(kvt::WriteProfileString(path_, "A", "K", "2").ok());
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Get(real), "[A]\nK=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ProfileFile, UnreadablePathIsAnErrorAndNothingIsWritten) {
    fs::create_directories(path_);  // a directory where the file should be
    const kvt::ProfileResult r = kvt::WriteProfileString(path_, "A", "K", "1");
    EXPECT_EQ(r.error, ProfileError::ReadFailed);
    EXPECT_NE(r.message.find(path_), std::string::npos);
    EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(ProfileFile, FifoInPlaceOfTheFileNeitherHangsNorIsReplaced) {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    EXPECT_EQ(kvt::Profile::Load(path_).Text(kvt::keys::Delay), "30");
    EXPECT_EQ(kvt::WriteProfileString(path_, "A", "K", "1").error, ProfileError::ReadFailed);
    struct stat st {};
    ASSERT_EQ(::lstat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ProfileFile, EmptyPathIsAnError) {
    const kvt::ProfileResult r = kvt::WriteProfileString("", "A", "K", "1");
    EXPECT_EQ(r.error, ProfileError::WriteFailed);
    EXPECT_EQ(FilesInDir(), 0);
}

TEST_F(ProfileFile, MissingDirectoryIsAWriteError) {
    const std::string path = (dir_ / "no" / "kvtview.ini").string();
    const kvt::ProfileResult r = kvt::WriteProfileString(path, "A", "K", "1");
    EXPECT_EQ(r.error, ProfileError::WriteFailed);
    EXPECT_FALSE(r.message.empty());
}

// A full disk (simulated by a file size limit, which fails writes the same
// way) leaves the old file exactly as it was and no temporary file.
TEST_F(ProfileFile, FullDiskLeavesOldFileIntact) {
    const std::string old = std::string(2000, ';') + "\r\n" + kFile;
    Put(old);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const kvt::ProfileResult r = kvt::WriteProfileString(path_, "SYSTEM", "N#", "3");
    const kvt::ProfileResult d = kvt::DeleteProfileSection(path_, "STA1");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.error, ProfileError::WriteFailed);
    EXPECT_NE(r.message.find("kvtview.ini"), std::string::npos);
    EXPECT_EQ(d.error, ProfileError::WriteFailed);
    EXPECT_EQ(Get(), old);
    EXPECT_EQ(FilesInDir(), 1);
}

}  // namespace
