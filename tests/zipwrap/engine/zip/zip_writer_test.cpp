// The writer's archives against the peer tools: every level with and
// without encryption through add, freshen, update, delete and comment; a
// round trip through unzip that keeps bytes, times and permissions (the
// large files take the spool path); the same bytes whatever the number of
// worker threads.
#include <sys/stat.h>

#include "tests/zipwrap/engine/zip/zip_test_util.h"

namespace vz::zipwrap::test {
namespace {

class WriterMatrix : public WriterTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(WriterMatrix, PeersAcceptEveryOperation) {
  if (!haveProgram("unzip")) GTEST_SKIP() << "unzip missing";
  const auto [level, encrypt] = GetParam();
  const std::string pw = encrypt ? "secret" : "";
  put("src/a.txt", textBytes(5000, 1));
  put("src/sub/b.bin", randomBytes(3000, 2));
  put("src/sub/c.txt", textBytes(20, 3));
  put("src/empty", {});
  std::vector<std::string> head = {pw, "-" + std::to_string(level)};
  if (encrypt) head.push_back("-e");
  auto cmd = [&](std::vector<std::string> tail) {
    std::vector<std::string> v = head;
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
  };
  ASSERT_EQ(zw(cmd({"-r", "-D", "a.zip", "src"})), kResultOk);
  expectPeersAccept("a.zip", pw, "add");
  EXPECT_EQ(names("a.zip"),
            (std::vector<std::string>{"src/", "src/a.txt", "src/empty", "src/sub/", "src/sub/b.bin", "src/sub/c.txt"}));

  put("src/a.txt", textBytes(7000, 4), 1700000000);
  ASSERT_EQ(zw(cmd({"-f", "-r", "a.zip", "src"})), kResultOk);
  expectPeersAccept("a.zip", pw, "freshen");

  put("src/new.txt", textBytes(900, 5), 1700000000);
  ASSERT_EQ(zw(cmd({"-u", "-r", "a.zip", "src"})), kResultOk);
  expectPeersAccept("a.zip", pw, "update");
  EXPECT_EQ(names("a.zip").back(), "src/new.txt");

  ASSERT_EQ(zw({"", "-d", "a.zip", "src/sub/b.bin"}), kResultOk);
  expectPeersAccept("a.zip", pw, "delete");

  Recorder rec;
  rec.archiveComment = "level " + std::to_string(level);
  ASSERT_EQ(zw({"", "-z", "a.zip"}, &rec), kResultOk);
  expectPeersAccept("a.zip", pw, "comment");
  std::string out;
  run({"unzip", "-z", abs("a.zip")}, &out);
  EXPECT_NE(out.find(*rec.archiveComment), std::string::npos);

  // Extracted, every file is the last one added.
  std::vector<std::string> x = {"unzip", "-qq", "-o"};
  if (encrypt) x.insert(x.end(), {"-P", pw});
  x.insert(x.end(), {abs("a.zip"), "-d", abs("out")});
  ASSERT_EQ(run(x), 0);
  EXPECT_EQ(bytesOf("out/src/a.txt"), bytesOf("src/a.txt"));
  EXPECT_EQ(bytesOf("out/src/new.txt"), bytesOf("src/new.txt"));
  EXPECT_FALSE(fs::exists(abs("out/src/sub/b.bin")));
}

INSTANTIATE_TEST_SUITE_P(Levels, WriterMatrix, ::testing::Combine(::testing::Range(0, 10), ::testing::Bool()));

class WriterRoundTrip : public WriterTest {
 protected:
  // Files of every kind the writer treats apart: empty, tiny, text, random
  // (stored: it does not shrink), a UTF-8 name, odd seconds, modes, and
  // two files past the in-memory limit (one shrinks, one does not).
  void makeTree() {
    put("t/empty.txt", {});
    put("t/tiny", {'x'}, 1600000003);
    put("t/text.txt", textBytes(200000, 7), 1650000007);
    put("t/noise.bin", randomBytes(70000, 8));
    put("t/Grüße/ñame.txt", textBytes(3000, 9));
    put("t/big.txt", textBytes((4u << 20) + 5000, 10), 1660000001);
    put("t/big.bin", randomBytes((4u << 20) + 7000, 11));
    chmod(abs("t/tiny").c_str(), 0600);
    chmod(abs("t/text.txt").c_str(), 0755);
    chmod(abs("t/noise.bin").c_str(), 0444);
  }
};

TEST_F(WriterRoundTrip, UnzipRestoresBytesTimesAndPermissions) {
  if (!haveProgram("unzip")) GTEST_SKIP() << "unzip missing";
  makeTree();
  setenv("VZ_THREADS", "1", 1);  // packing on this thread: progress at every MiB
  Recorder rec;
  ASSERT_EQ(zw({"", "-r", "a.zip", "t"}, &rec), kResultOk);
  expectPeersAccept("a.zip", "", "round trip");
  std::vector<int> bigProgress;
  for (const Call& c : rec.calls)
    if (c.code == kCbAdding && c.name == "t/big.txt") bigProgress.push_back(c.percent);
  ASSERT_GE(bigProgress.size(), 4u);
  EXPECT_EQ(bigProgress.front(), 0);
  EXPECT_EQ(bigProgress.back(), 100);
  EXPECT_TRUE(std::is_sorted(bigProgress.begin(), bigProgress.end()));
  ASSERT_EQ(run({"unzip", "-qq", abs("a.zip"), "-d", abs("out")}), 0);
  for (const char* f :
       {"t/empty.txt", "t/tiny", "t/text.txt", "t/noise.bin", "t/Grüße/ñame.txt", "t/big.txt", "t/big.bin"}) {
    SCOPED_TRACE(f);
    struct stat a {
    }, b{};
    ASSERT_EQ(stat(abs(f).c_str(), &a), 0);
    ASSERT_EQ(stat(abs(std::string("out/") + f).c_str(), &b), 0);
    EXPECT_TRUE(bytesOf(f) == bytesOf(std::string("out/") + f));
    EXPECT_EQ(a.st_mtime, b.st_mtime);
    EXPECT_EQ(a.st_mode & 0777, b.st_mode & 0777);
  }
  // The UTF-8 name is flagged as such: python reads it back as text.
  if (haveProgram("python3")) {
    std::string out;
    run({"python3", "-c",
         "import zipfile,sys;print([i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist() "
         "if i.flag_bits & 0x800])",
         abs("a.zip")},
        &out);
    EXPECT_NE(out.find("t/Grüße/ñame.txt"), std::string::npos) << out;
  }
}

TEST_F(WriterRoundTrip, SameBytesWithOneThreadAndFour) {
  makeTree();
  setenv("VZ_ENCRYPTION_SEED", "12345", 1);
  setenv("VZ_THREADS", "1", 1);
  ASSERT_EQ(zw({"pw", "-e", "-r", "one.zip", "t"}), kResultOk);
  setenv("VZ_THREADS", "4", 1);
  ASSERT_EQ(zw({"pw", "-e", "-r", "four.zip", "t"}), kResultOk);
  EXPECT_TRUE(readFile(abs("one.zip")) == readFile(abs("four.zip")));
  expectPeersAccept("four.zip", "pw", "four threads");
}

}  // namespace
}  // namespace vz::zipwrap::test
