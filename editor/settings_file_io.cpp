#include "editor/settings_file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvt::editor {
namespace {

// A settings file larger than this is refused rather than rewritten.
constexpr size_t kMaxBytes = 16u << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() noexcept {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string Reason(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

}  // namespace

std::string ReadSettingsBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.get() < 0) {
    if (errno == ENOENT) return {};
    return Reason("cannot read settings file", path, errno);
  }
  struct stat st {};
  if (::fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return "cannot read settings file " + path + ": not a regular file";
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(f.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Reason("cannot read settings file", path, errno);
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
    if (bytes.size() > kMaxBytes) return "settings file " + path + " is too large";
  }
  return {};
}

std::string ReplaceSettingsFile(const std::string& path, const std::string& bytes) {
  std::string target = path;
  struct stat lst {};
  char resolved[PATH_MAX];
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) && ::realpath(path.c_str(), resolved))
    target = resolved;

  std::string tmp = target + ".tmp.XXXXXX";
  Fd f(::mkstemp(tmp.data()));
  if (f.get() < 0) return Reason("cannot write settings file", path, errno);
  struct stat st {};
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  int err = 0;
  if (::fchmod(f.get(), mode) != 0 && errno != EPERM) err = errno;
  size_t done = 0;
  while (!err && done < bytes.size()) {
    const ssize_t n = ::write(f.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) err = n == 0 ? ENOSPC : errno;
    else done += static_cast<size_t>(n);
  }
  if (!err && ::fsync(f.get()) != 0) err = errno;
  if (::close(f.release()) != 0 && !err) err = errno;
  if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(tmp.c_str());
    return Reason("cannot write settings file", path, err);
  }
  return {};
}

}  // namespace kvt::editor
