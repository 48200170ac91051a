// The traditional ZIP cipher: agreement with the peer tools both ways
// (entries encrypted here are read by unzip and python's zipfile; entries
// encrypted by zip are decrypted here and their CRC checked), the header
// check's acceptance rules one by one, and the writer's header.
#include "control/engine/format/zip_crypto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/engine/format/crc32.h"
#include "control/engine/decode/inflate.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::test {
namespace {

using namespace vz::engine;

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return le16(b, at) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// The first entry of an archive without archive comment, read through its
// central record and local header (test-side parsing, independent of the
// engine's readers).
struct FirstEntry {
  uint16_t flags = 0, method = 0, localTime = 0;
  uint32_t crc = 0, compressedSize = 0, size = 0;
  std::vector<uint8_t> data;  // encryption header and compressed data
};

FirstEntry readFirstEntry(const std::vector<uint8_t>& zip) {
  FirstEntry e;
  const size_t end = zip.size() - 22;
  EXPECT_EQ(le32(zip, end), 0x06054B50u);
  const size_t central = le32(zip, end + 16);
  EXPECT_EQ(le32(zip, central), 0x02014B50u);
  e.flags = le16(zip, central + 8);
  e.method = le16(zip, central + 10);
  e.crc = le32(zip, central + 16);
  e.compressedSize = le32(zip, central + 20);
  e.size = le32(zip, central + 24);
  const size_t local = le32(zip, central + 42);
  EXPECT_EQ(le32(zip, local), 0x04034B50u);
  e.localTime = le16(zip, local + 10);
  const size_t data = local + 30 + le16(zip, local + 26) + le16(zip, local + 28);
  e.data.assign(zip.begin() + static_cast<long>(data), zip.begin() + static_cast<long>(data + e.compressedSize));
  return e;
}

std::string sampleText() {
  std::string s;
  for (int i = 0; i < 400; ++i) s += "line " + std::to_string(i) + " of the encrypted sample\n";
  return s;
}

// An archive with one stored entry encrypted here under password, its
// header's random bytes fixed.
std::string encryptedStoredArchive(const std::string& password, const std::string& plain) {
  const uint32_t crc = crc32(bytesOf(plain));
  ZipKeys keys = initKeys(password);
  const uint8_t random[kEncryptionRandomBytes] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EncryptionHeader header;
  buildEncryptionHeader(keys, crc, random, header.data());
  std::vector<uint8_t> body = bytesOf(plain);
  encryptBuffer(keys, body.data(), body.size());

  ZipBuilder b;
  TestEntry e;
  e.name = "SAMPLE.TXT";
  e.flags = 0x0001;
  e.crc = crc;
  e.uncompressedSize = static_cast<uint32_t>(plain.size());
  e.data.assign(header.begin(), header.end());
  e.data.append(body.begin(), body.end());
  b.entries.push_back(e);
  return b.build();
}

TEST(ZipCrypto, EntryEncryptedHereIsReadByUnzipAndPython) {
  ScratchDir dir("vzcrypto");
  const std::string plain = sampleText();
  const std::string zip = dir.file("mine.zip");
  writeFile(zip, encryptedStoredArchive("secret", plain));

  if (haveProgram("unzip")) {
    std::string out;
    EXPECT_EQ(run({"unzip", "-p", "-P", "secret", zip, "SAMPLE.TXT"}, &out), 0);
    EXPECT_EQ(out, plain);
    // A wrong password is refused (the fixed header makes this deterministic).
    EXPECT_NE(run({"unzip", "-p", "-P", "secrets", zip, "SAMPLE.TXT"}, &out), 0);
  }
  if (haveProgram("python3")) {
    std::string out;
    EXPECT_EQ(run({"python3", "-c",
                   "import sys, zipfile; sys.stdout.buffer.write("
                   "zipfile.ZipFile(sys.argv[1]).read('SAMPLE.TXT', pwd=b'secret'))",
                   zip},
                  &out),
              0);
    EXPECT_EQ(out, plain);
  }
  if (!haveProgram("unzip") && !haveProgram("python3")) GTEST_SKIP() << "neither unzip nor python3";
}

// zip sets flag bit 3 on encrypted entries and so makes the check byte from
// the DOS time: decrypting its entries exercises the time rule.
TEST(ZipCrypto, EntriesEncryptedByZipDecryptHereWithTheRightCrc) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip missing";
  ScratchDir dir("vzcrypto");
  const std::string plain = sampleText();
  writeFile(dir.file("a.txt"), plain);
  for (const char* level : {"-0", "-6"}) {
    SCOPED_TRACE(level);
    const std::string zip = dir.file(std::string("zip") + level + ".zip");
    ASSERT_EQ(run({"zip", "-q", level, "-P", "pass word", zip, "a.txt"}, nullptr, nullptr, dir.path()), 0);
    const FirstEntry e = readFirstEntry(readFile(zip));
    ASSERT_TRUE(e.flags & 1);
    ASSERT_GE(e.data.size(), kEncryptionHeaderSize);

    ZipKeys keys;
    ASSERT_TRUE(tryPassword("pass word", e.data.data(), e.crc, e.localTime, &keys));
    std::vector<uint8_t> body(e.data.begin() + kEncryptionHeaderSize, e.data.end());
    // Decrypt in uneven pieces: the keys carry over between calls.
    size_t done = 0;
    for (size_t piece = 1; done < body.size(); piece = piece * 3 + 1) {
      const size_t n = std::min(piece, body.size() - done);
      decryptBuffer(keys, body.data() + done, n);
      done += n;
    }
    std::vector<uint8_t> out;
    if (e.method == 8) {
      MemoryInput in(body);
      VectorOutput sink;
      ASSERT_EQ(inflate(in, sink), DecodeStatus::Ok);
      out = sink.bytes;
    } else {
      ASSERT_EQ(e.method, 0);
      out = body;
    }
    EXPECT_EQ(out.size(), e.size);
    EXPECT_EQ(crc32(out), e.crc);
    EXPECT_EQ(std::string(out.begin(), out.end()), plain);
  }
}

TEST(ZipCrypto, BufferAndByteFunctionsAgreeAndRoundTrip) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + (i >> 3));
  ZipKeys a = initKeys("k\xC3\xA9y"), b = a;
  std::vector<uint8_t> bulk = data;
  encryptBuffer(a, bulk.data(), bulk.size());
  for (size_t i = 0; i < data.size(); ++i) EXPECT_EQ(encryptByte(b, data[i]), bulk[i]) << i;
  EXPECT_EQ(a.k0, b.k0);
  EXPECT_EQ(a.k1, b.k1);
  EXPECT_EQ(a.k2, b.k2);
  EXPECT_NE(bulk, data);

  ZipKeys c = initKeys("k\xC3\xA9y"), d = c;
  std::vector<uint8_t> back = bulk;
  decryptBuffer(c, back.data(), back.size());
  EXPECT_EQ(back, data);
  EXPECT_EQ(decryptByte(d, bulk[0]), data[0]);
}

TEST(ZipCrypto, PasswordEndsAtItsTerminator) {
  const ZipKeys full = initKeys(std::string_view("abc\0def", 7));
  const ZipKeys shortKeys = initKeys("abc");
  EXPECT_EQ(full.k0, shortKeys.k0);
  EXPECT_EQ(full.k1, shortKeys.k1);
  EXPECT_EQ(full.k2, shortKeys.k2);
  const ZipKeys empty = initKeys("");
  EXPECT_EQ(empty.k0, 0x12345678u);
  EXPECT_EQ(empty.k1, 0x23456789u);
  EXPECT_EQ(empty.k2, 0x34567890u);
}

// Decrypted headers with chosen check bytes. CRC 0xAABBCCDD, DOS time
// 0x1234: the four rules look at h against 0x1234 and 0xAABB, and at byte
// 12 against 0xAA and 0x12. h equal to the time or to the CRC's top half
// implies the matching single-byte rule, so those two are checked with the
// other pair of values out of reach.
TEST(ZipCrypto, HeaderCheckAcceptsEachRule) {
  constexpr uint32_t crc = 0xAABBCCDD;
  constexpr uint16_t time = 0x1234;
  auto header = [](uint8_t b11, uint8_t b12) {
    EncryptionHeader h{};
    h[10] = b11;
    h[11] = b12;
    return h;
  };
  // byte 12 == CRC bits 24-31 alone (h is neither 0x1234 nor 0xAABB).
  EXPECT_TRUE(headerCheckPasses(header(0x00, 0xAA).data(), crc, time));
  // byte 12 == time bits 8-15 alone.
  EXPECT_TRUE(headerCheckPasses(header(0x00, 0x12).data(), crc, time));
  // h == time, with CRC rules out of reach.
  EXPECT_TRUE(headerCheckPasses(header(0x34, 0x12).data(), 0x55667788, time));
  // h == CRC bits 16-31, with time rules out of reach.
  EXPECT_TRUE(headerCheckPasses(header(0xBB, 0xAA).data(), crc, 0x0000));
  // Nothing matches.
  EXPECT_FALSE(headerCheckPasses(header(0x34, 0x13).data(), crc, time));
  EXPECT_FALSE(headerCheckPasses(header(0xAA, 0xBB).data(), crc, time));
}

TEST(ZipCrypto, TryPasswordOnAnEncryptedHeader) {
  const uint8_t random[kEncryptionRandomBytes] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  constexpr uint32_t crc = 0x12345678;
  ZipKeys writer = initKeys("right");
  EncryptionHeader header;
  buildEncryptionHeader(writer, crc, random, header.data());
  const EncryptionHeader before = header;

  ZipKeys reader;
  ASSERT_TRUE(tryPassword("right", header.data(), crc, 0, &reader));
  EXPECT_EQ(header, before);  // the caller's header is not touched
  // The reader's keys continue where the writer's stand.
  EXPECT_EQ(reader.k0, writer.k0);
  EXPECT_EQ(reader.k1, writer.k1);
  EXPECT_EQ(reader.k2, writer.k2);
  ZipKeys untouched;
  EXPECT_FALSE(tryPassword("wrong", header.data(), crc, 0, &untouched));
  EXPECT_EQ(untouched.k0, 0x12345678u);
  // The check bytes decrypt to the CRC's top bytes.
  ZipKeys k = initKeys("right");
  EncryptionHeader plain = header;
  decryptHeader(k, plain.data());
  EXPECT_EQ(plain[10], 0x34);
  EXPECT_EQ(plain[11], 0x12);
  EXPECT_EQ(std::memcmp(plain.data(), random, kEncryptionRandomBytes), 0);
}

TEST(ZipCrypto, WrittenHeadersTakeFreshRandomBytes) {
  constexpr uint32_t crc = 0xCAFEF00D;
  EncryptionHeader first, second;
  ZipKeys k1 = initKeys("pw"), k2 = initKeys("pw");
  ASSERT_TRUE(makeEncryptionHeader(k1, crc, first.data()));
  ASSERT_TRUE(makeEncryptionHeader(k2, crc, second.data()));
  // Two headers made at once differ (2^-80 chance of a false failure).
  EXPECT_NE(first, second);
  for (const EncryptionHeader& h : {first, second}) {
    ZipKeys k = initKeys("pw");
    EncryptionHeader plain = h;
    decryptHeader(k, plain.data());
    EXPECT_EQ(plain[10], 0xFE);
    EXPECT_EQ(plain[11], 0xCA);
  }
}

}  // namespace
}  // namespace vz::test
