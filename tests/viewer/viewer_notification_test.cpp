#include "viewer/viewer_notification.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <future>

#include <QLocalSocket>

#include <gtest/gtest.h>

#include "window_test_support.h"

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// A socket file whose viewer is gone: bound once, never listened on, closed.
void LeaveDeadSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(std::filesystem::exists(path));
}

TEST(ViewerNotification, EveryListeningViewerHearsItAndDeadSocketsAreRemoved) {
  QTemporaryDir dir;
  const std::string directory = dir.path().toStdString();
  int heardA = 0, heardB = 0;
  NotificationListener a([&] { ++heardA; });
  NotificationListener b([&] { ++heardB; });
  ASSERT_TRUE(a.Listen(directory, "kvtview-101"));
  ASSERT_TRUE(b.Listen(directory, "kvtview-102"));
  LeaveDeadSocket(directory + "/kvtview-103");
  testing::WriteFile(directory + "/kvtview-notes", "not a socket");  // left alone
  testing::WriteFile(directory + "/other-socket", "");

  std::future<int> reached = std::async(std::launch::async, NotifyAllViewers, directory);
  ASSERT_TRUE(WaitUntil([&] { return heardA == 1 && heardB == 1; }));
  EXPECT_EQ(reached.get(), 2);
  EXPECT_FALSE(std::filesystem::exists(directory + "/kvtview-103"));
  EXPECT_TRUE(std::filesystem::exists(directory + "/kvtview-notes"));
  EXPECT_TRUE(std::filesystem::exists(directory + "/kvtview-101"));
}

TEST(ViewerNotification, ListenReplacesTheSocketOfACrashedViewerWithTheSameId) {
  QTemporaryDir dir;
  const std::string directory = dir.path().toStdString();
  LeaveDeadSocket(directory + "/kvtview-7");
  int heard = 0;
  NotificationListener listener([&] { ++heard; });
  ASSERT_TRUE(listener.Listen(directory, "kvtview-7")) << listener.errorString().toStdString();
  std::future<int> reached = std::async(std::launch::async, NotifyAllViewers, directory);
  EXPECT_TRUE(WaitUntil([&] { return heard == 1; }));
  EXPECT_EQ(reached.get(), 1);
}

TEST(ViewerNotification, OtherTextsAreNotANotification) {
  QTemporaryDir dir;
  int heard = 0;
  NotificationListener listener([&] { ++heard; });
  ASSERT_TRUE(listener.Listen(dir.path().toStdString(), "kvtview-8"));
  QLocalSocket peer;
  peer.connectToServer(listener.SocketPath());
  ASSERT_TRUE(peer.waitForConnected(testing::kWindowWait));
  peer.write("hello");
  peer.flush();
  testing::Pump(200ms);
  EXPECT_EQ(heard, 0);
  peer.write("kvtview");  // may arrive in pieces: the text is gathered across reads
  peer.flush();
  EXPECT_TRUE(WaitUntil([&] { return heard == 1; }));
}

TEST(ViewerNotification, NoViewersAndNoDirectory) {
  QTemporaryDir dir;
  EXPECT_EQ(NotifyAllViewers(dir.path().toStdString()), 0);
  EXPECT_EQ(NotifyAllViewers(""), 0);
  EXPECT_EQ(NotifyAllViewers(dir.path().toStdString() + "/missing"), 0);
}

TEST(ViewerNotification, DirectoryIsTheUsersRuntimeDirectory) {
  QTemporaryDir dir;
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
  EXPECT_EQ(NotificationDirectory(), dir.path().toStdString());
  qunsetenv("XDG_RUNTIME_DIR");
  const std::string fallback = NotificationDirectory();
  EXPECT_EQ(fallback, "/tmp/kvtview-" + std::to_string(::getuid()));
  struct stat info {};
  ASSERT_EQ(::stat(fallback.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
  EXPECT_EQ(NotificationSocketName(1234), "kvtview-1234");
}

}  // namespace
}  // namespace kvt::viewer
