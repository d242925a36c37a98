#include "common/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

using kvt::Profile;
namespace keys = kvt::keys;

TEST(LeadingInt, Table) {
    struct Row {
        const char* text;
        int dflt;
        int want;
        const char* why;
    } rows[] = {
        {"", 7, 7, "empty gives the default"},
        {"42", 7, 42, "plain number"},
        {"+5", 7, 5, "plus sign"},
        {"-3", 7, -3, "minus sign"},
        {"12abc", 7, 12, "digits then letters"},
        {"abc", 7, 0, "no digits gives 0, not the default"},
        {"-", 7, 0, "sign alone"},
        {"  9", 7, 9, "blanks before the number"},
        {"1.9", 7, 1, "fraction cut"},
        {"99999999999999", 7, 2147483647, "clamped high"},
        {"-99999999999999", 7, -2147483647 - 1, "clamped low"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(kvt::LeadingInt(r.text, r.dflt), r.want);
    }
}

TEST(ProfileRead, TextValues) {
    const Profile p = Profile::FromText(
        "[system]\r\n"
        "  Font_Name =  \"Liberation Mono\"  \r\n"
        "SCALE=\r\n"
        "DELAY='45'\r\n"
        "MONITOR=\"2\r\n"
        "[DATABASE]\n"
        "ODBC=a=b\n"
        "USER=\"\"\n"
        "PASSWORD=\"x\"y\"\n");
    struct Row {
        const char* section;
        const char* key;
        std::string want;
        const char* why;
    } rows[] = {
        {"SYSTEM", "FONT_NAME", "Liberation Mono", "names without case, blanks and quotes removed"},
        {"SYSTEM", "SCALE", "", "present but empty is empty, not the default"},
        {"SYSTEM", "DELAY", "45", "single quotes removed"},
        {"SYSTEM", "MONITOR", "\"2", "an unmatched quote stays"},
        {"DATABASE", "ODBC", "a=b", "value holds '=' after the first"},
        {"DATABASE", "USER", "", "a pair of quotes around nothing"},
        {"DATABASE", "PASSWORD", "x\"y", "only the enclosing pair goes"},
        {"SYSTEM", "MODE", "dflt", "absent key gives the default"},
        {"NOSECTION", "MODE", "dflt", "absent section gives the default"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(p.Text(r.section, r.key, "dflt", 0), r.want);
    }
}

TEST(ProfileRead, IntegerValues) {
    const Profile p = Profile::FromText(
        "[SYSTEM]\nN#=3 channels\nNSEC#=\nMODE=x\nT_SHIFT=-20\nMONITOR=\"2\"\n");
    EXPECT_EQ(p.Int(keys::ChannelCount), 3);     // leading integer
    EXPECT_EQ(p.Int(keys::WindowSeconds), 1);    // empty gives the default
    EXPECT_EQ(p.Int(keys::Mode), 0);             // no digits gives 0
    EXPECT_EQ(p.Int(keys::TShift), -20);
    EXPECT_EQ(p.Int(keys::Monitor), 2);          // quotes removed first
    EXPECT_EQ(p.Int(keys::FontSize), 14);        // absent gives the default
    EXPECT_EQ(p.EditorInt(keys::WindowSeconds), 1200);  // the editor's own default
}

TEST(ProfileRead, TableKeysWithViewerAndEditorDefaults) {
    const Profile empty;
    for (const auto& key : kvt::AllSettingKeys()) {
        SCOPED_TRACE(std::string(key.section) + "/" + std::string(key.name));
        if (key.type == kvt::KeyType::Text) {
            EXPECT_EQ(empty.Text(key, 3), key.viewerDefault);
            EXPECT_EQ(empty.EditorText(key, 3), key.editorDefault);
        }
    }
    EXPECT_EQ(empty.Text(keys::LogLevel), "ERROR");
    EXPECT_EQ(empty.Text(keys::ChannelLcode, 0), "??");
    EXPECT_EQ(empty.Int(keys::DbUseTend), -1);
}

TEST(ProfileRead, ValuesCutToTheKeysMaximum) {
    const std::string longName(200, 'F');
    const Profile p = Profile::FromText("[SYSTEM]\nFONT_NAME=" + longName + "\n[STA0]\nNAME=ABCDEFGHIJ\n");
    EXPECT_EQ(p.Text(keys::FontName), std::string(127, 'F'));
    EXPECT_EQ(p.Text(keys::ChannelName, 0), "ABCDEFG");
    EXPECT_EQ(p.EditorText(keys::FontName).size(), 200u);  // the editor keeps 511
}

TEST(ProfileRead, ChannelSections) {
    const Profile p = Profile::FromText(
        "[SYSTEM]\nN#=2\n[STA0]\nNAME=ARU\nCH=BHZ\n[STA1]\nNAME=OBN\n[sta2]\nNAME=TLY\n[STA3]\n");
    EXPECT_EQ(kvt::ChannelSection(0), "STA0");
    EXPECT_EQ(kvt::ChannelSection(12), "STA12");
    EXPECT_EQ(p.Text(keys::ChannelName, 0), "ARU");
    EXPECT_EQ(p.Text(keys::ChannelName, 1), "OBN");
    EXPECT_EQ(p.Text(keys::ChannelName, 2), "TLY");
    EXPECT_TRUE(p.Has("STA1", "NAME"));
    EXPECT_FALSE(p.Has("STA1", "CH"));
    EXPECT_TRUE(p.SectionHasKeys("STA2"));
    EXPECT_FALSE(p.SectionHasKeys("STA3"));  // header only
    EXPECT_FALSE(p.SectionHasKeys("STA4"));  // missing
}

// Broken files read without a fault, the way the Windows profile functions
// read them: the first section and the first key of a name win.
TEST(ProfileRead, BadInput) {
    struct Row {
        std::string text;
        const char* section;
        const char* key;
        std::string want;
        const char* why;
    } rows[] = {
        {"[A]\nK=1\n[B]\nK=2\n[a]\nK=3\nL=4\n", "A", "K", "1", "duplicate section: the first wins"},
        {"[A]\nK=1\n[B]\nK=2\n[a]\nK=3\nL=4\n", "A", "L", "-", "keys of a later duplicate are unseen"},
        {"[A]\nK=1\nk=2\n", "A", "K", "1", "duplicate key: the first wins"},
        {"[A]\nstray line\nK=1\n", "A", "K", "1", "a line without '=' is ignored"},
        {"[A]\nK=1", "A", "K", "1", "no final line end"},
        {"[A]\r\nK=1\r", "A", "K", "1", "a lone CR at the end"},
        {std::string("[A]\nK=ab\0cd\nL=2\n", 17), "A", "K", "ab", "a value ends at a NUL byte"},
        {std::string("[A]\nK=ab\0cd\nL=2\n", 17), "A", "L", "2", "lines after a NUL are read"},
        {"K=0\n[A]\nK=1\n", "A", "K", "1", "keys before any section are ignored"},
        {"[A\nK=1\n", "A", "K", "-", "a header without ']' opens no section"},
        {"[ A ] junk\nK=1\n", "A", "K", "1", "blanks inside the brackets, text after them"},
        {"[A]\n;K=1\nK=2\n", "A", "K", "2", "comment lines are skipped"},
        {"[A]\n=1\nK=2\n", "A", "K", "2", "a line with an empty key is skipped"},
        {"\xEF\xBB\xBF[A]\r\nK=1\r\n", "A", "K", "1", "a UTF-8 byte order mark before the first section"},
        {"[A]\nK=" + std::string(100000, 'x') + "\n", "A", "K", std::string(100000, 'x'),
         "a very long line"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(Profile::FromText(r.text).Text(r.section, r.key, "-", 0), r.want);
    }
}

TEST(ProfileLoad, MissingFileAndDirectoryReadAsEmpty) {
    EXPECT_EQ(Profile::Load("").Text(keys::Delay), "30");
    EXPECT_EQ(Profile::Load("no/such/dir/kvtview.ini").Text(keys::Delay), "30");
    EXPECT_EQ(Profile::Load(std::filesystem::temp_directory_path().string()).Int(keys::Monitor), 1);
}

TEST(ProfileLoad, ReadsFileBytes) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kvt_profile_load_" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[SYSTEM]\r\nDELAY=15\r\n";
    }
    EXPECT_EQ(Profile::Load(path.string()).Text(keys::Delay), "15");
    std::filesystem::remove(path);
}

}  // namespace
