// Names that try to leave the destination never write outside it: "../x",
// "/abs", "C:\x", "a/../../b", a folder link already in the destination
// pointing out, a link entry pointing out, and a link entry followed by a
// file written "through" it. The unsafe parts are dropped (result 30) and
// the files land inside.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

TEST(UnzipSafety, HostileNamesStayInsideTheDestination) {
  if (!vz::test::haveProgram("python3")) GTEST_SKIP();
  ScratchDir dir("zwy");
  const std::string zip = dir.file("evil.zip");
  // Entries: plain hostile names, a link entry out of the destination, a
  // link entry inside it, and a file named below a link entry.
  ASSERT_EQ(shell("python3 - " + zip + R"( <<'EOF'
import sys, zipfile, stat
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for n in ['../up.txt', '/abs.txt', 'C:\\drive.txt', 'a/../../mid.txt', 'out/inside.txt']:
        z.writestr(n, 'payload ' + n)
    for n, target in [('esc', '../../..'), ('good', 'a/b'), ('a/up', '../out')]:
        i = zipfile.ZipInfo(n); i.create_system = 3
        i.external_attr = (stat.S_IFLNK | 0o777) << 16
        z.writestr(i, target)
    z.writestr('esc/through.txt', 'through')
EOF)"),
            0);
  const std::string dest = dir.file("x/dest");
  fs::create_directories(dest);
  fs::create_directories(dir.file("elsewhere"));
  fs::create_directory_symlink(dir.file("elsewhere"), dest + "/out");  // a link already there, pointing out

  RecordingHost host;
  EXPECT_EQ(host.run({"", zip, "-d", dest}) & 0xFFFF, kResultSkipped);
  // Nothing outside the destination: the scratch folder holds only it, the
  // archive and the (still empty) folder the link points at.
  EXPECT_TRUE(fs::is_empty(dir.file("elsewhere")));
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    const std::string p = e.path().string();
    EXPECT_TRUE(p == zip || p == dir.file("x") || p.rfind(dest, 0) == 0 || p == dir.file("elsewhere")) << p;
  }
  const Tree t = snapshot(dest);
  EXPECT_TRUE(t.count("/up.txt"));
  EXPECT_TRUE(t.count("/abs.txt"));
  EXPECT_TRUE(t.count("/drive.txt"));
  EXPECT_TRUE(t.count("/a/mid.txt"));        // ".." dropped, the rest kept
  EXPECT_EQ(t.at("/good").data, "a/b");      // a link inside is made
  EXPECT_EQ(t.at("/a/up").data, "../out");   // (made after every file, so nothing goes through it)
  EXPECT_EQ(t.at("/esc").type, 'd');         // the one pointing out is not
  EXPECT_TRUE(t.count("/esc/through.txt"));  // written as a folder, not through a link
  // The folder link that was there is not followed: its entry is refused.
  EXPECT_EQ(host.reasonsFor("out/inside.txt"), std::vector<uint32_t>{kSkipCannotOpen});
  EXPECT_EQ(t.at("/out").type, 'l');

  // Without that link the worst is the names made safe (30).
  fs::remove(dest + "/out");
  RecordingHost again;
  EXPECT_EQ(again.run({"", "-o", zip, "-d", dir.file("x/clean")}) & 0xFFFF, kResultMinorIssues);
}

}  // namespace
}  // namespace vz::zipwrap::test
