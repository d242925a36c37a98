#include "editor/message_box.h"

#include <QMessageBox>

namespace kvt::editor {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

MsgAnswer ShowReal(const MessageRequest& r) {
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (r.icon) {
    case MsgIcon::Information: icon = QMessageBox::Information; break;
    case MsgIcon::Warning: icon = QMessageBox::Warning; break;
    case MsgIcon::Critical: icon = QMessageBox::Critical; break;
    case MsgIcon::Question: icon = QMessageBox::Question; break;
  }
  const auto buttons = r.buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                                      : QMessageBox::StandardButtons(QMessageBox::Ok);
  // The texts keep the CR LF line ends they were written with; the box wants plain LF.
  QString text = r.text;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon, r.title, text, buttons, r.parent);
  const int answer = box.exec();
  if (r.buttons == MsgButtons::YesNo) return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
  return MsgAnswer::Ok;
}

}  // namespace

MsgAnswer ShowMessage(const MessageRequest& request) {
  if (Handler()) return Handler()(request);
  return ShowReal(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

QString ProgramTitle() { return QStringLiteral("inikvtview"); }

}  // namespace kvt::editor
