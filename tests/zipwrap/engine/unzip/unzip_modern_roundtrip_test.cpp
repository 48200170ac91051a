// Round trips through the reader: archives that 7zz, zip and python3's
// zipfile write at test time (deflate64, bzip2, LZMA, XZ, AES-128/256,
// Zip64 forced, split sets named NAME.z01 and NAME.001, 70,000 entries)
// extract to the source files byte for byte and test clean; a hand-made
// archive holds what no peer writes on request (every form of data
// descriptor, a local size that lies, sizes only in the local Zip64 block,
// Zstandard as 93 and as 20, a DOS folder with data, an empty name, an
// unknown method, CP437, UTF-8 and Unicode-path names, version 6.3 needed),
// once plain and once behind the old PK00 marker; a wrapped 16-bit entry
// count still reaches every entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

// The regular files below root with their bytes.
std::map<std::string, std::string> filesOf(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& [path, item] : snapshot(root))
    if (item.type == 'f') out[path] = item.data;
  return out;
}

std::string fileDiff(const std::map<std::string, std::string>& got, const std::map<std::string, std::string>& want) {
  std::string out;
  for (const auto& [p, v] : got)
    if (!want.count(p))
      out += "extra " + p + "\n";
    else if (want.at(p) != v)
      out += "differs " + p + "\n";
  for (const auto& [p, v] : want)
    if (!got.count(p)) out += "missing " + p + "\n";
  return out;
}

// The source: text that compresses, 2.5 MB of random bytes (three split
// parts of 1 MiB), a small file in a folder, an empty file.
void makeSource(const std::string& src) {
  fs::create_directories(src + "/sub/deeper");
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i * 7919 % 10007) + " of the text\n";
  vz::test::writeFile(src + "/text.txt", text);
  std::mt19937 rng(14);
  std::string noise(2500000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  vz::test::writeFile(src + "/noise.bin", noise);
  vz::test::writeFile(src + "/sub/deeper/small.txt", "small\n");
  vz::test::writeFile(src + "/sub/empty.txt", "");
}

struct Recipe {
  const char* label;
  const char* make;      // shell line run in src/, writing into ../
  const char* open;      // the archive to open, relative to the scratch folder
  const char* password;  // "" for none
};

const Recipe kRecipes[] = {
    {"SevenZipDeflate64", "7zz a -bd -tzip -mm=Deflate64 ../a.zip . >/dev/null", "a.zip", ""},
    {"SevenZipBzip2", "7zz a -bd -tzip -mm=BZip2 ../a.zip . >/dev/null", "a.zip", ""},
    {"SevenZipLzma", "7zz a -bd -tzip -mm=LZMA ../a.zip . >/dev/null", "a.zip", ""},
    {"SevenZipXz", "7zz a -bd -tzip -mm=XZ ../a.zip . >/dev/null", "a.zip", ""},
    {"SevenZipAes128Deflate64", "7zz a -bd -tzip -mem=AES128 -mm=Deflate64 -pPW14 ../a.zip . >/dev/null", "a.zip",
     "PW14"},
    {"SevenZipAes256Lzma", "7zz a -bd -tzip -mem=AES256 -mm=LZMA -pPW14 ../a.zip . >/dev/null", "a.zip", "PW14"},
    {"SevenZipVolumesFromLast", "7zz a -bd -tzip -v1m ../v.zip . >/dev/null", "v.zip.003", ""},
    {"SevenZipVolumesFromFirst", "7zz a -bd -tzip -mm=BZip2 -v1m ../v.zip . >/dev/null", "v.zip.001", ""},
    {"ZipSplitFromLast", "zip -q -r -s 1m ../s.zip .", "s.zip", ""},
    {"ZipSplitFromFirst", "zip -q -r -0 -s 1m ../s.zip .", "s.z01", ""},
    {"ZipForcedZip64", "zip -q -r -fz ../a.zip .", "a.zip", ""},
    {"ZipStreamedDescriptors", "cat text.txt | zip -q -fz ../a.zip -", "a.zip", ""},
    {"PythonZip64Bzip2Lzma", R"(python3 - <<'EOF'
import os, zipfile
with zipfile.ZipFile('../a.zip', 'w') as z:
    for root, _, files in os.walk('.'):
        for f in files:
            p = os.path.join(root, f)[2:]
            kind = [zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA, zipfile.ZIP_DEFLATED][len(p) % 3]
            info = zipfile.ZipInfo.from_file(p, p)
            info.compress_type = kind
            with open(p, 'rb') as src, z.open(info, 'w', force_zip64=True) as dst:
                dst.write(src.read())
EOF)",
     "a.zip", ""},
};

class ModernRoundTrip : public ::testing::TestWithParam<Recipe> {};

TEST_P(ModernRoundTrip, ExtractsTheSourceByteForByteAndTestsClean) {
  for (const char* tool : {"7zz", "zip", "python3"})
    if (!vz::test::haveProgram(tool)) GTEST_SKIP() << tool << " missing";
  const Recipe& r = GetParam();
  ScratchDir dir("zwr");
  const std::string src = dir.file("src");
  makeSource(src);
  ASSERT_EQ(shell(r.make, src), 0);
  const std::string archive = dir.file(r.open);
  ASSERT_TRUE(fs::exists(archive)) << "the recipe made no " << r.open;

  RecordingHost host;
  EXPECT_EQ(host.run({r.password, archive, "-d", dir.file("out")}), 0u);
  EXPECT_TRUE(host.of(kCbSkipping).empty());
  std::map<std::string, std::string> want = filesOf(src);
  if (std::string(r.label) == "ZipStreamedDescriptors") want = {{"/-", want.at("/text.txt")}};
  EXPECT_EQ(fileDiff(filesOf(dir.file("out")), want), "");

  RecordingHost tester;
  EXPECT_EQ(tester.run({r.password, "-t", archive}), 0u);
  EXPECT_GE(tester.of(kCbTesting).size(), want.size());
  EXPECT_TRUE(tester.of(kCbSkipping).empty());
}

INSTANTIATE_TEST_SUITE_P(Writers, ModernRoundTrip, ::testing::ValuesIn(kRecipes),
                         [](const auto& info) { return std::string(info.param.label); });

// The hand-made archive (see the file's header); python3 writes it and the
// tree the engine must make of it.
const char kHandMade[] = R"(python3 - <<'EOF'
import os, struct, subprocess, zlib
def deflate(b):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(b) + c.flush()
def zstd(b):
    return subprocess.run(['zstd', '-q', '-c', '-19'], input=b, capture_output=True, check=True).stdout
text = b''.join(b'entry line %d\n' % (i * 31 % 977) for i in range(4000))
def upath(stored, new, good=True):
    crc = zlib.crc32(stored if good else b'other')
    body = struct.pack('<BI', 1, crc) + new
    return struct.pack('<HH', 0x7075, len(body)) + body
# name, method, stored bytes, plain bytes, descriptor, local sizes, flags, DOS attributes, central extra
E = [
    (b'dd-sig32.txt', 8, deflate(text), text, 'sig32', 'zero', 0, 0x20, b''),
    (b'dd-nosig32.txt', 8, deflate(text[:999]), text[:999], 'nosig32', 'zero', 0, 0x20, b''),
    (b'dd-sig64.txt', 8, deflate(text[5:]), text[5:], 'sig64', 'zero', 0, 0x20, b''),
    (b'dd-nosig64.txt', 0, text[:3000], text[:3000], 'nosig64', 'zero', 0, 0x20, b''),
    (b'lying-local.txt', 8, deflate(text[7:]), text[7:], None, 'wrong', 0, 0x20, b''),
    (b'zip64-local-only.txt', 8, deflate(text[9:]), text[9:], None, 'zip64', 0, 0x20, b''),
    (b'zstd93.txt', 93, zstd(text), text, None, 'normal', 0, 0x20, b''),
    (b'zstd20.txt', 20, zstd(text[1:]), text[1:], None, 'normal', 0, 0x20, b''),
    (b'folder-by-attribute', 8, deflate(b'abc'), b'abc', None, 'normal', 0, 0x10, b''),
    (b'', 0, b'nameless\n', b'nameless\n', None, 'normal', 0, 0x20, b''),
    (b'ppmd.txt', 98, b'\x07' * 40, b'p' * 100, None, 'normal', 0, 0x20, b''),
    (b'cp437-\x81\x9b.txt', 0, b'cp437\n', b'cp437\n', None, 'normal', 0, 0x20, b''),
    ('utf8-\u00e9\u4e2d.txt'.encode(), 0, b'utf8\n', b'utf8\n', None, 'normal', 0x800, 0x20, b''),
    (b'upath-old.txt', 0, b'upath\n', b'upath\n', None, 'normal', 0, 0x20,
     upath(b'upath-old.txt', 'upath-n\u00e9w.txt'.encode())),
    (b'upath-kept.txt', 0, b'kept\n', b'kept\n', None, 'normal', 0, 0x20,
     upath(b'upath-kept.txt', b'upath-wrong.txt', good=False)),
]
def archive(path, marker):
    out = bytearray(marker)
    cent = bytearray()
    for name, method, comp, plain, dd, local, flags, attrs, cextra in E:
        off = len(out)
        crc = zlib.crc32(plain)
        flags |= 8 if dd else 0
        lextra = b''
        if local == 'zero': lcrc, lc, lu = 0, 0, 0
        elif local == 'wrong': lcrc, lc, lu = crc, 12345, 999
        elif local == 'zip64':
            lcrc, lc, lu = crc, 0xFFFFFFFF, 0xFFFFFFFF
            lextra = struct.pack('<HHQQ', 1, 16, len(plain), len(comp))
        else: lcrc, lc, lu = crc, len(comp), len(plain)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 63, flags, method, 0x6000, 0x5a21, lcrc, lc, lu,
                           len(name), len(lextra)) + name + lextra + comp
        if dd == 'sig32': out += struct.pack('<IIII', 0x08074b50, crc, len(comp), len(plain))
        if dd == 'nosig32': out += struct.pack('<III', crc, len(comp), len(plain))
        if dd == 'sig64': out += struct.pack('<IIQQ', 0x08074b50, crc, len(comp), len(plain))
        if dd == 'nosig64': out += struct.pack('<IQQ', crc, len(comp), len(plain))
        cc, cu = (0xFFFFFFFF, 0xFFFFFFFF) if local == 'zip64' else (len(comp), len(plain))
        cent += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x0014, 63, flags, method, 0x6000, 0x5a21, crc, cc, cu,
                            len(name), len(cextra), 0, 0, 0, attrs, off) + name + cextra
    at = len(out)
    out += cent + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(E), len(E), len(cent), at, 0)
    open(path, 'wb').write(out)
def expect(folder, nameless):
    for name, method, comp, plain, dd, local, flags, attrs, cextra in E:
        special = {b'': nameless, b'ppmd.txt': None, b'folder-by-attribute': None,
                   b'cp437-\x81\x9b.txt': 'cp437-\u00fc\u00a2.txt', b'upath-old.txt': 'upath-n\u00e9w.txt'}
        n = special[name] if name in special else name.decode()
        if n: open(os.path.join(folder, n), 'wb').write(plain)
    os.mkdir(os.path.join(folder, 'folder-by-attribute'))
os.makedirs('want-hand'); os.makedirs('want-pk00')
archive('hand.zip', b''); expect('want-hand', 'hand')
archive('pk00.zip', b'PK00'); expect('want-pk00', 'pk00')
EOF)";

TEST(ModernHandMade, EveryRecordFormTheNamesAndTheUnknownMethod) {
  if (!vz::test::haveProgram("python3") || !vz::test::haveProgram("zstd")) GTEST_SKIP();
  ScratchDir dir("zwh");
  ASSERT_EQ(shell(kHandMade, dir.path()), 0);
  for (const char* kind : {"hand", "pk00"}) {
    SCOPED_TRACE(kind);
    const std::string zip = dir.file(std::string(kind) + ".zip"), out = dir.file(std::string("out-") + kind);
    RecordingHost host;
    // The unknown method is skipped, entry by entry; everything else is done.
    EXPECT_EQ(host.run({"", zip, "-d", out}), packResult(kResultSkipped, 1));
    EXPECT_EQ(host.reasonsFor("ppmd.txt"), std::vector<uint32_t>{kSkipUnknownMethod});
    EXPECT_EQ(host.of(kCbSkipping).size(), 1u);
    const Tree got = snapshot(out), want = snapshot(dir.file(std::string("want-") + kind));
    std::map<std::string, std::string> a, b;
    for (const auto& [p, item] : got) a[p] = std::string(1, item.type) + item.data;
    for (const auto& [p, item] : want) b[p] = std::string(1, item.type) + item.data;
    EXPECT_EQ(fileDiff(a, b), "");

    RecordingHost tester;
    EXPECT_EQ(tester.run({"", "-t", zip}), packResult(kResultSkipped, 1));
    EXPECT_EQ(tester.of(kCbTesting).size(), 15u);
    EXPECT_EQ(tester.reasonsFor("ppmd.txt"), std::vector<uint32_t>{kSkipUnknownMethod});
  }
}

// 70,000 entries written by 7zz (Zip64 end records) extract one and all;
// 65,600 entries behind a 16-bit count that wrapped to 64 all test.
TEST(ModernManyEntries, SeventyThousandFromSevenZipAndAWrappedCount) {
  if (!vz::test::haveProgram("7zz") || !vz::test::haveProgram("python3")) GTEST_SKIP();
  ScratchDir dir("zwn");
  ASSERT_EQ(shell(R"(python3 - <<'EOF'
import os, struct, zlib
for i in range(70000):
    d = 'src/d%02d' % (i // 1000)
    if i % 1000 == 0: os.makedirs(d)
    open('%s/f%05d' % (d, i), 'w').write(str(i))
out, cent = bytearray(), bytearray()
for i in range(65600):
    name, data = b'w%05d' % i, b'%d' % i
    crc = zlib.crc32(data)
    cent += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 0, 0, 0x21, crc, len(data), len(data),
                        len(name), 0, 0, 0, 0, 0, len(out)) + name
    out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0, 0x21, crc, len(data), len(data), len(name), 0)
    out += name + data
at = len(out)
out += cent + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 65600 & 0xFFFF, 65600 & 0xFFFF, len(cent), at, 0)
open('wrapped.zip', 'wb').write(out)
EOF
cd src && 7zz a -bd -tzip ../many.zip . >/dev/null)",
                  dir.path()),
            0);
  RecordingHost host;
  EXPECT_EQ(host.run({"", dir.file("many.zip"), "-d", dir.file("out")}), 0u);
  size_t files = 0;
  for (const auto& [path, item] : snapshot(dir.file("out"))) files += item.type == 'f';
  EXPECT_EQ(files, 70000u);
  for (int i : {0, 12345, 69999}) {
    char name[32];
    std::snprintf(name, sizeof name, "/out/d%02d/f%05d", i / 1000, i);
    EXPECT_EQ(vz::test::readFile(dir.path() + name).size(), std::to_string(i).size()) << name;
  }
  RecordingHost wrapped;
  EXPECT_EQ(wrapped.run({"", "-t", dir.file("wrapped.zip")}), 0u);
  EXPECT_EQ(wrapped.of(kCbTesting).size(), 65600u);
}

}  // namespace
}  // namespace vz::zipwrap::test
