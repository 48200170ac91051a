// TUnSFX: programs with an archive behind them become the plain archive.
// A ZIP appended by cat (offsets from its own start) or adjusted with zip -A
// (offsets from the program's start), behind an ELF or a DOS program, comes
// out byte for byte the ZIP zip made, and unzip -t and 7zz t pass it; a
// Zip64 archive's locator, Zip64 end record and Zip64 local offsets are
// rebased the same way; the other formats come out equal to the archive
// appended; the corpus programs are converted or refused with the right
// message; every message case; damaged programs end with a result and
// leave no temporary file.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/type_detect.h"
#include "manager/readers/un_sfx.h"
#include "platform/ui.h"
#include "tests/support/test_env.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint64_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint64_t v) { put16(b, at, v & 0xFFFF), put16(b, at + 2, (v >> 16) & 0xFFFF); }
void put64(Bytes& b, size_t at, uint64_t v) { put32(b, at, v & 0xFFFFFFFF), put32(b, at + 4, v >> 32); }
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A DOS program of 600 bytes whose image ends at 600: the archive follows.
Bytes dosProgram() {
  Bytes b(600, 0x90);
  b[0] = 'M', b[1] = 'Z';
  put16(b, 2, 600 % 512), put16(b, 4, 600 / 512 + 1);
  return b;
}

// Installs a scripted question back end for the test's lifetime.
struct ScriptedUi {
  std::shared_ptr<ui::ScriptedBackend> backend = std::make_shared<ui::ScriptedBackend>();
  std::shared_ptr<ui::Backend> previous = ui::setBackend(backend);
  ~ScriptedUi() { ui::setBackend(previous); }
};

struct Conversion {
  bool ok = false;
  std::string message, output;
  std::vector<int32_t> errors;
};

Conversion convert(const std::string& program, const std::string& out) {
  TUnSFX sfx;
  Conversion c;
  sfx.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t code) { c.errors.push_back(code); };
  if (!program.empty()) sfx.setArchiveFile(program);
  sfx.OutFilename = out;
  c.ok = sfx.activate();
  c.message = sfx.Message();
  c.output = sfx.ConvertedFile();
  return c;
}

// Names in the folder other than the ones given (temporary files left over).
std::vector<std::string> strayFiles(const std::string& folder, const std::vector<std::string>& expected) {
  std::vector<std::string> stray;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) stray.push_back(name);
  }
  return stray;
}

class UnSfxZip : public ::testing::TestWithParam<std::tuple<bool, bool>> {
 protected:
  vz::test::ScopedRoot root_;
};

// (elf stub, offsets adjusted by zip -A)
TEST_P(UnSfxZip, ProgramWithZipBecomesTheZipZipMade) {
  const auto [elf, adjusted] = GetParam();
  if (!vz::test::haveProgram("zip") || !vz::test::haveProgram("unzip")) GTEST_SKIP() << "zip/unzip missing";
  vz::test::ScratchDir dir("unsfx");
  fs::create_directories(dir.file("in/sub"));
  vz::test::writeFile(dir.file("in/a.txt"), std::string_view("alpha\n"));
  std::string big;
  for (int i = 0; i < 5000; ++i) big += std::to_string(i * 7919) + "\n";
  vz::test::writeFile(dir.file("in/sub/b.txt"), big);
  ASSERT_EQ(vz::test::run({"zip", "-q", "-r", dir.file("a.zip"), "."}, nullptr, nullptr, dir.file("in")), 0);
  const Bytes zip = vz::test::readFile(dir.file("a.zip"));
  Bytes program = elf ? vz::test::readFile("/bin/true") : dosProgram();
  ASSERT_GT(program.size(), 64u);
  append(program, zip);
  vz::test::writeFile(dir.file("prog.exe"), program);
  if (adjusted) {
    ASSERT_EQ(vz::test::run({"zip", "-q", "-A", dir.file("prog.exe")}), 0);
  }
  // unzip warns (1) about the bytes in front of a ZIP that was only appended.
  ASSERT_LE(vz::test::run({"unzip", "-tqq", dir.file("prog.exe")}), 1) << "the program itself is a good SFX";

  fs::create_directories(dir.file("out"));
  const Conversion c = convert(dir.file("prog.exe"), dir.file("out/plain.bin"));
  ASSERT_TRUE(c.ok) << c.message;
  EXPECT_EQ(c.output, dir.file("out/plain.ZIP"));
  EXPECT_EQ(vz::test::readFile(c.output), zip);
  EXPECT_EQ(vz::test::run({"unzip", "-tqq", c.output}), 0);
  if (vz::test::haveProgram("7zz")) {
    EXPECT_EQ(vz::test::run({"7zz", "t", c.output}), 0);
  }
  EXPECT_TRUE(strayFiles(dir.file("out"), {"plain.ZIP"}).empty());
}

INSTANTIATE_TEST_SUITE_P(Stubs, UnSfxZip, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// A one-entry stored Zip64 archive (local offset, directory offset and
// Zip64 end record offset only in the Zip64 records) whose offsets count
// from base.
Bytes zip64Archive(uint64_t base) {
  const std::string name = "z64.txt", data = "sixty-four";
  Bytes z;
  put32(z, 0, 0x04034B50), put16(z, 4, 45), put32(z, 14, 0xCD5F11D2);
  put32(z, 18, data.size()), put32(z, 22, data.size()), put16(z, 26, name.size()), put16(z, 28, 0);
  z.insert(z.end(), name.begin(), name.end());
  z.insert(z.end(), data.begin(), data.end());
  const size_t cd = z.size();
  put32(z, cd, 0x02014B50), put16(z, cd + 4, 45), put16(z, cd + 6, 45), put32(z, cd + 16, 0xCD5F11D2);
  put32(z, cd + 20, data.size()), put32(z, cd + 24, data.size()), put16(z, cd + 28, name.size());
  put16(z, cd + 30, 12), put32(z, cd + 42, 0xFFFFFFFF);
  z.insert(z.end(), name.begin(), name.end());
  const size_t x = z.size();
  put16(z, x, 1), put16(z, x + 2, 8), put64(z, x + 4, base);
  const size_t z64 = z.size();
  put32(z, z64, 0x06064B50), put64(z, z64 + 4, 44), put16(z, z64 + 12, 45), put16(z, z64 + 14, 45);
  put64(z, z64 + 24, 1), put64(z, z64 + 32, 1), put64(z, z64 + 40, z64 - cd), put64(z, z64 + 48, cd + base);
  const size_t loc = z.size();
  put32(z, loc, 0x07064B50), put64(z, loc + 8, z64 + base), put32(z, loc + 16, 1);
  const size_t end = z.size();
  put32(z, end, 0x06054B50), put16(z, end + 8, 1), put16(z, end + 10, 1);
  put32(z, end + 12, z64 - cd), put32(z, end + 16, 0xFFFFFFFF), put16(z, end + 20, 0);
  return z;
}

TEST(UnSfxZip64, LocatorEndRecordAndLocalOffsetsAreRebased) {
  vz::test::ScopedRoot root;
  vz::test::ScratchDir dir("unsfx64");
  const Bytes stub = vz::test::readFile("/bin/true");
  ASSERT_GT(stub.size(), 64u);
  for (const bool adjusted : {false, true}) {
    Bytes program = stub;
    append(program, zip64Archive(adjusted ? stub.size() : 0));
    vz::test::writeFile(dir.file("p.sfx"), program);
    const Conversion c = convert(dir.file("p.sfx"), dir.file("p"));
    ASSERT_TRUE(c.ok) << c.message;
    EXPECT_EQ(vz::test::readFile(c.output), zip64Archive(0)) << adjusted;
    if (vz::test::haveProgram("unzip")) {
      EXPECT_EQ(vz::test::run({"unzip", "-tqq", c.output}), 0) << adjusted;
    }
    if (vz::test::haveProgram("7zz")) {
      EXPECT_EQ(vz::test::run({"7zz", "t", c.output}), 0) << adjusted;
    }
  }
}

// Formats whose headers hold no positions come out as they went in.
struct AppendedCase {
  const char* corpusFile;
  const char* extension;
  TArcType plain;
};

class UnSfxAppended : public ::testing::TestWithParam<AppendedCase> {};

TEST_P(UnSfxAppended, ArchiveBehindAProgramComesOutUnchanged) {
  const AppendedCase& p = GetParam();
  vz::test::ScopedRoot root;
  const Bytes archive = vz::test::readFile(vz::test::corpusDir() + "/" + p.corpusFile);
  if (archive.empty()) GTEST_SKIP() << "no corpus";
  vz::test::ScratchDir dir("unsfxa");
  Bytes program = vz::test::readFile("/bin/true");
  append(program, archive);
  vz::test::writeFile(dir.file("x.exe"), program);
  const Conversion c = convert(dir.file("x.exe"), dir.file("x.out"));
  ASSERT_TRUE(c.ok) << c.message;
  EXPECT_EQ(c.output, dir.file(std::string("x") + p.extension));
  EXPECT_EQ(vz::test::readFile(c.output), archive);
  EXPECT_EQ(detectArchiveType(c.output, 0).type, p.plain);
}

INSTANTIATE_TEST_SUITE_P(Formats, UnSfxAppended,
                         ::testing::Values(AppendedCase{"sc-Arj.store.arj", ".ARJ", atARJ},
                                           AppendedCase{"sc-Arc.uncompressed.arc", ".ARC", atARC},
                                           AppendedCase{"ua-pak-license_crushed.pak", ".PAK", atPAK},
                                           AppendedCase{"sc-Rar15.rar", ".RAR", atRAR}));

TEST(UnSfx, CorpusProgramsAreConvertedOrRefused) {
  vz::test::ScopedRoot root;
  ScriptedUi ui;
  const std::string corpus = vz::test::corpusDir();
  if (vz::test::readFile(corpus + "/la-read_format_rar_sfx.exe").empty()) GTEST_SKIP() << "no corpus";
  vz::test::ScratchDir dir("unsfxc");
  // Not programs with an archive the converter takes.
  EXPECT_EQ(convert(corpus + "/lh-lha255e-sfx.exe", dir.file("l")).message, kSfxUnsupportedType);
  EXPECT_EQ(convert(corpus + "/sc-exe-test.exe", dir.file("e")).message, kSfxInvalidArchive);
  EXPECT_EQ(convert(corpus + "/la-read_format_zip_sfx", dir.file("z")).message, kSfxInvalidArchive)
      << "data in front of a ZIP is no program";
  EXPECT_EQ(convert(corpus + "/pt-t.tar", dir.file("t")).message, kSfxUnsupportedType);
  EXPECT_EQ(ui.backend->asked().size(), 4u);
  EXPECT_TRUE(strayFiles(dir.path(), {}).empty());

  // The RAR program: its RAR, listed by the lister and by the peers.
  const Conversion c = convert(corpus + "/la-read_format_rar_sfx.exe", dir.file("rar"));
  ASSERT_TRUE(c.ok) << c.message;
  EXPECT_EQ(c.output, dir.file("rar.RAR"));
  const Bytes rar = vz::test::readFile(c.output);
  ASSERT_GE(rar.size(), 7u);
  EXPECT_EQ(std::string(rar.begin(), rar.begin() + 4), "Rar!");
  auto names = [](const std::string& path, TArcType* type) {
    TArcLister lister;
    lister.ShowBlankDirs = true;
    std::vector<std::string> out;
    lister.OnRead = [&](TArcLister& l, int32_t, int32_t) { out.push_back(l.entry().fileName); };
    lister.setArchiveFile(path);
    *type = lister.ArcType();
    lister.activate();
    return out;
  };
  TArcType programType, copyType;
  const std::vector<std::string> inProgram = names(corpus + "/la-read_format_rar_sfx.exe", &programType);
  EXPECT_EQ(names(c.output, &copyType), inProgram);
  EXPECT_EQ(programType, atRarExe);
  EXPECT_EQ(copyType, atRAR);
  EXPECT_EQ(inProgram.size(), 5u) << "lsar lists five";
  if (vz::test::haveProgram("lsar")) {
    EXPECT_EQ(vz::test::run({"lsar", "-t", c.output}), 0);
  }
  if (vz::test::haveProgram("bsdtar")) {
    EXPECT_EQ(vz::test::run({"bsdtar", "-tf", c.output}), 0);
  }
}

TEST(UnSfx, MessageCases) {
  vz::test::ScopedRoot root;
  ScriptedUi ui;
  vz::test::ScratchDir dir("unsfxm");
  Bytes program = dosProgram();
  const Bytes arj = vz::test::readFile(vz::test::corpusDir() + "/sc-Arj.store.arj");
  if (arj.empty()) GTEST_SKIP() << "no corpus";
  append(program, arj);
  vz::test::writeFile(dir.file("p.exe"), program);
  vz::test::writeFile(dir.file("empty.exe"), std::string_view());

  EXPECT_EQ(convert("", dir.file("a")).message, kSfxNoArchiveFile);
  EXPECT_EQ(convert(dir.file("empty.exe"), dir.file("a")).message, kSfxInvalidArchive);
  fs::create_directories(dir.file("folder"));
  EXPECT_EQ(convert(dir.file("p.exe"), dir.file("folder")).message, dir.file("folder") + kSfxExistingDirectory);
  fs::create_directories(dir.file("b.ARJ"));
  EXPECT_EQ(convert(dir.file("p.exe"), dir.file("b.txt")).message, dir.file("b.ARJ") + kSfxExistingDirectory);
  ASSERT_EQ(ui.backend->asked().size(), 4u);
  EXPECT_EQ(ui.backend->asked()[2].text, dir.file("folder") + kSfxExistingDirectory);

  // A missing folder: declined, nothing is made; accepted, it is created.
  ui.backend->pushButton("no");
  Conversion c = convert(dir.file("p.exe"), dir.file("new/deeper/out"));
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.message, "");
  EXPECT_EQ(ui.backend->asked().back().text, kSfxCreateDirectory);
  EXPECT_FALSE(fs::exists(dir.file("new")));
  ui.backend->pushButton("yes");
  c = convert(dir.file("p.exe"), dir.file("new/deeper/out"));
  EXPECT_TRUE(c.ok) << c.message;
  EXPECT_EQ(vz::test::readFile(dir.file("new/deeper/out.ARJ")), arj);
  // A folder that cannot be made (a file stands in its way).
  vz::test::writeFile(dir.file("plainfile"), std::string_view("x"));
  ui.backend->pushButton("yes");
  c = convert(dir.file("p.exe"), dir.file("plainfile/sub/out"));
  EXPECT_EQ(c.message, std::string(kSfxCreateDirectoryFailed) + dir.file("plainfile/sub"));

  // An existing target goes to OnFileExists: refused, it stays; accepted, replaced.
  vz::test::writeFile(dir.file("keep.ARJ"), std::string_view("old"));
  for (const bool accept : {false, true}) {
    TUnSFX sfx;
    int asked = 0;
    sfx.OnFileExists = [&](TUnSFX&, const std::string& fn, const vz::LocalTime& date, bool& a) {
      ++asked;
      EXPECT_EQ(fn, dir.file("keep.ARJ"));
      EXPECT_GE(date.year, 2000);
      a = accept;
    };
    sfx.setArchiveFile(dir.file("p.exe"));
    sfx.OutFilename = dir.file("keep");
    EXPECT_EQ(sfx.activate(), accept);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(vz::test::readFile(dir.file("keep.ARJ")), (accept ? arj : Bytes{'o', 'l', 'd'}));
  }
  // Without OutFilename the program's name gets the kind's extension.
  c = convert(dir.file("p.exe"), "");
  EXPECT_EQ(c.output, dir.file("p.ARJ"));
  EXPECT_TRUE(ui.backend->errors().empty());
}

// Cut or damaged: every conversion ends with a result, a written copy is
// accepted by the lister, and no temporary file is left behind.
TEST(UnSfx, DamagedProgramsEndWithAResult) {
  vz::test::ScopedRoot root;
  ScriptedUi ui;
  vz::test::ScratchDir dir("unsfxd");
  const Bytes stub = vz::test::readFile("/bin/true");
  Bytes program = stub;
  append(program, zip64Archive(stub.size()));
  uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = program;
    seed = seed * 1103515245 + 12345;
    if (round % 3 == 0) {
      damaged.resize(stub.size() + (seed >> 8) % (program.size() - stub.size()));
    } else {
      for (int k = 0; k < 1 + round % 4; ++k) {
        seed = seed * 1103515245 + 12345;
        const size_t at = stub.size() + (seed >> 8) % (program.size() - stub.size());
        damaged[at] = static_cast<uint8_t>(seed >> 24);
      }
    }
    vz::test::writeFile(dir.file("d.exe"), damaged);
    const Conversion c = convert(dir.file("d.exe"), dir.file("d"));
    EXPECT_TRUE(c.ok || !c.message.empty()) << round;
    std::vector<std::string> expected = {"d.exe"};
    if (c.ok) expected.push_back("d.ZIP");
    EXPECT_TRUE(strayFiles(dir.path(), expected).empty()) << round;
    fs::remove(dir.file("d.ZIP"));
  }
}

}  // namespace
}  // namespace vz::readers
