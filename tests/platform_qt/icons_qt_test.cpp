// The Qt back end of the icon service: one image per QMimeDatabase type at
// a stable index, PNG pixels of the right sizes for every index, the own
// icons rendered from resources that hold the same drawings as the
// headless back end's text.
#include "platform/qt/icons_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>

#include "tests/support/test_env.h"

namespace vz::icons {
namespace {

// The application every Qt test needs, made once for the program.
QApplication& application() {
  static int argc = 1;
  static char name[] = "icons_qt_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

QImage decode(const std::string& png) {
  return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
}

class QtIcons : public ::testing::Test {
 protected:
  void SetUp() override {
    application();
    previous_ = installQtBackend();
  }
  void TearDown() override { setBackend(previous_); }
  std::shared_ptr<Backend> previous_;
};

TEST_F(QtIcons, EveryTypeOfTheDatabaseHasAStableIndexAndPixels) {
  const int count = systemImageCount();
  ASSERT_GT(count, 0);
  QMimeDatabase db;
  QStringList names;
  for (const QMimeType& t : db.allMimeTypes()) names.push_back(t.name());
  names.removeDuplicates();
  EXPECT_EQ(count, names.size());

  test::ScratchDir dir("qticons");
  const int text = systemIconIndex(dir.file("README.TXT"), true);
  ASSERT_GE(text, 0);
  EXPECT_EQ(systemIconIndex(dir.file("other.txt"), false), text);
  EXPECT_EQ(systemImage(text, true).key, db.mimeTypeForName("text/plain").iconName().toStdString());
  // A file without a telling name is typed by its content.
  test::writeFile(dir.file("notes"), std::string_view("just some words\n"));
  EXPECT_EQ(systemIconIndex(dir.file("notes"), true), text);

  for (int index : {0, text, count - 1}) {
    const QImage small = decode(systemImage(index, true).pixels);
    const QImage large = decode(systemImage(index, false).pixels);
    ASSERT_FALSE(small.isNull()) << index;
    ASSERT_FALSE(large.isNull()) << index;
    EXPECT_EQ(small.width(), kSmallIconSize);
    EXPECT_EQ(large.height(), kLargeIconSize);
  }
  EXPECT_TRUE(systemImage(-1, true).key.empty());
  EXPECT_TRUE(systemImage(count, true).pixels.empty());
}

TEST_F(QtIcons, OwnIconsAreRenderedFromTheSameDrawings) {
  for (int i = 0; i < kOwnIconCount; ++i) {
    const auto which = static_cast<OwnIcon>(i);
    QFile resource(ownIconResource(which));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly)) << ownIconKey(which);
    EXPECT_EQ(resource.readAll().toStdString(), std::string(ownIconSvg(which))) << ownIconKey(which);

    const ImageList::Image small = ownIcon(which, true), large = ownIcon(which, false);
    EXPECT_EQ(small.key, ownIconKey(which));
    const QImage s = decode(small.pixels), l = decode(large.pixels);
    ASSERT_EQ(s.size(), QSize(kSmallIconSize, kSmallIconSize));
    ASSERT_EQ(l.size(), QSize(kLargeIconSize, kLargeIconSize));
    // Something is drawn: the middle of every drawing is opaque.
    EXPECT_GT(qAlpha(l.pixel(16, 20)), 200) << ownIconKey(which);
  }
}

TEST_F(QtIcons, InstallingReturnsTheBackEndItReplaced) {
  auto mine = std::make_shared<HeadlessBackend>();
  setBackend(mine);
  EXPECT_EQ(installQtBackend(), mine);
  EXPECT_NE(backend(), mine);
}

}  // namespace
}  // namespace vz::icons
