// The editor's main dialog: three pages over the settings, written back on OK or "Применить".
#pragma once

#include <QDialog>

class QTabWidget;

namespace kvt::editor {

struct EditorState;
class CChannelListPage;
class CDataSourcePage;
class CDisplayPage;

class CSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  //! Loads the settings from state.settingsFile, resolves the data source and opens the
  //! editor's connection (a failure is shown; the editor goes on without one).
  CSettingsDlg(EditorState& state, QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  CChannelListPage* channelPage() const { return channels_; }
  CDataSourcePage* dataSourcePage() const { return dataSource_; }
  CDisplayPage* displayPage() const { return display_; }

  //! Writes everything the editor owns to the settings file; shows why when that fails.
  bool Save();

 public slots:
  void accept() override;

 private:
  EditorState& state_;
  QTabWidget* tabs_ = nullptr;
  CChannelListPage* channels_ = nullptr;
  CDataSourcePage* dataSource_ = nullptr;
  CDisplayPage* display_ = nullptr;
};

}  // namespace kvt::editor
