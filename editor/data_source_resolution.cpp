#include "editor/data_source_resolution.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "common/profile.h"
#include "common/settings_keys.h"

namespace kvt::editor {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Reads the four connection values of one settings file, each with an empty default.
void ReadConnectionFile(const std::string& path, DataSourceFields& fields) {
  const Profile profile = Profile::Load(path);
  fields.SetDsn(profile.Text(keys::DbOdbc.section, keys::DbOdbc.name, "",
                             keys::DbOdbc.dataSourceMaxLength));
  fields.SetUser(profile.Text(keys::DbUser.section, keys::DbUser.name, "",
                             keys::DbUser.dataSourceMaxLength));
  fields.SetPassword(profile.Text(keys::DbPassword.section, keys::DbPassword.name, "",
                             keys::DbPassword.dataSourceMaxLength));
  fields.SetDataPath(profile.Text(keys::DataDir.section, keys::DataDir.name, "",
                             keys::DataDir.dataSourceMaxLength));
}

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  return true;
}

int ApplyCommandLineOverrides(std::string_view commandLine, DataSourceFields& fields) {
  std::string upper(commandLine);
  for (char& c : upper) c = UpperAscii(c);
  const size_t start = upper.find("ODBC=");
  if (start == std::string::npos) return 0;

  struct Slot {
    std::string_view prefix;
    void (DataSourceFields::*set)(std::string_view);
  };
  static constexpr std::array<Slot, 4> kOrder{{
      {"ODBC=", &DataSourceFields::SetDsn},
      {"USER=", &DataSourceFields::SetUser},
      {"PASSWORD=", &DataSourceFields::SetPassword},
      {"DATA=", &DataSourceFields::SetDataPath},
  }};

  const std::string_view rest = std::string_view(upper).substr(start);
  int taken = 0;
  size_t pos = 0;
  while (taken < static_cast<int>(kOrder.size())) {
    while (pos < rest.size() && rest[pos] == ' ') ++pos;
    if (pos >= rest.size()) break;
    size_t end = rest.find(' ', pos);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view token = rest.substr(pos, end - pos);
    pos = end;
    const Slot& slot = kOrder[taken];
    if (token.substr(0, slot.prefix.size()) != slot.prefix) break;
    (fields.*slot.set)(token.substr(slot.prefix.size()));
    ++taken;
  }
  return taken;
}

std::string EditorSystemFile(
    const std::function<std::optional<std::string>(const char*)>& getenv) {
  std::string dir = "/etc";
  if (auto windir = getenv("WINDIR"); windir && !windir->empty()) dir = *windir;
  if (dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + std::string(kSystemFileName);
}

void ResolveDataSource(std::string_view commandLine, const std::string& settingsFile,
                       const std::string& systemFile, DataSourceFields& fields) {
  // An "ODBC=" with nothing after it names no data source, so the files still decide.
  if (ApplyCommandLineOverrides(commandLine, fields) > 0 && !fields.dsn.empty()) return;
  if (FileExists(settingsFile)) {
    ReadConnectionFile(settingsFile, fields);
    if (!fields.dsn.empty()) return;
  }
  if (FileExists(systemFile)) {
    ReadConnectionFile(systemFile, fields);
    if (!fields.dsn.empty()) return;
  }
  fields.SetDsn(keys::DbOdbc.dataSourceDefault);
  fields.SetUser(keys::DbUser.dataSourceDefault);
  fields.SetPassword(keys::DbPassword.dataSourceDefault);
  fields.SetDataPath(keys::DataDir.dataSourceDefault);
}

std::string DsnEntryText(std::string_view name, bool isSystem) {
  std::string text(name);
  text += isSystem ? kSystemDsnSuffix : kUserDsnSuffix;
  return text;
}

std::string DsnForTest(std::string_view entry) {
  if (entry.find(kSystemDsnSuffix) != std::string_view::npos)
    return std::string(entry.substr(0, entry.size() - kSystemDsnSuffix.size()));
  if (size_t at = entry.find(kUserDsnSuffix); at != std::string_view::npos)
    return std::string(entry.substr(0, at));
  return {};
}

std::string DsnForPageOk(std::string_view entry) {
  if (entry.find(kSystemDsnSuffix) != std::string_view::npos ||
      entry.find(kUserDsnSuffix) != std::string_view::npos)
    return DsnForTest(entry);
  return std::string(entry);
}

std::string ConnectReportText(std::string_view dsn, std::string_view user,
                              const std::vector<std::string>* tables) {
  std::string text = "Успешное подключение к DSN: ";
  text += dsn;
  text += "\t\r\n";
  text += "Пользователь: ";
  text += user;
  text += "\r\n\r\n";
  if (tables) {
    text += "Количество таблиц: " + std::to_string(tables->size()) + "\r\n";
    for (const std::string& name : *tables) text += "\t" + name + "\r\n";
  }
  return text;
}

std::string ConnectFailureText(std::string_view diagnostic) {
  std::string text = "При попытке подключения к базе данных произошла ошибка:\r\n";
  text += diagnostic;
  return text;
}

}  // namespace kvt::editor
