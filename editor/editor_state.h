// Everything the editor keeps for its whole run: the settings, the data source page's working
// values and the database connection.
#pragma once

#include <string>

#include "editor/editor_connection.h"
#include "editor/editor_settings.h"

namespace kvt::editor {

//! The editor's state, one instance per run, shared by the main dialog and its pages.
struct EditorState {
  std::string settingsFile;  //!< the settings file every read and write uses
  std::string commandLine;   //!< the whole command line, for the connection overrides
  std::string systemFile;    //!< the processing system's kvt.ini
  EditorSettings settings;   //!< as loaded, changed by the pages, written by a save
  DataSourceFields fields;   //!< working values of the data source page
  EditorConnection connection;  //!< the editor's own database connection
};

}  // namespace kvt::editor
