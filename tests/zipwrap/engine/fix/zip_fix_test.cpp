// -F and -FF through the writer's entry point, on archives made by zip and
// damaged in a table of ways (the control's repair cases and harder ones).
// Each case is fixed both ways; `unzip -t` then counts the entries that
// pass. -FF must never keep an entry that fails, never recover fewer than
// -F, and recover strictly more where -F cannot cope (cut archives, wrong
// sizes, damaged headers, damaged data). Every entry -FF keeps extracts to
// its original bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "tests/support/test_env.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/zip/zip_main.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using namespace vz::zipwrap;

uint32_t le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
size_t endRecordAt(const Bytes& b) {
  for (size_t i = b.size() - 22 + 1; i-- > 0;)
    if (b[i] == 'P' && b[i + 1] == 'K' && b[i + 2] == 5 && b[i + 3] == 6) return i;
  return std::string::npos;
}
// Positions of the local headers, in order.
std::vector<size_t> localHeaders(const Bytes& b, size_t before) {
  std::vector<size_t> out;
  for (size_t i = 0; i + 4 <= before; ++i)
    if (b[i] == 'P' && b[i + 1] == 'K' && b[i + 2] == 3 && b[i + 3] == 4) out.push_back(i);
  return out;
}

struct Events {
  int fixing = 0;      // 1070 callbacks
  int stopAfter = -1;  // answer 1 on this 1070 (counting from 0); -1 never
};

uint32_t onEvent(uint32_t code, void*, void* user) {
  auto* e = static_cast<Events*>(user);
  if (code == kCbFixing && e->fixing++ == e->stopAfter) return kReplyStop;
  return kReplyContinue;
}

uint16_t fix(const std::string& archive, bool thorough, Events* events = nullptr) {
  Events local;
  std::vector<std::string> args = {"", thorough ? "-FF" : "-F", archive};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return static_cast<uint16_t>(
      writerMain(kEngineCallMagic, static_cast<int32_t>(argv.size()), argv.data(), onEvent, events ? events : &local) &
      0xFFFF);
}

class ZipFix : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveProgram("zip") || !haveProgram("unzip")) GTEST_SKIP() << "zip or unzip missing";
    std::mt19937 rng(11);
    src_ = dir_.file("src");
    fs::create_directories(src_ + "/sub");
    const size_t sizes[] = {40000, 1, 90000, 0, 20000, 150000, 3000};
    for (size_t n = 0; n < std::size(sizes); ++n) {
      Bytes b(sizes[n]);
      for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i % 5 == 0 ? rng() : 'a' + (i / 7) % 20);
      const std::string name = (n % 2 ? "sub/f" : "f") + std::to_string(n) + ".dat";
      writeFile(src_ + "/" + name, b);
      files_[name] = b;
    }
  }

  Bytes makeZip(const std::string& tag, const std::vector<std::string>& extra = {}) {
    const std::string out = dir_.file(tag + ".zip");
    std::vector<std::string> argv = {"zip", "-q", "-X"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(out);
    for (const auto& [name, _] : files_) argv.push_back(name);
    EXPECT_EQ(run(argv, nullptr, nullptr, src_), 0);
    return readFile(out);
  }

  // Entries of the archive that pass `unzip -t`; with mustAllPass every
  // entry tested must pass, and each one extracts to its original bytes.
  int passing(const std::string& zip, bool mustAllPass, const std::string& password = "") {
    std::string out, err;
    std::vector<std::string> argv = {"unzip", "-t"};
    if (!password.empty()) argv.insert(argv.end(), {"-P", password});
    argv.push_back(zip);
    const int rc = run(argv, &out, &err);
    int ok = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
      if (line.find("testing: ") != std::string::npos && line.size() >= 2 && line.substr(line.size() - 2) == "OK") ++ok;
    if (mustAllPass) {
      EXPECT_EQ(rc, 0) << out << err;
      const std::string to = dir_.file("x");
      fs::remove_all(to);
      argv[1] = "-qq";
      argv.insert(argv.end(), {"-d", to});
      EXPECT_EQ(run(argv), 0);
      if (fs::exists(to))
        for (const auto& e : fs::recursive_directory_iterator(to))
          if (e.is_regular_file())
            EXPECT_EQ(readFile(e.path().string()), files_.at(fs::relative(e.path(), to).string()));
    }
    return ok;
  }

  ScopedRoot root_;
  ScratchDir dir_{"zwfix"};
  std::string src_;
  std::map<std::string, Bytes> files_;  // stored name -> bytes
};

TEST_F(ZipFix, ThoroughRecoversMoreThanStandardOnEveryDamage) {
  const Bytes plain = makeZip("plain");
  Bytes streamed;
  ASSERT_EQ(run({"sh", "-c", "zip -q -X - f0.dat sub/f1.dat f2.dat sub/f3.dat f4.dat > " + dir_.file("s.zip")}, nullptr,
                nullptr, src_),
            0);
  streamed = readFile(dir_.file("s.zip"));
  struct Case {
    std::string name;
    Bytes bytes;
    bool thoroughGains;  // -FF must recover strictly more than -F
  };
  std::vector<Case> cases;
  for (const auto& source : {std::pair<std::string, const Bytes&>{"zip", plain}, {"stream", streamed}}) {
    // Named copies, not structured bindings: lambdas below capture them.
    const std::string& maker = source.first;
    const Bytes& z = source.second;
    const size_t eocd = endRecordAt(z);
    ASSERT_NE(eocd, std::string::npos);
    const size_t cd = le32(z, eocd + 16);
    const std::vector<size_t> lh = localHeaders(z, cd);
    ASSERT_GE(lh.size(), 5u);
    Bytes garbage(700);
    std::mt19937 rng(5);
    for (auto& g : garbage) g = static_cast<uint8_t>(rng() % 0x4F);  // never "P"
    auto cut = [&](size_t n) { return Bytes(z.begin(), z.begin() + n); };
    auto join = [](Bytes a, const Bytes& b) {
      a.insert(a.end(), b.begin(), b.end());
      return a;
    };
    // The control's repair cases.
    cases.push_back({maker + ": intact", z, false});
    cases.push_back({maker + ": cut inside the directory", cut((cd + eocd) / 2), false});
    cases.push_back({maker + ": end record removed", cut(eocd), false});
    Bytes zeroed = z;
    std::fill(zeroed.begin() + cd, zeroed.begin() + eocd, 0);
    cases.push_back({maker + ": directory zeroed", zeroed, false});
    cases.push_back({maker + ": garbage in front", join(garbage, z), false});
    cases.push_back({maker + ": garbage instead of the directory", join(cut(cd), garbage), false});
    // Harder ones.
    cases.push_back({maker + ": cut inside the last entry", cut(cd - 500), true});
    Bytes between(z.begin(), z.begin() + lh[2]);
    between = join(join(between, garbage), Bytes(z.begin() + lh[2], z.end()));
    cases.push_back({maker + ": garbage between entries", between, false});
    Bytes flipped = z;
    flipped[lh[2] + 30 + 12 + 300] ^= 0x55;  // inside the third entry's data
    cases.push_back({maker + ": damaged data", flipped, false});
    if (maker == "zip") {
      Bytes small = z;
      put32(small, lh[2] + 18, le32(small, lh[2] + 18) - 100);  // the third entry's size too small
      cases.push_back({maker + ": compressed size too small", small, true});
      Bytes large = z;
      put32(large, lh[0] + 18, le32(large, lh[0] + 18) + (lh[2] - lh[1]));  // the first covers the second
      cases.push_back({maker + ": compressed size too large", large, true});
      Bytes header = z;
      std::fill(header.begin() + lh[2], header.begin() + lh[2] + 30, 0);  // the third local header wiped
      cases.push_back({maker + ": damaged header in the middle", header, true});
    } else {
      Bytes header = cut((cd + eocd) / 2);
      std::fill(header.begin() + lh[1] + 4, header.begin() + lh[1] + 12, 0xEE);  // flags, method, time
      cases.push_back({maker + ": damaged header and cut directory", header, true});
    }
  }
  int totalStandard = 0, totalThorough = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string a = dir_.file("standard.zip"), b = dir_.file("thorough.zip");
    writeFile(a, c.bytes);
    writeFile(b, c.bytes);
    const uint16_t rs = fix(a, false);
    const int standard = rs == kResultOk ? passing(a, false) : 0;
    Events events;
    ASSERT_EQ(fix(b, true, &events), kResultOk);
    const int thorough = passing(b, true);
    EXPECT_EQ(events.fixing, thorough);  // one 1070 per entry kept
    std::cout << "  " << c.name << ": -F " << standard << " (result " << rs << "), -FF " << thorough << "\n";
    EXPECT_GE(thorough, standard);
    if (c.thoroughGains) EXPECT_GT(thorough, standard);
    totalStandard += standard;
    totalThorough += thorough;
  }
  std::cout << "fix: " << cases.size() << " cases, -F recovered " << totalStandard << " entries, -FF " << totalThorough
            << "\n";
  EXPECT_GT(totalThorough, totalStandard);
}

TEST_F(ZipFix, EncryptedEntryIsKeptWhenItsSizesAgree) {
  const Bytes z = makeZip("enc", {"-P", "secret"});
  const size_t eocd = endRecordAt(z);
  const std::string path = dir_.file("work.zip");
  writeFile(path, Bytes(z.begin(), z.begin() + (le32(z, eocd + 16) + eocd) / 2));
  ASSERT_EQ(fix(path, true), kResultOk);
  EXPECT_EQ(passing(path, true, "secret"), static_cast<int>(files_.size()));
}

TEST_F(ZipFix, StopAndRefusalsLeaveTheArchiveAsItWas) {
  const Bytes z = makeZip("stop");
  const std::string path = dir_.file("work.zip");
  const Bytes damaged(z.begin(), z.begin() + endRecordAt(z));
  for (bool thorough : {false, true}) {
    writeFile(path, damaged);
    Events events;
    events.stopAfter = 2;
    EXPECT_EQ(fix(path, thorough, &events), kResultAborted);
    EXPECT_EQ(readFile(path), damaged);
    EXPECT_EQ(fix(dir_.file("missing.zip"), thorough), kResultArchiveNotFound);
    writeFile(path, std::string("nothing of an archive here"));
    EXPECT_EQ(fix(path, thorough), kResultNotAnArchive);
  }
  for (const auto& e : fs::directory_iterator(std::string(::getenv("TMPDIR"))))
    if (e.path().extension() == ".TMP") ADD_FAILURE() << "left behind: " << e.path();
}

}  // namespace
}  // namespace vz::test
