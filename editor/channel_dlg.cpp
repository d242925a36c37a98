#include "editor/channel_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/channel_list.h"
#include "editor/editor_schema.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"

namespace kvt::editor {
namespace {

constexpr const char* kDefaultLow = "0.70";
constexpr const char* kDefaultHigh = "1.40";
// Codes come from 8-byte buffers: at most 7 characters, as the monitor keeps them.
constexpr size_t kCodeBuffer = 8;

std::string Text(const QComboBox* list) {
  return list->currentIndex() < 0 ? std::string() : list->currentText().toStdString();
}

// The order of a sorted drop-down list: without regard to ASCII case, then by bytes.
bool ListLess(const std::string& a, const std::string& b) {
  const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  const bool less = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [&](char x, char y) { return lower(x) < lower(y); });
  const bool greater = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(),
      [&](char x, char y) { return lower(x) < lower(y); });
  return less || (!greater && a < b);
}

}  // namespace

CChannelDlg::CChannelDlg(EditorState& state, int editIndex, int insertIndex, QWidget* parent)
    : QDialog(parent), state_(state), editIndex_(editIndex),
      insertIndex_(insertIndex < 0 ? 0 : insertIndex) {
  if (editIndex_ >= static_cast<int>(state_.settings.channels.size())) editIndex_ = -1;

  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(this);
  auto* form = new QFormLayout(group);
  station_ = new QComboBox(group);
  channel_ = new QComboBox(group);
  lcode_ = new QComboBox(group);
  form->addRow(QStringLiteral("Код станции"), station_);
  form->addRow(QStringLiteral("Код канала"), channel_);
  form->addRow(QStringLiteral("LCODE"), lcode_);
  filter_ = new QCheckBox(QStringLiteral("Фильтр"), group);
  form->addRow(filter_);
  low_ = new QLineEdit(group);
  high_ = new QLineEdit(group);
  form->addRow(QStringLiteral("Нижняя частота, Гц"), low_);
  form->addRow(QStringLiteral("Верхняя частота, Гц"), high_);
  outer->addWidget(group);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
  buttons->addWidget(ok);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &CChannelDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CChannelDlg::reject);

  // The database's own spelling of SITECHAN and its columns.
  names_ = RefreshSitechanNames(state_.connection.hdbc());

  filter_->setChecked(true);
  low_->setText(QString::fromLatin1(kDefaultLow));
  high_->setText(QString::fromLatin1(kDefaultHigh));
  if (!IsEdit()) {
    setWindowTitle(QStringLiteral("Добавление канала..."));
  } else {
    setWindowTitle(QStringLiteral("Изменение канала..."));
    const ChannelSetting& ch = state_.settings.channels[editIndex_];
    if (ch.lowHz != 0.0 || ch.highHz != 0.0) {
      low_->setText(QString::fromStdString(FormatHz(ch.lowHz)));
      high_->setText(QString::fromStdString(FormatHz(ch.highHz)));
    } else {
      filter_->setChecked(false);
    }
  }
  low_->setEnabled(filter_->isChecked());
  high_->setEnabled(filter_->isChecked());
  connect(filter_, &QCheckBox::clicked, this, [this](bool on) {
    low_->setEnabled(on);
    high_->setEnabled(on);
  });
  connect(station_, &QComboBox::activated, this, [this](int) { StationPicked(); });
  connect(channel_, &QComboBox::activated, this, [this](int) { ChannelPicked(); });

  auto stations = FetchTextColumn(state_.connection.hdbc(), StationQuery(names_), kCodeBuffer);
  if (!stations) return;  // no connection or no table: the lists stay empty
  std::vector<std::string> values;
  for (auto& v : *stations)
    if (v) values.push_back(*v);
  std::stable_sort(values.begin(), values.end(), ListLess);
  FillList(station_, values, IsEdit() ? state_.settings.channels[editIndex_].station : "",
           QStringLiteral("Станция не найдена в базе данных"));
  FillChannels();
}

std::vector<std::string> CChannelDlg::Fetch(const std::string& sql, bool nullAsUnknown) const {
  std::vector<std::string> out;
  auto rows = FetchTextColumn(state_.connection.hdbc(), sql, kCodeBuffer);
  if (!rows) return out;
  for (auto& v : *rows) {
    if (v)
      out.push_back(*v);
    else if (nullAsUnknown)
      out.emplace_back(kNullLcodeText);
  }
  return out;
}

void CChannelDlg::FillList(QComboBox* list, const std::vector<std::string>& values,
                           const std::string& wanted, const QString& missingText) {
  list->clear();
  for (const std::string& v : values) list->addItem(QString::fromStdString(v));
  if (values.empty()) return;
  if (!IsEdit()) {
    list->setCurrentIndex(0);
    return;
  }
  int at = MatchEntry(values, wanted);
  if (at < 0) {
    ShowMessage({this, ProgramTitle(), missingText, MsgIcon::Warning, MsgButtons::Ok});
    at = 0;
  }
  list->setCurrentIndex(at);
}

void CChannelDlg::FillChannels() {
  channel_->clear();
  if (!state_.connection.connected()) return;
  const std::vector<std::string> values = Fetch(ChannelQuery(names_, Text(station_)), false);
  FillList(channel_, values, IsEdit() ? state_.settings.channels[editIndex_].channel : "",
           QStringLiteral("Канал не найден в базе данных"));
  FillLcodes();
}

void CChannelDlg::FillLcodes() {
  lcode_->clear();
  if (!state_.connection.connected()) return;
  std::vector<std::string> values =
      Fetch(LcodeQuery(names_, Text(station_), Text(channel_)), true);
  std::stable_sort(values.begin(), values.end(), ListLess);
  FillList(lcode_, values, IsEdit() ? state_.settings.channels[editIndex_].lcode : "",
           QStringLiteral("LCODE не найден в базе данных"));
}

void CChannelDlg::StationPicked() { FillChannels(); }

void CChannelDlg::ChannelPicked() { FillLcodes(); }

void CChannelDlg::accept() {
  if (filter_->isChecked() && (low_->text().isEmpty() || high_->text().isEmpty())) {
    ShowMessage({this, ProgramTitle(), QStringLiteral("Необходимо заполнить верхний и нижний фильтры"),
                 MsgIcon::Warning, MsgButtons::Ok});
    return;
  }
  ChannelSetting ch;
  ch.station = Text(station_);
  ch.channel = Text(channel_);
  ch.lcode = Text(lcode_);
  if (filter_->isChecked()) {
    ch.lowHz = LeadingDouble(low_->text().toStdString());
    ch.highHz = LeadingDouble(high_->text().toStdString());
  }
  ChannelListModel list(state_.settings.channels, state_.settings.channelCount);
  if (IsEdit())
    list.Replace(editIndex_, ch);
  else
    list.Insert(insertIndex_, ch);
  QDialog::accept();
}

}  // namespace kvt::editor
