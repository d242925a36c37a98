// Second page of the main dialog: how the monitor reaches its data (data source, user,
// password, data directory, TEND options), the connection test and the data source list.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kvt::editor {

struct EditorState;

//! Opens the editor's connection with the data source page's values (replacing any former
//! one). With `report` a success is shown with the tables the database lists; a failure is
//! always shown. Returns true on success; false without a message when the driver manager
//! cannot give handles.
bool ConnectDataSource(EditorState& state, bool report);

//! Fills the page's values from the command line, the settings file, kvt.ini or the defaults.
void ResolveDataSource(EditorState& state);

class CDataSourcePage : public QWidget {
  Q_OBJECT
 public:
  //! Works on `state`, which must outlive the page. Resolves the page's values.
  CDataSourcePage(EditorState& state, QWidget* parent = nullptr);

  QComboBox* dataSourceList() const { return dsnList_; }
  QLineEdit* userEdit() const { return user_; }
  QLineEdit* passwordEdit() const { return password_; }
  QLineEdit* dataPathEdit() const { return dataPath_; }
  QCheckBox* useTendBox() const { return useTend_; }
  QCheckBox* updTendBox() const { return updTend_; }
  QCheckBox* saveSettingsBox() const { return saveSettings_; }
  QPushButton* testButton() const { return test_; }
  QPushButton* adminButton() const { return admin_; }

  //! Fills the data source list from the driver manager and selects the entry of the current
  //! data source name.
  void FillDataSources();
  //! Shows the values of the settings and of the resolution in the controls.
  void ShowValues();
  //! "Тест": connects with the selected entry and reports the result.
  void Test();
  //! The page's own "OK": takes the controls' values without writing anything.
  void TakeValues();

 private:
  void BrowseFolder();
  void OpenAdministrator();

  EditorState& state_;
  QComboBox* dsnList_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* dataPath_ = nullptr;
  QCheckBox* useTend_ = nullptr;
  QCheckBox* updTend_ = nullptr;
  QCheckBox* saveSettings_ = nullptr;
  QPushButton* test_ = nullptr;
  QPushButton* admin_ = nullptr;
};

}  // namespace kvt::editor
