#include "common/profile.h"
#include "common/settings_keys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string Cell(std::string_view text) {
    return text.empty() ? "\"\"" : "\"" + std::string(text) + "\"";
}

// The README's table of keys, as built from the key table.
std::string MarkdownTable() {
    std::string out =
        "| Section | Key | Type | Viewer default | Editor default | kvt.ini default | Max | Meaning |\n"
        "|---|---|---|---|---|---|---|---|\n";
    for (const auto& k : kvt::AllSettingKeys()) {
        const bool text = k.type == kvt::KeyType::Text;
        const auto value = [text](std::string_view v) { return text ? Cell(v) : std::string(v); };
        // Keys the editor never reads have no editor default.
        const bool editorReads = text ? k.editorMaxLength > 0 : !k.editorDefault.empty();
        out += "| `" + std::string(k.section) + "` | `" + std::string(k.name) + "` | " +
               (text ? "text" : "integer") + " | " + value(k.viewerDefault) + " | " +
               (editorReads ? value(k.editorDefault) : "—") + " | " +
               (k.systemDefault.empty() ? "—" : value(k.systemDefault)) + " | " +
               (k.maxLength ? std::to_string(k.maxLength) : "—") + " | " + std::string(k.meaning) +
               " |\n";
    }
    return out;
}

TEST(SettingsKeys, TableIsConsistent) {
    std::set<std::string> seen;
    for (const auto& k : kvt::AllSettingKeys()) {
        const std::string id = std::string(k.section) + "/" + std::string(k.name);
        SCOPED_TRACE(id);
        EXPECT_TRUE(seen.insert(id).second);  // each key once
        EXPECT_EQ(k.perChannel, k.section == "STA%d");
        if (k.type == kvt::KeyType::Text) {
            EXPECT_GT(k.maxLength, 0);
            EXPECT_LE(k.viewerDefault.size(), static_cast<std::size_t>(k.maxLength));
        } else {
            // Integer defaults are numbers.
            EXPECT_EQ(std::to_string(kvt::LeadingInt(k.viewerDefault, 12345)), k.viewerDefault);
        }
        for (char c : k.name) EXPECT_FALSE(c >= 'a' && c <= 'z');
    }
    EXPECT_EQ(kvt::SectionOf(kvt::keys::ChannelFilter, 7), "STA7");
    EXPECT_EQ(kvt::SectionOf(kvt::keys::Scale, 7), "SYSTEM");
}

TEST(SettingsKeys, ReadmeTableMatchesTheKeyTable) {
    const char* source = std::getenv("KVT_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/README.md", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string table = MarkdownTable();
    EXPECT_NE(s.str().find(table), std::string::npos) << "README.md should hold:\n" << table;
}

}  // namespace
