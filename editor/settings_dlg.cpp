#include "editor/settings_dlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "editor/channel_list_page.h"
#include "editor/data_source_page.h"
#include "editor/display_page.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"

namespace kvt::editor {
namespace {

// The program's icon: a small seismogram trace.
QIcon ProgramIcon() {
  QPixmap pm(32, 32);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setPen(QPen(Qt::darkBlue, 2));
  const QPoint pts[] = {{1, 16}, {8, 16}, {11, 6}, {14, 26}, {17, 10}, {20, 20}, {23, 16}, {31, 16}};
  p.drawPolyline(pts, 8);
  p.end();
  return QIcon(pm);
}

}  // namespace

CSettingsDlg::CSettingsDlg(EditorState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setWindowTitle(QStringLiteral("Изменение настороек системы визуализации данных..."));
  setWindowIcon(ProgramIcon());
  state_.settings = LoadSettings(state_.settingsFile);

  channels_ = new CChannelListPage(state_, this);
  dataSource_ = new CDataSourcePage(state_, this);
  display_ = new CDisplayPage(state_.settings, this);

  // The connection the channel dialog queries SITECHAN over.
  ResolveDataSource(state_);
  ConnectDataSource(state_, false);

  auto* outer = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->addTab(channels_, QStringLiteral("Просмотр каналов"));
  tabs_->addTab(dataSource_, QStringLiteral("Источник данных"));
  tabs_->addTab(display_, QStringLiteral("Вывод на экран"));
  // A page hidden by its own "Отмена" shows again when its tab is chosen anew.
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) {
    if (QWidget* page = tabs_->widget(i)) page->show();
  });
  outer->addWidget(tabs_);

  auto* buttons = new QHBoxLayout;
  auto* apply = new QPushButton(QStringLiteral("Применить"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
  buttons->addStretch(1);
  buttons->addWidget(apply);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  connect(apply, &QPushButton::clicked, this, [this] { Save(); });
  connect(ok, &QPushButton::clicked, this, &CSettingsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CSettingsDlg::reject);
  resize(640, 460);
}

bool CSettingsDlg::Save() {
  SaveChoices choices;
  choices.useTend = dataSource_->useTendBox()->isChecked();
  choices.updTend = dataSource_->updTendBox()->isChecked();
  choices.saveConnection = dataSource_->saveSettingsBox()->isChecked();
  const SaveResult r = SaveSettings(state_.settingsFile, state_.settings, state_.fields, choices);
  if (r.ok()) return true;
  ShowMessage({this, ProgramTitle(),
               QStringLiteral("Настройки не сохранены:\n") + QString::fromStdString(r.error),
               MsgIcon::Critical, MsgButtons::Ok});
  return false;
}

void CSettingsDlg::accept() {
  // A failed save keeps the dialog open so that no edit is lost.
  if (Save()) QDialog::accept();
}

}  // namespace kvt::editor
