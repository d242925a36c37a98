// The settings the editor loads from and saves to the monitor's settings file.
#pragma once

#include <string>
#include <vector>

#include "common/settings_keys.h"
#include "editor/channel_setting.h"

namespace kvt::editor {

//! The settings as loaded from the file and as written back.
struct EditorSettings {
  std::vector<ChannelSetting> channels;  //!< every STA<i> section found, in list order
  std::string odbc;                      //!< DATABASE/ODBC as last loaded or saved
  std::string user;                      //!< DATABASE/USER
  std::string password;                  //!< DATABASE/PASSWORD (plain text)
  std::string dataDir;                   //!< DATA/DIR
  std::string logDir;                    //!< LOG/DIR; loaded only, never written
  int intervalSec = 0;                   //!< SYSTEM/NSEC#: display interval, seconds
  int channelCount = 0;                  //!< SYSTEM/N#: channels in use (the shown rows)
  int mode = 0;                          //!< SYSTEM/MODE: 0 newest data time, 1 UTC
  int delaySec = 0;                      //!< SYSTEM/DELAY: redraw delay and shift, seconds
  int useTend = 0;                       //!< DATABASE/USE_TEND, 0/1
  int updTend = 0;                       //!< DATABASE/UPD_TEND, 0/1
};

//! Working values of the data source page, each limited to the length of its field.
struct DataSourceFields {
  static constexpr size_t kDsnMax = keys::DbOdbc.dataSourceMaxLength;         //!< characters
  static constexpr size_t kUserMax = keys::DbUser.dataSourceMaxLength;        //!< characters
  static constexpr size_t kPasswordMax = keys::DbPassword.dataSourceMaxLength;  //!< characters
  static constexpr size_t kDataPathMax = keys::DataDir.dataSourceMaxLength;   //!< characters

  std::string dsn;       //!< data source name (may carry a " (System DSN)" suffix)
  std::string user;      //!< database user
  std::string password;  //!< database password
  std::string dataPath;  //!< root directory of the waveform files

  void SetDsn(std::string_view v) { dsn = Cut(v, kDsnMax); }
  void SetUser(std::string_view v) { user = Cut(v, kUserMax); }
  void SetPassword(std::string_view v) { password = Cut(v, kPasswordMax); }
  void SetDataPath(std::string_view v) { dataPath = Cut(v, kDataPathMax); }

 private:
  static std::string Cut(std::string_view v, size_t n) { return std::string(v.substr(0, n)); }
};

//! The states of the data source page's check boxes that a save needs.
struct SaveChoices {
  bool useTend = false;         //!< "Использовать поле TEND"
  bool updTend = false;         //!< "Обновить поле TEND при старте"
  bool saveConnection = true;   //!< "Сохранять настройки": write the connection keys
};

//! Outcome of a save: empty `error` on success, else what failed (file and reason).
struct SaveResult {
  std::string error;
  bool ok() const { return error.empty(); }
};

//! The settings file the editor works on, from the program's arguments (without the program
//! name). Exactly one argument names the file: an absolute path (or a drive or network path) is
//! used as given, any other name is taken in the current directory. Otherwise the file is
//! kvtview.ini in the current directory.
std::string SettingsFileName(const std::vector<std::string>& args);

//! Reads the editor's settings from `path` with the editor's defaults. A missing file gives
//! the defaults and no channel. Channels are read from STA0 up to the first absent or empty
//! section; channelCount never exceeds the number of channels found.
EditorSettings LoadSettings(const std::string& path);

//! Writes everything the editor owns to `path` and nothing else: the display keys, USE_TEND,
//! the connection keys when `choices.saveConnection`, every channel section, and deletes the
//! stale channel sections that follow the last channel up to the first gap. On success the
//! connection values of `settings` take those of `fields`. Every other key, section and comment of the
//! file stays as it was. The file is replaced in one step, so a failure leaves it (and `settings`) unchanged.
SaveResult SaveSettings(const std::string& path, EditorSettings& settings,
                        const DataSourceFields& fields, const SaveChoices& choices);

//! The pure part of a save: `fileText` (the file's bytes) with every key the editor owns set
//! as SaveSettings describes. On success `settings` has taken the values of `fields`; on
//! failure (a value the file cannot hold) the returned error names it and nothing changed.
struct SaveTextResult {
  std::string text;   //!< the whole new file
  std::string error;  //!< empty on success
  bool ok() const { return error.empty(); }
};
SaveTextResult ApplySave(std::string_view fileText, EditorSettings& settings,
                         const DataSourceFields& fields, const SaveChoices& choices);

//! The data source name as written to the file: up to its first blank (the list entries carry
//! a " (User DSN)" style suffix that must not reach the file).
std::string DsnForFile(std::string_view dsn);

}  // namespace kvt::editor
