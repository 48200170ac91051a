// Archives the writer makes, checked by the peer tools and by our own read
// side: a mixed tree (empty, tiny, text, binary, incompressible and a 40 MB
// file) in every compression mode, the stored-path methods, updates and
// deletions, and encrypted archives; each passes unzip -t, 7zz t,
// bsdtar -tf and python3's testzip, and extracts to the same bytes.
#include <sys/stat.h>

#include "control/engine/extract/extract_run.h"
#include "control/engine/write/file_select.h"
#include "control/engine/common/unzip_state.h"
#include "platform/charcase.h"
#include "tests/engine/write/writer_test_util.h"

namespace vz::test {
namespace {

class WriterPeers : public WriterTest {
 protected:
  // The mixed tree, upper-case names (the writer's names are upper case,
  // so an extracted tree compares name for name).
  void makeTree(const std::string& root, size_t bigBytes) {
    put(root + "/EMPTY.TXT", "");
    put(root + "/TINY.TXT", "x");
    put(root + "/TEXT.TXT", textBytes(200000));
    std::string binary;
    for (uint32_t i = 0; i < 300000; ++i) binary += static_cast<char>((i * i) >> 7 & 0xFF);
    put(root + "/BINARY.DAT", binary);
    put(root + "/RANDOM.BIN", randomBytes(1 << 20, 3));
    put(root + "/SUB/NESTED.TXT", textBytes(7000));
    put(root + "/SUB/DEEP/INNER.ZIP", textBytes(3000));
    fs::create_directories(root + "/SUB/EMPTYDIR");
    if (bigBytes != 0) {
      // Text and random runs mixed, so that matches come and go and the
      // compressor's window slides many times.
      std::string big;
      big.reserve(bigBytes);
      uint32_t seed = 11;
      while (big.size() < bigBytes) {
        big += textBytes(70000 + seed % 5000);
        big += randomBytes(30000, seed++);
      }
      big.resize(bigBytes);
      put(root + "/BIG.BIN", big);
    }
  }

  // Extracts with a peer tool into dest; true when it succeeded.
  bool extractWith(const std::string& tool, const std::string& zip, const std::string& dest,
                   const std::string& password = "") {
    fs::create_directories(dest);
    std::vector<std::string> argv;
    if (tool == "unzip") {
      argv = {"unzip", "-qq", "-o"};
      if (!password.empty()) argv.insert(argv.end(), {"-P", password});
      argv.insert(argv.end(), {zip, "-d", dest});
    } else if (tool == "7zz") {
      argv = {"7zz", "x", "-bd", "-y", "-o" + dest, "-p" + password, zip};
    } else if (tool == "python3") {
      argv = {"python3",
              "-c",
              "import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\n"
              "z.extractall(sys.argv[2], pwd=sys.argv[3].encode() or None)",
              zip,
              dest,
              password};
    } else if (tool == "bsdtar") {
      argv = {"bsdtar", "-xf", zip, "-C", dest};
    }
    std::string out, err;
    const int rc = run(argv, &out, &err);
    if (rc != 0) ADD_FAILURE() << tool << ": " << out << err;
    return rc == 0;
  }

  // Extracts with our read side into dest; its status.
  engine::ReadStatus extractOurs(const std::string& zip, const std::string& dest, const std::string& password = "") {
    engine::UnzipState st;
    st.pump = false;
    st.password = password;
    st.askPassword = false;
    return engine::unzipFiles(st, zip, "*.*", dest, true, 1);
  }
};

TEST_F(WriterPeers, MixedTreeInEveryCompressionModeRoundTrips) {
  const std::string src = dir_.file("src");
  makeTree(src, 40u << 20);
  const auto want = treeOf(src);
  for (int mode = 0; mode <= 3; ++mode) {
    SCOPED_TRACE("compression mode " + std::to_string(mode));
    const std::string a = dir_.file("m" + std::to_string(mode) + ".zip");
    ASSERT_EQ(zip(a, src + "/*.*", 0, 1, true, mode), 0);
    const ArchiveView v = viewArchive(a);
    ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
    EXPECT_EQ(v.entries.size(), 11u);  // 8 files and 3 folders
    for (const EntryView& e : v.entries) {
      if (mode == 3) {
        EXPECT_EQ(e.method, 0) << e.name;
      }
      if (e.name == "TEXT.TXT" && mode != 3) {
        EXPECT_EQ(e.method, 8);
      }
      if (e.name == "RANDOM.BIN") {
        EXPECT_EQ(e.method, 0);
      }
    }
    EXPECT_EQ(peerComplaints(a), "");
    const std::string ours = dir_.file("ours" + std::to_string(mode));
    EXPECT_EQ(extractOurs(a, ours), engine::ReadStatus::Ok);
    EXPECT_TRUE(treeOf(ours) == want);
    EXPECT_TRUE(fs::is_directory(ours + "/SUB/EMPTYDIR"));
    if (haveProgram("unzip")) {
      const std::string out = dir_.file("unzip" + std::to_string(mode));
      ASSERT_TRUE(extractWith("unzip", a, out));
      EXPECT_TRUE(treeOf(out) == want);
    }
    fs::remove_all(ours);
  }
  // The other peers extract one of them (mode 2) to the same bytes.
  for (const std::string tool : {"7zz", "python3", "bsdtar"}) {
    if (!haveProgram(tool)) continue;
    const std::string out = dir_.file("x-" + tool);
    ASSERT_TRUE(extractWith(tool, dir_.file("m2.zip"), out));
    EXPECT_TRUE(treeOf(out) == want) << tool;
  }
}

TEST_F(WriterPeers, StoredPathMethodsUpdatesAndDeletionsStayValid) {
  const std::string src = dir_.file("src");
  makeTree(src, 0);
  for (int method = 0; method <= 2; ++method) {
    SCOPED_TRACE("store path method " + std::to_string(method));
    const std::string a = dir_.file("p" + std::to_string(method) + ".zip");
    ASSERT_EQ(zip(a, src + "/*.TXT", 0, method, true), 0);
    EXPECT_EQ(peerComplaints(a), "");
    // Replace everything, add more, delete some, comment: still valid.
    put(src + "/TEXT.TXT", textBytes(123456));
    ASSERT_EQ(zip(a, src + "/*.*", 0, method, true, 1), 0);
    EXPECT_EQ(peerComplaints(a), "");
    EXPECT_EQ(engine::deleteWithMask(engine_, a, "*.BIN"), engine::WriteStatus::Ok);
    EXPECT_EQ(engine::setGlobalComment(engine_, a, "updated\r\nagain"), engine::WriteStatus::Ok);
    EXPECT_EQ(engine::setLocalComment(engine_, a, "*.DAT", "binary data"), engine::WriteStatus::Ok);
    EXPECT_EQ(peerComplaints(a), "");
    const ArchiveView v = viewArchive(a);
    ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
    EXPECT_EQ(v.comment, "updated\r\nagain");
    for (const EntryView& e : v.entries) {
      EXPECT_FALSE(e.name.ends_with(".BIN")) << e.name;
      if (e.name.ends_with(".DAT")) {
        EXPECT_EQ(e.comment, "binary data");
      }
    }
    const std::string ours = dir_.file("ours" + std::to_string(method));
    EXPECT_EQ(extractOurs(a, ours), engine::ReadStatus::Ok);
    const std::string folder = method == 2 ? "/" + toUpper(engine::storedPathOf(src)) : "";
    EXPECT_EQ(fileText(ours + folder + "/TEXT.TXT"), textBytes(123456));
  }
}

TEST_F(WriterPeers, EncryptedArchivesExtractWithThePassword) {
  const std::string src = dir_.file("src");
  makeTree(src, 3u << 20);
  const auto want = treeOf(src);
  const std::string a = dir_.file("secret.zip");
  ASSERT_EQ(zip(a, src + "/*.*", 0, 1, true, 0, "pa55 word"), 0);
  const ArchiveView v = viewArchive(a);
  ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
  for (const EntryView& e : v.entries) {
    EXPECT_EQ(e.flags & 1, e.name.ends_with("/") ? 0 : 1) << e.name;
    EXPECT_EQ(e.flags & 8, 0) << e.name;
  }
  EXPECT_EQ(peerComplaints(a, "pa55 word"), "");
  for (const std::string tool : {"unzip", "7zz", "python3"}) {
    if (!haveProgram(tool)) continue;
    const std::string out = dir_.file("x-" + tool);
    ASSERT_TRUE(extractWith(tool, a, out, "pa55 word"));
    EXPECT_TRUE(treeOf(out) == want) << tool;
  }
  const std::string ours = dir_.file("ours");
  EXPECT_EQ(extractOurs(a, ours, "pa55 word"), engine::ReadStatus::Ok);
  EXPECT_TRUE(treeOf(ours) == want);
  // The wrong password opens nothing.
  if (haveProgram("unzip")) {
    EXPECT_NE(run({"unzip", "-t", "-qq", "-P", "wrong", a}), 0);
  }
}

}  // namespace
}  // namespace vz::test
