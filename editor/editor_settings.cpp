#include "editor/editor_settings.h"

#include <algorithm>

#include "common/profile.h"
#include "common/settings_keys.h"

namespace kvt::editor {
namespace {

// Applies one edit to the text under construction; keeps the first error.
class TextEditor {
 public:
  explicit TextEditor(std::string_view text) : text_(text) {}

  void Set(const SettingKey& key, std::string_view value, int channel = 0) {
    if (!error_.empty()) return;
    ProfileEdit e = SetProfileString(text_, SectionOf(key, channel), key.name, value);
    if (!e.ok()) {
      error_ = "[" + SectionOf(key, channel) + "] " + std::string(key.name) + ": " + e.message;
      return;
    }
    text_ = std::move(e.text);
  }
  void RemoveSection(const std::string& section) {
    if (!error_.empty()) return;
    ProfileEdit e = RemoveProfileSection(text_, section);
    if (!e.ok()) {
      error_ = "[" + section + "]: " + e.message;
      return;
    }
    text_ = std::move(e.text);
  }
  const std::string& text() const { return text_; }
  const std::string& error() const { return error_; }

 private:
  std::string text_;
  std::string error_;
};

}  // namespace

std::string SettingsFileName(const std::vector<std::string>& args) {
  if (args.size() != 1) return "./" + std::string(kSettingsFileName);
  const std::string& arg = args[0];
  const bool drivePath = arg.size() >= 3 && arg[1] == ':' && arg[2] == '\\';
  const bool networkPath = arg.rfind("\\\\", 0) == 0;
  const bool absolutePath = !arg.empty() && arg[0] == '/';
  if (drivePath || networkPath || absolutePath) return arg;
  return "./" + arg;
}

std::string DsnForFile(std::string_view dsn) {
  return std::string(dsn.substr(0, dsn.find(' ')));
}

EditorSettings LoadSettings(const std::string& path) {
  const Profile profile = Profile::Load(path);
  EditorSettings s;
  s.odbc = profile.EditorText(keys::DbOdbc);
  s.user = profile.EditorText(keys::DbUser);
  s.password = profile.EditorText(keys::DbPassword);
  s.dataDir = profile.EditorText(keys::DataDir);
  s.logDir = profile.EditorText(keys::LogDir);
  s.intervalSec = profile.EditorInt(keys::WindowSeconds);
  s.channelCount = profile.EditorInt(keys::ChannelCount);
  s.mode = profile.EditorInt(keys::Mode);
  s.delaySec = profile.EditorInt(keys::Delay);

  // Channels run from STA0 up to the first missing or empty section.
  for (int i = 0; i < keys::kMaxEditorChannels; ++i) {
    if (!profile.SectionHasKeys(ChannelSection(i))) break;
    ChannelSetting ch;
    ch.station = profile.EditorText(keys::ChannelName, i);
    ch.channel = profile.EditorText(keys::ChannelCh, i);
    ch.lcode = profile.EditorText(keys::ChannelLcode, i);
    ParseFilter(profile.EditorText(keys::ChannelFilter, i), ch.lowHz, ch.highHz);
    s.channels.push_back(std::move(ch));
  }
  // N# may promise more sections than the file holds; a negative count shows nothing.
  s.channelCount = std::clamp(s.channelCount, 0, static_cast<int>(s.channels.size()));

  s.useTend = profile.EditorInt(keys::DbUseTend);
  s.updTend = profile.EditorInt(keys::DbUpdTend);
  return s;
}

SaveTextResult ApplySave(std::string_view fileText, EditorSettings& settings,
                         const DataSourceFields& fields, const SaveChoices& choices) {
  TextEditor edit(fileText);
  edit.Set(keys::WindowSeconds, std::to_string(settings.intervalSec));
  edit.Set(keys::Mode, std::to_string(settings.mode));
  edit.Set(keys::Delay, std::to_string(settings.delaySec));
  edit.Set(keys::ChannelCount, std::to_string(settings.channelCount));

  // USE_TEND follows its box on every save; the connection keys only when the user asked
  // for them to be kept ("Сохранять настройки").
  edit.Set(keys::DbUseTend, choices.useTend ? "1" : "0");
  if (choices.saveConnection) {
    edit.Set(keys::DbUpdTend, choices.updTend ? "1" : "0");
    edit.Set(keys::DbOdbc, DsnForFile(fields.dsn));
    edit.Set(keys::DbUser, fields.user);
    edit.Set(keys::DbPassword, fields.password);
    edit.Set(keys::DataDir, fields.dataPath);
  }

  const int n = static_cast<int>(settings.channels.size());
  for (int i = 0; i < keys::kMaxEditorChannels; ++i) {
    if (i < n) {
      const ChannelSetting& ch = settings.channels[i];
      edit.Set(keys::ChannelName, ch.station, i);
      edit.Set(keys::ChannelCh, ch.channel, i);
      edit.Set(keys::ChannelLcode, ch.lcode, i);
      edit.Set(keys::ChannelFilter, FilterValue(ch), i);
      continue;
    }
    // Sections of channels deleted since the last save, up to the first gap.
    if (!Profile::FromText(edit.text()).SectionHasKeys(ChannelSection(i))) break;
    edit.RemoveSection(ChannelSection(i));
  }

  SaveTextResult result;
  result.error = edit.error();
  if (result.ok()) {
    result.text = edit.text();
    settings.odbc = fields.dsn;
    settings.user = fields.user;
    settings.password = fields.password;
    settings.dataDir = fields.dataPath;
  }
  return result;
}

SaveResult SaveSettings(const std::string& path, EditorSettings& settings,
                        const DataSourceFields& fields, const SaveChoices& choices) {
  std::string bytes;
  bool found = false;
  SaveResult result;
  if (ProfileResult read = ReadProfileFile(path, bytes, found); !read.ok()) {
    result.error = read.message;
    return result;
  }
  EditorSettings updated = settings;
  SaveTextResult text = ApplySave(bytes, updated, fields, choices);
  if (!text.ok()) {
    result.error = "cannot save settings to " + path + ": " + text.error;
    return result;
  }
  result.error = ReplaceProfileFile(path, text.text).message;
  if (result.ok()) settings = std::move(updated);
  return result;
}

}  // namespace kvt::editor
