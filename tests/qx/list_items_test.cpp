// `qx --list-items`: the item list of an archive as the accessors give it,
// in list order, one tab-separated line per item; the exit statuses; the
// command-line checks. Runs qx's core in-process against the built control
// and the program itself once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"
#include "tools/qx/exit_status.h"
#include "tools/qx/help.h"
#include "tools/qx/host.h"
#include "tools/qx/item_listing.h"
#include "tools/qx/options.h"

namespace vz::qx {
namespace {

class ListItems : public ::testing::Test {
 protected:
  void SetUp() override {
    // No registered types: every file without a program extension gets the
    // "other" icon (5, as no image lists are built).
    std::filesystem::create_directories(dir_.file("xdg"));
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, dir_.file("xdg").c_str(), 1);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
  }

  int qx(const std::vector<std::string>& words) {
    out_.str("");
    err_.str("");
    HostEnvironment env;
    env.libraryFolder = test::binDir();
    return runQx(words, out_, err_, env);
  }

  // Three entries with known fields, written by the test's own builder.
  std::string archive() {
    test::ZipBuilder b;
    test::TestEntry a;
    a.name = "docs/b;c:d.txt";
    a.data = std::string(1000, 'x');
    a.uncompressedSize = 4000;
    a.method = 8;
    a.crc = 0x0000ABCDu;
    a.time = static_cast<uint16_t>((9 << 11) | (5 << 5));
    a.date = static_cast<uint16_t>(((1999 - 1980) << 9) | (12 << 5) | 31);
    a.externalAttributes = 0x27;  // archive, system, hidden, read-only
    a.comment = "c";
    test::TestEntry dir;
    dir.name = "docs/";
    dir.data = "";
    dir.externalAttributes = 0x10;
    dir.time = 0;
    dir.date = static_cast<uint16_t>(((2001 - 1980) << 9) | (2 << 5) | 3);
    test::TestEntry secret;
    secret.name = "tab\there.exe";
    secret.flags = 1;
    secret.data = "12345678901234567890";
    secret.crc = 0xFFFFFFFFu;
    b.entries = {a, dir, secret};
    const std::string path = dir_.file("items.zip");
    test::writeFile(path, b.build());
    return path;
  }

  test::ScopedRoot root_;
  test::ScratchDir dir_{"qxitems"};
  std::ostringstream out_, err_;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;  // environment before the test
};

TEST_F(ListItems, PrintsEveryItemInListOrder) {
  const std::string zip = archive();
  ASSERT_EQ(qx({"--list-items", zip}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "B;C:D.TXT\tDOCS\\\t--AHSRC\t8\t1999-12-31\t09:05\t4000\t75\t0000abcd\t5\n"
            "\tDOCS\\\tD------\t0\t2001-02-03\t00:00\t0\t0\t"
            "00000000\t0\n"
            "TAB\\tHERE.EXE\t\t-EA----\t0\t2020-01-01\t12:00\t20\t0\tffffffff\t1\n");
  EXPECT_EQ(err_.str(), "");

  // Sorted by name: the directory entry (no name) first.
  ASSERT_EQ(qx({"--list-items", zip, "1"}), kExitOk);
  std::istringstream lines(out_.str());
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_TRUE(first.starts_with("\tDOCS\\\tD")) << first;
  EXPECT_TRUE(second.starts_with("B;C:D.TXT\t")) << second;
}

TEST_F(ListItems, UnreadableArchivesExitWithFour) {
  test::writeFile(dir_.file("junk.zip"), std::string(100, 'j'));
  EXPECT_EQ(qx({"--list-items", dir_.file("junk.zip")}), kExitArchiveUnreadable);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("cannot be read"), std::string::npos);
  EXPECT_EQ(qx({"--list-items", dir_.file("missing.zip"), "0"}), kExitArchiveUnreadable);

  // The program itself, as a script sees it.
  std::string out;
  EXPECT_EQ(test::run({test::binDir() + "/qx", "--list-items", dir_.file("junk.zip")}, &out), 4);
  EXPECT_EQ(out, "");
  EXPECT_EQ(test::run({test::binDir() + "/qx", "--list-items", archive(), "4"}, &out), 0);
  EXPECT_TRUE(out.starts_with("B;C:D.TXT\t")) << out;
}

TEST_F(ListItems, TheCommandLineIsChecked) {
  EXPECT_EQ(qx({"--list-items"}), kExitUsage);
  EXPECT_EQ(qx({"--list-items", "a.zip", "1", "2"}), kExitUsage);
  EXPECT_EQ(qx({"--list-items", "a.zip", "one"}), kExitUsage);
  EXPECT_NE(err_.str().find("sort mode"), std::string::npos);
  EXPECT_EQ(qx({"--list-items", "a.zip", "40000"}), kExitUsage);
  EXPECT_EQ(qx({"--list", "--list-items", "a.zip"}), kExitUsage);

  const ParseResult p = parseCommandLine({"--list-items", "--", "-odd.zip", "-3"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.mode, Mode::ListItems);
  EXPECT_EQ(p.options.operands.front(), "-odd.zip");
  EXPECT_EQ(p.options.sortMode, std::optional<int16_t>(-3));

  EXPECT_NE(helpText().find("--list-items ARCHIVE [SORTMODE]"), std::string::npos);
  EXPECT_NE(helpText().find("4  --list-items: the archive cannot be read"), std::string::npos);
}

TEST(ListItemsFields, FlagsAndDates) {
  EXPECT_EQ(itemFlagLetters(true, true, true, true, true, true, true), "DEAHSRC");
  EXPECT_EQ(itemFlagLetters(false, false, false, false, false, false, false), "-------");
  EXPECT_EQ(itemDateText(99, 1, 2), "1999-01-02");
  EXPECT_EQ(itemDateText(49, 12, 31), "2049-12-31");
  EXPECT_EQ(itemDateText(50, 12, 31), "1950-12-31");
  EXPECT_EQ(itemDateText(0, 0, 0), "2000-00-00");
}

}  // namespace
}  // namespace vz::qx
