// The start-up association check against a private registry and a private
// mimeapps.list: the problems found and their questions, the repair's keys
// in our classes root, and the MIME defaults the desktop then reads.
#include "manager/app/association_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>

#include "manager/app/mime_defaults.h"
#include "platform/file.h"
#include "platform/mime_apps.h"
#include "platform/registry.h"
#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

constexpr RegRoot kCR = RegRoot::ClassesRoot;

// Sets an environment variable for the object's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* v = getenv(name)) old_ = v;
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

class AssociationCheckTest : public ::testing::Test {
 protected:
  test::ScopedRoot root_;
};

std::vector<std::string> extensions(const std::vector<AssociationProblem>& ps) {
  std::vector<std::string> out;
  for (const AssociationProblem& p : ps) out.push_back(p.extension);
  return out;
}

TEST_F(AssociationCheckTest, EmptyClassesRootReportsEveryExtensionInOrder) {
  std::vector<AssociationProblem> ps = findAssociationProblems();
  EXPECT_EQ(extensions(ps), (std::vector<std::string>{".zip", ".arc", ".zoo", ".tar", ".uue", ".arj", ".cab", ".bh",
                                                      ".lha", ".lzh", ".lhz", ".z", ".gz"}));
  EXPECT_EQ(ps[4].description, "UU Encoded");
  EXPECT_EQ(ps[6].description, "Microsoft Cabinet");
  EXPECT_EQ(ps[7].description, "Blak-Hole");
  EXPECT_EQ(ps[11].description, "Unix-Compressed (.Z)");
  EXPECT_EQ(ps[12].description, "Unix-Compressed (.GZ)");
}

TEST_F(AssociationCheckTest, QuestionForLzh) {
  std::vector<AssociationProblem> ps = findAssociationProblems();
  ASSERT_EQ(ps[9].extension, ".lzh");
  EXPECT_EQ(ps[9].questionText,
            "Warning: Vemora.Zip is no longer associated with LHA-Compressed (.LZH) files\n"
            "\n"
            "This means that you can't load LHA-Compressed (.LZH) files by double-clicking them.\n"
            "Would you like Vemora.Zip to correct this problem?");
}

TEST_F(AssociationCheckTest, ClassNameComparesIgnoringCaseAndOtherClassesAreProblems) {
  reg::setString(kCR, ".zip", "", "vemorazipFILE");
  reg::setString(kCR, ".ZOO", "", kFileClass);  // key names ignore case too
  reg::setString(kCR, ".tar", "", "OtherArchiver.Tar");
  std::vector<std::string> found = extensions(findAssociationProblems());
  EXPECT_EQ(found.size(), 11u);
  EXPECT_EQ(found[0], ".arc");
  EXPECT_EQ(found[1], ".tar");
}

TEST_F(AssociationCheckTest, RepairWritesOurClassesRootAndTheDesktopDefault) {
  std::vector<AssociationProblem> ps = findAssociationProblems();
  repairAssociation(ps[7]);  // .bh: a type no system list names
  repairAssociation(ps[9]);  // .lzh

  const std::string cls = kFileClass;
  EXPECT_EQ(reg::getString(kCR, ".bh", ""), cls);
  EXPECT_EQ(reg::getString(kCR, ".lzh", ""), cls);
  EXPECT_EQ(reg::getString(kCR, cls, ""), "Vemora.Zip Compressed File");
  std::string icon = reg::getString(kCR, cls + "\\DefaultIcon", "").value_or("");
  std::string command = reg::getString(kCR, cls + "\\Shell\\Open\\command", "").value_or("");
  ASSERT_GT(icon.size(), 2u);
  const std::string program = icon.substr(0, icon.size() - 2);
  EXPECT_EQ(icon.substr(icon.size() - 2), ",0");
  EXPECT_TRUE(isRegularFile(program)) << program;  // the running test program
  EXPECT_EQ(command, program + " \"%1\"");
  EXPECT_EQ(reg::getString(kCR, cls + "\\ShellEx\\ContextMenuHandlers", ""), "{5b117d80-038d-11d1-8d93-fafb6574cfd7}");
  EXPECT_EQ(extensions(findAssociationProblems()).size(), 11u);

  // The user's list now names our desktop file, and the desktop's lookup
  // (with only the private folders to read) finds it.
  const std::string list = root_.path() + "/config/mimeapps.list";
  EXPECT_EQ(userMimeAppsList(), list);
  std::string text = readWholeFile(list).value_or("");
  EXPECT_NE(text.find("[Default Applications]\napplication/x-bh=vemorazip.desktop;\n"
                      "application/x-lha=vemorazip.desktop;\n"),
            std::string::npos)
      << text;
  ScopedEnv config("XDG_CONFIG_HOME", root_.path() + "/config");
  ScopedEnv configDirs("XDG_CONFIG_DIRS", root_.path() + "/none");
  ScopedEnv data("XDG_DATA_HOME", root_.path() + "/none");
  ScopedEnv dataDirs("XDG_DATA_DIRS", root_.path() + "/none");
  mime::ApplicationLists lists = mime::ApplicationLists::load();
  EXPECT_TRUE(lists.hasDefaultApplication("application/x-bh"));
  EXPECT_TRUE(lists.hasDefaultApplication("application/x-lha"));
  EXPECT_FALSE(lists.hasDefaultApplication("application/zip"));
}

// Every type the repair makes ours is one the desktop file claims, so the
// file manager offers vzip for what the check associates (the build
// folder's copy of share/ lies beside bin/).
TEST_F(AssociationCheckTest, RepairedTypesAreAllClaimedByTheDesktopFile) {
  const std::optional<std::string> desktop =
      readWholeFile(test::binDir() + "/../share/applications/" + kDesktopFileName);
  ASSERT_TRUE(desktop) << "share/ not copied into the build folder";
  const size_t at = desktop->find("\nMimeType=");
  ASSERT_NE(at, std::string::npos);
  const std::string claimed = ";" + desktop->substr(at + 10, desktop->find('\n', at + 1) - at - 10);

  for (const AssociationProblem& p : findAssociationProblems()) repairAssociation(p);
  EXPECT_TRUE(findAssociationProblems().empty());
  const std::string list = readWholeFile(userMimeAppsList()).value_or("");
  const size_t begin = list.find("[Default Applications]\n");
  ASSERT_NE(begin, std::string::npos);
  int types = 0;
  for (size_t pos = begin + 23; pos < list.size() && list[pos] != '\n' && list[pos] != '[';) {
    const size_t eq = list.find('=', pos);
    const std::string type = list.substr(pos, eq - pos);
    EXPECT_NE(claimed.find(";" + type + ";"), std::string::npos) << type;
    ++types;
    pos = list.find('\n', pos) + 1;
  }
  EXPECT_EQ(types, 12);  // .lha and .lzh share one type
}

TEST(MimeDefaultsEdit, KeepsOtherLinesMovesUsFirstAndLiftsOurRemoval) {
  const std::string before =
      "# the user's own\n"
      "[Default Applications]\n"
      "application/zip=other.desktop;\n"
      "text/plain=editor.desktop;\n"
      "\n"
      "[Added Associations]\n"
      "application/zip=other.desktop;vemorazip.desktop;\n"
      "\n"
      "[Removed Associations]\n"
      "application/zip=vemorazip.desktop;\n"
      "application/gzip=vemorazip.desktop;third.desktop;\n";
  const std::string after =
      withDefaultApplication(before, {"application/zip", "application/gzip"}, "vemorazip.desktop");
  EXPECT_EQ(after,
            "# the user's own\n"
            "[Default Applications]\n"
            "application/zip=vemorazip.desktop;\n"
            "text/plain=editor.desktop;\n"
            "application/gzip=vemorazip.desktop;\n"
            "\n"
            "[Added Associations]\n"
            "application/zip=vemorazip.desktop;other.desktop;\n"
            "application/gzip=vemorazip.desktop;\n"
            "\n"
            "[Removed Associations]\n"
            "application/gzip=third.desktop;\n");
  // Applying it again changes nothing.
  EXPECT_EQ(withDefaultApplication(after, {"application/zip", "application/gzip"}, "vemorazip.desktop"), after);
  EXPECT_EQ(withDefaultApplication("", {"application/x-arc"}, "vemorazip.desktop"),
            "[Default Applications]\napplication/x-arc=vemorazip.desktop;\n\n"
            "[Added Associations]\napplication/x-arc=vemorazip.desktop;\n");
}

}  // namespace
}  // namespace vz::manager
