#include "editor/data_source_admin_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/message_box.h"

namespace kvt::editor {
namespace {
const QString kTitle = QStringLiteral("Источники данных ODBC");
}

CDsnEditDlg::CDsnEditDlg(const DsnDefinition& def, const std::vector<std::string>& drivers,
                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(def.name.empty() ? QStringLiteral("Новый источник данных")
                                  : QStringLiteral("Источник данных ") + QString::fromStdString(def.name));
  auto* form = new QFormLayout(this);
  name_ = new QLineEdit(QString::fromStdString(def.name), this);
  driver_ = new QComboBox(this);
  for (const std::string& d : drivers) driver_->addItem(QString::fromStdString(d));
  if (!def.driver.empty()) {
    if (driver_->findText(QString::fromStdString(def.driver)) < 0)
      driver_->addItem(QString::fromStdString(def.driver));
    driver_->setCurrentText(QString::fromStdString(def.driver));
  }
  attributes_ = new QPlainTextEdit(this);
  QString text;
  for (const auto& [key, value] : def.attributes)
    text += QString::fromStdString(key) + '=' + QString::fromStdString(value) + '\n';
  attributes_->setPlainText(text);
  form->addRow(QStringLiteral("Имя источника данных"), name_);
  form->addRow(QStringLiteral("Драйвер"), driver_);
  form->addRow(new QLabel(QStringLiteral("Параметры (ключ=значение, по одному в строке), "
                                         "например Database=/srv/kvt/catalogue.db"), this));
  form->addRow(attributes_);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  form->addRow(box);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

DsnDefinition CDsnEditDlg::Definition() const {
  DsnDefinition def;
  def.name = name_->text().trimmed().toStdString();
  def.driver = driver_->currentText().toStdString();
  for (const QString& line : attributes_->toPlainText().split('\n')) {
    const int eq = line.indexOf('=');
    if (eq <= 0) continue;
    def.attributes.emplace_back(line.left(eq).trimmed().toStdString(),
                                line.mid(eq + 1).trimmed().toStdString());
  }
  return def;
}

CDataSourceAdminDlg::CDataSourceAdminDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kTitle);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel(QStringLiteral("Пользовательские источники данных"), this));
  list_ = new QListWidget(this);
  outer->addWidget(list_);
  auto* row = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("Добавить..."), this);
  auto* edit = new QPushButton(QStringLiteral("Изменить..."), this);
  auto* remove = new QPushButton(QStringLiteral("Удалить"), this);
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
  row->addWidget(add);
  row->addWidget(edit);
  row->addWidget(remove);
  row->addStretch(1);
  row->addWidget(close);
  outer->addLayout(row);
  connect(add, &QPushButton::clicked, this, &CDataSourceAdminDlg::AddSource);
  connect(edit, &QPushButton::clicked, this, &CDataSourceAdminDlg::EditSelected);
  connect(list_, &QListWidget::itemDoubleClicked, this, &CDataSourceAdminDlg::EditSelected);
  connect(remove, &QPushButton::clicked, this, &CDataSourceAdminDlg::RemoveSelected);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
}

void CDataSourceAdminDlg::Refresh() {
  list_->clear();
  for (const std::string& name : UserDataSources()) list_->addItem(QString::fromStdString(name));
}

bool CDataSourceAdminDlg::Store(const DsnDefinition& def, const std::string& previousName) {
  const AdminResult r = WriteUserDsn(def, previousName);
  if (!r.ok()) {
    ShowMessage({this, kTitle, QString::fromStdString(r.error), MsgIcon::Critical, MsgButtons::Ok});
    return false;
  }
  Refresh();
  return true;
}

void CDataSourceAdminDlg::AddSource() {
  const std::vector<std::string> drivers = InstalledDrivers();
  if (drivers.empty()) {
    ShowMessage({this, kTitle, QStringLiteral("Не установлено ни одного драйвера ODBC"),
                 MsgIcon::Warning, MsgButtons::Ok});
    return;
  }
  CDsnEditDlg dlg({}, drivers, this);
  while (dlg.exec() == QDialog::Accepted) {
    if (Store(dlg.Definition(), {})) return;
  }
}

void CDataSourceAdminDlg::EditSelected() {
  auto* item = list_->currentItem();
  if (!item) return;
  const std::string name = item->text().toStdString();
  CDsnEditDlg dlg(ReadUserDsn(name), InstalledDrivers(), this);
  while (dlg.exec() == QDialog::Accepted) {
    if (Store(dlg.Definition(), name)) return;
  }
}

void CDataSourceAdminDlg::RemoveSelected() {
  auto* item = list_->currentItem();
  if (!item) return;
  const std::string name = item->text().toStdString();
  if (ShowMessage({this, kTitle, QStringLiteral("Удалить источник данных ") + item->text() + '?',
                   MsgIcon::Question, MsgButtons::YesNo}) != MsgAnswer::Yes)
    return;
  const AdminResult r = RemoveUserDsn(name);
  if (!r.ok())
    ShowMessage({this, kTitle, QString::fromStdString(r.error), MsgIcon::Critical, MsgButtons::Ok});
  Refresh();
}

}  // namespace kvt::editor
