// vz a --aes and --method run as a child process against the stand-in
// engine: what they write extracts byte for byte with 7zz (and python's
// zipfile where it knows the method); --aes without -p takes the password
// from the password question (here through --answers); a method vz does
// not know is a usage error that writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

struct VzRun {
  int status = -1;
  std::string out, err;
};

class VzTodayWrite : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("VZ_ENGINE_DIR");
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "row " + std::to_string(i * 7 % 1000) + " of a table\n";
    fs::create_directories(dir_.file("d/sub"));
    vz::test::writeFile(dir_.file("d/table.txt"), text);
    vz::test::writeFile(dir_.file("d/sub/short.txt"), std::string_view("short\n"));
  }

  VzRun vz(std::vector<std::string> args, const std::string& answers = "") {
    if (!answers.empty()) {
      vz::test::writeFile(dir_.file("answers"), answers);
      args.insert(args.begin() + 1, {"--answers", dir_.file("answers")});
    }
    args.insert(args.begin(), vz::test::binDir() + "/vz");
    VzRun r;
    r.status = vz::test::run(args, &r.out, &r.err, dir_.path());
    return r;
  }

  // 7zz extracts the archive with the password and gives back the tree.
  void expectSevenZipRestores(const std::string& archive, const std::string& password) {
    const std::string out = dir_.file("x-" + archive);
    ASSERT_EQ(vz::test::run({"7zz", "x", "-y", "-p" + password, "-o" + out, dir_.file(archive)}), 0) << archive;
    for (const char* f : {"d/table.txt", "d/sub/short.txt"})
      EXPECT_TRUE(vz::test::readFile(out + "/" + f) == vz::test::readFile(dir_.file(f))) << archive << ": " << f;
  }

  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"vztoday"};
};

TEST_F(VzTodayWrite, EveryMethodWithAndWithoutAesExtractsWith7zz) {
  if (!vz::test::haveProgram("7zz")) GTEST_SKIP() << "7zz missing";
  for (const char* method : {"deflate", "bzip2", "lzma", "xz", "zstd"}) {
    const std::string plain = std::string(method) + ".zip", aes = std::string(method) + "-aes.zip";
    VzRun a = vz({"a", "-r", "-q", "--method", method, plain, "d"});
    ASSERT_EQ(a.status, 0) << a.err;
    expectSevenZipRestores(plain, "");
    VzRun b = vz({"a", "-r", "-q", "--aes", "--password", "pa55", "--method", method, aes, "d"});
    ASSERT_EQ(b.status, 0) << b.err;
    expectSevenZipRestores(aes, "pa55");
    std::string listing;
    vz::test::run({"7zz", "l", "-slt", "-ppa55", dir_.file(aes)}, &listing);
    EXPECT_NE(listing.find("AES-256"), std::string::npos) << listing;
  }
  if (vz::test::haveProgram("python3")) {
    const std::string script =
        "import sys, zipfile\n"
        "for name in sys.argv[1:]:\n"
        "    z = zipfile.ZipFile(name)\n"
        "    assert z.testzip() is None, name\n"
        "    assert z.read('d/sub/short.txt') == b'short\\n', name\n";
    EXPECT_EQ(vz::test::run({"python3", "-c", script, dir_.file("bzip2.zip"), dir_.file("lzma.zip")}), 0);
  }
}

TEST_F(VzTodayWrite, AesWithoutPasswordAsksForIt) {
  if (!vz::test::haveProgram("7zz")) GTEST_SKIP() << "7zz missing";
  VzRun a = vz({"a", "-r", "--aes", "asked.zip", "d"}, "ok typed-pw\n");
  ASSERT_EQ(a.status, 0) << a.err;
  expectSevenZipRestores("asked.zip", "typed-pw");
  // No password given at the question: nothing is written.
  VzRun skipped = vz({"a", "-r", "--aes", "none.zip", "d"}, "skip file\n");
  EXPECT_EQ(skipped.status, 2);
  EXPECT_NE(skipped.err.find("--aes needs a password"), std::string::npos) << skipped.err;
  EXPECT_FALSE(fs::exists(dir_.file("none.zip")));
}

TEST_F(VzTodayWrite, UnknownMethodIsAUsageError) {
  VzRun r = vz({"a", "--method", "ppmd", "m.zip", "d"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--method wants deflate, bzip2, lzma, xz or zstd"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_.file("m.zip")));
  // --aes and --method belong to the writing commands.
  EXPECT_EQ(vz({"x", "--aes", "m.zip"}).status, 2);
}

}  // namespace
