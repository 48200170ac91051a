// The Qt back end of the user-interface service (platform/ui.h), installed
// by the GUI hosts once a QApplication exists.
//
// A question becomes a QMessageBox (caption, text, icon, one push button
// per Button with its "&" access key, the default one focused, disabled
// ones greyed) or, when it has an edit field, a small QDialog with the
// label, a QLineEdit (masked for passwords, a drop-down of earlier entries
// when the question offers them) and the buttons in a row; closing the
// window answers closeId. File choosers are QFileDialogs with the filter
// list turned into Qt's name filters (each pattern offered in upper and
// lower case, since the original file system ignores case); the folder
// chooser is QFileDialog's directory mode.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "platform/ui.h"

namespace vz::ui {

class QtBackend : public Backend {
 public:
  // parent: the window the dialogs are modal to (may be null).
  explicit QtBackend(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  Answer ask(const Question& q) override;
  std::vector<std::string> chooseFiles(const FileChooser& c) override;
  std::optional<std::string> chooseFolder(const FolderChooser& c) override;

 private:
  QWidget* parent_;  // owner of the dialogs
};

// The filter list "Desc|*.A;*.B|Desc2|*.C||" as Qt name filters
// ("Desc (*.A *.a *.B *.b)").
QStringList qtNameFilters(const std::string& filter);

// Installs a QtBackend with parent and returns it.
std::shared_ptr<QtBackend> installQtUiBackend(QWidget* parent = nullptr);

}  // namespace vz::ui
