// Writing of profile files: key-by-key edits of the file bytes, and the
// atomic replacement of the file on disk.

#include "common/profile.h"

#include "common/profile_text.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace kvt {

using profile_detail::EqualNoCase;
using profile_detail::LineKind;
using profile_detail::ScanLines;
using profile_detail::TrimBlanks;

namespace {

// A settings file larger than this is refused rather than rewritten.
constexpr std::size_t kMaxEditBytes = 16u << 20;

bool HasAny(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

ProfileEdit Fail(ProfileError error, std::string message) {
    return ProfileEdit{error, std::move(message), {}};
}

// Names must read back as written: no line breaks, no blanks at the ends
// (they are trimmed on reading), and nothing that changes the line's kind.
ProfileEdit CheckSection(std::string_view section) {
    if (section.empty() || TrimBlanks(section) != section ||
        HasAny(section, std::string_view("]\r\n\0", 4)))
        return Fail(ProfileError::BadName,
                    "invalid section name \"" + std::string(section) + "\"");
    return {};
}

ProfileEdit CheckKey(std::string_view key) {
    if (key.empty() || TrimBlanks(key) != key || key.front() == '[' || key.front() == ';' ||
        HasAny(key, std::string_view("=\r\n\0", 4)))
        return Fail(ProfileError::BadName, "invalid key name \"" + std::string(key) + "\"");
    return {};
}

// Line end used for new lines: the one the file already uses, CR LF for a
// file that has none yet.
std::string_view LineEndOf(std::string_view text) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) return "\r\n";
    return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

// The value as stored so that reading gives it back exactly: blanks at the
// ends and a pair of enclosing quotes would be stripped by the reader, so such
// values are put in quotes themselves.
std::string Encode(std::string_view value) {
    if (value.empty()) return {};
    const bool blankEnds = TrimBlanks(value).size() != value.size();
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (blankEnds || quoted) return "\"" + std::string(value) + "\"";
    return std::string(value);
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

ProfileResult ReadProfileFile(const std::string& path, std::string& bytes, bool& found) {
    bytes.clear();
    found = false;
    Fd f;
    if (path.empty()) return {ProfileError::WriteFailed, "no settings file name given"};
    // Non-blocking, so that a FIFO in place of the file cannot hang the writer.
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f.fd < 0) {
        if (errno == ENOENT) return {};
        return {ProfileError::ReadFailed,
                "cannot read settings file " + path + ": " + ErrnoText(errno)};
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {ProfileError::ReadFailed, "cannot read settings file " + path + ": not a regular file"};
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            return {ProfileError::ReadFailed,
                    "cannot read settings file " + path + ": " + ErrnoText(errno)};
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxEditBytes)
            return {ProfileError::ReadFailed,
                    "settings file " + path + " is too large to be a settings file"};
    }
    found = true;
    return {};
}

namespace {

// The file a write goes to: the target of a symbolic link, so that the link
// survives the rename.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

ProfileResult ReplaceProfileFile(const std::string& path, const std::string& bytes) {
    const std::string target = WriteTarget(path);
    std::string tmp = target + ".tmp.XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return {ProfileError::WriteFailed,
                "cannot write settings file " + path + ": " + ErrnoText(errno)};
    Fd f;
    f.fd = fd;
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    int err = 0;
    if (::fchmod(fd, mode) != 0 && errno != EPERM) err = errno;
    if (!err && !WriteAll(fd, bytes)) err = errno;
    if (!err && ::fsync(fd) != 0) err = errno;
    f.fd = -1;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        return {ProfileError::WriteFailed,
                "cannot write settings file " + path + ": " + ErrnoText(err)};
    }
    // Make the rename itself durable.
    Fd dir;
    dir.fd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0) ::fsync(dir.fd);
    return {};
}

ProfileEdit SetProfileString(std::string_view text, std::string_view section,
                             std::string_view key, std::string_view value) {
    if (auto bad = CheckSection(section); !bad.ok()) return bad;
    if (auto bad = CheckKey(key); !bad.ok()) return bad;
    if (HasAny(value, std::string_view("\r\n\0", 3)))
        return Fail(ProfileError::BadValue, "value of " + std::string(section) + "/" +
                                                std::string(key) + " holds a line break or NUL");
    const std::string eol(LineEndOf(text));
    const std::string stored = Encode(value);
    const auto lines = ScanLines(text);

    // First section of that name; its lines run up to the next header.
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == LineKind::Section && EqualNoCase(lines[i].name, section)) {
            header = i;
            break;
        }

    ProfileEdit edit;
    if (header == lines.size()) {
        edit.text = std::string(text);
        if (!text.empty() && text.back() != '\n') edit.text += eol;
        edit.text += "[" + std::string(section) + "]" + eol + std::string(key) + "=" + stored + eol;
        return edit;
    }
    std::size_t lastFilled = header;  // last non-blank line of the section
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (line.kind == LineKind::Section) break;
        if (line.kind == LineKind::Key && EqualNoCase(line.name, key)) {
            // Keep everything up to and including '=' and the line end.
            edit.text.reserve(text.size() + stored.size());
            edit.text.append(text.substr(0, line.valueBegin));
            edit.text.append(stored);
            edit.text.append(text.substr(line.contentEnd));
            return edit;
        }
        if (!TrimBlanks(text.substr(line.begin, line.contentEnd - line.begin)).empty())
            lastFilled = i;
    }
    const auto& after = lines[lastFilled];
    const std::string newLine = std::string(key) + "=" + stored;
    edit.text.append(text.substr(0, after.end));
    if (after.end == after.contentEnd)  // the file's last line, without a line end
        edit.text.append(eol + newLine);
    else
        edit.text.append(newLine + eol);
    edit.text.append(text.substr(after.end));
    return edit;
}

ProfileEdit RemoveProfileSection(std::string_view text, std::string_view section) {
    if (auto bad = CheckSection(section); !bad.ok()) return bad;
    ProfileEdit edit;
    edit.text.reserve(text.size());
    bool skipping = false;
    for (const auto& line : ScanLines(text)) {
        if (line.kind == LineKind::Section) skipping = EqualNoCase(line.name, section);
        if (!skipping) edit.text.append(text.substr(line.begin, line.end - line.begin));
    }
    return edit;
}

ProfileResult WriteProfileString(const std::string& path, std::string_view section,
                                 std::string_view key, std::string_view value) {
    std::string old;
    bool existed = false;
    if (auto r = ReadProfileFile(path, old, existed); !r.ok()) return r;
    ProfileEdit edit = SetProfileString(old, section, key, value);
    if (!edit.ok()) return {edit.error, std::move(edit.message)};
    if (existed && edit.text == old) return {};
    return ReplaceProfileFile(path, edit.text);
}

ProfileResult WriteProfileInt(const std::string& path, std::string_view section,
                              std::string_view key, int value) {
    return WriteProfileString(path, section, key, std::to_string(value));
}

ProfileResult DeleteProfileSection(const std::string& path, std::string_view section) {
    std::string old;
    bool existed = false;
    if (auto r = ReadProfileFile(path, old, existed); !r.ok()) return r;
    ProfileEdit edit = RemoveProfileSection(old, section);
    if (!edit.ok()) return {edit.error, std::move(edit.message)};
    if (!existed || edit.text == old) return {};
    return ReplaceProfileFile(path, edit.text);
}

}  // namespace kvt
