// How the viewer names and finds the settings editor it starts. Pure text rules; the file
// system is asked through a caller's predicate so the rules test without files.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kvt::viewer {

//! File name of the settings editor program on this platform.
inline constexpr std::string_view kEditorProgramName = "inikvtview";

/// Settings file name handed to the editor: the viewer's executable file name (the part after
/// the last "/" or "\" of `executablePath`) cut before its first ".", followed by ".ini".
/// "/opt/kvt/kvtview" gives "kvtview.ini", "a.b.exe" gives "a.ini".
std::string EditorSettingsFileName(std::string_view executablePath);

/// Full path of the editor program: looked for first in `ownDirectory` (the viewer's own
/// directory), then in `currentDirectory`, then in each directory of `searchPath` (a PATH value,
/// ":"-separated; an empty element means the current directory). `isExecutable` tells whether a
/// path names a runnable file. Returns an empty string when none is found.
std::string FindEditorProgram(std::string_view ownDirectory, std::string_view currentDirectory,
                              std::string_view searchPath,
                              const std::function<bool(const std::string&)>& isExecutable);

}  // namespace kvt::viewer
