// vz run as a child process against the stand-in engine (ZWZIP32.so and
// ZWUNZ32.so beside it): a tree goes through a -> l -> t -> x -> d -> c and
// comes back byte for byte, with unzip as the oracle of what was written;
// an archive made by zip lists and extracts; existing files and passwords
// are settled through --answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

struct VzRun {
  int status = -1;
  std::string out, err;
};

class VzEngine : public testing::Test {
 protected:
  void SetUp() override { unsetenv("VZ_ENGINE_DIR"); }

  VzRun vz(std::vector<std::string> args, const std::optional<std::string>& answers = {}) {
    if (answers) {
      vz::test::writeFile(dir_.file("answers"), *answers);
      args.insert(args.begin() + 1, {"--answers", dir_.file("answers")});
    }
    args.insert(args.begin(), vz::test::binDir() + "/vz");
    VzRun r;
    r.status = vz::test::run(args, &r.out, &r.err, dir_.path());
    return r;
  }

  std::string read(const std::string& relative) {
    std::vector<uint8_t> b = vz::test::readFile(dir_.file(relative));
    return {b.begin(), b.end()};
  }

  // A tree with text, incompressible and empty files in nested folders.
  std::vector<std::string> makeTree() {
    std::mt19937 rng(7);
    std::string noise(70000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + " of the text file\n";
    fs::create_directories(dir_.file("tree/sub/deeper"));
    std::vector<std::pair<std::string, std::string>> files = {{"tree/a.txt", text},
                                                              {"tree/sub/noise.bin", noise},
                                                              {"tree/sub/deeper/empty.dat", ""},
                                                              {"tree/sub/deeper/z.txt", "z\n"}};
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
      vz::test::writeFile(dir_.file(name), content);
      names.push_back(name);
    }
    return names;
  }

  vz::test::ScopedRoot root_;
  ScratchDir dir_{"vzengine"};
};

TEST_F(VzEngine, TreeRoundTripsThroughEveryCommand) {
  std::vector<std::string> names = makeTree();
  VzRun add = vz({"a", "-r", "-9", "t.zip", "tree"});
  ASSERT_EQ(add.status, 0) << add.err;
  for (const std::string& n : names) EXPECT_NE(add.out.find("  adding: " + n + "\n"), std::string::npos) << add.out;
  if (vz::test::haveProgram("unzip")) {
    std::string out;
    EXPECT_EQ(vz::test::run({"unzip", "-t", dir_.file("t.zip")}, &out), 0) << out;
  }

  VzRun list = vz({"l", "t.zip"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("     70000 "), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(" tree/sub/deeper/empty.dat\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("4 files\n"), std::string::npos) << list.out;

  VzRun test = vz({"t", "t.zip"});
  EXPECT_EQ(test.status, 0) << test.err;
  EXPECT_NE(test.out.find("All files in the archive passed the test.\n"), std::string::npos);

  VzRun extract = vz({"x", "-d", "out", "t.zip"});
  ASSERT_EQ(extract.status, 0) << extract.err;
  for (const std::string& n : names) EXPECT_EQ(read("out/" + n), read(n)) << n;

  VzRun del = vz({"d", "t.zip", "tree/sub/*"});
  EXPECT_EQ(del.status, 0) << del.err;
  VzRun after = vz({"l", "-q", "t.zip"});
  EXPECT_EQ(after.out.find("tree/sub/"), std::string::npos) << after.out;
  EXPECT_NE(after.out.find(" tree/a.txt\n"), std::string::npos) << after.out;

  VzRun setComment = vz({"c", "-z", "Nightly build, 2 files", "t.zip"});
  EXPECT_EQ(setComment.status, 0) << setComment.err;
  VzRun comment = vz({"c", "t.zip"});
  EXPECT_EQ(comment.status, 0) << comment.err;
  EXPECT_EQ(comment.out, "Nightly build, 2 files\n");
  if (vz::test::haveProgram("unzip")) {
    std::string out;
    EXPECT_EQ(vz::test::run({"unzip", "-z", dir_.file("t.zip")}, &out), 0);
    EXPECT_NE(out.find("Nightly build, 2 files"), std::string::npos) << out;
  }
}

TEST_F(VzEngine, PeerArchiveListsAndExtracts) {
  if (!vz::test::haveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  std::vector<std::string> names = makeTree();
  std::string out;
  ASSERT_EQ(vz::test::run({"zip", "-r", "-q", "peer.zip", "tree"}, &out, nullptr, dir_.path()), 0);
  VzRun list = vz({"l", "peer.zip"});
  EXPECT_EQ(list.status, 0) << list.err;
  for (const std::string& n : names) EXPECT_NE(list.out.find(" " + n + "\n"), std::string::npos) << list.out;
  VzRun extract = vz({"x", "-q", "-d", "out", "peer.zip", "-x", "*.bin"});
  EXPECT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(read("out/tree/a.txt"), read("tree/a.txt"));
  EXPECT_FALSE(fs::exists(dir_.file("out/tree/sub/noise.bin")));
}

TEST_F(VzEngine, ExistingFilesAndPasswordsThroughAnswers) {
  vz::test::writeFile(dir_.file("note.txt"), std::string_view("the archived text\n"));
  ASSERT_EQ(vz({"a", "-p", "k3y", "e.zip", "note.txt"}).status, 0);

  // A wrong password is asked about again; the right one opens the entry.
  VzRun first = vz({"x", "-d", "out", "e.zip"}, "ok wrong\nok k3y\n");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(read("out/note.txt"), "the archived text\n");
  EXPECT_NE(first.err.find("Password\tnote.txt\t"), std::string::npos) << first.err;

  vz::test::writeFile(dir_.file("out/note.txt"), std::string_view("changed\n"));
  VzRun keep = vz({"x", "-p", "k3y", "-d", "out", "e.zip"}, "no\n");
  EXPECT_LE(keep.status, 1) << keep.err;
  EXPECT_EQ(read("out/note.txt"), "changed\n");
  EXPECT_NE(keep.err.find("already exists. Do you wish to replace this file?"), std::string::npos) << keep.err;

  VzRun rename = vz({"x", "-p", "k3y", "-d", "out", "e.zip"}, "rename...\nok copy.txt\n");
  EXPECT_EQ(rename.status, 0) << rename.err;
  EXPECT_EQ(read("out/copy.txt"), "the archived text\n");
  EXPECT_EQ(read("out/note.txt"), "changed\n");

  VzRun replace = vz({"x", "-p", "k3y", "-d", "out", "e.zip"}, "yes\n");
  EXPECT_EQ(replace.status, 0) << replace.err;
  EXPECT_EQ(read("out/note.txt"), "the archived text\n");

  // Cancel stops the run: a warning, exit status 1.
  VzRun cancel = vz({"x", "-p", "k3y", "-d", "out", "e.zip"}, "cancel\n");
  EXPECT_EQ(cancel.status, 1);
  EXPECT_NE(cancel.err.find("Warning: The Extracting files operation was aborted."), std::string::npos) << cancel.err;
}

TEST_F(VzEngine, MissingArchiveIsAnError) {
  VzRun r = vz({"t", "absent.zip"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Error: Could not find the archive file."), std::string::npos) << r.err;
}

}  // namespace
