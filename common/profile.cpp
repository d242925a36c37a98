#include "common/profile.h"

#include "common/profile_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace kvt {

using profile_detail::EqualNoCase;
using profile_detail::LineKind;
using profile_detail::ScanLines;
using profile_detail::TrimBlanks;

namespace {

// Settings files are a few kilobytes; anything beyond this is not one and is
// read only up to here.
constexpr std::size_t kMaxReadBytes = 16u << 20;

// The stored value of a key line: up to the first NUL, blanks removed, one
// pair of enclosing quotes removed.
std::string ValueOf(std::string_view raw) {
    const std::size_t nul = raw.find('\0');
    if (nul != std::string_view::npos) raw = raw.substr(0, nul);
    raw = TrimBlanks(raw);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') &&
        raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    return std::string(raw);
}

std::string Cut(std::string text, int maxLen) {
    if (maxLen > 0 && text.size() > static_cast<std::size_t>(maxLen)) text.resize(maxLen);
    return text;
}

}  // namespace

int LeadingInt(std::string_view text, int dflt) {
    if (text.empty()) return dflt;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

Profile Profile::FromText(std::string_view bytes) {
    Profile profile;
    Section* current = nullptr;
    for (const auto& line : ScanLines(bytes)) {
        if (line.kind == LineKind::Section) {
            profile.sections_.push_back(Section{std::string(line.name), {}});
            current = &profile.sections_.back();
        } else if (line.kind == LineKind::Key && current && !line.name.empty()) {
            current->entries.push_back(Entry{
                std::string(line.name),
                ValueOf(bytes.substr(line.valueBegin, line.contentEnd - line.valueBegin))});
        }
    }
    return profile;
}

Profile Profile::Load(const std::string& path) {
    if (path.empty()) return {};
    // Non-blocking, so that a FIFO in place of the file cannot hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[65536];
        while (bytes.size() < kMaxReadBytes) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return FromText(bytes);
}

const Profile::Section* Profile::FindSection(std::string_view name) const {
    for (const auto& s : sections_)
        if (EqualNoCase(s.name, name)) return &s;
    return nullptr;
}

const Profile::Entry* Profile::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    for (const auto& e : s->entries)
        if (EqualNoCase(e.key, key)) return &e;
    return nullptr;
}

std::string Profile::Text(std::string_view section, std::string_view key, std::string_view dflt,
                          int maxLen) const {
    const Entry* e = Find(section, key);
    return e ? Cut(e->value, maxLen) : std::string(dflt);
}

int Profile::Int(std::string_view section, std::string_view key, int dflt) const {
    const Entry* e = Find(section, key);
    return e ? LeadingInt(e->value, dflt) : dflt;
}

bool Profile::Has(std::string_view section, std::string_view key) const {
    return Find(section, key) != nullptr;
}

bool Profile::SectionHasKeys(std::string_view section) const {
    const Section* s = FindSection(section);
    return s && !s->entries.empty();
}

std::string Profile::Text(const SettingKey& key, int channel) const {
    return Text(SectionOf(key, channel), key.name, key.viewerDefault, key.maxLength);
}

int Profile::Int(const SettingKey& key, int channel) const {
    return Int(SectionOf(key, channel), key.name, LeadingInt(key.viewerDefault, 0));
}

std::string Profile::EditorText(const SettingKey& key, int channel) const {
    return Text(SectionOf(key, channel), key.name, key.editorDefault, key.editorMaxLength);
}

int Profile::EditorInt(const SettingKey& key, int channel) const {
    return Int(SectionOf(key, channel), key.name, LeadingInt(key.editorDefault, 0));
}

std::string ChannelSection(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "STA%d", i);
    return buf;
}

std::string SectionOf(const SettingKey& key, int channel) {
    return key.perChannel ? ChannelSection(channel) : std::string(key.section);
}

}  // namespace kvt
