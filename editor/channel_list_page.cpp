#include "editor/channel_list_page.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "editor/channel_dlg.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"

namespace kvt::editor {

CChannelListPage::CChannelListPage(EditorState& state, QWidget* parent)
    : QWidget(parent), state_(state),
      model_(state.settings.channels, state.settings.channelCount) {
  auto* outer = new QVBoxLayout(this);
  table_ = new QTableWidget(0, 5, this);
  table_->setHorizontalHeaderLabels({QString(), QStringLiteral("Код станции"),
                                     QStringLiteral("Код канала"), QStringLiteral("LCODE"),
                                     QStringLiteral("Фильтр")});
  table_->verticalHeader()->hide();
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(true);
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table_->horizontalHeader()->setSectionsClickable(true);
  table_->viewport()->installEventFilter(this);
  outer->addWidget(table_);

  auto* buttons = new QHBoxLayout;
  up_ = new QPushButton(this);
  up_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  up_->setToolTip(QStringLiteral("Вверх"));
  down_ = new QPushButton(this);
  down_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  down_->setToolTip(QStringLiteral("Вниз"));
  add_ = new QPushButton(QStringLiteral("Добавить"), this);
  delete_ = new QPushButton(QStringLiteral("Удалить"), this);
  change_ = new QPushButton(QStringLiteral("Изменить"), this);
  buttons->addWidget(up_);
  buttons->addWidget(down_);
  buttons->addStretch(1);
  buttons->addWidget(add_);
  buttons->addWidget(delete_);
  buttons->addWidget(change_);
  outer->addLayout(buttons);

  connect(add_, &QPushButton::clicked, this, &CChannelListPage::AddChannel);
  connect(change_, &QPushButton::clicked, this, &CChannelListPage::ChangeChannel);
  connect(delete_, &QPushButton::clicked, this, &CChannelListPage::DeleteChannel);
  connect(up_, &QPushButton::clicked, this, &CChannelListPage::MoveUp);
  connect(down_, &QPushButton::clicked, this, &CChannelListPage::MoveDown);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int, int) { ChangeChannel(); });
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    if (column == 1) SortByStation();
  });
  Rebuild();
}

void CChannelListPage::FitColumns() {
  // The number column takes one part, each of the four others three parts of the width.
  const int w = table_->viewport()->width();
  table_->setColumnWidth(0, w / 13);
  for (int c = 1; c < 5; ++c) table_->setColumnWidth(c, 3 * w / 13);
}

void CChannelListPage::SetRow(int row) {
  const RowTexts texts = model_.Row(row);
  for (int c = 0; c < 5; ++c) {
    auto* item = table_->item(row, c);
    if (!item) {
      item = new QTableWidgetItem;
      table_->setItem(row, c, item);
    }
    item->setText(QString::fromStdString(texts[c]));
  }
  table_->item(row, 0)->setData(Qt::UserRole, row);
}

void CChannelListPage::Rebuild() {
  table_->clearContents();
  table_->setRowCount(model_.RowCount());
  for (int i = 0; i < model_.RowCount(); ++i) SetRow(i);
}

int CChannelListPage::SelectedRow() const {
  const auto rows = table_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CChannelListPage::SelectRow(int row) {
  table_->clearSelection();
  if (row < 0 || row >= table_->rowCount()) return;
  table_->setCurrentCell(row, 0);
  table_->selectRow(row);
}

void CChannelListPage::AddChannel() {
  const int at = SelectedRow();
  CChannelDlg dlg(state_, -1, at, this);
  if (dlg.exec() != QDialog::Accepted) return;
  Rebuild();
  SelectRow(at < 0 ? 0 : at);
}

void CChannelListPage::ChangeChannel() {
  const int row = SelectedRow();
  if (row < 0) {
    // Nothing selected: the dialog adds a channel at the top instead.
    CChannelDlg dlg(state_, -1, 0, this);
    if (dlg.exec() == QDialog::Accepted) Rebuild();
    return;
  }
  CChannelDlg dlg(state_, row, row, this);
  if (dlg.exec() != QDialog::Accepted) return;
  SetRow(row);
}

void CChannelListPage::DeleteChannel() {
  const int row = SelectedRow();
  if (row < 0) return;
  const MsgAnswer answer =
      ShowMessage({this, ProgramTitle(), QStringLiteral("Вы действительно хотите\n удалить станцию?"),
                   MsgIcon::Question, MsgButtons::YesNo});
  if (answer != MsgAnswer::Yes) return;
  if (!model_.Remove(row)) return;
  table_->removeRow(row);
  for (int i = 0; i < table_->rowCount(); ++i) {
    table_->item(i, 0)->setText(QString::number(i + 1));
    table_->item(i, 0)->setData(Qt::UserRole, i);
  }
}

void CChannelListPage::MoveUp() {
  const int to = model_.MoveUp(SelectedRow());
  if (to < 0) return;
  Rebuild();
  SelectRow(to);
  table_->setFocus();
}

void CChannelListPage::MoveDown() {
  const int to = model_.MoveDown(SelectedRow());
  if (to < 0) return;
  Rebuild();
  SelectRow(to);
  table_->setFocus();
}

void CChannelListPage::SortByStation() {
  const int selected = model_.SortByStation(SelectedRow());
  Rebuild();
  SelectRow(selected);
}

void CChannelListPage::RowClicked(int row, bool right, bool ctrl) {
  const bool changed = right ? model_.RightClick(row, ctrl) : model_.Click(row, ctrl);
  if (!changed) return;
  Rebuild();
  SelectRow(row);
}

bool CChannelListPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport() && event->type() == QEvent::Resize) FitColumns();
  if (watched == table_->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton || me->button() == Qt::RightButton) {
      const int row = table_->rowAt(static_cast<int>(me->position().y()));
      const bool ctrl = me->modifiers() & Qt::ControlModifier;
      RowClicked(row, me->button() == Qt::RightButton, ctrl);
      // With Ctrl the gesture is ours alone; the table would otherwise toggle the selection.
      if (ctrl) return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kvt::editor
