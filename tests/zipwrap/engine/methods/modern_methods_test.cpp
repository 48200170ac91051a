// The modern methods end to end: archives that peer tools write at test
// time (7zz, python3's zipfile, bsdtar) and streams made here with libzstd,
// each decoded span by span and compared with the data; the same entries
// cut short, damaged, declared too small, and refused for their memory.
//
// Every row is one entry: how it is made, the method inside, and whether
// the method checks its own data (bzip2, xz, Zstandard with its checksum,
// and AES with its code do; raw LZMA does not, so damage there may only
// show in the CRC).
#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <functional>
#include <map>

#include "tests/support/test_env.h"
#include "tests/zipwrap/engine/methods/method_samples.h"
#include "zipwrap/engine/methods/aes_crypt.h"

namespace vz::zipwrap::test {
namespace {

using engine::DecodeStatus;

constexpr char kPassword[] = "pass word 1";

// Runs a peer tool that writes data.bin of the sample into t.zip and
// returns the archive's only entry.
std::optional<StoredEntry> fromPeer(const std::vector<std::string>& argv) {
  if (!vz::test::haveProgram(argv[0])) return std::nullopt;
  vz::test::ScratchDir dir("vz-methods");
  vz::test::writeFile(dir.file("data.bin"), sampleData());
  std::vector<std::string> args = argv;
  for (std::string& a : args)
    if (a == "ZIP") a = dir.file("t.zip");
  if (vz::test::run(args, nullptr, nullptr, dir.path()) != 0) return std::nullopt;
  return firstEntry(vz::test::readFile(dir.file("t.zip")));
}

std::vector<std::string> python(const std::string& compression) {
  return {"python3", "-c",
          "import sys, zipfile\n"
          "with zipfile.ZipFile(sys.argv[1], 'w', zipfile." +
              compression + ") as z: z.write('data.bin')\n",
          "ZIP"};
}

// Zstandard frames with their checksum over the sample, split in pieces
// (one frame each), as method 93.
StoredEntry zstdEntry(size_t frames) {
  const std::vector<uint8_t> data = sampleData();
  StoredEntry e{93, 0, engine::crc32(data), data.size(), {}, {}};
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, 9);
  for (size_t i = 0; i < frames; ++i) {
    const size_t from = data.size() * i / frames, to = data.size() * (i + 1) / frames;
    std::vector<uint8_t> frame(ZSTD_compressBound(to - from));
    frame.resize(ZSTD_compress2(cctx, frame.data(), frame.size(), data.data() + from, to - from));
    e.data.insert(e.data.end(), frame.begin(), frame.end());
  }
  ZSTD_freeCCtx(cctx);
  return e;
}

// A raw LZMA stream without end marker behind the ZIP's LZMA header, as
// method 14 with flags bit 1 clear (liblzma's encoder, which peers here
// only use with the marker).
StoredEntry lzmaWithoutMarker() {
  const std::vector<uint8_t> data = sampleData();
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 6);
  options.dict_size = 1 << 20;
  options.ext_flags = 0;  // no end marker
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::vector<uint8_t> raw(data.size() + 4096);
  size_t used = 0;
  EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), raw.data(), &used, raw.size()), LZMA_OK);
  StoredEntry e{14, 0, engine::crc32(data), data.size(), {}, {9, 20, 5, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(lzma_properties_encode(&filters[0], e.data.data() + 4), LZMA_OK);
  e.data.insert(e.data.end(), raw.begin(), raw.begin() + static_cast<long>(used));
  return e;
}

// An entry encrypted here as AE-2 (method 99 and its extra field) around an
// entry of another method.
StoredEntry encryptAe2(StoredEntry inner, uint8_t strength) {
  std::vector<uint8_t> salt(aesSaltBytes(strength));
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(0x5A + 3 * i);
  const AesKeys keys = deriveAesKeys(strength, kPassword, salt);
  std::vector<uint8_t> cipher = inner.data;
  AesCtr ctr(keys.encryption, keys.keyBytes);
  ctr.apply(cipher.data(), cipher.size());
  HmacSha1 mac(keys.authentication, keys.keyBytes);
  mac.update(cipher.data(), cipher.size());
  uint8_t code[20];
  EXPECT_TRUE(mac.finish(code));
  StoredEntry e{kAesMethod, 1, 0, inner.size, {}, salt};
  e.extra = {0x01,
             0x99,
             7,
             0,
             2,
             0,
             'A',
             'E',
             strength,
             static_cast<uint8_t>(inner.method),
             static_cast<uint8_t>(inner.method >> 8)};
  e.data.insert(e.data.end(), keys.verifier, keys.verifier + 2);
  e.data.insert(e.data.end(), cipher.begin(), cipher.end());
  e.data.insert(e.data.end(), code, code + kAesCodeBytes);
  return e;
}

struct Row {
  const char* name;
  std::function<std::optional<StoredEntry>()> make;
  uint16_t innerMethod;  // the compression method (inside AES for method 99)
  bool selfChecked;      // damage always gives a failed status
};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"sevenzip_bzip2",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=BZip2", "ZIP", "data.bin"});
       },
       12, true},
      {"sevenzip_lzma",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=LZMA", "ZIP", "data.bin"});
       },
       14, false},
      {"sevenzip_xz",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=XZ", "ZIP", "data.bin"});
       },
       95, true},
      {"python_bzip2", [] { return fromPeer(python("ZIP_BZIP2")); }, 12, true},
      {"python_lzma", [] { return fromPeer(python("ZIP_LZMA")); }, 14, false},
      // The same stream taken as one that ends at the declared size (its
      // end marker is then accepted there).
      {"python_lzma_known_size",
       [] {
         auto e = fromPeer(python("ZIP_LZMA"));
         if (e) e->flags &= ~2u;
         return e;
       },
       14, false},
      {"here_lzma_without_marker", [] { return std::optional(lzmaWithoutMarker()); }, 14, false},
      {"zstd_one_frame", [] { return std::optional(zstdEntry(1)); }, 93, true},
      {"zstd_three_frames", [] { return std::optional(zstdEntry(3)); }, 93, true},
      {"sevenzip_aes128_deflate",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=Deflate", "-mem=AES128", "-ppass word 1", "ZIP", "data.bin"});
       },
       8, true},
      {"sevenzip_aes256_bzip2",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=BZip2", "-mem=AES256", "-ppass word 1", "ZIP", "data.bin"});
       },
       12, true},
      {"sevenzip_aes192_lzma",
       [] {
         return fromPeer({"7zz", "a", "-tzip", "-mm=LZMA", "-mem=AES192", "-ppass word 1", "ZIP", "data.bin"});
       },
       14, true},
      {"bsdtar_aes128_ae1_deflate",
       [] {
         return fromPeer({"bsdtar", "--format", "zip", "--options", "zip:encryption=aes128", "--passphrase", kPassword,
                          "-cf", "ZIP", "data.bin"});
       },
       8, true},
      {"bsdtar_aes256_stored",
       [] {
         return fromPeer({"bsdtar", "--format", "zip", "--options", "zip:encryption=aes256,zip:compression=store",
                          "--passphrase", kPassword, "-cf", "ZIP", "data.bin"});
       },
       0, true},
      {"here_aes256_zstd", [] { return std::optional(encryptAe2(zstdEntry(1), 3)); }, 93, true},
  };
  return table;
}

class ModernEntry : public ::testing::TestWithParam<Row> {
 protected:
  // The row's entry, made once per test program.
  const StoredEntry& entry() {
    static std::map<std::string, std::optional<StoredEntry>> made;
    auto it = made.find(GetParam().name);
    if (it == made.end()) it = made.emplace(GetParam().name, GetParam().make()).first;
    if (!it->second) ADD_FAILURE() << "the peer could not make " << GetParam().name;
    static const StoredEntry none;
    return it->second ? *it->second : none;
  }
  bool aes() const { return entry_->method == kAesMethod; }
  void SetUp() override {
    entry_ = &entry();
    if (entry_->data.empty()) GTEST_SKIP();
  }
  const StoredEntry* entry_ = nullptr;
};

TEST_P(ModernEntry, DecodesToTheSampleInWholeWindowsAtEverySpanSize) {
  const std::vector<uint8_t> data = sampleData();
  const StoredEntry& e = *entry_;
  ASSERT_EQ(e.size, data.size());
  if (aes()) {
    AesEntryInfo info;
    ASSERT_EQ(readAesExtra(e.extra, info), AesExtraStatus::Found);
    EXPECT_EQ(info.method, GetParam().innerMethod);
  } else {
    EXPECT_EQ(e.method, GetParam().innerMethod);
  }
  for (size_t chunk : {std::numeric_limits<size_t>::max(), size_t{1}, size_t{13}, size_t{24576}}) {
    SCOPED_TRACE(chunk);
    const Decoded d = decodeStored(e, kPassword, chunk);
    ASSERT_EQ(d.status, DecodeStatus::Ok);
    ASSERT_EQ(d.bytes, data);
    for (size_t i = 0; i + 1 < d.flushes.size(); ++i) ASSERT_EQ(d.flushes[i], 32768u);
    // The reader's CRC rule: AE-2 stores 0 and skips the check.
    AesEntryInfo info;
    if (!aes() || (readAesExtra(e.extra, info) == AesExtraStatus::Found && aesEntryHasCrc(info)))
      EXPECT_EQ(engine::crc32(d.bytes), e.crc);
    else
      EXPECT_EQ(e.crc, 0u);
  }
}

TEST_P(ModernEntry, CutShortGivesBadData) {
  for (double keep : {0.0, 0.3, 0.97}) {
    StoredEntry cut = *entry_;
    cut.data.resize(static_cast<size_t>(cut.data.size() * keep));
    EXPECT_EQ(decodeStored(cut, kPassword, 4096).status, DecodeStatus::BadData) << keep;
  }
  // The last byte alone: the AES code, the stream's check or its end
  // marker, which only a stream that ends at the declared size may lack.
  StoredEntry cut = *entry_;
  cut.data.pop_back();
  const Decoded d = decodeStored(cut, kPassword);
  if (!aes() && GetParam().innerMethod == 14 && (entry_->flags & 2) == 0) {
    EXPECT_TRUE(d.status == DecodeStatus::BadData || (d.status == DecodeStatus::Ok && d.bytes == sampleData()));
  } else {
    EXPECT_EQ(d.status, DecodeStatus::BadData);
  }
}

TEST_P(ModernEntry, DamageFailsTheEntry) {
  const std::vector<uint8_t> data = sampleData();
  for (double at : {0.1, 0.5, 0.9}) {
    StoredEntry bad = *entry_;
    bad.data[static_cast<size_t>(bad.data.size() * at)] ^= 0x10;
    const Decoded d = decodeStored(bad, kPassword, 7);
    if (GetParam().selfChecked)
      EXPECT_NE(d.status, DecodeStatus::Ok) << at;
    else
      EXPECT_TRUE(d.status != DecodeStatus::Ok || d.bytes != data) << at;
    EXPECT_LE(d.bytes.size(), data.size());
  }
}

TEST_P(ModernEntry, OutputStopsAtTheDeclaredSize) {
  const uint64_t declared = entry_->size - 1000;
  const Decoded d = decodeStored(*entry_, kPassword, 24576, declared);
  EXPECT_EQ(d.bytes.size(), declared);
  EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.end(), sampleData().begin()));
  EXPECT_EQ(d.status, DecodeStatus::OutputStopped);
}

TEST_P(ModernEntry, CancelStopsAfterTheFirstWindow) {
  int pumps = 0;
  engine::DecodeHooks hooks;
  hooks.pump = [&] { ++pumps; };
  hooks.cancelled = [&] { return pumps >= 1; };
  const Decoded d = decodeStored(*entry_, kPassword, 24576, std::nullopt, &hooks);
  EXPECT_EQ(d.status, DecodeStatus::Cancelled);
  // Inflate asks after each block, the others after each window; either
  // way only whole windows were delivered.
  EXPECT_EQ(d.bytes.size() % 32768, 0u);
  EXPECT_LT(d.bytes.size(), entry_->size);
  if (GetParam().innerMethod != 8) {
    EXPECT_EQ(d.bytes.size(), 32768u);
  }
}

TEST_P(ModernEntry, AWrongPasswordIsToldApart) {
  if (!aes()) GTEST_SKIP() << "not encrypted";
  const Decoded d = decodeStored(*entry_, "pass word 2");
  EXPECT_TRUE(d.wrongPassword);
  EXPECT_EQ(d.status, DecodeStatus::BadData);
  EXPECT_TRUE(d.bytes.empty());
  // The check the reader makes before it opens an output.
  AesEntryInfo info;
  ASSERT_EQ(readAesExtra(entry_->extra, info), AesExtraStatus::Found);
  EXPECT_TRUE(aesPasswordMatches(info.strength, kPassword, entry_->data));
  EXPECT_FALSE(aesPasswordMatches(info.strength, "pass word 2", entry_->data));
  // Damage past the verifier is not a wrong password.
  StoredEntry bad = *entry_;
  bad.data[bad.data.size() / 2] ^= 1;
  const Decoded damaged = decodeStored(bad, kPassword);
  EXPECT_FALSE(damaged.wrongPassword);
  EXPECT_NE(damaged.status, DecodeStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(Peers, ModernEntry, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

// Streams that need more memory than the limits allow are refused before
// the memory is taken.
TEST(ModernMethods, MemoryBeyondTheLimitsIsRefused) {
  const std::vector<uint8_t> data = sampleData(50000);
  // A Zstandard frame whose header asks for a 2^28-byte window (no content
  // size, so the encoder keeps the window it was given).
  {
    ZSTD_CCtx* cctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, 28);
    std::vector<uint8_t> frame(ZSTD_compressBound(data.size()) + 64);
    ZSTD_outBuffer out{frame.data(), frame.size(), 0};
    ZSTD_inBuffer in{data.data(), data.size(), 0};
    // Fed in two calls, so that the encoder does not learn the size first.
    ZSTD_compressStream2(cctx, &out, &in, ZSTD_e_continue);
    ZSTD_inBuffer none{nullptr, 0, 0};
    ASSERT_EQ(ZSTD_compressStream2(cctx, &out, &none, ZSTD_e_end), 0u);
    frame.resize(out.pos);
    ZSTD_freeCCtx(cctx);
    StoredEntry e{93, 0, 0, data.size(), {}, frame};
    EXPECT_EQ(decodeStored(e).status, DecodeStatus::NoMemory);
    // Within a larger limit it decodes.
    EXPECT_EQ(decodeStored(e, "", SIZE_MAX, std::nullopt, nullptr, ModernLimits{1u << 30, 28}).bytes, data);
  }
  // xz at preset 9 needs a 64 MB dictionary.
  if (vz::test::haveProgram("python3")) {
    vz::test::ScratchDir dir("vz-methods");
    vz::test::writeFile(dir.file("data.bin"), data);
    ASSERT_EQ(vz::test::run({"python3", "-c",
                             "import lzma, sys\n"
                             "d = open(sys.argv[1], 'rb').read()\n"
                             "open(sys.argv[2], 'wb').write(lzma.compress(d, format=lzma.FORMAT_XZ, preset=9))\n",
                             dir.file("data.bin"), dir.file("data.xz")}),
              0);
    StoredEntry e{95, 0, 0, data.size(), {}, vz::test::readFile(dir.file("data.xz"))};
    EXPECT_EQ(decodeStored(e, "", SIZE_MAX, std::nullopt, nullptr, ModernLimits{16u << 20, 27}).status,
              DecodeStatus::NoMemory);
    EXPECT_EQ(decodeStored(e).bytes, data);
  }
  // A raw LZMA header asking for a 1 GB dictionary, with an end marker, for
  // an entry that declares 1 GB: the dictionary is cut to the declared size,
  // which is still over the limit.
  {
    StoredEntry e{14, 2, 0, uint64_t{1} << 30, {}, {9, 20, 5, 0, 0x5D, 0, 0, 0, 0x40, 0, 0, 0, 0}};
    EXPECT_EQ(decodeStored(e).status, DecodeStatus::NoMemory);
  }
}

}  // namespace
}  // namespace vz::zipwrap::test
