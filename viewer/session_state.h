#pragma once
// The database objects of the viewer session (internal to the viewer's core).

#include "common/connection_settings.h"
#include "common/settings_keys.h"
#include "dblib/db_schema.h"
#include "dblib/wave_database.h"
#include "viewer/viewer_session.h"

namespace kvt::viewer {

struct ViewerSession::State {
    State(std::string_view programPath, EnvLookup env)
        : connection(kSettingsFileName, programPath, std::move(env)) {}

    CDbSchema schema;               //!< names for the viewer's own statements
    ConnectionSettings connection;  //!< resolves the connection values
    CWaveDatabase database;         //!< the one catalogue connection
    //! A reconnect failed during the current pass: the rest of the pass does
    //! not try again (each attempt may wait for the driver's login timeout).
    bool reconnectFailed = false;
};

}  // namespace kvt::viewer
