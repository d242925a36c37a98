// Whole-file reading and atomic replacement of the settings file, so that one save of the
// editor reaches the disk in one step or not at all.
#pragma once

#include <string>

namespace kvt::editor {

//! Reads the whole file at `path` into `bytes`; a missing file gives empty bytes. Returns an
//! empty text on success, else the reason naming the file.
std::string ReadSettingsBytes(const std::string& path, std::string& bytes);

//! Replaces the file at `path` (or the file a symbolic link there points to) with `bytes`: a
//! temporary file beside it is written, flushed and renamed over it, keeping the old file's
//! permissions. Returns an empty text on success, else the reason; the old file is then intact.
std::string ReplaceSettingsFile(const std::string& path, const std::string& bytes);

}  // namespace kvt::editor
