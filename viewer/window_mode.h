// The viewer as a window: start-up with message boxes, the monitor table, the main window
// "Varurod" on the configured monitor, and the event loop until the window closes.
#pragma once

#include <string>
#include <vector>

#include "viewer/main_frame.h"
#include "viewer/viewer_session.h"

namespace kvt::viewer {

/// Runs start-up (RunStartup with `ui`) and, when it succeeds, the main window with the real
/// redraw pass until the user closes it. `frame` supplies the timing and notification options
/// (its settingsPath and pass are set here). Needs a QApplication. Returns the process exit
/// code: 0 after the window closed, 1 when start-up ended the program.
int RunWindowViewer(ViewerSession& session, const std::vector<std::string>& args,
                    const StartupUi& ui, FrameOptions frame = {});

/// main() of the window mode: creates the QApplication and the session for `argv`, shows
/// start-up's questions and errors in message boxes, then runs the window.
int WindowMain(int argc, char** argv);

}  // namespace kvt::viewer
