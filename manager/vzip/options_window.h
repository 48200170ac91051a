// The options window ("Configure Options for Vemora.Zip") and the
// view-method question, as classes so that the tests and the screenshot
// program can build them around a model of their own. The window only
// shows and edits an OptionsModel (manager/app/options_model.h); OK copies
// the widgets into the model and commits it, Cancel drops it.
#pragma once

#include <QDialog>
#include <QSortFilterProxyModel>
#include <string>

#include "manager/app/options_model.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace vz::vzip {

class OptionsDialog : public QDialog {
  Q_OBJECT
 public:
  // model outlives the dialog.
  OptionsDialog(manager::OptionsModel& model, QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  // OK: the widgets' values into the model, the model into the store.
  void accept() override;

 private:
  QWidget* makeGeneralPage();
  QWidget* makeAssociationsPage();
  QWidget* makeVersionPage();
  QWidget* makeVirusPage();
  void fillAssociations();
  void modifySelected();
  void removeSelected();
  void browseBaseFolder();
  void browseVirusProgram();

  manager::OptionsModel& model_;            // the values being edited
  QTabWidget* tabs_ = nullptr;              // the four pages
  QRadioButton* standardOpen_ = nullptr;    // UseFav "False"
  QRadioButton* favouritesOpen_ = nullptr;  // UseFav "True"
  QLineEdit* baseFolder_ = nullptr;
  QCheckBox* highlight_ = nullptr;
  QTreeWidget* associations_ = nullptr;  // "File Type" / "View Method", the model's order
  QLineEdit* virusProgram_ = nullptr;
  QLineEdit* virusParam_ = nullptr;
};

// The view-method question: the three methods as choices, OK and Cancel.
class ViewMethodDialog : public QDialog {
  Q_OBJECT
 public:
  ViewMethodDialog(const std::string& extension, const std::string& current, QWidget* parent = nullptr);
  // The method ticked (one of the three, the first when none was given).
  std::string method() const;

 private:
  QRadioButton* choices_[3] = {};  // Associated Program, Internal Viewer, Windows Notepad
};

// Between the virus program chooser's file system model and its view: with
// programsOnly (the "Executable Files" choice, the default) folders and the
// names manager::looksLikeProgram accepts, otherwise everything. The file
// system model is told to keep the names its own patterns reject; they come
// disabled, and the ones kept here are enabled again.
class ProgramFileFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setSourceModel(QAbstractItemModel* source) override;
  void setProgramsOnly(bool on);
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  bool programsOnly_ = true;  // the first filter is selected when the chooser opens
};

// The Windows form of a file filter ("Text|*.TXT;*.DOC|All|*.*") in Qt's
// form ("Text (*.TXT *.DOC);;All (*)"): "*.*" becomes "*", which matches
// every name here, also those without a dot.
QString qtFileFilter(const QString& windowsFilter);

}  // namespace vz::vzip
