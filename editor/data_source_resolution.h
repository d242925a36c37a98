// Where the editor's starting connection values come from, and the data source list's texts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "editor/editor_settings.h"

namespace kvt::editor {

//! Suffixes of the data source list entries.
inline constexpr std::string_view kSystemDsnSuffix = " (System DSN)";
inline constexpr std::string_view kUserDsnSuffix = " (User DSN)";

//! Applies the connection overrides of a command line. The line is upper-cased; from its
//! first "ODBC=" on it is split at blanks into tokens that must come in the order ODBC=,
//! USER=, PASSWORD=, DATA=; the first token out of order ends the parse. Returns how many
//! tokens were taken (0 when the line holds no "ODBC="); fields not given keep their values.
int ApplyCommandLineOverrides(std::string_view commandLine, DataSourceFields& fields);

//! Path of the processing system's settings file the editor consults: kvt.ini in the
//! directory named by WINDIR, or in /etc when WINDIR is not set. `getenv` looks up a variable
//! (nullopt when unset).
std::string EditorSystemFile(
    const std::function<std::optional<std::string>(const char*)>& getenv);

//! Fills `fields` from the first source that gives a non-empty data source name: the command
//! line overrides, the settings file, the processing system's file, the built-in defaults.
//! The files are read only when they exist; the last three sources set all four values.
void ResolveDataSource(std::string_view commandLine, const std::string& settingsFile,
                       const std::string& systemFile, DataSourceFields& fields);

//! Text of a data source list entry: the name and its suffix.
std::string DsnEntryText(std::string_view name, bool isSystem);

//! The name inside a list entry for a connection test: the text before the suffix, or empty
//! when the text has no suffix.
std::string DsnForTest(std::string_view entry);

//! The name inside a list entry for the page's OK: the text before the suffix, or the whole
//! text when it has none.
std::string DsnForPageOk(std::string_view entry);

//! Index of the first entry that begins with `dsn`, compared without regard to ASCII case;
//! -1 when none does.
template <typename Range>
int FindEntryStartingWith(const Range& entries, std::string_view dsn);

//! True when `text` begins with `prefix`, compared without regard to ASCII case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

template <typename Range>
int FindEntryStartingWith(const Range& entries, std::string_view dsn) {
  int i = 0;
  for (const auto& e : entries) {
    if (StartsWithNoCase(std::string_view(e), dsn)) return i;
    ++i;
  }
  return -1;
}

//! Text of the success report of a connection test; `tables` is nullptr when the table list
//! could not be had (then count and names are left out).
std::string ConnectReportText(std::string_view dsn, std::string_view user,
                              const std::vector<std::string>* tables);

//! Text of the failure report of a connection attempt with the driver's diagnostic message.
std::string ConnectFailureText(std::string_view diagnostic);

}  // namespace kvt::editor
