// The list-box line of an item: its exact text, and that every line the
// writer makes reads back as the same ZIPITEM, whatever the name holds.
#include "control/engine/items/item_line.h"

#include <gtest/gtest.h>

#include "tests/engine/items/item_test_util.h"

namespace vz::engine {
namespace {

using test::expectSameItem;

ZIPITEM sampleItem() {
  ZIPITEM it;
  it.name = "README.TXT";
  it.directory = "DOCS\\";
  it.isArchive = 0x20;
  it.method = 8;
  it.hour = 12;
  it.minute = 30;
  it.day = 5;
  it.month = 9;
  it.year = 10;
  it.originalSize = 26;
  it.rate = 4;
  it.iconIndex = 7;
  it.crc = 0xC3EDD7C0u;
  return it;
}

TEST(ItemLine, HasTheDesignedText) {
  ZIPITEM it = sampleItem();
  EXPECT_EQ(formatItemLine(it), "208;12;30;5;9;10;26;4;7;3287144384;DOCS\\:README.TXT");
  it.isEncrypted = 1;
  it.isAnnotated = 1;
  it.isReadOnly = 1;
  it.directory.clear();
  EXPECT_EQ(formatItemLine(it), "e18;12;30;5;9;10;26;4;7;3287144384; :README.TXT");
  // A directory entry: no name, written as a blank.
  ZIPITEM dir;
  dir.directory = "SUB\\";
  dir.isDirectory = 0x10;
  EXPECT_EQ(formatItemLine(dir), "100;0;0;0;0;0;0;0;0;0;SUB\\: ");
}

TEST(ItemLine, ReadsBackEveryItemItWrites) {
  std::vector<ZIPITEM> items;
  const std::vector<std::pair<std::string, std::string>> paths = {
      {"", "A.TXT"},
      {"SUB\\", ""},                // a directory entry
      {"", ""},                     // nothing at all
      {"A;B\\", "C;D.TXT"},         // ";" in both parts
      {"X:Y\\", "TIME 12:30.LOG"},  // ":" in both parts
      {"A:;\\B;:\\", ";:;:"},       // both, everywhere
      {"", ":"},
      {"", ";"},
      {"", " "},        // a name that is one blank
      {"  \\", "   "},  // blanks only
      {"DIR\\", "TRAILING:"},
      {"\xC3\x9C"
       "BER\\",
       "\xE4\xB8\x96\xE7\x95\x8C.TXT"},
      {std::string(300, 'D').substr(0, 259), "CUT.TXT"},    // a directory cut to its block
      {"A\\" + std::string(250, 'B') + ":::::", ":NAME:"},  // cut, ":" at the cut and in the name
      {std::string(256, 'E') + "\xE2\x82", "X"},            // cut inside a character (as makeZipItem never does)
  };
  for (const auto& [dir, name] : paths) {
    ZIPITEM it = sampleItem();
    it.directory = dir;
    it.name = name;
    items.push_back(it);
  }
  // Every flag, the extremes of every number.
  for (int bits = 0; bits < 128; ++bits) {
    ZIPITEM it = sampleItem();
    it.isReadOnly = bits & 1;
    it.isHidden = (bits & 2) ? 2 : 0;
    it.isSystem = (bits & 4) ? 4 : 0;
    it.isDirectory = (bits & 8) ? 0x10 : 0;
    it.isArchive = (bits & 16) ? 0x20 : 0;
    it.isEncrypted = (bits & 32) ? 1 : 0;
    it.isAnnotated = (bits & 64) ? 1 : 0;
    it.method = bits % 10;
    items.push_back(it);
  }
  ZIPITEM big = sampleItem();
  big.originalSize = 0xFFFFFFFFu;
  big.crc = 0xFFFFFFFFu;
  big.iconIndex = 1234567;
  big.rate = 100;
  big.year = 99;
  items.push_back(big);

  for (const ZIPITEM& it : items) {
    const std::string line = formatItemLine(it);
    ZIPITEM back;
    back.name = "untouched";
    ASSERT_TRUE(parseItemLine(line, back)) << line;
    expectSameItem(back, it, line);
  }
}

TEST(ItemLine, ItemsFromCentralHeadersReadBackThroughTheirLines) {
  // Attribute bytes that use 0x40 and 0x80 themselves (0x80: a "normal"
  // file) do not leak into the encrypted and comment flags.
  CentralHeader h;
  h.method = 12;
  h.externalAttributes = 0x81A400C1;  // Unix mode above, 0x80 | 0x40 | read-only below
  h.flags = 0;
  h.uncompressedSize = 100;
  h.compressedSize = 40;
  ZIPITEM it = makeZipItem(h, "DIR\\FILE.TXT");
  EXPECT_EQ(formatItemLine(it).substr(0, 3), "019");
  ZIPITEM back;
  ASSERT_TRUE(parseItemLine(formatItemLine(it), back));
  expectSameItem(back, it, "attributes 0xC1");
  EXPECT_EQ(back.isEncrypted, 0);
  EXPECT_EQ(back.isAnnotated, 0);

  // A stored name too long for the directory block.
  const std::string longDir(400, 'Q');
  it = makeZipItem(h, longDir + "\\A:B;C");
  ASSERT_EQ(it.directory.size(), ZIPITEM::kTextBytes);
  ASSERT_TRUE(parseItemLine(formatItemLine(it), back));
  expectSameItem(back, it, "cut directory");
}

TEST(ItemLine, ABlankReadsAsEmptyAndMalformedLinesAreRefused) {
  ZIPITEM it;
  ASSERT_TRUE(parseItemLine("201;1;2;3;4;5;6;7;8;9; : ", it));
  EXPECT_EQ(it.directory, "");
  EXPECT_EQ(it.name, "");
  EXPECT_EQ(it.method, 1);
  EXPECT_EQ(it.crc, 9u);
  ASSERT_TRUE(parseItemLine("201;1;2;3;4;5;6;7;8;9; :", it));  // an empty name field is empty too
  EXPECT_EQ(it.name, "");

  const char* bad[] = {
      "",
      "201",
      "201;1;2;3;4;5;6;7;8;9",               // no DIR:NAME
      "201;1;2;3;4;5;6;7;8;9;NAME",          // no boundary
      "201;1;2;3;4;5;6;7;8;9;DIR\\NAME",     // the closing "\" without ":"
      "2011;1;2;3;4;5;6;7;8;9; :A",          // flag field too long
      "2g1;1;2;3;4;5;6;7;8;9; :A",           // not hex
      "20x;1;2;3;4;5;6;7;8;9; :A",           // no method digit
      "201;1;;3;4;5;6;7;8;9; :A",            // an empty number
      "201;1;2;3;4;5;6;7;8;4294967296; :A",  // CRC beyond 32 bits
      "201;1;2;3;4;5;-6;7;8;9; :A",          // a negative size
      "201;1;2;3;4;5;6;7;8;+9; :A",
      "201;1;2;3;4;5;6;7;8;9x; :A",
      "201;1;2;3;4;5;6;7;8;9;X:A",  // a directory without its "\"
  };
  for (const char* line : bad) {
    ZIPITEM untouched;
    untouched.name = "keep";
    EXPECT_FALSE(parseItemLine(line, untouched)) << line;
    EXPECT_EQ(untouched.name, "keep");
  }
}

}  // namespace
}  // namespace vz::engine
