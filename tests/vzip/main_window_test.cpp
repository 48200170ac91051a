// The main window on the offscreen platform, over the stand-in engine and
// the readers: an opened archive's rows, panels and caption; the menus'
// enabled states per kind; the Busy caption and Cancel during a listing;
// the recent files in the File menu; printing to PDF; every corpus
// archive listed as `vz l` lists it; and a second vzip process handing its
// archive to this window over the socket.
#include "manager/vzip/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QDropEvent>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "manager/vzip/archive_model.h"
#include "manager/vzip/progress_window.h"
#include "manager/vzip/single_instance.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "tests/support/test_env.h"

namespace vz::vzip {
namespace {

using manager::Command;

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "main_window_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() {
    ensureApplication();
    ui_ = std::make_shared<vz::ui::ScriptedBackend>();
    old_ = vz::ui::setBackend(ui_);
  }
  ~MainWindowTest() override { vz::ui::setBackend(old_); }

  // A ZIP made by python3's zipfile with the given names and sizes.
  std::string makeZip(const std::string& name, const std::vector<std::pair<std::string, size_t>>& entries) {
    std::ostringstream py;
    py << "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w')\n";
    for (const auto& [n, size] : entries) py << "z.writestr('" << n << "', 'x'*" << size << ")\n";
    py << "z.close()\n";
    vz::test::writeFile(dir_.file("make.py"), py.str());
    const std::string path = dir_.file(name);
    EXPECT_EQ(vz::test::run({"python3", dir_.file("make.py"), path}), 0);
    return path;
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const vz::ui::Question& q : ui_->asked()) t.push_back(q.text);
    return t;
  }

  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"vzipwin"};
  ScopedEnv engine_{"VZ_ENGINE_DIR", vz::test::binDir()};
  std::shared_ptr<vz::ui::ScriptedBackend> ui_;
  std::shared_ptr<vz::ui::Backend> old_;
};

TEST_F(MainWindowTest, OpensAnArchiveAndShowsItsRowsAndPanels) {
  const std::string zip = makeZip("a.zip", {{"readme.txt", 12}, {"docs/guide.html", 300}, {"Setup.exe", 5}});
  MainWindow w;
  w.show();
  EXPECT_EQ(w.panelText(0), "(no open file)");
  EXPECT_EQ(w.panelText(1), "0 files");
  EXPECT_FALSE(w.action(Command::PrintFileList)->isEnabled());
  EXPECT_FALSE(w.menu(manager::Menu::Actions)->menuAction()->isEnabled());
  ASSERT_TRUE(w.controller().openArchive(zip, manager::MainController::OpenRoute::CommandLine));
  EXPECT_EQ(w.windowTitle(), "Vemora.Zip - Idle");
  EXPECT_EQ(w.panelText(0).toStdString(), zip);
  EXPECT_EQ(w.panelText(1), "3 files");
  ASSERT_EQ(w.model()->rowCount(), 3);
  EXPECT_EQ(w.model()->index(1, 0).data().toString(), "guide.html");
  EXPECT_EQ(w.model()->index(1, 1).data().toString(), "300");
  EXPECT_EQ(w.model()->index(1, 2).data().toString(), "docs/");
  EXPECT_FALSE(w.model()->index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(w.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "File Name");
  // Menus for a ZIP archive with a root setup program.
  for (Command c : {Command::PrintFileList, Command::RemoveSelected, Command::ViewSelected, Command::ConvertToSfx,
                    Command::InstallProgram, Command::DeleteArchive})
    EXPECT_TRUE(w.action(c)->isEnabled()) << manager::commandInfo(c).caption;
  for (Command c : {Command::NewArchive, Command::AddFiles, Command::ExtractFiles, Command::BackupDrive})
    EXPECT_FALSE(w.action(c)->isEnabled()) << manager::commandInfo(c).caption;
  EXPECT_TRUE(w.reportView()->isVisible());
  // Sorting by name and back to archive order.
  w.setSortByName(true);
  EXPECT_EQ(w.shownCaptions(), (QStringList{"guide.html", "readme.txt", "Setup.exe"}));
  w.setSortByName(false);
  EXPECT_EQ(w.shownCaptions(), (QStringList{"readme.txt", "guide.html", "Setup.exe"}));
  // The icon styles share the model.
  w.setViewStyle(0);
  EXPECT_TRUE(w.iconView()->isVisible());
  EXPECT_EQ(w.iconView()->model()->rowCount(), 3);
  // The File menu lists the archive among the recent files.
  bool listed = false;
  for (QAction* a : w.menu(manager::Menu::File)->actions())
    if (a->text().endsWith(QString::fromStdString(zip))) listed = true;
  EXPECT_TRUE(listed);
}

TEST_F(MainWindowTest, SendToWithoutShortcutsKeepsItsTwoEntries) {
  MainWindow w;
  w.startUp("");
  QStringList entries;
  for (QAction* a : w.menu(manager::Menu::SendTo)->actions())
    if (!a->isSeparator()) entries << a->text();
  EXPECT_EQ(entries, (QStringList{"&Move or Copy Archive", "Delete this Archive"}));
  EXPECT_EQ(w.windowTitle(), "Vemora.Zip - Idle");
}

TEST_F(MainWindowTest, ADroppedArchiveIsOpened) {
  const std::string zip = makeZip("dropped.zip", {{"x.txt", 3}});
  MainWindow w;
  w.show();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(zip))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  EXPECT_EQ(w.controller().currentPath(), zip);
  EXPECT_EQ(w.panelText(1), "1 files");
}

TEST_F(MainWindowTest, MenusFollowTheKind) {
  if (!vz::test::haveProgram("tar")) GTEST_SKIP() << "tar missing";
  vz::test::writeFile(dir_.file("f.txt"), std::string_view("hello"));
  ASSERT_EQ(vz::test::run({"tar", "-cf", dir_.file("t.tar"), "-C", dir_.path(), "f.txt"}), 0);
  MainWindow w;
  ASSERT_TRUE(w.controller().openArchive(dir_.file("t.tar"), manager::MainController::OpenRoute::CommandLine));
  EXPECT_TRUE(w.action(Command::ViewSelected)->isEnabled());
  EXPECT_TRUE(w.action(Command::PrintFileList)->isEnabled());
  EXPECT_FALSE(w.action(Command::RemoveSelected)->isEnabled());
  EXPECT_FALSE(w.action(Command::ConvertToSfx)->isEnabled());
  EXPECT_FALSE(w.action(Command::InstallProgram)->isEnabled());
  EXPECT_EQ(w.panelText(1), "1 files");
}

TEST_F(MainWindowTest, BusyCaptionAndDisabledCommandsDuringAListing) {
  std::vector<std::pair<std::string, size_t>> entries;
  for (int i = 0; i < 200; ++i) entries.emplace_back("f" + std::to_string(i) + ".txt", 1);
  const std::string zip = makeZip("busy.zip", entries);
  MainWindow w;
  w.show();
  std::vector<QString> titles;
  bool openEnabled = false;
  bool progressShown = true;
  vz::setMessagePump([&] {
    titles.push_back(w.windowTitle());
    openEnabled = openEnabled || w.action(Command::OpenArchive)->isEnabled();
    progressShown = progressShown && w.progressWindow()->isVisible();
  });
  ASSERT_TRUE(w.controller().openArchive(zip, manager::MainController::OpenRoute::CommandLine));
  vz::setMessagePump({});
  ASSERT_GE(titles.size(), 200u);
  for (const QString& t : titles) EXPECT_EQ(t, "Vemora.Zip - Busy");
  EXPECT_FALSE(openEnabled);
  EXPECT_TRUE(progressShown);
  EXPECT_EQ(w.progressWindow()->operationText(), "Reading archive");
  EXPECT_FALSE(w.progressWindow()->isVisible());
  EXPECT_EQ(w.windowTitle(), "Vemora.Zip - Idle");
  EXPECT_TRUE(w.action(Command::OpenArchive)->isEnabled());
}

TEST_F(MainWindowTest, CancelDuringALongListingStopsIt) {
  std::vector<std::pair<std::string, size_t>> entries;
  for (int i = 0; i < 3000; ++i) entries.emplace_back("f" + std::to_string(i) + ".txt", 1);
  const std::string zip = makeZip("long.zip", entries);
  MainWindow w;
  w.show();
  int calls = 0;
  vz::setMessagePump([&] {
    if (++calls == 100) w.progressWindow()->cancelButton()->click();
  });
  EXPECT_FALSE(w.controller().openArchive(zip, manager::MainController::OpenRoute::CommandLine));
  vz::setMessagePump({});
  EXPECT_LT(calls, 3000);
  EXPECT_TRUE(w.progressWindow()->cancelled());
  EXPECT_EQ(w.model()->rowCount(), 0);
  EXPECT_EQ(w.panelText(1), "0 files");
  ASSERT_FALSE(texts().empty());
  EXPECT_EQ(texts().back(), "Warning: The Reading Archive contents operation was aborted.");
}

TEST_F(MainWindowTest, PrintsTheListingToPdf) {
  const std::string zip = makeZip("p.zip", {{"a.txt", 1000}, {"sub/b.bin", 42}});
  MainWindow w;
  ASSERT_TRUE(w.controller().openArchive(zip, manager::MainController::OpenRoute::CommandLine));
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir_.file("list.pdf")));
  w.printListing(printer);
  const std::vector<uint8_t> pdf = vz::test::readFile(dir_.file("list.pdf"));
  ASSERT_GT(pdf.size(), 500u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 4), "%PDF");
  const std::string all(pdf.begin(), pdf.end());
  EXPECT_NE(all.find("/Title"), std::string::npos);  // the document's title (UTF-16 in the file)
}

// ---- Every corpus archive, listed as `vz l` lists it ----

struct VzEntry {
  std::string name;
  uint64_t size;
};

// The entry lines of `vz l` (between the two rulers).
std::vector<VzEntry> vzList(const std::string& archive) {
  std::string out;
  vz::test::run({vz::test::binDir() + "/vz", "l", archive}, &out);
  std::vector<VzEntry> entries;
  std::istringstream lines(out);
  std::string line;
  int rulers = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("----------", 0) == 0) {
      ++rulers;
      continue;
    }
    if (rulers != 1 || line.size() < 46) continue;
    VzEntry e;
    e.size = std::stoull(line.substr(0, 10));
    e.name = line.substr(45);
    entries.push_back(e);
  }
  return entries;
}

std::vector<std::string> corpusArchives() {
  std::vector<std::string> files;
  std::ifstream manifest(vz::test::corpusDir() + "/MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // the header
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string set, file;
    std::getline(fields, set, '\t');
    std::getline(fields, file, '\t');
    if (!file.empty()) files.push_back(file);
  }
  return files;
}

class CorpusInWindow : public MainWindowTest, public testing::WithParamInterface<std::string> {};

TEST_P(CorpusInWindow, ListsAsVzDoesAndNeverHangs) {
  const std::string archive = vz::test::corpusDir() + "/" + GetParam();
  if (!std::filesystem::exists(archive)) GTEST_SKIP() << "not in the corpus here";
  const std::vector<VzEntry> expected = vzList(archive);
  MainWindow w;
  const bool valid = w.controller().openArchive(archive, manager::MainController::OpenRoute::CommandLine);
  EXPECT_EQ(w.windowTitle(), "Vemora.Zip - Idle");
  if (!valid) {
    // A failed listing: the listing's message, no rows, "0 files".
    EXPECT_EQ(w.panelText(1), "0 files");
    EXPECT_EQ(w.model()->rowCount(), 0);
    EXPECT_FALSE(texts().empty());
    EXPECT_TRUE(expected.empty()) << GetParam() << ": vz l lists " << expected.size() << " entries";
    return;
  }
  const std::vector<manager::ListedRow>& rows = w.controller().rows();
  std::multimap<std::string, uint64_t> shown, listed;
  for (const manager::ListedRow& r : rows) shown.emplace(r.storedName(), r.size);
  for (const VzEntry& e : expected) {
    std::string name = e.name;
    // An encrypted entry's name carries " *" in vz's listing.
    if (name.size() > 2 && name.compare(name.size() - 2, 2, " *") == 0 && !shown.count(name))
      name.resize(name.size() - 2);
    listed.emplace(name, e.size);
  }
  EXPECT_EQ(shown, listed) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Manifest, CorpusInWindow, testing::ValuesIn(corpusArchives()));

// ---- The second copy ----

TEST_F(MainWindowTest, SecondCopyHandsItsArchiveOverAndEnds) {
  const std::string zip = makeZip("second.zip", {{"one.txt", 1}, {"two.txt", 2}});
  MainWindow w;
  w.show();
  InstanceServer server([&w] { return w.controller().busy(); });
  ASSERT_TRUE(server.listen());
  QObject::connect(&server, &InstanceServer::pathReceived, &w, &MainWindow::openHandedOver);
  vz::test::writeFile(dir_.file("answers"), std::string_view("yes\n"));
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  second.start(QString::fromStdString(vz::test::binDir() + "/vzip"),
               {"--answers", QString::fromStdString(dir_.file("answers")), QString::fromStdString(zip)});
  ASSERT_TRUE(second.waitForStarted(10000));
  QElapsedTimer t;
  t.start();
  while ((w.controller().currentPath() != zip || second.state() != QProcess::NotRunning) && t.elapsed() < 30000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(w.controller().currentPath(), zip);
  EXPECT_EQ(w.panelText(1), "2 files");
  ASSERT_EQ(second.state(), QProcess::NotRunning);
  EXPECT_EQ(second.exitCode(), 0);
  const QString err = QString::fromLocal8Bit(second.readAllStandardError());
  EXPECT_TRUE(err.contains("There is a copy of Vemora.Zip already loaded that is not busy.")) << err.toStdString();
}

}  // namespace
}  // namespace vz::vzip
