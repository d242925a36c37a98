// Start-up's questions and reports shown as message boxes: the log directory question, the
// connection error and the TEND repair/check results.
#pragma once

#include "viewer/viewer_session.h"

class QWidget;

namespace kvt::viewer {

/// Callbacks for RunStartup that show modal message boxes over `parent` (may be null):
/// askYesNo a warning with Yes and No, showError an error box, showInfo a plain box, each
/// with an OK button and the given caption. Line ends "\r\n" in texts show as line breaks.
StartupUi MessageBoxStartupUi(QWidget* parent = nullptr);

}  // namespace kvt::viewer
