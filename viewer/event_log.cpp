#include "viewer/event_log.h"

#include "common/profile.h"
#include "common/settings_keys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <strings.h>

namespace kvt {
namespace {

// The message that marks a start of the viewer; the day header names its time.
constexpr std::string_view kStartMessage = "KVTView started...";
// Bytes a counted line adds to the message at most: 35 for stamp, tag, "#"
// and CR LF, 3 for " ()" and 10 digits of the count.
constexpr std::size_t kLineOverhead = 35 + 3 + 10;

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::string Stamp(const LogTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %02d.%02d.%04d", t.hour, t.minute, t.second,
                  t.day, t.month, t.year);
    return buf;
}

// A line feed inside a message is stored as CR LF.
std::string Stored(std::string_view message) {
    std::string out;
    out.reserve(message.size() + 8);
    for (char c : message) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The longest head of message whose stored form fits a line, cut before a
// UTF-8 sequence rather than inside it.
std::string_view CutToLine(std::string_view message) {
    const std::size_t room = EventLog::kMaxLineBytes - kLineOverhead;
    std::size_t stored = 0;
    std::size_t i = 0;
    for (; i < message.size(); ++i) {
        const std::size_t add = message[i] == '\n' ? 2 : 1;
        if (stored + add > room) break;
        stored += add;
    }
    if (i < message.size())
        while (i > 0 && (static_cast<unsigned char>(message[i]) & 0xC0) == 0x80) --i;
    return message.substr(0, i);
}

bool WriteAt(int fd, off_t offset, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAt(int fd, off_t offset, std::string& bytes, std::size_t count) {
    bytes.assign(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, bytes.data() + done, count - done,
                                  offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes line at offset, over `old` (the bytes there now, up to the end of
// the file; empty when appending). A write that fails part-way is taken back,
// so the file never keeps a torn line.
bool PutLine(int fd, off_t offset, const std::string& line, const std::string& old = {}) {
    if (WriteAt(fd, offset, line)) return true;
    if (::ftruncate(fd, offset + static_cast<off_t>(old.size())) == 0 && !old.empty())
        WriteAt(fd, offset, old);
    return false;
}

}  // namespace

LogTime LocalLogTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LogTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

EventLog::EventLog(LogClock clock) : clock_(std::move(clock)) {}

void EventLog::SetClock(LogClock clock) {
    std::lock_guard<std::mutex> guard(lock_);
    clock_ = std::move(clock);
}

bool EventLog::Init(const std::string& settingsFile) {
    const Profile settings = Profile::Load(settingsFile);
    return InitWith(settings.Text(keys::LogLevel), settings.Text(keys::LogDir));
}

bool EventLog::InitWith(std::string_view level, std::string_view dir) {
    std::lock_guard<std::mutex> guard(lock_);
    level_ = std::string(level.substr(0, keys::LogLevel.maxLength));
    enabled_ = false;
    dir_.clear();

    std::string text(dir.substr(0, keys::LogDir.maxLength));
    std::replace(text.begin(), text.end(), '\\', '/');
    // The path is rebuilt from its non-empty pieces, so doubled and trailing
    // separators vanish; an absolute path stays absolute.
    std::string path = !text.empty() && text.front() == '/' ? "/" : "";
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t slash = text.find('/', pos);
        if (slash == std::string::npos) slash = text.size();
        const std::string piece = text.substr(pos, slash - pos);
        pos = slash + 1;
        if (piece.empty()) continue;
        path += piece + "/";
        if (piece.back() == ':') continue;  // a drive letter is no directory to create
        if (::mkdir(path.c_str(), 0755) != 0) {
            struct stat st {};
            if (errno != EEXIST || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return false;
        }
    }
    dir_ = path;
    enabled_ = true;
    return true;
}

std::string EventLog::FileFor(const LogTime& t) const {
    char name[64];
    std::snprintf(name, sizeof name, "%02d%02d%04d.log", t.day, t.month, t.year);
    return dir_ + name;
}

std::string EventLog::FormLine(const LogTime& t, std::string_view message, int count) const {
    std::string line = Stamp(t) + "  #[KVTVIEW] " + Stored(message);
    if (count > 1) line += " (" + std::to_string(count) + ")";
    line += "#\r\n";
    return line;
}

bool EventLog::Write(std::string_view message, bool withHeader) {
    if (!enabled_) return false;
    std::lock_guard<std::mutex> guard(lock_);
    const LogTime now = clock_ ? clock_() : LocalLogTime();
    if (message.substr(0, kStartMessage.size()) == kStartMessage) {
        started_ = true;
        startTime_ = now;
    }

    const std::string file = FileFor(now);
    Fd f;
    bool existed = false;
    f.fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (f.fd < 0) {
        if (errno != EEXIST) return false;
        existed = true;
        f.fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        if (f.fd < 0) return false;
    }

    if (withHeader && !existed && started_) {
        char since[64];
        std::snprintf(since, sizeof since, "%02d:%02d:%02d %02d.%02d.%04d", startTime_.hour,
                      startTime_.minute, startTime_.second, startTime_.day, startTime_.month,
                      startTime_.year);
        const std::string header = FormLine(now, std::string("KVTVIEW is working since ") + since, 1);
        if (!PutLine(f.fd, 0, header)) return false;
        repeatCount_ = 1;
        lastMessage_.clear();
        lastLine_.clear();
    }
    if (message.empty()) return true;

    const std::string_view text = CutToLine(message);
    if (text != lastMessage_)
        repeatCount_ = 1;
    else if (repeatCount_ < INT_MAX)
        ++repeatCount_;

    struct stat st {};
    if (::fstat(f.fd, &st) != 0) return false;
    const off_t size = st.st_size;

    if (repeatCount_ > 1) {
        // Fold into the previous line, but only when that line is really the
        // end of this file: after midnight, a deleted file or another writer
        // the repeat starts a line of its own instead of overwriting one.
        const off_t previous = size - static_cast<off_t>(lastLine_.size());
        std::string tail;
        if (previous >= 0 && ReadAt(f.fd, previous, tail, lastLine_.size()) && tail == lastLine_) {
            const std::string line = FormLine(now, text, repeatCount_);
            if (!PutLine(f.fd, previous, line, lastLine_)) return false;
            lastLine_ = line;
            return false;
        }
        repeatCount_ = 1;
    }

    const std::string line = FormLine(now, text, 1);
    if (!PutLine(f.fd, size, line)) return false;
    lastMessage_ = std::string(text);
    lastLine_ = line;
    return true;
}

EventLog& ProcessLog() {
    static EventLog log;
    return log;
}

std::string logLevel = std::string(keys::LogLevel.viewerDefault);

bool InitLog(const std::string& settingsFile) {
    const bool ok = ProcessLog().Init(settingsFile);
    logLevel = ProcessLog().level();
    return ok;
}

bool WriteLog(std::string_view message, bool withHeader) {
    return ProcessLog().Write(message, withHeader);
}

bool LogIsDebug() {
    return ::strcasecmp(logLevel.c_str(), "debug") == 0;
}

bool LogWarningsOn() {
    return ::strcasecmp(logLevel.c_str(), "error") != 0;
}

}  // namespace kvt
