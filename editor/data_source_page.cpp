#include "editor/data_source_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/data_source_admin_dlg.h"
#include "editor/data_source_resolution.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"

namespace kvt::editor {

bool ConnectDataSource(EditorState& state, bool report) {
  const ConnectOutcome out =
      state.connection.Connect(state.fields.dsn, state.fields.user, state.fields.password);
  if (out.allocationFailed) return false;
  if (!out.ok) {
    ShowMessage({nullptr, QStringLiteral("Ошибка при подключении к базе данных"),
                 QString::fromStdString(ConnectFailureText(out.diagnostic)), MsgIcon::Critical,
                 MsgButtons::Ok});
    return false;
  }
  if (!report) return true;
  const auto tables = state.connection.ListTables();
  const std::string text =
      ConnectReportText(state.fields.dsn, state.fields.user, tables ? &*tables : nullptr);
  ShowMessage({nullptr, QStringLiteral("Подключение к источнику данных!"),
               QString::fromStdString(text), MsgIcon::Information, MsgButtons::Ok});
  return true;
}

void ResolveDataSource(EditorState& state) {
  ResolveDataSource(state.commandLine, state.settingsFile, state.systemFile, state.fields);
}

CDataSourcePage::CDataSourcePage(EditorState& state, QWidget* parent)
    : QWidget(parent), state_(state) {
  ResolveDataSource(state_);

  auto* outer = new QVBoxLayout(this);
  admin_ = new QPushButton(QStringLiteral("Вызов ODBC Data Source Administrator"), this);
  outer->addWidget(admin_);

  auto* group = new QGroupBox(this);
  auto* grid = new QGridLayout(group);
  int r = 0;
  grid->addWidget(new QLabel(QStringLiteral("Имя ресурса базы данных, объявленного в ODBC"), group), r++, 0, 1, 2);
  dsnList_ = new QComboBox(group);
  grid->addWidget(dsnList_, r++, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Имя пользователя"), group), r++, 0, 1, 2);
  user_ = new QLineEdit(group);
  user_->setMaxLength(static_cast<int>(DataSourceFields::kUserMax));
  grid->addWidget(user_, r++, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Пароль пользователя"), group), r++, 0, 1, 2);
  password_ = new QLineEdit(group);
  password_->setEchoMode(QLineEdit::Password);
  password_->setMaxLength(static_cast<int>(DataSourceFields::kPasswordMax));
  grid->addWidget(password_, r++, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Путь на данные для системы обработки сейсмических данных (KVT)"), group), r++, 0, 1, 2);
  dataPath_ = new QLineEdit(group);
  dataPath_->setMaxLength(static_cast<int>(DataSourceFields::kDataPathMax));
  auto* browse = new QPushButton(QStringLiteral(".."), group);
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
  grid->addWidget(dataPath_, r, 0);
  grid->addWidget(browse, r++, 1);
  auto* tendRow = new QHBoxLayout;
  useTend_ = new QCheckBox(QStringLiteral("Использовать поле TEND"), group);
  updTend_ = new QCheckBox(QStringLiteral("Обновить поле TEND при старте"), group);
  tendRow->addWidget(useTend_);
  tendRow->addStretch(1);
  tendRow->addWidget(updTend_);
  grid->addLayout(tendRow, r++, 0, 1, 2);
  outer->addWidget(group);

  auto* bottom = new QHBoxLayout;
  saveSettings_ = new QCheckBox(QStringLiteral("Сохранять настройки"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
  test_ = new QPushButton(QStringLiteral("Тест"), this);
  bottom->addWidget(saveSettings_);
  bottom->addStretch(1);
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  bottom->addWidget(test_);
  outer->addLayout(bottom);
  outer->addStretch(1);

  ShowValues();
  FillDataSources();
  saveSettings_->setChecked(true);

  connect(dsnList_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) state_.fields.SetDsn(dsnList_->itemText(index).toStdString());
  });
  connect(user_, &QLineEdit::textChanged, this,
          [this](const QString& t) { state_.fields.SetUser(t.toStdString()); });
  connect(password_, &QLineEdit::textChanged, this,
          [this](const QString& t) { state_.fields.SetPassword(t.toStdString()); });
  connect(dataPath_, &QLineEdit::textChanged, this,
          [this](const QString& t) { state_.fields.SetDataPath(t.toStdString()); });
  connect(useTend_, &QCheckBox::clicked, this, [this](bool on) {
    if (!on) updTend_->setChecked(false);
    updTend_->setEnabled(on);
  });
  connect(browse, &QPushButton::clicked, this, &CDataSourcePage::BrowseFolder);
  connect(test_, &QPushButton::clicked, this, &CDataSourcePage::Test);
  connect(ok, &QPushButton::clicked, this, &CDataSourcePage::TakeValues);
  connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
  connect(admin_, &QPushButton::clicked, this, &CDataSourcePage::OpenAdministrator);
}

void CDataSourcePage::ShowValues() {
  const bool use = state_.settings.useTend != 0;
  useTend_->setChecked(use);
  updTend_->setEnabled(use);
  updTend_->setChecked(use && state_.settings.updTend != 0);
  user_->setText(QString::fromStdString(state_.fields.user));
  password_->setText(QString::fromStdString(state_.fields.password));
  dataPath_->setText(QString::fromStdString(state_.fields.dataPath));
}

void CDataSourcePage::FillDataSources() {
  const std::string dsn = state_.fields.dsn;
  const QSignalBlocker block(dsnList_);
  dsnList_->clear();
  std::vector<std::string> entries;
  for (const DataSourceEntry& e : ListDataSources()) {
    entries.push_back(DsnEntryText(e.name, e.isSystem));
    dsnList_->addItem(QString::fromStdString(entries.back()));
  }
  dsnList_->setCurrentIndex(FindEntryStartingWith(entries, dsn));
}

void CDataSourcePage::Test() {
  state_.fields.SetDsn(DsnForTest(dsnList_->currentText().toStdString()));
  state_.fields.SetUser(user_->text().toStdString());
  state_.fields.SetPassword(password_->text().toStdString());
  state_.connection.Disconnect();
  ConnectDataSource(state_, true);
}

void CDataSourcePage::TakeValues() {
  state_.fields.SetDsn(DsnForPageOk(dsnList_->currentText().toStdString()));
  state_.fields.SetUser(user_->text().toStdString());
  state_.fields.SetPassword(password_->text().toStdString());
  state_.fields.SetDataPath(dataPath_->text().toStdString());
  state_.settings.useTend = useTend_->isChecked() ? 1 : 0;
  state_.settings.updTend = updTend_->isChecked() ? 1 : 0;
}

void CDataSourcePage::BrowseFolder() {
  const QString start = dataPath_->text().left(255);
  const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Выбор каталога"), start);
  if (!dir.isEmpty()) dataPath_->setText(dir);
}

void CDataSourcePage::OpenAdministrator() {
  CDataSourceAdminDlg dlg(this);
  dlg.exec();
  // Data sources added or removed there show at once; the current choice stays selected.
  const std::string current = dsnList_->currentText().toStdString();
  const std::string keep = state_.fields.dsn;
  state_.fields.dsn = current.empty() ? keep : current;
  FillDataSources();
  state_.fields.dsn = keep;
}

}  // namespace kvt::editor
