#pragma once
// kvtview --snapshot: the viewer's start-up up to the connection, then one
// redraw pass written as a PNG file. Needs a QGuiApplication.

#include "viewer/snapshot_options.h"

#include <string>
#include <vector>

namespace kvt::viewer {

//! Runs the snapshot; messages go to stderr. Returns the process exit status:
//! 0 written, 1 start-up or writing failed.
int RunSnapshot(const std::vector<std::string>& args, const SnapshotOptions& options);

}  // namespace kvt::viewer
