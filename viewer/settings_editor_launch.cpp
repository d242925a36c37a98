#include "settings_editor_launch.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <QMessageBox>

#include "editor_command.h"
#include "viewer_notification.h"

extern char** environ;

namespace kvt::viewer {

EditorLaunchPlaces CurrentEditorLaunchPlaces() {
  EditorLaunchPlaces places;
  std::error_code error;
  places.executablePath = std::filesystem::read_symlink("/proc/self/exe", error).string();
  places.currentDirectory = std::filesystem::current_path(error).string();
  if (const char* path = std::getenv("PATH")) places.searchPath = path;
  places.notificationDirectory = NotificationDirectory();
  return places;
}

pid_t StartSettingsEditor(const EditorLaunchPlaces& places) {
  const std::string ownDirectory =
      std::filesystem::path(places.executablePath).parent_path().string();
  const std::string program = FindEditorProgram(
      ownDirectory, places.currentDirectory, places.searchPath,
      [](const std::string& path) {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
      });
  if (program.empty()) return -1;

  const std::string settingsFile = EditorSettingsFileName(places.executablePath);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(settingsFile.c_str()),
                  nullptr};
  pid_t pid = -1;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;

  std::thread(EditorWaitThread, pid, places.notificationDirectory).detach();
  return pid;
}

void EditorWaitThread(pid_t pid, std::string notificationDirectory) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  NotifyAllViewers(notificationDirectory);
}

void LaunchSettingsEditor(QWidget* parent) { LaunchSettingsEditor(parent, CurrentEditorLaunchPlaces()); }

void LaunchSettingsEditor(QWidget* parent, const EditorLaunchPlaces& places) {
  if (StartSettingsEditor(places) < 0) {
    QMessageBox::warning(parent, QStringLiteral("Varurod"), QString::fromUtf8(kEditorMissingText),
                         QMessageBox::Ok);
  }
}

}  // namespace kvt::viewer
