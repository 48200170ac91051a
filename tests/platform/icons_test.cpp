// The icon service's headless back end, the MIME name rules it reads, and
// the MIME application lists behind "registered" types.
#include "platform/icons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/file.h"
#include "platform/mime_apps.h"
#include "platform/mime_globs.h"
#include "tests/support/test_env.h"

namespace vz {
namespace {

using test::ScratchDir;
using test::writeFile;

// Sets (or, with nullptr, unsets) environment variables for a scope.
class ScopedEnv {
 public:
  void set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;  // values before the scope
};

// A small rule file that exercises every kind of rule.
constexpr std::string_view kGlobs =
    "# comment line\n"
    "80:text/html:*.html\n"
    "60:text/x-python:*.py\n"
    "50:text/plain:*.txt\n"
    "50:application/x-ms-dos-executable:*.exe\n"
    "50:application/x-compressed-tar:*.tar.gz\n"
    "50:application/gzip:*.gz\n"
    "50:text/x-makefile:makefile\n"
    "50:text/x-csrc:*.c:cs\n"
    "50:text/x-c++src:*.C:cs\n"
    "50:text/x-readme:readme*\n"
    "40:application/x-troff-man:*.[1-9]\n"
    "10:text/x-lowweight:*.tgz\n"
    "50:application/x-tgz:*.tgz\n"
    "not a rule\n"
    "50:application/x-none:__NOGLOBS__\n";

class MimeGlobs : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir_.file("globs2"), kGlobs);
    writeFile(dir_.file("icons"), std::string_view("text/plain:accessories-text-editor\n"));
    db_ = mime::GlobDatabase::load(dir_.file("globs2"));
  }
  ScratchDir dir_{"vzmime"};
  mime::GlobDatabase db_;
};

TEST_F(MimeGlobs, NamesFindTheirTypeByTheDatabaseRules) {
  ASSERT_TRUE(db_.loaded());
  EXPECT_EQ(db_.typeForName("INDEX.HTML"), "text/html");  // rules are case-blind by default
  EXPECT_EQ(db_.typeForName("a.txt"), "text/plain");
  EXPECT_EQ(db_.typeForName("SETUP.EXE"), "application/x-ms-dos-executable");
  EXPECT_EQ(db_.typeForName("x.tar.gz"), "application/x-compressed-tar");  // the longer suffix wins
  EXPECT_EQ(db_.typeForName("x.gz"), "application/gzip");
  EXPECT_EQ(db_.typeForName("Makefile"), "text/x-makefile");  // a literal name
  EXPECT_EQ(db_.typeForName("MAKEFILE.TXT"), "text/plain");
  EXPECT_EQ(db_.typeForName("main.c"), "text/x-csrc");  // case-sensitive rules
  EXPECT_EQ(db_.typeForName("MAIN.C"), "text/x-c++src");
  EXPECT_EQ(db_.typeForName("README.1ST"), "text/x-readme");  // wildcard rules
  EXPECT_EQ(db_.typeForName("ls.1"), "application/x-troff-man");
  EXPECT_EQ(db_.typeForName("x.tgz"), "application/x-tgz");  // the heavier rule wins
  EXPECT_EQ(db_.typeForName("x.unknown"), "");
  EXPECT_EQ(db_.typeForName(""), "");
}

TEST_F(MimeGlobs, TypesAreSortedWithTheFallbacksAndIconNamesFollowTheOverrides) {
  const auto& types = db_.types();
  EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
  EXPECT_GE(db_.indexOf(mime::kOctetStream), 0);
  EXPECT_GE(db_.indexOf("application/x-none"), 0);  // named by the file, even without a rule
  EXPECT_EQ(db_.indexOf("no/such-type"), -1);
  EXPECT_EQ(db_.iconNameOf("text/plain"), "accessories-text-editor");
  EXPECT_EQ(db_.iconNameOf("text/html"), "text-html");
  EXPECT_FALSE(mime::GlobDatabase::load(dir_.file("missing")).loaded());
  EXPECT_TRUE(mime::GlobDatabase::load(dir_.file("missing")).types().empty());
}

TEST_F(MimeGlobs, FilesWithoutAMatchingNameAreTypedByTheirContent) {
  writeFile(dir_.file("notes"), std::string_view("plain words\nand lines\n"));
  writeFile(dir_.file("blob"), std::string("\x7F"
                                           "ELF\x02\x01",
                                           6));
  writeFile(dir_.file("empty"), std::string_view());
  writeFile(dir_.file("latin"), std::string_view("caf\xE9\n"));  // not UTF-8
  std::string longText(600, 'a');
  longText.replace(510, 3, "\xE2\x82\xAC");  // a character across the sniffed length
  writeFile(dir_.file("long"), longText);
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("notes")), "text/plain");
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("long")), "text/plain");
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("blob")), mime::kOctetStream);
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("empty")), mime::kOctetStream);
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("latin")), mime::kOctetStream);
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("missing")), mime::kOctetStream);
  EXPECT_EQ(mime::typeForFile(db_, dir_.file("missing.html")), "text/html");  // the name is enough
}

TEST_F(MimeGlobs, TheHeadlessBackEndHasOneStableImagePerType) {
  icons::HeadlessBackend b(dir_.file("globs2"));
  ASSERT_EQ(b.systemImageCount(), static_cast<int>(db_.types().size()));
  const int text = b.systemIconIndex(dir_.file("A.TXT"), true);
  EXPECT_EQ(text, db_.indexOf("text/plain"));
  EXPECT_EQ(b.systemIconIndex(dir_.file("B.TXT"), false), text);
  EXPECT_EQ(b.systemIconIndex(dir_.file("nothing.xyz"), true), db_.indexOf(mime::kOctetStream));
  const ImageList::Image img = b.systemImage(text, true);
  EXPECT_EQ(img.key, "accessories-text-editor");
  EXPECT_TRUE(img.pixels.empty());
  EXPECT_TRUE(b.systemImage(-1, true).key.empty());
  EXPECT_TRUE(b.systemImage(b.systemImageCount(), true).key.empty());

  // Without a database there are no images and no indexes.
  icons::HeadlessBackend none(dir_.file("missing"));
  EXPECT_EQ(none.systemImageCount(), 0);
  EXPECT_EQ(none.systemIconIndex(dir_.file("A.TXT"), true), -1);
}

TEST(Icons, OwnIconsCarryTheirKeysAndDrawings) {
  icons::HeadlessBackend b;
  const char* keys[] = {"vz-directory", "vz-encrypted", "vz-program", "vz-unassigned", "vz-registered", "vz-other"};
  for (int i = 0; i < icons::kOwnIconCount; ++i) {
    const auto which = static_cast<icons::OwnIcon>(i);
    const ImageList::Image small = b.ownIcon(which, true), large = b.ownIcon(which, false);
    EXPECT_EQ(small.key, keys[i]);
    EXPECT_EQ(large.key, keys[i]);
    EXPECT_TRUE(small.pixels.starts_with("<svg")) << keys[i];
    EXPECT_NE(small.pixels.find("viewBox=\"0 0 32 32\""), std::string::npos);
    EXPECT_EQ(small.pixels, large.pixels);
  }
}

TEST(Icons, TheBackEndCanBeSwitchedAndRestored) {
  class Fixed : public icons::Backend {
   public:
    int systemIconIndex(const std::string&, bool) override { return 7; }
    int systemImageCount() override { return 8; }
    ImageList::Image systemImage(int, bool) override { return {"fixed", "px"}; }
    ImageList::Image ownIcon(icons::OwnIcon, bool) override { return {"own", ""}; }
  };
  auto previous = icons::setBackend(std::make_shared<Fixed>());
  EXPECT_EQ(icons::systemIconIndex("/x.txt", true), 7);
  EXPECT_EQ(icons::systemImageCount(), 8);
  EXPECT_EQ(icons::systemImage(0, true).key, "fixed");
  EXPECT_EQ(icons::ownIcon(icons::OwnIcon::Other, true).key, "own");
  icons::setBackend(previous);
  EXPECT_NE(icons::systemIconIndex("/x.txt", true), 7);
  // nullptr restores the headless default.
  icons::setBackend(std::make_shared<Fixed>());
  icons::setBackend(nullptr);
  EXPECT_EQ(icons::ownIcon(icons::OwnIcon::Other, true).key, "vz-other");
}

TEST(Icons, TheSystemDatabaseKnowsCommonTypes) {
  if (!isRegularFile(mime::kSystemGlobsFile)) GTEST_SKIP() << "no MIME database installed";
  EXPECT_EQ(icons::mimeTypeForName("README.TXT"), "text/plain");
  EXPECT_EQ(icons::mimeTypeForName("/some/folder/A.ZIP"), "application/zip");
  EXPECT_GT(icons::HeadlessBackend().systemImageCount(), 100);
}

// The application lists of a private XDG tree.
class MimeApps : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"config", "sysconfig", "data/applications", "sysdata/applications", "sysdata2/applications"})
      std::filesystem::create_directories(dir_.file(d));
    env_.set("XDG_CONFIG_HOME", dir_.file("config").c_str());
    env_.set("XDG_CONFIG_DIRS", dir_.file("sysconfig").c_str());
    env_.set("XDG_DATA_HOME", dir_.file("data").c_str());
    env_.set("XDG_DATA_DIRS", (dir_.file("sysdata") + ":" + dir_.file("sysdata2") + ":relative/ignored").c_str());
    env_.set("XDG_CURRENT_DESKTOP", "Test:Other");
  }
  ScratchDir dir_{"vzapps"};
  ScopedEnv env_;
};

TEST_F(MimeApps, DefaultsAddedAssociationsAndApplicationsCount) {
  writeFile(dir_.file("config/mimeapps.list"), std::string_view("[Default Applications]\ntext/plain=editor.desktop;\n"
                                                                "[Added Associations]\nimage/png = viewer.desktop\n"));
  writeFile(dir_.file("sysdata/applications/player.desktop"),
            std::string_view("[Desktop Entry]\nName=Player\nMimeType=audio/ogg;video/ogg;\n"));
  writeFile(dir_.file("sysdata/applications/gone.desktop"),
            std::string_view("[Desktop Entry]\nHidden=true\nMimeType=audio/flac;\n"));
  writeFile(dir_.file("sysdata/applications/other.desktop"),
            std::string_view("[Other Section]\nMimeType=audio/mpeg;\n"));
  // A cache makes the folder's desktop files irrelevant.
  writeFile(dir_.file("sysdata2/applications/mimeinfo.cache"),
            std::string_view("[MIME Cache]\napplication/pdf=reader.desktop;\n"));
  writeFile(dir_.file("sysdata2/applications/uncached.desktop"),
            std::string_view("[Desktop Entry]\nMimeType=application/x-uncached;\n"));
  writeFile(dir_.file("sysconfig/test-mimeapps.list"),
            std::string_view("[Default Applications]\ntext/html=browser.desktop\n"));

  const auto lists = mime::ApplicationLists::load();
  EXPECT_TRUE(lists.hasDefaultApplication("text/plain"));
  EXPECT_TRUE(lists.hasDefaultApplication("image/png"));
  EXPECT_TRUE(lists.hasDefaultApplication("video/ogg"));
  EXPECT_TRUE(lists.hasDefaultApplication("application/pdf"));
  EXPECT_TRUE(lists.hasDefaultApplication("text/html"));  // the desktop's own list
  EXPECT_FALSE(lists.hasDefaultApplication("audio/flac"));
  EXPECT_FALSE(lists.hasDefaultApplication("audio/mpeg"));
  EXPECT_FALSE(lists.hasDefaultApplication("application/x-uncached"));
  EXPECT_FALSE(lists.hasDefaultApplication("application/x-nothing"));
  EXPECT_FALSE(lists.hasDefaultApplication(""));
}

TEST_F(MimeApps, RemovalsHideTheApplicationsOfLowerPrecedence) {
  writeFile(dir_.file("config/mimeapps.list"),
            std::string_view("[Removed Associations]\ntext/plain=editor.desktop;\nimage/png=viewer.desktop\n"));
  writeFile(dir_.file("data/applications/mimeapps.list"),
            std::string_view("[Default Applications]\ntext/plain=editor.desktop\n"
                             "[Added Associations]\nimage/png=viewer.desktop;painter.desktop;\n"));
  const auto lists = mime::ApplicationLists::load();
  EXPECT_FALSE(lists.hasDefaultApplication("text/plain"));
  EXPECT_TRUE(lists.hasDefaultApplication("image/png"));  // painter is still there
}

}  // namespace
}  // namespace vz
