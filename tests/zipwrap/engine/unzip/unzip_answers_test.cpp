// The host's answers during extraction: the replace question (keep,
// replace, a new name, -n, -o), freshen and update, and the password
// question (wrong then right, always skip, a host that repeats a wrong
// password), each with the skip reason and result it gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

std::string contentOf(const std::string& path) {
  const auto b = vz::test::readFile(path);
  return std::string(b.begin(), b.end());
}

class UnzipAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vz::test::haveProgram("zip")) GTEST_SKIP();
    fs::create_directories(dir_.file("src"));
    vz::test::writeFile(dir_.file("src/a.txt"), "archived a\n");
    vz::test::writeFile(dir_.file("src/b.txt"), "archived b\n");
    ASSERT_EQ(shell("touch -d '2020-01-01 00:00:00' a.txt b.txt && zip -q ../plain.zip a.txt b.txt && "
                    "zip -q -P right ../locked.zip a.txt b.txt",
                    dir_.file("src")),
              0);
    fs::create_directories(out());
  }
  std::string out() const { return dir_.file("out"); }
  std::string plain() const { return dir_.file("plain.zip"); }
  std::string locked() const { return dir_.file("locked.zip"); }
  // a.txt in the destination with the given content and time.
  void existing(const std::string& content, const char* when) {
    fs::create_directories(out());
    vz::test::writeFile(out() + "/a.txt", content);
    ASSERT_EQ(shell(std::string("touch -d '") + when + "' a.txt", out()), 0);
  }

  ScratchDir dir_{"zwa"};
};

TEST_F(UnzipAnswers, ReplaceQuestionKeepReplaceAndNewName) {
  struct Row {
    const char* label;
    uint8_t answer;
    std::string newName;
    const char* expectA;      // content of out/a.txt afterwards
    const char* renamedFile;  // where the entry went instead ("" none)
    std::vector<uint32_t> reasons;
  } rows[] = {
      {"keep", 0, "", "mine\n", "", {kSkipNotOverwriting}},
      {"replace", 1, "", "archived a\n", "", {}},
      {"new relative name", 1, "sub/other.txt", "mine\n", "sub/other.txt", {}},
      {"new absolute name inside", 1, "@/abs.txt", "mine\n", "abs.txt", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    fs::remove_all(out());
    existing("mine\n", "2000-01-01");
    RecordingHost host;
    std::string asked;
    host.onReplace = [&](const std::string& path) {
      asked = path;
      std::string name = row.newName;
      if (name.rfind("@", 0) == 0) name = fs::absolute(out()).string() + name.substr(1);
      return std::pair<uint8_t, std::string>{row.answer, name};
    };
    EXPECT_EQ(host.run({"", plain(), "-d", out()}) & 0xFFFF, kResultOk);
    EXPECT_EQ(asked, out() + "/a.txt");
    EXPECT_EQ(contentOf(out() + "/a.txt"), row.expectA);
    if (*row.renamedFile) EXPECT_EQ(contentOf(out() + "/" + row.renamedFile), "archived a\n");
    EXPECT_EQ(host.reasonsFor("a.txt"), row.reasons);
    EXPECT_EQ(contentOf(out() + "/b.txt"), "archived b\n");
  }
}

TEST_F(UnzipAnswers, SwitchesDecideWithoutAsking) {
  struct Row {
    const char* label;
    std::vector<std::string> switches;
    const char* existingTime;  // "" no existing a.txt
    const char* expectA;       // "" a.txt absent afterwards
    uint16_t result;
    std::vector<uint32_t> reasons;
  } rows[] = {
      {"never", {"-n"}, "2000-01-01", "mine\n", kResultOk, {kSkipNotOverwriting}},
      {"always", {"-o"}, "2030-01-01", "archived a\n", kResultOk, {}},
      {"update, file older", {"-u", "-o"}, "2000-01-01", "archived a\n", kResultOk, {}},
      {"update, file newer", {"-u", "-o"}, "2030-01-01", "mine\n", kResultUpToDate, {kSkipUpToDate}},
      {"freshen, file missing", {"-f"}, "", "", kResultUpToDate, {kSkipUpToDate}},
      {"freshen, file newer", {"-f", "-o"}, "2030-01-01", "mine\n", kResultUpToDate, {kSkipUpToDate}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    fs::remove_all(out());
    fs::create_directories(out());
    if (*row.existingTime) existing("mine\n", row.existingTime);
    RecordingHost host;
    host.onReplace = [](const std::string&) -> std::pair<uint8_t, std::string> {
      ADD_FAILURE() << "asked";
      return {0, ""};
    };
    std::vector<std::string> args = {""};
    args.insert(args.end(), row.switches.begin(), row.switches.end());
    args.insert(args.end(), {plain(), "a.txt", "-d", out()});
    EXPECT_EQ(host.run(args) & 0xFFFF, row.result);
    EXPECT_EQ(host.reasonsFor("a.txt"), row.reasons);
    if (*row.expectA)
      EXPECT_EQ(contentOf(out() + "/a.txt"), row.expectA);
    else
      EXPECT_FALSE(fs::exists(out() + "/a.txt"));
  }
}

TEST_F(UnzipAnswers, PasswordQuestions) {
  struct Row {
    const char* label;
    std::string argv0;
    std::vector<std::pair<uint8_t, std::string>> replies;
    size_t questions;  // callbacks 100 raised
    bool extracted;    // both files written
    uint16_t result;
  } rows[] = {
      {"given and right", "right", {}, 0, true, kResultOk},
      {"wrong then right, remembered for b", "", {{2, "wrong"}, {2, "right"}}, 2, true, kResultOk},
      {"given wrong, then asked", "wrong", {{2, "right"}}, 1, true, kResultOk},
      {"always skip", "", {{1, ""}}, 1, false, kResultSkipped},
      {"skip this one each time", "", {{0, ""}}, 2, false, kResultSkipped},
      {"the same wrong password again", "wrong", {{2, "wrong"}}, 2, false, kResultSkipped},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    fs::remove_all(out());
    RecordingHost host;
    host.passwordReplies = row.replies;
    EXPECT_EQ(host.run({row.argv0, locked(), "-d", out()}) & 0xFFFF, row.result);
    EXPECT_EQ(host.of(kCbPassword).size(), row.questions);
    EXPECT_EQ(fs::exists(out() + "/a.txt"), row.extracted);
    EXPECT_EQ(fs::exists(out() + "/b.txt"), row.extracted);
    if (row.extracted) {
      EXPECT_EQ(contentOf(out() + "/b.txt"), "archived b\n");
    } else {
      EXPECT_EQ(host.reasonsFor("a.txt"), std::vector<uint32_t>{kSkipBadPassword});
      EXPECT_EQ(host.reasonsFor("b.txt"), std::vector<uint32_t>{kSkipBadPassword});
    }
    // Nothing but the extracted files (no temporary leftovers).
    EXPECT_EQ(snapshot(out()).size(), row.extracted ? 2u : 0u);
  }
}

}  // namespace
}  // namespace vz::zipwrap::test
