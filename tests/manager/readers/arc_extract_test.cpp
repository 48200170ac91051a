// TUnARC against the peers: the corpus's ARC archives against nomarch and
// its crushed PAK against unar; archives made here by arc (stored, packed,
// squeezed, crunched, and squashed with its q option) round-trip byte for
// byte; archives built here with the methods no installed program writes
// (old stored 1, the hashed crunching 5 to 7, crushed 10, distilled 11), each checked
// against the peer that reads it and then against us; ARC 7's information
// records and folders, PAK's extended records, hostile names, and a table
// of damaged archives in which only the damaged entry fails, and vz x.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "manager/readers/arc_extract.h"
#include "manager/readers/arc_lister.h"
#include "manager/vz/vz_app.h"
#include "tests/manager/readers/codecs/arc_test_encoders.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using vz::test::arc::Bytes;

// Relative path -> bytes of every file under root.
std::map<std::string, std::string> files(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& [path, node] : test::readTree(root))
    if (node.kind == 'f') out[path] = node.content;
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The files the arc round trip stores, one per method arc picks.
std::map<std::string, Bytes> arcInputs() {
  std::mt19937 rng(11);
  std::map<std::string, Bytes> in;
  static const char* const kWords[] = {"archive", "folder", "entry", "the", "of", "header", "block", "code"};
  Bytes text;
  while (text.size() < 47000) {
    const std::string w = kWords[rng() % 8];
    text.insert(text.end(), w.begin(), w.end());
    text.push_back(rng() % 9 == 0 ? '\n' : ' ');
  }
  in["text.txt"] = text;  // crunched (squashed with q)
  Bytes random(20000);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  in["random.bin"] = random;  // stored
  Bytes runs;
  while (runs.size() < 20000) {
    for (int i = 0; i < 40; ++i) runs.push_back(static_cast<uint8_t>(rng()));
    runs.insert(runs.end(), 200, static_cast<uint8_t>(rng()));
  }
  in["runs.bin"] = runs;  // packed
  Bytes skewed;
  std::bernoulli_distribution more(0.8);
  while (skewed.size() < 30000) {
    uint8_t k = 0;
    while (more(rng) && k < 200) ++k;
    skewed.push_back(k);
  }
  in["skewed.bin"] = skewed;  // squeezed
  in["dle.bin"] = concat({Bytes(300, 0x90), Bytes(100, 'x'), Bytes{0x90, 0x90, 'y'}});
  in["empty.txt"] = {};
  return in;
}

// Methods of the entries of an archive, by the lister.
std::set<int> methodsOf(const std::string& archive) {
  std::set<int> out;
  TArcLister l;
  l.OnRead = [&](TArcLister& x, int32_t, int32_t) { out.insert(x.entry().method); };
  l.setArchiveFile(archive);
  l.activate();
  return out;
}

void expectAllPassed(const test::RunLog& log, size_t entries) {
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.ended.size(), entries);
  for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
}

// Every ARC and PAK archive of the corpus, extracted by us and by the peer
// that reads it (nomarch for ARC, unar for PAK's crushed), gives the same
// files, every CRC passing.
TEST(UnArcPeers, CorpusMatchesPeer) {
  int checked = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    const std::string name = fs::path(path).filename().string();
    const bool pak = name.ends_with(".pak");
    if (!pak && !(name.ends_with(".arc") && name.starts_with("sc-Arc."))) continue;
    const char* peer = pak ? "unar" : "nomarch";
    if (!vz::test::haveProgram(peer)) continue;
    SCOPED_TRACE(name);
    vz::test::ScratchDir dir("unarc");
    fs::create_directories(dir.file("peer"));
    const int rc = pak ? vz::test::run({"unar", "-q", "-D", "-o", dir.file("peer"), path})
                       : vz::test::run({"nomarch", "-U", path}, nullptr, nullptr, dir.file("peer"));
    ASSERT_EQ(rc, 0);
    const test::RunLog log = extract<TUnARC>(path, dir.file("ours"));
    const auto want = files(dir.file("peer"));
    ASSERT_FALSE(want.empty());
    expectAllPassed(log, want.size());
    EXPECT_EQ(files(dir.file("ours")), want);
    EXPECT_EQ(log.extracted, static_cast<int32_t>(want.size()));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no corpus or peers";
}

// arc writes stored, packed, squeezed and crunched entries (and squashed
// ones with q): every file comes back byte for byte.
TEST(UnArcPeers, ArcRoundTrip) {
  if (!vz::test::haveProgram("arc")) GTEST_SKIP() << "arc missing";
  vz::test::ScratchDir dir("unarc");
  const auto inputs = arcInputs();
  std::vector<std::string> names;
  for (const auto& [name, bytes] : inputs) {
    vz::test::writeFile(dir.file(name), bytes);
    names.push_back(name);
  }
  for (const auto& [flags, methods] :
       std::vector<std::pair<std::string, std::set<int>>>{{"a", {2, 3, 4, 8}}, {"aq", {2, 3, 4, 9}}}) {
    SCOPED_TRACE(flags);
    const std::string archive = dir.file(flags + ".arc");
    std::vector<std::string> argv = {"arc", flags, archive};
    argv.insert(argv.end(), names.begin(), names.end());
    ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.path()), 0);
    EXPECT_EQ(methodsOf(archive), methods);
    const test::RunLog log = extract<TUnARC>(archive, dir.file("out-" + flags));
    expectAllPassed(log, inputs.size());
    auto got = files(dir.file("out-" + flags));
    std::map<std::string, std::string> want;
    for (const auto& [name, bytes] : inputs) {
      std::string upper = name;
      std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
      want[got.count(name) ? name : upper] = std::string(bytes.begin(), bytes.end());
    }
    EXPECT_EQ(got, want);
  }
}

// arc's encrypted entries ("g", which upper-cases the password): the
// password as the user types it opens every one, a wrong one or none
// leaves each with its CRC error and nothing written.
TEST(UnArcPeers, EncryptedEntriesOpenWithThePassword) {
  if (!vz::test::haveProgram("arc")) GTEST_SKIP() << "arc missing";
  vz::test::ScratchDir dir("unarc");
  const auto inputs = arcInputs();
  std::vector<std::string> argv = {"arc", "agSecret", dir.file("g.arc")};
  for (const auto& [name, bytes] : inputs) {
    vz::test::writeFile(dir.file(name), bytes);
    if (!bytes.empty()) argv.push_back(name);
  }
  ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.path()), 0);
  const size_t stored = argv.size() - 3;
  struct Case {
    std::vector<std::string> passwords;
    bool opens;
  };
  for (const Case& c : {Case{{"wrong", "secret"}, true}, Case{{}, false}, Case{{"wrong"}, false}}) {
    SCOPED_TRACE(c.passwords.size());
    TUnARC x;
    x.Passwords = c.passwords;
    const std::string out = dir.file("out" + std::to_string(c.passwords.size()) + (c.opens ? "y" : "n"));
    const test::RunLog log = extract<TUnARC>(dir.file("g.arc"), out, &x);
    if (c.opens) {
      expectAllPassed(log, stored);
      const auto got = files(out);
      for (const auto& [name, bytes] : inputs) {
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        if (!bytes.empty()) EXPECT_EQ(got.at(got.count(name) ? name : upper), std::string(bytes.begin(), bytes.end()));
      }
    } else {
      EXPECT_EQ(log.errors.size(), stored);
      EXPECT_TRUE(files(out).empty());
    }
  }
}

// Methods 1 and 5 to 7, which no installed program writes, from the test
// encoders (the texts are long enough for the hashed table to fill):
// nomarch reads 1, 5 and 6 as we do, unar reads 7 as we do.
TEST(UnArcPeers, HashedCrunchingAgainstPeers) {
  vz::test::ScratchDir dir("unarc");
  auto inputs = arcInputs();
  const Bytes& text = inputs["text.txt"];
  const Bytes& runs = inputs["runs.bin"];
  const std::string t(text.begin(), text.end()), r(runs.begin(), runs.end());
  struct Case {
    const char* archive;
    std::vector<std::string> peer;  // run in the peer's folder, the archive appended
    Bytes bytes;
    std::map<std::string, std::string> want;
  };
  const std::vector<Case> cases = {
      {"old.arc",
       {"nomarch", "-U"},
       concat({vz::test::arc::entry(1, "OLD.TXT", text, text),
               vz::test::arc::entry(5, "FIVE.TXT", vz::test::arc::crunchHashed(text, false), text),
               vz::test::arc::entry(6, "SIX.BIN", vz::test::arc::crunchHashed(vz::test::arc::rle90(runs), false), runs),
               {0x1A, 0x00}}),
       {{"OLD.TXT", t}, {"FIVE.TXT", t}, {"SIX.BIN", r}}},
      {"fast.arc",
       {"unar", "-q", "-D", "-o", "."},
       concat(
           {vz::test::arc::entry(7, "SEVEN.TXT", vz::test::arc::crunchHashed(vz::test::arc::rle90(text), true), text),
            vz::test::arc::entry(7, "RUNS.BIN", vz::test::arc::crunchHashed(vz::test::arc::rle90(runs), true), runs),
            {0x1A, 0x00}}),
       {{"SEVEN.TXT", t}, {"RUNS.BIN", r}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    const std::string archive = dir.file(c.archive);
    vz::test::writeFile(archive, c.bytes);
    if (vz::test::haveProgram(c.peer[0])) {
      const std::string peer = dir.file(std::string("peer-") + c.archive);
      fs::create_directories(peer);
      std::vector<std::string> argv = c.peer;
      argv.push_back(archive);
      ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, peer), 0);
      EXPECT_EQ(files(peer), c.want);
    }
    const std::string ours = dir.file(std::string("ours-") + c.archive);
    const test::RunLog log = extract<TUnARC>(archive, ours);
    expectAllPassed(log, c.want.size());
    EXPECT_EQ(files(ours), c.want);
  }
}

// Distilled (method 11) from the test encoder in a PAK archive with
// extended records behind its end marker: unar reads it as we do.
TEST(UnArcPeers, DistilledAgainstUnar) {
  if (!vz::test::haveProgram("unar")) GTEST_SKIP() << "unar missing";
  vz::test::ScratchDir dir("unarc");
  auto inputs = arcInputs();
  const Bytes& text = inputs["text.txt"];
  const Bytes& skewed = inputs["skewed.bin"];
  const Bytes& dle = inputs["dle.bin"];
  const Bytes archive = concat({
      vz::test::arc::entry(11, "TEXT.TXT", vz::test::arc::distill(text), text),
      vz::test::arc::entry(11, "SKEWED.BIN", vz::test::arc::distill(skewed, 57), skewed),
      vz::test::arc::entry(11, "DLE.BIN", vz::test::arc::distill(dle, 3), dle),
      {0x1A, 0x00},
      // A remark for the archive (type 1, entry 0, 4 bytes), then the end of
      // the extended records.
      {0xFE, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 'n', 'o', 't', 'e', 0xFE, 0x00},
  });
  vz::test::writeFile(dir.file("distilled.pak"), archive);
  fs::create_directories(dir.file("peer"));
  ASSERT_EQ(vz::test::run({"unar", "-q", "-D", "-o", dir.file("peer"), dir.file("distilled.pak")}), 0);
  const std::map<std::string, std::string> want = {{"TEXT.TXT", std::string(text.begin(), text.end())},
                                                   {"SKEWED.BIN", std::string(skewed.begin(), skewed.end())},
                                                   {"DLE.BIN", std::string(dle.begin(), dle.end())}};
  EXPECT_EQ(files(dir.file("peer")), want);
  const test::RunLog log = extract<TUnARC>(dir.file("distilled.pak"), dir.file("ours"));
  expectAllPassed(log, 3);
  EXPECT_EQ(files(dir.file("ours")), want);
}

// Crushed (method 10) from the test encoder, over inputs long enough for
// the table to fill and strings to be replaced and for the flag to go off
// and on: unar reads them as we do. (unar does not take an archive whose
// entry grew, so random bytes are left to the decoder tests.)
TEST(UnArcPeers, CrushedAgainstUnar) {
  if (!vz::test::haveProgram("unar")) GTEST_SKIP() << "unar missing";
  vz::test::ScratchDir dir("unarc");
  // Text, then random bytes (the flag goes back on), then text again.
  const Bytes text = concat({vz::test::codecs::makeData(vz::test::codecs::DataKind::Text, 100000, 5),
                             vz::test::codecs::makeData(vz::test::codecs::DataKind::Random, 30000, 6),
                             vz::test::codecs::makeData(vz::test::codecs::DataKind::Text, 50000, 8)});
  const Bytes runs = vz::test::codecs::makeData(vz::test::codecs::DataKind::Repetitive, 200000, 4);
  // One entry per archive for unar: with two such entries in one archive
  // it crashes now and then (status 139); each alone it reads.
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{{"TEXT.TXT", text}, {"RUNS.BIN", runs}}) {
    SCOPED_TRACE(name);
    const Bytes crushed = vz::test::arc::crush(vz::test::arc::rle90(bytes));
    ASSERT_FALSE(crushed.empty());
    const std::string archive = dir.file(name + ".pak");
    vz::test::writeFile(archive, concat({vz::test::arc::entry(10, name, crushed, bytes), {0x1A, 0x00}}));
    const std::map<std::string, std::string> want = {{name, std::string(bytes.begin(), bytes.end())}};
    const std::string peer = dir.file("peer-" + name);
    fs::create_directories(peer);
    ASSERT_EQ(vz::test::run({"unar", "-q", "-D", "-o", peer, archive}), 0);
    EXPECT_EQ(files(peer), want);
    const std::string ours = dir.file("ours-" + name);
    const test::RunLog log = extract<TUnARC>(archive, ours);
    expectAllPassed(log, 1);
    EXPECT_EQ(files(ours), want);
  }
}

// ARC 7's information record is stepped over (the archive may start with
// one), its folder's entries land in the folder; a name that climbs out of
// the destination stays inside it.
TEST(UnArc, FoldersRecordsAndHostileNames) {
  vz::test::ScratchDir dir("unarc");
  const Bytes a = {'a', 'b', 'c'}, b = {'d', 'e'};
  const Bytes inner = concat({vz::test::arc::entry(2, "IN.TXT", a, a), {0x1A, 0x00}});
  Bytes folder = vz::test::arc::entry(30, "SUB", inner, {});
  const Bytes archive = concat({
      vz::test::arc::entry(20, "INFO", {'x', 'y', 'z'}, {}),
      vz::test::arc::entry(2, "FIRST.TXT", b, b),
      folder,
      vz::test::arc::entry(2, "../UP.TXT", b, b),
      {0x1A, 0x00},
  });
  vz::test::writeFile(dir.file("t.arc"), archive);
  fs::create_directories(dir.file("out/deep"));
  const test::RunLog log = extract<TUnARC>(dir.file("t.arc"), dir.file("out/deep"));
  const auto got = files(dir.file("out/deep"));
  EXPECT_EQ(got.at("SUB/IN.TXT"), "abc");
  EXPECT_EQ(got.at("FIRST.TXT"), "de");
  EXPECT_FALSE(fs::exists(dir.file("out/UP.TXT")));
  EXPECT_FALSE(fs::exists(dir.file("UP.TXT")));
  EXPECT_TRUE(log.ended.at("SUB/IN.TXT"));
}

// vz x takes ARC and PAK archives to TUnARC: FILES select, -d places.
TEST(UnArc, VzExtracts) {
  vz::test::ScopedRoot root;
  vz::test::ScratchDir dir("unarc");
  const Bytes a = {'a', 'b', 'c'}, b = {'d', 'e'};
  vz::test::writeFile(dir.file("t.pak"), concat({vz::test::arc::entry(2, "ONE.TXT", a, a),
                                                 vz::test::arc::entry(11, "TWO.BIN", vz::test::arc::distill(b), b),
                                                 vz::test::arc::entry(3, "THREE.TXT", a, a),
                                                 {0x1A, 0x00}}));
  std::ostringstream out, err;
  const int status = vz::cli::runVz({"x", dir.file("t.pak"), "T*.*", "-d", dir.file("out")}, out, err, {});
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_EQ(files(dir.file("out")), (std::map<std::string, std::string>{{"TWO.BIN", "de"}, {"THREE.TXT", "abc"}}));
}

struct Damage {
  const char* what;
  // Changes the archive; entries is where each entry's data starts.
  std::function<void(Bytes&, const std::vector<size_t>&)> apply;
  std::set<std::string> failed;  // entries that must not be extracted
  std::set<int32_t> codes;       // the codes any of which may be reported
};

// A damaged entry fails with a CRC or data code and leaves no file; the
// others are extracted.
TEST(UnArc, DamagedEntriesFailAlone) {
  auto inputs = arcInputs();
  const Bytes& text = inputs["text.txt"];
  const Bytes& runs = inputs["runs.bin"];
  const Bytes& skewed = inputs["skewed.bin"];
  const std::vector<std::pair<std::string, Bytes>> entries = {
      {"A.TXT", vz::test::arc::entry(5, "A.TXT", vz::test::arc::crunchHashed(text, false), text)},
      {"B.BIN", vz::test::arc::entry(3, "B.BIN", vz::test::arc::rle90(runs), runs)},
      {"C.BIN", vz::test::arc::entry(11, "C.BIN", vz::test::arc::distill(skewed), skewed)},
      {"D.TXT", vz::test::arc::entry(7, "D.TXT", vz::test::arc::crunchHashed(vz::test::arc::rle90(text), true), text)},
  };
  Bytes good;
  std::vector<size_t> dataAt;
  for (const auto& [name, e] : entries) {
    dataAt.push_back(good.size() + 29);
    good.insert(good.end(), e.begin(), e.end());
  }
  good.insert(good.end(), {0x1A, 0x00});
  const std::set<int32_t> dataCodes = {E_CRCERROR, E_INVALIDCODE, E_BADDECODETREE, E_READ};
  const std::vector<Damage> table = {
      {"flipped bits in A's codes", [](Bytes& a, auto& at) { a[at[0] + 1000] ^= 0x24; }, {"A.TXT"}, dataCodes},
      {"flipped bit in B's runs", [](Bytes& a, auto& at) { a[at[1] + 50] ^= 0x01; }, {"B.BIN"}, dataCodes},
      {"C's tree broken", [](Bytes& a, auto& at) { a[at[2] + 10] ^= 0xFF; }, {"C.BIN"}, dataCodes},
      {"D's CRC field", [](Bytes& a, auto& at) { a[at[3] - 6] ^= 0x10; }, {"D.TXT"}, {E_CRCERROR}},
      {"B's size one short", [](Bytes& a, auto& at) { a[at[1] - 4] -= 1; }, {"B.BIN"}, {E_CRCERROR}},
      {"cut inside D", [](Bytes& a, auto& at) { a.resize(at[3] + 100); }, {"D.TXT"}, {E_READ}},
  };
  for (const Damage& d : table) {
    SCOPED_TRACE(d.what);
    vz::test::ScratchDir dir("unarc");
    Bytes archive = good;
    d.apply(archive, dataAt);
    vz::test::writeFile(dir.file("d.arc"), archive);
    const test::RunLog log = extract<TUnARC>(dir.file("d.arc"), dir.file("out"));
    ASSERT_FALSE(log.errors.empty());
    for (int32_t code : log.errors) EXPECT_TRUE(d.codes.count(code)) << code;
    const auto got = files(dir.file("out"));
    for (const auto& [name, e] : entries) EXPECT_EQ(got.count(name) == 0, d.failed.count(name) == 1) << name;
    EXPECT_EQ(log.extracted, static_cast<int32_t>(entries.size() - d.failed.size()));
  }
}

}  // namespace
}  // namespace vz::readers
