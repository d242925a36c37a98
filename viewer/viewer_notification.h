// The "kvtview" notification between processes: every running viewer listens on a local socket
// named kvtview-<pid> in the user's runtime directory, and the settings editor's waiter sends
// "kvtview" to each of them so that all viewers redraw with the saved settings.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace kvt::viewer {

//! The message text and the prefix of every viewer's socket name.
inline constexpr char kNotificationMessage[] = "kvtview";

/// Directory of the viewers' sockets: $XDG_RUNTIME_DIR when it is set and is a directory,
/// else /tmp/kvtview-<uid>, created with mode 0700. Returns an empty string when that
/// directory cannot be made or belongs to another user (nobody must plant sockets for us).
std::string NotificationDirectory();

/// Socket file name of the viewer with process id `pid`: "kvtview-<pid>".
std::string NotificationSocketName(pid_t pid);

/// Sends "kvtview" to every viewer socket (kvtview-*) in `directory`. A socket nobody listens
/// on any more (its viewer crashed) is removed. Never blocks on a busy viewer: its notice is
/// skipped. Returns the number of viewers reached. Safe to call on any thread.
int NotifyAllViewers(const std::string& directory);

/// One viewer's end of the notification: a local server that calls `onNotification` (on the
/// thread that owns this object) whenever a peer sends "kvtview".
class NotificationListener : public QObject {
 public:
  explicit NotificationListener(std::function<void()> onNotification, QObject* parent = nullptr);
  ~NotificationListener() override;

  /// Starts listening on `directory`/`name`, replacing a socket file a crashed viewer with the
  /// same process id left behind. False (with the reason in errorString()) when that fails.
  bool Listen(const std::string& directory, const std::string& name);
  /// Full path of the socket while listening, else empty.
  QString SocketPath() const;
  QString errorString() const { return server_.errorString(); }

 private:
  void AcceptConnections();

  std::function<void()> onNotification_;
  QLocalServer server_;
};

}  // namespace kvt::viewer
