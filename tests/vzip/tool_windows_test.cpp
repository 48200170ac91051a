// The tool windows, offscreen: every screenshot window builds; the viewer
// shows a PNG at its size, an RTF as formatted text, a non-RTF .DOC and a
// long text as plain text; the find window finds a made archive and hands
// it back through Open; the recovery window finds a zip -P password by
// brute force; the FTP window accepts only ftp:// and sftp:// addresses and
// hands them to the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>
#include <memory>

#include "manager/vzip/tool_windows.h"
#include "platform/process.h"
#include "tests/support/test_env.h"

namespace vz::vzip {
namespace {

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "tool_windows_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class ToolWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    parent_ = std::make_unique<QWidget>();
  }
  // The viewer showViewer opened below parent_.
  QWidget* viewerOf(const std::string& path) {
    showViewer(parent_.get(), path);
    QList<QWidget*> windows = parent_->findChildren<QWidget*>(QStringLiteral("viewerWindow"));
    return windows.isEmpty() ? nullptr : windows.back();
  }
  test::ScopedRoot root_;
  test::ScratchDir dir_{"vztools"};
  std::unique_ptr<QWidget> parent_;  // owns the viewers opened by a test
};

TEST_F(ToolWindowsTest, EveryScreenshotWindowBuilds) {
  std::vector<ScreenshotWindow> windows = toolScreenshotWindows();
  EXPECT_GE(windows.size(), 6u);
  for (auto& [name, make] : windows) {
    std::unique_ptr<QWidget> w(make(nullptr));
    ASSERT_NE(w, nullptr) << name.toStdString();
    EXPECT_FALSE(w->windowTitle().isEmpty()) << name.toStdString();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
  }
}

TEST_F(ToolWindowsTest, ViewerShowsAPictureAtItsSize) {
  QImage image(123, 45, QImage::Format_RGB32);
  image.fill(Qt::red);
  const std::string png = dir_.file("shot.png");
  ASSERT_TRUE(image.save(QString::fromStdString(png), "PNG"));
  QWidget* w = viewerOf(png);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_FALSE(w->isModal());
  auto* label = w->findChild<QLabel*>(QStringLiteral("viewerPicture"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->pixmap().size(), QSize(123, 45));
  // The same bytes under a text name are still found by their signature.
  ASSERT_EQ(test::run({"cp", png, dir_.file("shot.dat")}), 0);
  EXPECT_NE(viewerOf(dir_.file("shot.dat"))->findChild<QLabel*>(QStringLiteral("viewerPicture")), nullptr);
}

TEST_F(ToolWindowsTest, ViewerShowsRichTextFormatted) {
  const std::string rtf = dir_.file("notes.rtf");
  test::writeFile(rtf,
                  "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Plain {\\b Bold} {\\i Italic}\\par Second line\\par}");
  for (std::string path : {rtf, dir_.file("notes.doc")}) {
    if (path != rtf) {
      ASSERT_EQ(test::run({"cp", rtf, path}), 0);  // a .DOC that is rich text inside
    }
    QWidget* w = viewerOf(path);
    ASSERT_NE(w, nullptr);
    auto* edit = w->findChild<QTextEdit*>(QStringLiteral("viewerRichText"));
    ASSERT_NE(edit, nullptr) << path;
    QTextDocument* doc = edit->document();
    EXPECT_EQ(doc->toPlainText(), QStringLiteral("Plain Bold Italic\nSecond line"));
    QTextBlock first = doc->firstBlock();
    bool sawBold = false, sawItalic = false;
    for (auto it = first.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      if (f.text() == QStringLiteral("Bold")) sawBold = f.charFormat().fontWeight() == QFont::Bold;
      if (f.text() == QStringLiteral("Italic")) sawItalic = f.charFormat().fontItalic();
    }
    EXPECT_TRUE(sawBold);
    EXPECT_TRUE(sawItalic);
  }
}

TEST_F(ToolWindowsTest, ViewerShowsOtherFilesAsPlainTextUpToABound) {
  test::writeFile(dir_.file("old.doc"), std::string("binary\0word file", 16));
  QWidget* w = viewerOf(dir_.file("old.doc"));
  auto* plain = w->findChild<QPlainTextEdit*>(QStringLiteral("viewerPlainText"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->toPlainText(), QStringLiteral("binary word file"));
  EXPECT_TRUE(plain->font().fixedPitch() || QFontInfo(plain->font()).fixedPitch());

  std::string big;
  while (big.size() < 5 * 1024 * 1024) big += std::string(63, 'x') + "\n";
  test::writeFile(dir_.file("big.log"), big);
  w = viewerOf(dir_.file("big.log"));
  plain = w->findChild<QPlainTextEdit*>(QStringLiteral("viewerPlainText"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->toPlainText().size(), 4 * 1024 * 1024);
  auto* note = w->findChild<QLabel*>(QStringLiteral("viewerNote"));
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->text().contains(QString::number(big.size())));
}

TEST_F(ToolWindowsTest, FindWindowFindsAndOpensAnArchive) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(test::run({"python3", "-c", "import zipfile,sys;zipfile.ZipFile(sys.argv[1],'w').writestr('a.txt','hi')",
                       dir_.file("found.zip")}),
            0);
  test::writeFile(dir_.file("readme.txt"), "not an archive");
  std::unique_ptr<QDialog> w(createFindArchiveWindow(nullptr, QString::fromStdString(dir_.path())));
  auto* open = w->findChild<QPushButton*>(QStringLiteral("open"));
  EXPECT_FALSE(open->isEnabled());
  w->findChild<QPushButton*>(QStringLiteral("find"))->click();
  auto* results = w->findChild<QTreeWidget*>(QStringLiteral("results"));
  ASSERT_EQ(results->topLevelItemCount(), 1);
  EXPECT_EQ(results->topLevelItem(0)->text(0), QStringLiteral("found.zip"));
  EXPECT_EQ(results->topLevelItem(0)->text(2), QStringLiteral("ZIP"));
  ASSERT_TRUE(open->isEnabled());
  open->click();
  EXPECT_EQ(w->result(), QDialog::Accepted);
  EXPECT_EQ(chosenArchive(w.get()).toStdString(), dir_.file("found.zip"));
}

TEST_F(ToolWindowsTest, RecoverWindowFindsAZipPassword) {
  if (!test::haveProgram("zip")) GTEST_SKIP() << "zip missing";
  test::writeFile(dir_.file("s.txt"), "the secret text of the test\n");
  ASSERT_EQ(test::run({"zip", "-q", "-P", "god", "s.zip", "s.txt"}, nullptr, nullptr, dir_.path()), 0);
  std::unique_ptr<QDialog> w(createRecoverPasswordWindow(nullptr, dir_.file("s.zip")));
  w->findChild<QLineEdit*>(QStringLiteral("alphabet"))->setText(QStringLiteral("dgo"));
  w->findChild<QSpinBox*>(QStringLiteral("maxLength"))->setValue(3);
  auto* copy = w->findChild<QPushButton*>(QStringLiteral("copy"));
  EXPECT_FALSE(copy->isEnabled());
  w->findChild<QPushButton*>(QStringLiteral("start"))->click();
  EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("password"))->text(), QStringLiteral("god"));
  EXPECT_TRUE(copy->isEnabled());

  ASSERT_EQ(test::run({"zip", "-q", "p.zip", "s.txt"}, nullptr, nullptr, dir_.path()), 0);
  std::unique_ptr<QDialog> plain(createRecoverPasswordWindow(nullptr, dir_.file("p.zip")));
  EXPECT_FALSE(plain->findChild<QPushButton*>(QStringLiteral("start"))->isEnabled());
}

TEST_F(ToolWindowsTest, FtpWindowValidatesAndHandsTheAddressOn) {
  struct Row {
    const char* address;
    bool ok;
  } rows[] = {
      {"ftp://ftp.example.org/pub/", true}, {"sftp://me@host:2222/home", true}, {"FTP://HOST", true}, {"ftp://", false},
      {"http://example.org", false},        {"ftp.example.org", false},         {"", false}};
  for (const Row& r : rows) EXPECT_EQ(isFtpAddress(QString::fromUtf8(r.address)), r.ok) << r.address;

  std::vector<LaunchRequest> launched;
  Launcher previous = setLauncher([&](const LaunchRequest& req) {
    launched.push_back(req);
    return LaunchResult{true, 0};
  });
  std::unique_ptr<QDialog> w(createFtpWindow(nullptr, true, dir_.file("up.zip")));
  EXPECT_NE(w->findChild<QLabel*>(QStringLiteral("file"))->text().indexOf(QStringLiteral("up.zip")), -1);
  auto* address = w->findChild<QLineEdit*>(QStringLiteral("address"));
  auto* open = w->findChild<QPushButton*>(QStringLiteral("openAddress"));
  address->setText(QStringLiteral("http://wrong"));
  EXPECT_FALSE(open->isEnabled());
  address->setText(QStringLiteral("ftp://ftp.example.org/incoming/"));
  ASSERT_TRUE(open->isEnabled());
  open->click();
  setLauncher(previous);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0].argv, (std::vector<std::string>{"xdg-open", "ftp://ftp.example.org/incoming/"}));
}

}  // namespace
}  // namespace vz::vzip
