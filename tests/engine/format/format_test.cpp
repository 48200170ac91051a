// The ZIP format layer: record layouts, CRC-32, DOS stamps, version rules,
// entry names and ZIPITEM building.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "control/engine/format/crc32.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/version_rules.h"
#include "control/engine/format/zip_item.h"
#include "control/engine/format/zip_records.h"
#include "tests/engine/zip_builder.h"

namespace vz::engine {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// ---- records ----

TEST(Records, ParsesTheFieldsAtTheirOffsets) {
  test::ZipBuilder b;
  test::TestEntry e;
  e.name = "DIR/FILE.TXT";
  e.data = "hello";
  e.method = 8;
  e.flags = 0x0801;
  e.versionMadeBy = 0x0B32;
  e.versionNeeded = 20;
  e.time = 0x1234;
  e.date = 0x5678;
  e.localExtra = "LX";
  e.centralExtra = "CEX";
  e.comment = "note";
  e.externalAttributes = 0x00000021;
  b.entries.push_back(e);
  b.comment = "archive";
  const std::vector<uint8_t> zip = bytesOf(b.build());

  const auto local = parseLocalHeader(zip);
  ASSERT_TRUE(local);
  EXPECT_EQ(local->versionNeeded, 20);
  EXPECT_EQ(local->flags, 0x0801);
  EXPECT_EQ(local->method, 8);
  EXPECT_EQ(local->time, 0x1234);
  EXPECT_EQ(local->date, 0x5678);
  EXPECT_EQ(local->crc32, test::referenceCrc32("hello"));
  EXPECT_EQ(local->compressedSize, 5u);
  EXPECT_EQ(local->uncompressedSize, 5u);
  EXPECT_EQ(local->nameLength, 12);
  EXPECT_EQ(local->extraLength, 2);

  const size_t central = kLocalHeaderSize + 12 + 2 + 5;
  const auto c = parseCentralHeader(std::span(zip).subspan(central));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->versionMadeBy, 0x0B32);
  EXPECT_EQ(c->extraLength, 3);
  EXPECT_EQ(c->commentLength, 4);
  EXPECT_EQ(c->externalAttributes, 0x21u);
  EXPECT_EQ(c->localHeaderOffset, 0u);
  EXPECT_TRUE(sharedFieldsMatch(*c, *local));

  const auto end = parseEndRecord(std::span(zip).subspan(zip.size() - kEndRecordSize - 7));
  ASSERT_TRUE(end);
  EXPECT_EQ(end->totalEntries, 1);
  EXPECT_EQ(end->directoryOffset, central);
  EXPECT_EQ(end->directorySize, kCentralHeaderSize + 12 + 3 + 4);
  EXPECT_EQ(end->commentLength, 7);
}

TEST(Records, RefusesShortSpansAndWrongSignatures) {
  const std::vector<uint8_t> end = bytesOf(test::emptyArchive());
  EXPECT_TRUE(parseEndRecord(end));
  EXPECT_FALSE(parseEndRecord(std::span(end).first(21)));
  EXPECT_FALSE(parseLocalHeader(end));  // too short and the wrong signature
  EXPECT_FALSE(parseCentralHeader(end));
  std::vector<uint8_t> local(kLocalHeaderSize, 0);
  EXPECT_FALSE(parseLocalHeader(local));
  EXPECT_FALSE(parseDataDescriptor(std::span(local).first(15)));
}

TEST(Records, EncodeAndParseRoundTrip) {
  CentralHeader c;
  c.versionMadeBy = 0x0314;
  c.versionNeeded = 0x0214;
  c.flags = 0xE009;
  c.method = 6;
  c.time = 0xFFFF;
  c.date = 0x0001;
  c.crc32 = 0xDEADBEEF;
  c.compressedSize = 0x80000001;
  c.uncompressedSize = 0xFFFFFFFF;
  c.nameLength = 7;
  c.extraLength = 9;
  c.commentLength = 0xFFFF;
  c.diskNumberStart = 3;
  c.internalAttributes = 1;
  c.externalAttributes = 0x81A40020;
  c.localHeaderOffset = 0x12345678;
  EXPECT_EQ(parseCentralHeader(encodeCentralHeader(c)), c);
  const LocalHeader l = localHeaderFor(c, 4);
  EXPECT_EQ(parseLocalHeader(encodeLocalHeader(l)), l);
  EXPECT_EQ(l.extraLength, 4);
  EndRecord r{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(parseEndRecord(encodeEndRecord(r)), r);
  DataDescriptor d{1, 2, 3};
  EXPECT_EQ(parseDataDescriptor(encodeDataDescriptor(d)), d);
}

TEST(Records, SharedFieldComparisonIgnoresOnlyTheTopThreeFlagBits) {
  CentralHeader c;
  c.flags = 0x0008;
  LocalHeader l = localHeaderFor(c, 0);
  l.flags = 0xE008;
  EXPECT_TRUE(sharedFieldsMatch(c, l));
  l.flags = 0x1008;  // bit 12 counts
  EXPECT_FALSE(sharedFieldsMatch(c, l));
  l = localHeaderFor(c, 0);
  l.crc32 = 1;
  EXPECT_FALSE(sharedFieldsMatch(c, l));
  l = localHeaderFor(c, 77);  // the extra lengths are not part of the comparison
  EXPECT_TRUE(sharedFieldsMatch(c, l));
}

TEST(Records, NewEntryFieldValues) {
  NewEntryFacts f;
  f.deflated = true;
  f.descriptorFollows = true;
  f.dosDateTime = combineDosDateTime(0x1111, 0x2222);
  f.attributes = 0xFFFFFFFF;
  f.nameLength = 9;
  f.localHeaderOffset = 1234;
  CentralHeader h = newEntryRecord(f);
  EXPECT_EQ(h.versionMadeBy, 0x0B32);
  EXPECT_EQ(h.versionNeeded, 20);
  EXPECT_EQ(h.flags, kFlagDataDescriptor);
  EXPECT_EQ(h.method, 8);
  EXPECT_EQ(h.time, 0x1111);
  EXPECT_EQ(h.date, 0x2222);
  EXPECT_EQ(h.externalAttributes, 0x37u);
  EXPECT_EQ(h.extraLength, 0);
  EXPECT_EQ(h.commentLength, 0);
  EXPECT_EQ(h.diskNumberStart, 0);
  EXPECT_EQ(h.internalAttributes, 0);
  EXPECT_EQ(h.localHeaderOffset, 1234u);
  f = {};
  f.encrypted = true;
  f.attributes = 0x10;
  h = newEntryRecord(f);
  EXPECT_EQ(h.versionNeeded, 10);
  EXPECT_EQ(h.method, 0);
  EXPECT_EQ(h.flags, kFlagEncrypted);
  EXPECT_EQ(h.externalAttributes, 0x10u);
}

// ---- CRC-32 ----

TEST(Crc32, KnownValues) {
  const std::string check = "123456789";
  EXPECT_EQ(crc32(bytesOf(check)), 0xCBF43926u);
  EXPECT_EQ(crc32({}), 0u);
  EXPECT_EQ(crc32Table()[1], 0x77073096u);
}

TEST(Crc32, MatchesTheBitwiseReferenceAtEveryLengthAndAlignment) {
  std::mt19937 rng(42);
  std::vector<uint8_t> data(4096 + 16);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t offset = 0; offset < 8; ++offset)
    for (size_t len : {0, 1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 1000, 4096}) {
      const uint8_t* p = data.data() + offset;
      EXPECT_EQ(crc32Update(0, p, len), test::referenceCrc32(p, len)) << offset << "+" << len;
    }
}

TEST(Crc32, ContinuesAcrossPiecesAndStepsLikeTheTable) {
  std::string text(3000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
  const uint32_t whole = test::referenceCrc32(text);
  uint32_t crc = 0;
  for (size_t at = 0; at < text.size(); at += 13)
    crc = crc32Update(crc, text.data() + at, std::min<size_t>(13, text.size() - at));
  EXPECT_EQ(crc, whole);
  uint32_t reg = 0xFFFFFFFF;
  for (char c : text) reg = crc32Step(reg, static_cast<uint8_t>(c));
  EXPECT_EQ(~reg, whole);
}

// ---- DOS stamps ----

TEST(DosTime, PacksFieldsAndTruncatesSecondsToEven) {
  LocalTime t{2021, 7, 15, 13, 45, 31};
  EXPECT_EQ(dosTimeOf(t), 13 * 2048 + 45 * 32 + 15);
  EXPECT_EQ(dosDateOf(t), (2021 - 1980) * 512 + 7 * 32 + 15);
  const uint32_t both = combineDosDateTime(dosTimeOf(t), dosDateOf(t));
  EXPECT_EQ(dosTimePart(both), dosTimeOf(t));
  EXPECT_EQ(dosDatePart(both), dosDateOf(t));
  const LocalTime back = localTimeOfDos(both);
  EXPECT_EQ(back.year, 2021);
  EXPECT_EQ(back.second, 30);
}

TEST(DosTime, YearsOutsideTheFieldAndTheTwoDigitYear) {
  // 1979: year field 0, month, day and time kept; listed as 80.
  const uint16_t d1979 = dosDateOf({1979, 12, 31, 0, 0, 0});
  EXPECT_EQ(d1979, 12 * 32 + 31);
  EXPECT_EQ(dosTwoDigitYear(d1979), 80);
  EXPECT_EQ(dosTwoDigitYear(dosDateOf({2000, 1, 1, 0, 0, 0})), 0);
  EXPECT_EQ(dosTwoDigitYear(dosDateOf({2099, 1, 1, 0, 0, 0})), 99);
  // 2200 does not wrap into 1980.
  EXPECT_EQ(dosDateOf({2200, 3, 4, 0, 0, 0}) >> 9, 127);
  EXPECT_EQ(dosMonth(dosDateOf({2200, 3, 4, 0, 0, 0})), 3);
}

TEST(DosTime, ConvertsThroughLocalTime) {
  setenv("TZ", "UTC", 1);
  tzset();
  const std::time_t t = 1600000000;  // 2020-09-13 12:26:40 UTC
  const uint32_t dt = dosDateTimeOf(t);
  EXPECT_EQ(dosHour(dosTimePart(dt)), 12);
  EXPECT_EQ(dosMinute(dosTimePart(dt)), 26);
  EXPECT_EQ(timeOfDosDateTime(dt), t);
  EXPECT_FALSE(timeOfDosDateTime(0));  // month 0, day 0
}

// ---- version rules ----

TEST(VersionRules, MadeUnderMajorMinorAndExtractable) {
  for (int host = 0; host <= 8; ++host) EXPECT_EQ(madeUnderOf(static_cast<uint16_t>(host << 8 | 20)), host);
  EXPECT_EQ(madeUnderOf(0x0B32), 11);
  for (int host : {9, 10, 12, 14, 30, 255}) EXPECT_EQ(madeUnderOf(static_cast<uint16_t>(host << 8)), 9) << host;
  EXPECT_EQ(versionMajorOf(0x0B32), 5);
  EXPECT_EQ(versionMinorOf(0x0B32), 0);
  EXPECT_EQ(versionMajorOf(0x0317), 2);
  EXPECT_EQ(versionMinorOf(0x0317), 3);

  for (uint16_t m : {0, 1, 2, 3, 4, 5, 6, 8}) EXPECT_TRUE(isExtractable(m, 0x0014)) << m;
  for (uint16_t m : {7, 9, 12, 99}) EXPECT_FALSE(isExtractable(m, 0x0014)) << m;
  EXPECT_FALSE(isExtractable(8, 0x0015));
  EXPECT_FALSE(isExtractable(8, 0x0214));
  EXPECT_TRUE(isExtractable(8, 0x0314));
  EXPECT_EQ(reportedMethod(8), 8);
  EXPECT_EQ(reportedMethod(9), 9);
  EXPECT_EQ(reportedMethod(12), 9);
}

// ---- names ----

TEST(EntryNames, ProcessingUpperCasesAndTurnsSlashes) {
  bool cut = true;
  EXPECT_EQ(processEntryName("docs/readme.txt", 15, 0, &cut), "DOCS\\README.TXT");
  EXPECT_FALSE(cut);
  // CP437 bytes (not UTF-8) become UTF-8 text; Latin-1 letters are upper-cased.
  EXPECT_EQ(processEntryName("\x84.txt", 5, 0, &cut), "\xC3\x84.TXT");
  EXPECT_EQ(processEntryName("\xC3\xA4.txt", 6, 0x0800, &cut), "\xC3\x84.TXT");
}

TEST(EntryNames, Bit11OrValidUtf8KeepTheBytesOtherNamesAreCp437) {
  EXPECT_EQ(entryNameToUtf8("\x81"
                            "ber.txt",
                            0),
            "über.txt");
  EXPECT_EQ(entryNameToUtf8("\x81"
                            "ber.txt",
                            kFlagUtf8Name),
            "\x81"
            "ber.txt");
  EXPECT_EQ(entryNameToUtf8("über.txt", 0), "über.txt");
  EXPECT_EQ(entryNameToUtf8("plain/name.txt", 0x0008), "plain/name.txt");
}

TEST(EntryNames, LongNamesAreCutAt1023BytesWithoutSplittingACharacter) {
  bool cut = false;
  const std::string ascii(1023, 'a');
  EXPECT_EQ(processEntryName(ascii, 1500, 0, &cut), std::string(1023, 'A'));
  EXPECT_TRUE(cut);
  // 1022 ASCII bytes then a two-byte character: its first byte is the 1023rd.
  const std::string utf8 = std::string(1022, 'b') + "\xC3";
  const std::string processed = processEntryName(utf8, 1500, 0, &cut);
  EXPECT_EQ(processed, std::string(1022, 'B'));
  EXPECT_TRUE(cut);
}

TEST(EntryNames, SplitIntoDirectoryAndName) {
  NameParts p = splitEntryName("DOCS\\README.TXT");
  EXPECT_EQ(p.directory, "DOCS\\");
  EXPECT_EQ(p.name, "README.TXT");
  p = splitEntryName("README.TXT");
  EXPECT_EQ(p.directory, "");
  EXPECT_EQ(p.name, "README.TXT");
  p = splitEntryName("A\\B\\");
  EXPECT_EQ(p.directory, "A\\B\\");
  EXPECT_EQ(p.name, "");
}

// ---- ZIPITEM ----

TEST(ZipItem, RateRule) {
  EXPECT_EQ(compressionRate(0, 0), 0);
  EXPECT_EQ(compressionRate(1000, 250), 75);
  EXPECT_EQ(compressionRate(1000, 1000), 0);
  EXPECT_EQ(compressionRate(1000, 1200), 0);  // grew
  EXPECT_EQ(compressionRate(1000, 995), 1);   // 0.5 + 0.5 rounds up to 1
  EXPECT_EQ(compressionRate(1000, 996), 0);   // 0.4 + 0.5
  EXPECT_EQ(compressionRate(1000, 0), 100);
  EXPECT_EQ(compressionRate(3, 1), 67);
}

TEST(ZipItem, FieldsFromTheCentralEntry) {
  CentralHeader h;
  h.flags = 1;
  h.method = 12;
  h.date = static_cast<uint16_t>(6 << 5 | 30);  // year field 0: 1980
  h.time = static_cast<uint16_t>(23 << 11 | 59 << 5 | 29);
  h.uncompressedSize = 2000;
  h.compressedSize = 500;
  h.externalAttributes = 0x27;
  h.commentLength = 3;
  h.crc32 = 0xFEDCBA98;
  ZIPITEM item = makeZipItem(h, "DOCS\\README.TXT");
  EXPECT_EQ(item.name, "README.TXT");
  EXPECT_EQ(item.directory, "DOCS\\");
  EXPECT_EQ(item.isDirectory, 0);
  EXPECT_EQ(item.isEncrypted, 1);
  EXPECT_EQ(item.method, 9);
  EXPECT_EQ(item.day, 30);
  EXPECT_EQ(item.month, 6);
  EXPECT_EQ(item.year, 80);
  EXPECT_EQ(item.hour, 23);
  EXPECT_EQ(item.minute, 59);
  EXPECT_EQ(item.originalSize, 2000u);
  EXPECT_EQ(item.rate, 75);
  EXPECT_EQ(item.isArchive, 0x20);
  EXPECT_EQ(item.isHidden, 2);
  EXPECT_EQ(item.isSystem, 4);
  EXPECT_EQ(item.isReadOnly, 1);
  EXPECT_EQ(item.isAnnotated, 1);
  EXPECT_EQ(item.crc, 0xFEDCBA98u);

  h.externalAttributes = 0x10;
  item = makeZipItem(h, "DOCS\\");
  EXPECT_EQ(item.isDirectory, 0x10);
  EXPECT_EQ(item.name, "");
  EXPECT_EQ(item.originalSize, 0u);
  EXPECT_EQ(item.rate, 0);
}

TEST(ZipItem, TextFieldsKeepAt259BytesAtACharacterBoundary) {
  const std::string longName = std::string(258, 'A') + "\xC3\x84" + "B";
  const ZIPITEM item = makeZipItem({}, "DIR\\" + longName);
  EXPECT_EQ(item.name, std::string(258, 'A'));
  EXPECT_EQ(item.directory, "DIR\\");
}

}  // namespace
}  // namespace vz::engine
