// Faults that real archives showed: a wrong password that passes the
// encryption header's check by chance, a folder named only by its DOS
// folder attribute, a folder entry carrying a few bytes of deflated data,
// and a local header without a name. Each archive is built in the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "control/engine/common/status.h"
#include "control/engine/common/temp_base.h"
#include "control/engine/extract/extract_job.h"
#include "control/engine/format/zip_crypto.h"
#include "tests/engine/extract/extract_test_util.h"

namespace vz::test {
namespace {

using engine::PasswordAnswer;

// An entry (stored) encrypted with password whose encryption header the
// empty password passes as well: the header's random bytes are walked in a
// fixed order until the empty password's check byte matches by chance
// (about one header in 128), so the archive is the same on every run.
TestEntry passedByEmptyPassword(std::string name, const std::string& data, const std::string& password) {
  TestEntry e = entry(std::move(name), "");
  const uint32_t crc = referenceCrc32(data);
  uint8_t random[engine::kEncryptionRandomBytes] = {};
  for (int i = 0; i < 65536; ++i) {
    random[0] = static_cast<uint8_t>(i);
    random[1] = static_cast<uint8_t>(i >> 8);
    engine::ZipKeys keys = engine::initKeys(password);
    uint8_t header[engine::kEncryptionHeaderSize];
    engine::buildEncryptionHeader(keys, crc, random, header);
    if (!engine::tryPassword("", header, crc, e.time)) continue;
    std::string body = data;
    engine::encryptBuffer(keys, reinterpret_cast<uint8_t*>(body.data()), body.size());
    e.data = std::string(reinterpret_cast<const char*>(header), sizeof header) + body;
    e.crc = crc;
    e.uncompressedSize = static_cast<uint32_t>(data.size());
    e.flags = 1;
    return e;
  }
  ADD_FAILURE() << "no header passes the empty password";
  return e;
}

// The files the full test leaves in the temporary base folder.
std::vector<std::string> testFilesLeft() {
  std::vector<std::string> out;
  for (const auto& f : fs::directory_iterator(engine::computeTempBaseFolder()))
    if (f.path().filename().string().rfind(engine::ExtractJob::kTestFilePrefix, 0) == 0) out.push_back(f.path());
  return out;
}

class ExtractFaults : public ExtractTest {};

// Regression: the wrong (empty) password passed the header check and the
// entry was reported as a CRC failure (5) without the prompt, so the right
// password could never be given.
TEST_F(ExtractFaults, PasswordPassingTheHeaderCheckByChanceIsAskedAgain) {
  // Larger than the output buffer, so the failed attempt writes part of it.
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  ZipBuilder b;
  b.entries = {passedByEmptyPassword("SECRET.BIN", data, "right"), entry("PLAIN.TXT", "plain")};
  const std::string zip = archive(b);
  st.askPassword = true;

  // Extraction: the prompt with the retry text, then the right password.
  prompts.password = {{PasswordAnswer::Retry, "right"}};
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Ok);
  ASSERT_EQ(prompts.passwordAsked.size(), 1u);
  EXPECT_EQ(prompts.passwordAsked[0].entryName, "SECRET.BIN");
  EXPECT_FALSE(prompts.passwordAsked[0].firstAttempt);
  EXPECT_EQ(prompts.passwordAsked[0].lastPassword, "");
  EXPECT_EQ(treeOf(file("out")), (std::map<std::string, std::string>{{"SECRET.BIN", data}, {"PLAIN.TXT", "plain"}}));
  // The failed attempt ended with a failed close; the retry with a good one.
  EXPECT_EQ(recorder.of(engine::kNotifyCloseFile),
            (std::vector<DriverEvent>{{engine::kNotifyCloseFile, 0, "SECRET.BIN"},
                                      {engine::kNotifyCloseFile, 1, "SECRET.BIN"},
                                      {engine::kNotifyCloseFile, 1, "PLAIN.TXT"}}));

  // The full test: the same question, one ZNTest per entry, no file left.
  st.password.clear();
  prompts.passwordAsked.clear();
  recorder.events.clear();
  prompts.password = {{PasswordAnswer::Retry, "right"}};
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Ok);
  ASSERT_EQ(prompts.passwordAsked.size(), 1u);
  EXPECT_FALSE(prompts.passwordAsked[0].firstAttempt);
  EXPECT_EQ(recorder.of(engine::kNotifyTest),
            (std::vector<DriverEvent>{{engine::kNotifyTest, 0, "SECRET.BIN"}, {engine::kNotifyTest, 0, "PLAIN.TXT"}}));
  EXPECT_TRUE(testFilesLeft().empty());

  // Bypassed: skipped, and no damaged file stays behind.
  st.password.clear();
  prompts.password = {{PasswordAnswer::Bypass, ""}};
  EXPECT_EQ(unzip(zip, file("bypassed")), ReadStatus::Skipped);
  EXPECT_EQ(treeOf(file("bypassed")), (std::map<std::string, std::string>{{"PLAIN.TXT", "plain"}}));
  // Not asked (asking off, or Never answered earlier): skipped like a
  // password the header check refuses, not a CRC failure.
  st.askPassword = false;
  st.passwordAnswer = engine::kPasswordUnset;
  EXPECT_EQ(unzip(zip, file("unasked")), ReadStatus::Skipped);
  EXPECT_EQ(treeOf(file("unasked")), (std::map<std::string, std::string>{{"PLAIN.TXT", "plain"}}));
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Skipped);
  EXPECT_TRUE(testFilesLeft().empty());
}

// Shapes that real writers make and that the driver took for broken or
// skipped entries.
struct FaultCase {
  const char* label;
  std::vector<TestEntry> entries;
  std::map<std::string, std::string> files;  // what extraction (with folders) writes
  std::vector<std::string> folders;          // folders it must make
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.label; }

// The entry names of events, with "/" separators.
std::set<std::string> namesOf(const std::vector<DriverEvent>& events) {
  std::set<std::string> out;
  for (DriverEvent e : events) {
    std::replace(e.text.begin(), e.text.end(), '\\', '/');
    out.insert(e.text);
  }
  return out;
}

class ExtractFaultShapes : public ExtractTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ExtractFaultShapes, ExtractAndFullTestSucceed) {
  const FaultCase& c = GetParam();
  ZipBuilder b;
  b.entries = c.entries;
  const std::string zip = archive(b);
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("out")), c.files);
  for (const std::string& folder : c.folders) EXPECT_TRUE(fs::is_directory(file("out/" + folder))) << folder;
  // The events name the entries as the files are named.
  std::set<std::string> names;
  for (const auto& [name, data] : c.files) names.insert(name);
  EXPECT_EQ(namesOf(recorder.of(engine::kNotifyOpenFile)), names);

  recorder.events.clear();
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Ok);
  EXPECT_EQ(namesOf(recorder.of(engine::kNotifyTest)), names);
  // Into one file, paths dropped: no entry is skipped either.
  EXPECT_EQ(engine::unzipToFile(st, zip, "*.*", file("one.bin")), ReadStatus::Ok);
}

TestEntry withAttributes(TestEntry e, uint32_t attributes, uint16_t madeBy) {
  e.externalAttributes = attributes;
  e.versionMadeBy = madeBy;
  return e;
}

// META-INF/ as a jar tool writes it: deflated, two bytes of data (an empty
// final block), sizes 0 and CRC 0.
TestEntry deflatedFolder(std::string name) {
  TestEntry e = entry(std::move(name), std::string("\x03\x00", 2));
  e.method = 8;
  e.uncompressedSize = 0;
  e.crc = 0;
  return e;
}

TestEntry withoutLocalName(std::string name, std::string data) {
  TestEntry e = entry("", std::move(data));
  e.centralName = std::move(name);
  return e;
}

const FaultCase kFaultCases[] = {
    {"FolderByDosAttribute",
     {withAttributes(entry("DOSDIR", ""), 0x10, 0x0014), entry("DOSDIR/IN.TXT", "in"),
      withAttributes(entry("NT/SUB", ""), 0x30, 0x0B14), entry("NT/SUB/X.TXT", "x"),
      // The attribute alone does not turn an entry with data into a folder.
      withAttributes(entry("DATA.TXT", "data"), 0x10, 0x0014)},
     {{"DOSDIR/IN.TXT", "in"}, {"NT/SUB/X.TXT", "x"}, {"DATA.TXT", "data"}},
     {"DOSDIR", "NT/SUB"}},
    {"FolderEntryWithDeflatedData",
     {deflatedFolder("META-INF/"), entry("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n")},
     {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"}},
     {"META-INF"}},
    {"EmptyLocalName",
     {withoutLocalName("NAMED.TXT", "named"), withoutLocalName("SUB/DEEP.TXT", "deep")},
     {{"NAMED.TXT", "named"}, {"SUB/DEEP.TXT", "deep"}},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, ExtractFaultShapes, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& i) { return std::string(i.param.label); });

}  // namespace
}  // namespace vz::test
