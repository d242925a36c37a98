// The editor's small ODBC data source administrator: lists, adds, changes and removes the
// user's data sources for the installed drivers.
#pragma once

#include <QDialog>

#include "editor/odbc_admin.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace kvt::editor {

//! Edits one data source definition: name, driver and further attributes "key=value", one a
//! line.
class CDsnEditDlg : public QDialog {
  Q_OBJECT
 public:
  CDsnEditDlg(const DsnDefinition& def, const std::vector<std::string>& drivers,
              QWidget* parent = nullptr);
  //! The definition as edited; attribute lines without "=" are left out.
  DsnDefinition Definition() const;

  QLineEdit* nameEdit() const { return name_; }
  QComboBox* driverList() const { return driver_; }
  QPlainTextEdit* attributesEdit() const { return attributes_; }

 private:
  QLineEdit* name_ = nullptr;
  QComboBox* driver_ = nullptr;
  QPlainTextEdit* attributes_ = nullptr;
};

class CDataSourceAdminDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CDataSourceAdminDlg(QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }
  //! Re-reads the user data sources.
  void Refresh();
  //! Stores `def` (replacing `previousName`); shows the reason when that fails.
  bool Store(const DsnDefinition& def, const std::string& previousName);
  //! Removes the selected data source after the user confirms.
  void RemoveSelected();

 private:
  void AddSource();
  void EditSelected();

  QListWidget* list_ = nullptr;
};

}  // namespace kvt::editor
