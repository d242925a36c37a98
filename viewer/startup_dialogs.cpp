#include "startup_dialogs.h"

#include <QMessageBox>
#include <QPointer>

namespace kvt::viewer {
namespace {

QString Shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

StartupUi MessageBoxStartupUi(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  StartupUi ui;
  ui.askYesNo = [owner](const std::string& text, const std::string& caption) {
    return QMessageBox::warning(owner, Shown(caption), Shown(text),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
  };
  ui.showError = [owner](const std::string& text, const std::string& caption) {
    QMessageBox::critical(owner, Shown(caption), Shown(text), QMessageBox::Ok);
  };
  ui.showInfo = [owner](const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, Shown(caption), Shown(text), QMessageBox::Ok, owner);
    box.exec();
  };
  return ui;
}

}  // namespace kvt::viewer
