#include "viewer_notification.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QByteArray>
#include <QLocalSocket>

namespace kvt::viewer {
namespace {

bool IsDirectory(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// What became of one attempt to deliver the notice.
enum class Delivery { Delivered, Gone, Busy };

Delivery SendNotice(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return Delivery::Busy;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Delivery::Busy;
  Delivery result = Delivery::Busy;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    const std::size_t length = std::strlen(kNotificationMessage);
    if (::send(fd, kNotificationMessage, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length)) {
      result = Delivery::Delivered;
    }
  } else if (errno == ECONNREFUSED || errno == ENOENT) {
    result = Delivery::Gone;  // the socket file outlived its viewer
  }
  ::close(fd);
  return result;
}

}  // namespace

std::string NotificationDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && IsDirectory(runtime)) {
    return runtime;
  }
  const std::string directory = "/tmp/kvtview-" + std::to_string(::getuid());
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat info {};
  if (::lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    return {};
  }
  return directory;
}

std::string NotificationSocketName(pid_t pid) {
  return std::string(kNotificationMessage) + "-" + std::to_string(pid);
}

int NotifyAllViewers(const std::string& directory) {
  if (directory.empty()) return 0;
  std::vector<std::string> sockets;
  if (DIR* listing = ::opendir(directory.c_str())) {
    const std::string prefix = std::string(kNotificationMessage) + "-";
    while (const dirent* entry = ::readdir(listing)) {
      if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
      const std::string path = directory + "/" + entry->d_name;
      struct stat info {};
      if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) sockets.push_back(path);
    }
    ::closedir(listing);
  }
  int reached = 0;
  for (const std::string& path : sockets) {
    switch (SendNotice(path)) {
      case Delivery::Delivered: ++reached; break;
      case Delivery::Gone: ::unlink(path.c_str()); break;
      case Delivery::Busy: break;
    }
  }
  return reached;
}

NotificationListener::NotificationListener(std::function<void()> onNotification, QObject* parent)
    : QObject(parent), onNotification_(std::move(onNotification)) {
  connect(&server_, &QLocalServer::newConnection, this, &NotificationListener::AcceptConnections);
}

NotificationListener::~NotificationListener() { server_.close(); }

bool NotificationListener::Listen(const std::string& directory, const std::string& name) {
  if (directory.empty()) return false;
  const QString path = QString::fromStdString(directory + "/" + name);
  // Our own process id: a file of that name can only be a leftover of a dead viewer.
  QLocalServer::removeServer(path);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  return server_.listen(path);
}

QString NotificationListener::SocketPath() const { return server_.fullServerName(); }

void NotificationListener::AcceptConnections() {
  while (QLocalSocket* peer = server_.nextPendingConnection()) {
    auto received = std::make_shared<QByteArray>();
    auto readAll = [this, peer, received] {
      received->append(peer->readAll());
      if (received->contains(kNotificationMessage)) {
        received->clear();
        if (onNotification_) onNotification_();
      } else if (received->size() > 64) {
        received->clear();  // not a viewer's peer; keep no garbage
      }
    };
    connect(peer, &QLocalSocket::readyRead, this, readAll);
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    readAll();
  }
}

}  // namespace kvt::viewer
