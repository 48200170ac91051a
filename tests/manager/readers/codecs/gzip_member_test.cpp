// The gzip member decoder against gzip: files made at test time with and
// without stored names (-N, -n), concatenated members, headers with every
// optional field, and damaged files.
#include "manager/readers/codecs/gzip_member.h"

#include <gtest/gtest.h>

#include <cstring>

#include "control/engine/format/crc32.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

using engine::MemoryInput;
using engine::VectorOutput;
using test::codecs::DataKind;

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> gzipFile(const test::ScratchDir& dir, const std::string& name, const std::vector<uint8_t>& data,
                              const std::vector<std::string>& options) {
  test::writeFile(dir.file(name), data);
  std::vector<std::string> argv = {"gzip", "-c"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(dir.file(name));
  std::string out;
  EXPECT_EQ(test::run(argv, &out), 0);
  return bytesOf(out);
}

TEST(GzipPeer, MembersFromGzipDecodeWithNameTimeAndTrailer) {
  if (!test::haveProgram("gzip")) GTEST_SKIP() << "gzip missing";
  test::ScratchDir dir("gz");
  struct Case {
    DataKind kind;
    size_t size;
    std::vector<std::string> options;
    bool named;
  };
  const Case cases[] = {
      {DataKind::Text, 300000, {"-N", "-9"}, true},
      {DataKind::Random, 70000, {"-N", "-1"}, true},
      {DataKind::Repetitive, 200000, {"-n"}, false},
      {DataKind::Text, 0, {"-N"}, true},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> data = test::codecs::makeData(c.kind, c.size);
    const std::vector<uint8_t> gz = gzipFile(dir, "file.txt", data, c.options);
    for (size_t chunk : {size_t{1}, size_t{4093}, SIZE_MAX}) {
      MemoryInput in(gz, chunk);
      VectorOutput out;
      GzipMemberResult r;
      ASSERT_EQ(decodeGzipMember(in, out, r), GzipStatus::Ok) << c.size;
      EXPECT_TRUE(out.bytes == data);
      EXPECT_EQ(r.header.hasName, c.named);
      if (c.named) EXPECT_EQ(r.header.name, "file.txt");
      EXPECT_EQ(r.header.mtime != 0, c.named);  // -n stores no time either
      EXPECT_EQ(r.crc, engine::crc32(data));
      EXPECT_EQ(r.storedSize, data.size());
      EXPECT_EQ(r.memberSize, gz.size());
      EXPECT_FALSE(r.anotherMember);
      EXPECT_FALSE(r.trailingBytes);
    }
  }
}

TEST(GzipPeer, ConcatenatedMembersAreSeenAndDecodedInTurn) {
  if (!test::haveProgram("gzip")) GTEST_SKIP() << "gzip missing";
  test::ScratchDir dir("gzm");
  std::vector<uint8_t> all, expected;
  std::vector<size_t> sizes;
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> data =
        test::codecs::makeData(i == 1 ? DataKind::Random : DataKind::Text, 5000 + i * 40000, i);
    const std::vector<uint8_t> gz = gzipFile(dir, "m" + std::to_string(i), data, {"-N"});
    all.insert(all.end(), gz.begin(), gz.end());
    expected.insert(expected.end(), data.begin(), data.end());
    sizes.push_back(gz.size());
  }
  // The first member alone tells that another follows (25162 for the extractor).
  {
    MemoryInput in(all);
    VectorOutput out;
    GzipMemberResult r;
    ASSERT_EQ(decodeGzipMember(in, out, r), GzipStatus::Ok);
    EXPECT_TRUE(r.anotherMember);
    EXPECT_EQ(r.memberSize, sizes[0]);
    EXPECT_EQ(r.header.name, "m0");
  }
  // All of them, as gzip -d does; trailing zeros end the walk quietly.
  all.insert(all.end(), 100, 0);
  std::string gunzipped;
  test::writeFile(dir.file("all.gz"), all);
  test::run({"gzip", "-dc", dir.file("all.gz")}, &gunzipped);
  ASSERT_EQ(bytesOf(gunzipped), expected);
  for (size_t chunk : {size_t{3}, SIZE_MAX}) {
    MemoryInput in(all, chunk);
    VectorOutput out;
    std::vector<GzipMemberResult> members;
    ASSERT_EQ(decodeGzipMembers(in, out, members), GzipStatus::Ok);
    EXPECT_TRUE(out.bytes == expected);
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[2].header.name, "m2");
    EXPECT_EQ(members[1].memberSize, sizes[1]);
    EXPECT_TRUE(members[2].trailingBytes);
  }
  // The corpus's multi-member file.
  const std::string corpus = test::corpusDir() + "/cc-multiple.gz";
  std::string plain;
  if (test::run({"gzip", "-dc", corpus}, &plain) == 0) {
    const std::vector<uint8_t> file = test::readFile(corpus);
    MemoryInput in(file);
    VectorOutput out;
    std::vector<GzipMemberResult> members;
    EXPECT_EQ(decodeGzipMembers(in, out, members), GzipStatus::Ok);
    EXPECT_GE(members.size(), 2u);
    EXPECT_TRUE(out.bytes == bytesOf(plain));
  }
}

// A member with every optional header field, around gzip's own deflate data.
std::vector<uint8_t> fullHeaderMember(const std::vector<uint8_t>& gz, bool goodHeaderCrc) {
  // gzip -n writes a 10-byte header: take its deflate data and trailer.
  std::vector<uint8_t> m = {0x1F, 0x8B, 8, 0x1F, 0x78, 0x56, 0x34, 0x12, 0, 3};
  const uint8_t extra[] = {6, 0, 'A', 'B', 2, 0, 'x', 'y'};
  m.insert(m.end(), std::begin(extra), std::end(extra));
  for (const char* text : {"name.bin", "a comment"}) {
    m.insert(m.end(), text, text + std::strlen(text) + 1);
  }
  const uint32_t crc = engine::crc32(m) ^ (goodHeaderCrc ? 0 : 1);
  m.push_back(static_cast<uint8_t>(crc));
  m.push_back(static_cast<uint8_t>(crc >> 8));
  m.insert(m.end(), gz.begin() + 10, gz.end());
  return m;
}

TEST(GzipHeaderFields, EveryFlagAndEveryDamage) {
  if (!test::haveProgram("gzip")) GTEST_SKIP() << "gzip missing";
  test::ScratchDir dir("gzh");
  const std::vector<uint8_t> data = test::codecs::makeData(DataKind::Text, 20000);
  const std::vector<uint8_t> gz = gzipFile(dir, "d", data, {"-n"});
  const std::vector<uint8_t> full = fullHeaderMember(gz, true);
  {
    MemoryInput in(full);
    VectorOutput out;
    GzipMemberResult r;
    ASSERT_EQ(decodeGzipMember(in, out, r), GzipStatus::Ok);
    EXPECT_TRUE(r.header.text && r.header.hasHeaderCrc && r.header.hasComment);
    EXPECT_EQ(r.header.name, "name.bin");
    EXPECT_EQ(r.header.comment, "a comment");
    EXPECT_EQ(r.header.extraLength, 6);
    EXPECT_EQ(r.header.mtime, 0x12345678u);
    EXPECT_EQ(r.header.os, 3);
    EXPECT_TRUE(out.bytes == data);
  }
  auto statusOf = [](std::vector<uint8_t> bytes) {
    MemoryInput in(bytes);
    VectorOutput out;
    GzipMemberResult r;
    return decodeGzipMember(in, out, r);
  };
  struct Damage {
    const char* name;
    std::vector<uint8_t> bytes;
    GzipStatus status;
  };
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = gz;
    b[at] = value;
    return b;
  };
  auto cut = [&](size_t size) { return std::vector<uint8_t>(gz.begin(), gz.begin() + static_cast<long>(size)); };
  const Damage damages[] = {
      {"header crc", fullHeaderMember(gz, false), GzipStatus::BadHeaderCrc},
      {"signature", with(1, 0x8C), GzipStatus::BadHeader},
      {"method", with(2, 7), GzipStatus::UnsupportedMethod},
      {"reserved flag", with(3, 0x20), GzipStatus::BadHeader},
      {"crc", with(gz.size() - 8, gz[gz.size() - 8] ^ 1), GzipStatus::CrcMismatch},
      {"size", with(gz.size() - 1, gz[gz.size() - 1] ^ 1), GzipStatus::SizeMismatch},
      {"header cut", cut(6), GzipStatus::BadHeader},
      {"data cut", cut(gz.size() / 2), GzipStatus::BadData},
      {"trailer cut", cut(gz.size() - 3), GzipStatus::BadTrailer},
  };
  for (const Damage& d : damages) EXPECT_EQ(statusOf(d.bytes), d.status) << d.name;
  // Any cut or flipped byte ends with a status, never a crash.
  for (size_t i = 0; i < gz.size(); i += 37) {
    (void)statusOf(cut(i));
    (void)statusOf(with(i, gz[i] ^ 0x55));
  }
}

}  // namespace
}  // namespace vz::readers::codecs
