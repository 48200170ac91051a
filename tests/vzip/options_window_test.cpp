// The options window on the offscreen platform: its pages show the stored
// values, Remove and Modify (through the view-method question) edit the
// list, and OK writes through the model while Cancel writes nothing.
#include "manager/vzip/options_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <sys/stat.h>

#include "platform/registry.h"
#include "tests/support/test_env.h"

namespace vz::vzip {
namespace {

constexpr RegRoot kCU = RegRoot::CurrentUser;

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "options_window_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class OptionsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    reg::setString(kCU, manager::kSettingsKey, "UseFav", "tRUE");
    manager::SettingsStore().replaceAssociations({{".TXT", manager::kWindowsNotepad},
                                                  {".BMP", manager::kInternalViewer},
                                                  {".RTF", manager::kAssociatedProgram}});
    manager::SettingsStore().setVirusProgram("/opt/scan/scanner");
  }
  template <class W>
  static W* child(QWidget* w, const char* name) {
    W* c = w->findChild<W*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  static QStringList column(QTreeWidget* list, int col) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(col);
    return texts;
  }
  test::ScopedRoot root_;
};

TEST_F(OptionsWindowTest, PagesShowTheStoreAndOkWritesThroughTheModel) {
  manager::OptionsModel model;
  OptionsDialog dialog(model);
  EXPECT_EQ(dialog.windowTitle(), "Configure Options for Vemora.Zip");
  QStringList pages;
  for (int i = 0; i < dialog.tabs()->count(); ++i) pages << dialog.tabs()->tabText(i);
  EXPECT_EQ(pages,
            (QStringList{"&General Options", "Viewing &Associations", "&Version Details", "Anti-&Virus Program"}));

  EXPECT_TRUE(child<QRadioButton>(&dialog, "favouritesOpen")->isChecked());
  EXPECT_EQ(child<QRadioButton>(&dialog, "standardOpen")->text(), "Use the &standard Open Dialog interface (Default)");
  EXPECT_TRUE(child<QCheckBox>(&dialog, "buttonsHighlight")->isChecked());
  EXPECT_EQ(child<QLineEdit>(&dialog, "virusProgram")->text(), "/opt/scan/scanner");
  QTreeWidget* versions = child<QTreeWidget>(&dialog, "versionDetails");
  EXPECT_EQ(versions->headerItem()->text(0), "Item");
  EXPECT_TRUE(column(versions, 0).contains("Qt version"));
  EXPECT_EQ(column(versions, 1).at(column(versions, 0).indexOf("Qt version")), qVersion());

  QTreeWidget* list = child<QTreeWidget>(&dialog, "associations");
  EXPECT_EQ(list->headerItem()->text(0), "File Type");
  EXPECT_EQ(list->headerItem()->text(1), "View Method");
  EXPECT_EQ(column(list, 0), (QStringList{".BMP", ".RTF", ".TXT"}));

  // Remove .BMP; the current row is then .RTF, which Modify changes to
  // Notepad through the question (answered as soon as it is shown).
  list->setCurrentItem(list->topLevelItem(0));
  child<QPushButton>(&dialog, "remove")->click();
  EXPECT_EQ(column(list, 0), (QStringList{".RTF", ".TXT"}));
  bool asked = false;
  QTimer::singleShot(0, [&asked] {
    auto* question = qobject_cast<ViewMethodDialog*>(QApplication::activeModalWidget());
    if (!question) return;
    asked = true;
    EXPECT_TRUE(question->findChild<QRadioButton*>("method0")->isChecked());  // the row's current method
    question->findChild<QRadioButton*>("method2")->setChecked(true);
    question->accept();
  });
  child<QPushButton>(&dialog, "modify")->click();
  EXPECT_TRUE(asked);
  EXPECT_EQ(column(list, 1), (QStringList{"Windows Notepad", "Windows Notepad"}));

  child<QRadioButton>(&dialog, "standardOpen")->setChecked(true);
  child<QCheckBox>(&dialog, "buttonsHighlight")->setChecked(false);
  child<QLineEdit>(&dialog, "baseFolder")->setText("/data/Unzips/");
  child<QLineEdit>(&dialog, "virusParam")->setText("-r");
  child<QPushButton>(&dialog, "ok")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  manager::SettingsStore store;
  EXPECT_EQ(reg::getString(kCU, manager::kSettingsKey, "UseFav"), "False");
  EXPECT_EQ(reg::getInteger(kCU, manager::kSettingsKey, "ButtonsHighlight"), 0u);
  EXPECT_EQ(store.baseFolder(), "/data/Unzips/");
  EXPECT_EQ(store.virusProgram(), "/opt/scan/scanner");
  EXPECT_EQ(store.virusParam(), "-r");
  std::vector<manager::AssociationRow> rows = store.associations();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].extension, ".RTF");
  EXPECT_EQ(rows[0].method, manager::kWindowsNotepad);
  EXPECT_EQ(rows[1].extension, ".TXT");
}

TEST_F(OptionsWindowTest, CancelWritesNothing) {
  const std::vector<uint8_t> before = test::readFile(reg::storeFile(kCU));
  manager::OptionsModel model;
  OptionsDialog dialog(model);
  QTreeWidget* list = child<QTreeWidget>(&dialog, "associations");
  list->setCurrentItem(list->topLevelItem(0));
  child<QPushButton>(&dialog, "remove")->click();
  child<QLineEdit>(&dialog, "virusProgram")->setText("");
  child<QPushButton>(&dialog, "cancel")->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(test::readFile(reg::storeFile(kCU)), before);
}

// The chooser's "Executable Files" over a real folder: the file system
// model keeps only *.EXE and *.COM, the filter adds back the runnable
// files without an extension (enabled, so they can be picked).
TEST_F(OptionsWindowTest, ProgramChooserShowsExeComAndRunnableFilesWithoutExtension) {
  test::ScratchDir dir("vzchooser");
  for (const char* name : {"SCAN.EXE", "tool.com", "scanner", "notes", "readme.txt", "run.sh"})
    test::writeFile(dir.file(name), std::string_view("x"));
  chmod(dir.file("scanner").c_str(), 0755);
  chmod(dir.file("run.sh").c_str(), 0755);

  QFileSystemModel files;
  files.setNameFilters(
      qtFileFilter(manager::options_text::kVirusFilter).split(";;").first().section('(', 1).chopped(1).split(' '));
  files.setNameFilterDisables(false);  // as the file dialog sets it: rejected names hidden
  ProgramFileFilter filter;
  filter.setSourceModel(&files);
  QEventLoop loop;
  QObject::connect(&files, &QFileSystemModel::directoryLoaded, &loop, &QEventLoop::quit);
  const QModelIndex root = files.setRootPath(QString::fromStdString(dir.path()));
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // never hang: the count below fails instead
  if (files.rowCount(root) < 6) loop.exec();            // the folder is read on a worker thread
  ASSERT_EQ(files.rowCount(root), 6);

  auto shown = [&] {
    QStringList names;
    const QModelIndex proot = filter.mapFromSource(root);
    for (int i = 0; i < filter.rowCount(proot); ++i) {
      const QModelIndex index = filter.index(i, 0, proot);
      names << index.data().toString();
      EXPECT_TRUE(filter.flags(index) & Qt::ItemIsEnabled) << names.back().toStdString();
    }
    names.sort();
    return names;
  };
  EXPECT_EQ(shown(), (QStringList{"SCAN.EXE", "scanner", "tool.com"}));
  filter.setProgramsOnly(false);  // "All Files"
  EXPECT_EQ(shown().size(), 6);
}

TEST(OptionsWindowFilter, VirusFilterInQtForm) {
  EXPECT_EQ(qtFileFilter(manager::options_text::kVirusFilter), "Executable Files (*.EXE *.COM);;All Files (*)");
}

}  // namespace
}  // namespace vz::vzip
