#include "editor/odbc_admin.h"

#include <sql.h>
#include <odbcinst.h>

#include <array>
#include <strings.h>

#include <cstring>

namespace kvt::editor {
namespace {

constexpr const char* kOdbcIni = "odbc.ini";

// Switches the installer to the user's data sources for the lifetime of the object and back
// to its former mode afterwards, so a failure cannot leave the process in user-only mode.
class UserConfigMode {
 public:
  UserConfigMode() {
    if (!SQLGetConfigMode(&previous_)) previous_ = ODBC_BOTH_DSN;
    SQLSetConfigMode(ODBC_USER_DSN);
  }
  ~UserConfigMode() noexcept { SQLSetConfigMode(previous_); }
  UserConfigMode(const UserConfigMode&) = delete;
  UserConfigMode& operator=(const UserConfigMode&) = delete;

 private:
  UWORD previous_ = ODBC_BOTH_DSN;
};

// The installer's first error message, or `fallback` when it reports none.
std::string InstallerError(const char* fallback) {
  DWORD code = 0;
  std::array<char, 1024> msg{};
  WORD len = 0;
  const RETCODE rc = SQLInstallerError(1, &code, msg.data(), static_cast<WORD>(msg.size()), &len);
  if ((rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) && msg[0] != '\0')
    return std::string(fallback) + ": " + msg.data();
  return fallback;
}

// Splits a list of zero-terminated strings that ends with an empty one.
std::vector<std::string> SplitList(const char* buf, size_t size) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < size && buf[i] != '\0') {
    const size_t len = strnlen(buf + i, size - i);
    out.emplace_back(buf + i, len);
    i += len + 1;
  }
  return out;
}

std::string ReadValue(const std::string& section, const std::string& key) {
  std::vector<char> buf(4096);
  const int n = SQLGetPrivateProfileString(section.c_str(), key.c_str(), "", buf.data(),
                                           static_cast<int>(buf.size()), kOdbcIni);
  if (n <= 0) return {};
  return std::string(buf.data(), strnlen(buf.data(), buf.size()));
}

// Keys of `section`, or the section names when `section` is null.
std::vector<std::string> ReadKeys(const char* section) {
  std::vector<char> buf(16384);
  const int n = SQLGetPrivateProfileString(section, nullptr, "", buf.data(),
                                           static_cast<int>(buf.size()), kOdbcIni);
  if (n <= 0) return {};
  // Depending on the version, the key list is separated by zero bytes or by ";".
  std::vector<std::string> keys;
  for (const std::string& item : SplitList(buf.data(), static_cast<size_t>(n) + 1)) {
    size_t start = 0;
    while (start <= item.size()) {
      size_t end = item.find(';', start);
      if (end == std::string::npos) end = item.size();
      if (end > start) keys.push_back(item.substr(start, end - start));
      start = end + 1;
    }
  }
  return keys;
}

bool ValidName(const std::string& s) {
  return !s.empty() && s.find_first_of("[]=\n\r") == std::string::npos;
}

}  // namespace

std::vector<std::string> InstalledDrivers() {
  std::vector<char> buf(16384);
  WORD used = 0;
  if (!SQLGetInstalledDrivers(buf.data(), static_cast<WORD>(buf.size()), &used)) return {};
  return SplitList(buf.data(), buf.size());
}

std::vector<std::string> UserDataSources() {
  UserConfigMode mode;
  std::vector<std::string> out;
  for (const std::string& s : ReadKeys(nullptr)) {
    if (s != "ODBC") out.push_back(s);  // [ODBC] holds the driver manager's own options
  }
  return out;
}

DsnDefinition ReadUserDsn(const std::string& name) {
  UserConfigMode mode;
  DsnDefinition def;
  const std::vector<std::string> keys = ReadKeys(name.c_str());
  if (keys.empty()) return def;
  def.name = name;
  for (const std::string& key : keys) {
    if (strcasecmp(key.c_str(), "Driver") == 0)
      def.driver = ReadValue(name, key);
    else
      def.attributes.emplace_back(key, ReadValue(name, key));
  }
  return def;
}

AdminResult WriteUserDsn(const DsnDefinition& def, const std::string& previousName) {
  if (!ValidName(def.name)) return {"Недопустимое имя источника данных"};
  if (def.driver.empty()) return {"Не выбран драйвер ODBC"};
  for (const auto& [key, value] : def.attributes) {
    if (!ValidName(key) || strcasecmp(key.c_str(), "Driver") == 0)
      return {"Недопустимое имя параметра: " + key};
    if (value.find_first_of("\n\r") != std::string::npos)
      return {"Недопустимое значение параметра: " + key};
  }
  UserConfigMode mode;
  // Keys the new definition drops must not linger from the old one.
  for (const std::string& key : ReadKeys(def.name.c_str())) {
    bool kept = strcasecmp(key.c_str(), "Driver") == 0;
    for (const auto& attr : def.attributes) kept = kept || strcasecmp(key.c_str(), attr.first.c_str()) == 0;
    if (!kept && !SQLWritePrivateProfileString(def.name.c_str(), key.c_str(), nullptr, kOdbcIni))
      return {InstallerError("Не удалось изменить источник данных")};
  }
  if (!SQLWritePrivateProfileString(def.name.c_str(), "Driver", def.driver.c_str(), kOdbcIni))
    return {InstallerError("Не удалось записать источник данных")};
  for (const auto& [key, value] : def.attributes) {
    if (!SQLWritePrivateProfileString(def.name.c_str(), key.c_str(), value.c_str(), kOdbcIni))
      return {InstallerError("Не удалось записать источник данных")};
  }
  if (!previousName.empty() && previousName != def.name) {
    if (!SQLWritePrivateProfileString(previousName.c_str(), nullptr, nullptr, kOdbcIni))
      return {InstallerError("Не удалось удалить прежний источник данных")};
  }
  return {};
}

AdminResult RemoveUserDsn(const std::string& name) {
  if (!ValidName(name)) return {"Недопустимое имя источника данных"};
  UserConfigMode mode;
  if (!SQLWritePrivateProfileString(name.c_str(), nullptr, nullptr, kOdbcIni))
    return {InstallerError("Не удалось удалить источник данных")};
  return {};
}

}  // namespace kvt::editor
