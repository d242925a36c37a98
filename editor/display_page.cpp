#include "editor/display_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "editor/editor_settings.h"

namespace kvt::editor {

CDisplayPage::CDisplayPage(EditorSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
  auto* outer = new QVBoxLayout(this);

  auto* params = new QGroupBox(QStringLiteral("Параметры вывода на экран"), this);
  auto* paramsLayout = new QVBoxLayout(params);
  paramsLayout->addWidget(
      new QLabel(QStringLiteral("Интервал времени для отображения данных на экране, сек."), params));
  interval_ = new QSpinBox(params);
  interval_->setRange(kIntervalMin, kIntervalMax);
  // A value from the file outside the range is shown at the nearest end; it stays in the
  // settings unchanged until the user changes the number.
  interval_->setValue(settings_.intervalSec);
  paramsLayout->addWidget(interval_);
  paramsLayout->addWidget(new QLabel(
      QStringLiteral("Задержка перерисовки данных и смещение их по оси времени, сек"), params));
  delay_ = new QSpinBox(params);
  delay_->setRange(kDelayMin, kDelayMax);
  delay_->setValue(settings_.delaySec);
  paramsLayout->addWidget(delay_);
  outer->addWidget(params);

  auto* modeBox = new QGroupBox(QStringLiteral("Режим вывода на экран"), this);
  auto* modeLayout = new QVBoxLayout(modeBox);
  databaseTime_ = new QRadioButton(QStringLiteral("Последнее время в базе данных"), modeBox);
  utcTime_ = new QRadioButton(QStringLiteral("Последнее время по Гринвичу"), modeBox);
  modeLayout->addWidget(databaseTime_);
  modeLayout->addWidget(utcTime_);
  // Any mode other than 0 is shown as UTC but kept as loaded until a button is clicked.
  (settings_.mode == 0 ? databaseTime_ : utcTime_)->setChecked(true);
  outer->addWidget(modeBox);
  outer->addStretch(1);

  connect(interval_, &QSpinBox::valueChanged, this, [this](int v) { settings_.intervalSec = v; });
  connect(delay_, &QSpinBox::valueChanged, this, [this](int v) { settings_.delaySec = v; });
  connect(databaseTime_, &QRadioButton::clicked, this, [this] { settings_.mode = 0; });
  connect(utcTime_, &QRadioButton::clicked, this, [this] { settings_.mode = 1; });
}

}  // namespace kvt::editor
