#include "editor_command.h"

#include <vector>

namespace kvt::viewer {
namespace {

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace

std::string EditorSettingsFileName(std::string_view executablePath) {
  std::string_view name = executablePath;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name) + ".ini";
}

std::string FindEditorProgram(std::string_view ownDirectory, std::string_view currentDirectory,
                              std::string_view searchPath,
                              const std::function<bool(const std::string&)>& isExecutable) {
  std::vector<std::string_view> directories;
  if (!ownDirectory.empty()) directories.push_back(ownDirectory);
  if (!currentDirectory.empty()) directories.push_back(currentDirectory);
  if (!searchPath.empty()) {
    std::size_t begin = 0;
    while (true) {
      const std::size_t colon = searchPath.find(':', begin);
      const std::string_view element = searchPath.substr(begin, colon - begin);
      directories.push_back(element.empty() ? currentDirectory : element);
      if (colon == std::string_view::npos) break;
      begin = colon + 1;
    }
  }
  for (std::string_view directory : directories) {
    if (directory.empty()) continue;
    std::string candidate = JoinPath(directory, kEditorProgramName);
    if (isExecutable(candidate)) return candidate;
  }
  return {};
}

}  // namespace kvt::viewer
