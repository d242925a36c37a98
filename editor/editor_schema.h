// The editor's view of the catalogue's names: SITECHAN and its columns as the database
// spells them.
#pragma once

#include "editor/sitechan_queries.h"

namespace kvt::editor {

//! Names of SITECHAN and its STA, CHAN and LCODE columns in the database's own spelling,
//! refreshed over connection `hdbc` (an SQLHDBC); the built-in upper-case names when there
//! is no connection or the database does not list them.
SitechanNames RefreshSitechanNames(void* hdbc);

}  // namespace kvt::editor
