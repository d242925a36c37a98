// inikvtview: the settings editor of the station monitor.
//
//   inikvtview [SETTINGS-FILE]
//   inikvtview ODBC=dsn [USER=user [PASSWORD=password [DATA=dir]]]

#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/data_source_resolution.h"
#include "editor/editor_state.h"
#include "editor/settings_dlg.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("inikvtview"));

  kvt::editor::EditorState state;
  std::vector<std::string> args(argv + 1, argv + argc);
  state.settingsFile = kvt::editor::SettingsFileName(args);
  for (int i = 0; i < argc; ++i) {
    if (i) state.commandLine += ' ';
    state.commandLine += argv[i];
  }
  state.systemFile = kvt::editor::EditorSystemFile([](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  });

  kvt::editor::CSettingsDlg dlg(state);
  dlg.exec();
  return 0;
}
