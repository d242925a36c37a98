// Message boxes of the editor, routed through one replaceable function so that tests can
// answer them instead of a user.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kvt::editor {

enum class MsgIcon { Information, Warning, Critical, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

//! Everything a message box shows.
struct MessageRequest {
  QWidget* parent = nullptr;  //!< owner window, nullptr for a box without owner
  QString title;
  QString text;
  MsgIcon icon = MsgIcon::Information;
  MsgButtons buttons = MsgButtons::Ok;
};

using MessageBoxHandler = std::function<MsgAnswer(const MessageRequest&)>;

//! Shows a message box (modal) and returns the button chosen.
MsgAnswer ShowMessage(const MessageRequest& request);

//! Replaces the function that shows message boxes; an empty handler restores the real boxes.
//! Returns the handler it replaced.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

//! Title of the boxes that carry the program's name.
QString ProgramTitle();

}  // namespace kvt::editor
