// The viewer's one command, "Конфигурация": start the settings editor on the viewer's settings
// file and, when the editor ends, tell every running viewer to redraw.
#pragma once

#include <sys/types.h>

#include <string>

class QWidget;

namespace kvt::viewer {

//! Where the editor is looked for and whom its end is told.
struct EditorLaunchPlaces {
  std::string executablePath;         //!< the viewer's own executable (/proc/self/exe)
  std::string currentDirectory;       //!< the viewer's working directory
  std::string searchPath;             //!< PATH
  std::string notificationDirectory;  //!< where the viewers' sockets are
};

/// The places of this process: its executable, working directory, PATH and socket directory.
EditorLaunchPlaces CurrentEditorLaunchPlaces();

/// Starts the editor found by FindEditorProgram with the settings file name derived from the
/// executable's name as its one argument, in the viewer's working directory and environment,
/// then starts a detached EditorWaitThread for it. Returns the editor's process id, or -1 when
/// it could not be started (no waiter is started then).
pid_t StartSettingsEditor(const EditorLaunchPlaces& places);

/// Waits for the editor process `pid` to end, however it ends, then notifies every running
/// viewer in `notificationDirectory` (NotifyAllViewers). Runs on its own thread.
void EditorWaitThread(pid_t pid, std::string notificationDirectory);

/// The command: StartSettingsEditor for this process; when the editor cannot be started, a
/// warning box "Не удалось обнаружить файл inikvtview" over `parent`.
void LaunchSettingsEditor(QWidget* parent);
/// The same with the places given (tests).
void LaunchSettingsEditor(QWidget* parent, const EditorLaunchPlaces& places);

//! Text of the warning when the editor cannot be started.
inline constexpr char kEditorMissingText[] = "Не удалось обнаружить файл inikvtview";

}  // namespace kvt::viewer
