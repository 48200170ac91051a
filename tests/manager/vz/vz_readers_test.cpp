// vz l and vz x on archives that are not ZIP: every corpus archive the
// readers serve lists in vz's columns exactly the entries TArcLister walks
// (sizes, packed sizes, stamps, names with control characters replaced);
// FILES and -x select among them; ZIP archives and unknown files stay with
// the wrapper; TAR and gzip archives extract through their extractors, and
// a kind without an extractor says so and ends with status 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/type_detect.h"
#include "manager/vz/command_line.h"
#include "manager/vz/listing_format.h"
#include "manager/vz/reader_commands.h"
#include "manager/vz/vz_app.h"
#include "tests/support/test_env.h"

namespace vz::cli {
namespace {

using readers::ArcEntry;
using readers::TArcLister;

struct VzRun {
  int status = -1;
  std::string out, err;
};

VzRun vz(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  VzRun r;
  r.status = runVz(args, out, err, Environment{});
  r.out = out.str();
  r.err = err.str();
  return r;
}

readers::TArcType kindOf(const std::string& path) {
  CommandLine line;
  line.command = Command::List;
  line.archive = path;
  return readerArchiveType(line);
}

// The lines vz must print for the lister's entries of path.
std::string expectedListing(const std::string& path, int* listed) {
  TArcLister lister;
  lister.FileSpec = "*.*";
  lister.ShowBlankDirs = true;
  std::string lines;
  ListingTotals totals;
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) {
    const ArcEntry& e = l.entry();
    lines += listingLine(e.unpackedSize, e.packedSize, e.dateTime, readers::displayName(e.fileName), e.encrypted);
    totals.add(e.unpackedSize, e.packedSize);
  };
  lister.setArchiveFile(path);
  lister.activate();
  *listed = static_cast<int>(totals.entries());
  return listingHeader() + lines + totals.text();
}

TEST(VzReaders, CorpusArchivesListTheListersEntries) {
  vz::test::ScopedRoot root;
  int checked = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    const readers::TArcType kind = kindOf(path);
    if (kind == readers::atNA) continue;
    int listed = 0;
    const std::string want = expectedListing(path, &listed);
    const VzRun r = vz({"l", path});
    EXPECT_EQ(r.out, want) << path;
    if (r.err.empty()) {
      EXPECT_EQ(r.status, listed > 0 ? 0 : 1) << path;
    } else {
      EXPECT_EQ(r.status, 2) << path << ": " << r.err;
    }
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no corpus";
  EXPECT_GE(checked, 25);
  // ZIP archives (plain or appended to a program) and unknown files are the wrapper's.
  const std::string corpus = vz::test::corpusDir();
  EXPECT_EQ(kindOf(corpus + "/gz-test.zip"), readers::atNA);
  EXPECT_EQ(kindOf(corpus + "/sc-exe-test.exe"), readers::atNA);
  EXPECT_EQ(kindOf(corpus + "/no-such-file"), readers::atNA);
  EXPECT_EQ(kindOf(corpus + "/la-read_format_rar_sfx.exe"), readers::atRarExe);
}

TEST(VzReaders, SelectionAndControlCharactersInNames) {
  if (!vz::test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  vz::test::ScopedRoot root;
  vz::test::ScratchDir dir("vzrd");
  // No ".tar" in the name: the kind comes from the content (ustar magic is
  // not what finds it; the gzip wrapper is).
  const std::string script =
      "import tarfile,io,sys\n"
      "with tarfile.open(sys.argv[1],'w:gz') as t:\n"
      "  for n,d in (('docs/a.txt',b'alpha'),('docs/b.log',b'beta'*50),('esc\\x1b[2Jname.txt',b'x')):\n"
      "    i=tarfile.TarInfo(n); i.size=len(d); i.mtime=1700000000; t.addfile(i,io.BytesIO(d))\n";
  ASSERT_EQ(vz::test::run({"python3", "-c", script, dir.file("arch.bin")}), 0);
  ASSERT_EQ(kindOf(dir.file("arch.bin")), readers::atGZip);
  // A gzip file lists as its one member; a plain TAR (named .tar) lists its entries.
  ASSERT_EQ(vz::test::run({"python3", "-c",
                           "import gzip,shutil,sys\n"
                           "shutil.copyfileobj(gzip.open(sys.argv[1]),open(sys.argv[2],'wb'))\n",
                           dir.file("arch.bin"), dir.file("arch.tar")}),
            0);
  VzRun r = vz({"l", dir.file("arch.tar")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" docs/a.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" esc?[2Jname.txt\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_NE(r.out.find("   3 files\n"), std::string::npos) << r.out;

  r = vz({"l", dir.file("arch.tar"), "docs/*.*", "-x", "*.log"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" docs/a.txt\n"), std::string::npos);
  EXPECT_EQ(r.out.find("b.log"), std::string::npos);
  EXPECT_NE(r.out.find(" 1 file\n"), std::string::npos) << r.out;
  r = vz({"l", dir.file("arch.tar"), "nothing*"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vz: no file or entry matched.\n");

  // Extraction through the TAR and gzip extractors, with the same selection.
  r = vz({"x", dir.file("arch.tar"), "docs/*.*", "-x", "*.log", "-d", dir.file("out")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(vz::test::readFile(dir.file("out/docs/a.txt")), std::vector<uint8_t>({'a', 'l', 'p', 'h', 'a'}));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/docs/b.log")));
  r = vz({"x", dir.file("arch.bin"), "-d", dir.file("gz")});
  EXPECT_EQ(r.status, 0) << r.err;
  // python3 stores the archive's own name in the gzip header.
  EXPECT_EQ(vz::test::readFile(dir.file("gz/arch.bin")), vz::test::readFile(dir.file("arch.tar")));
  r = vz({"x", dir.file("arch.tar"), "-d", dir.file("out"), "-o"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(vz::test::readFile(dir.file("out/docs/b.log")).size(), 200u);
  r = vz({"x", dir.file("arch.tar"), "-d", dir.file("out"), "-n"});
  EXPECT_EQ(r.status, 1) << "every file there, kept";
}

TEST(VzReaders, ExtractionWithoutAnExtractorSaysSo) {
  vz::test::ScopedRoot root;
  const std::string rar = vz::test::corpusDir() + "/sc-Rar15.rar";
  if (vz::test::readFile(rar).empty()) GTEST_SKIP() << "no corpus";
  vz::test::ScratchDir dir("vzrx");
  const VzRun r = vz({"x", rar, "-d", dir.path()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Extraction of RAR archives is not available yet.\n");
  EXPECT_EQ(readerKindName(readers::atLzhExe), "LZH SFX");
}

// A cabinet extracts through vz x; extracting it again asks the replace
// question without "Rename..." (the extractors write an entry under its own
// name only), and Cancel there stops the run.
TEST(VzReaders, CabinetExtractsAndTheReplaceQuestionHasNoRename) {
  vz::test::ScopedRoot root;
  const std::string cab = vz::test::corpusDir() + "/pt-t.cab";
  if (vz::test::readFile(cab).empty()) GTEST_SKIP() << "no corpus";
  vz::test::ScratchDir dir("vzcab");
  VzRun r = vz({"x", cab, "-d", dir.file("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<uint8_t> first = vz::test::readFile(dir.file("out/t/t.txt"));
  EXPECT_FALSE(first.empty());
  vz::test::writeFile(dir.file("answers"), "cancel\n");
  std::string out, err;
  EXPECT_EQ(
      vz::test::run({vz::test::binDir() + "/vz", "x", cab, "-d", dir.file("out"), "--answers", dir.file("answers")},
                    &out, &err),
      1);
  EXPECT_NE(err.find("Do you wish to replace this file?\t[Yes] [No]* [Cancel]"), std::string::npos) << err;
  EXPECT_NE(err.find("vz: extraction cancelled."), std::string::npos) << err;
  EXPECT_EQ(vz::test::readFile(dir.file("out/t/t.txt")), first);
}

}  // namespace
}  // namespace vz::cli
