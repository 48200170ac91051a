// The read side's input buffering, end-record search, correction cases and
// central directory walk, on archives built byte by byte (zip_builder.h).
#include "control/engine/read/directory_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/engine/read/archive_input.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

class DirectoryReaderTest : public ::testing::Test {
 protected:
  std::string write(const std::string& bytes, const std::string& name = "a.zip") {
    const std::string path = dir_.file(name);
    test::writeFile(path, bytes);
    return path;
  }
  // Opens and locates; the search's status.
  ReadStatus locate(DirectoryReader& r, const std::string& bytes) {
    EXPECT_TRUE(r.open(write(bytes)));
    return r.locateEndRecord();
  }
  std::vector<std::string> names(DirectoryReader& r, ReadStatus* walkStatus = nullptr) {
    std::vector<std::string> out;
    const ReadStatus s = r.walk({}, [&](const CentralEntry& e) {
      out.push_back(e.name);
      return true;
    });
    if (walkStatus) *walkStatus = s;
    return out;
  }

  test::ScopedRoot root_;
  test::ScratchDir dir_{"engine-dir"};
  UnzipState st_;
};

test::ZipBuilder twoFiles() {
  test::ZipBuilder b;
  test::TestEntry a;
  a.name = "docs/readme.txt";
  a.data = "read me";
  test::TestEntry c;
  c.name = "data.bin";
  c.data = std::string(100, 'x');
  b.entries = {a, c};
  return b;
}

// ---- buffered input ----

TEST_F(DirectoryReaderTest, InputReadsAlignedBlocksAndSeeksInsideWithoutReading) {
  std::string bytes(3 * ArchiveInput::kBlockSize + 100, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  ArchiveInput in;
  ASSERT_TRUE(in.open(write(bytes, "blocks.bin")));
  EXPECT_EQ(in.size(), static_cast<int64_t>(bytes.size()));
  uint8_t b[8];
  ASSERT_TRUE(in.seek(ArchiveInput::kBlockSize + 10));
  ASSERT_TRUE(in.read(b, 4));
  EXPECT_EQ(b[0], static_cast<uint8_t>((ArchiveInput::kBlockSize + 10) % 251));
  EXPECT_EQ(in.blockReads(), 1u);
  ASSERT_TRUE(in.seek(ArchiveInput::kBlockSize + 5000));  // same block: no read
  ASSERT_TRUE(in.read(b, 8));
  ASSERT_TRUE(in.seek(ArchiveInput::kBlockSize));
  ASSERT_TRUE(in.read(b, 1));
  EXPECT_EQ(in.blockReads(), 1u);
  // A read across a block boundary fills the next block.
  ASSERT_TRUE(in.seek(2 * ArchiveInput::kBlockSize - 2));
  ASSERT_TRUE(in.read(b, 4));
  EXPECT_EQ(b[3], static_cast<uint8_t>((2 * ArchiveInput::kBlockSize + 1) % 251));
  EXPECT_EQ(in.blockReads(), 2u);
  // The short last block, and nothing past the end.
  ASSERT_TRUE(in.seek(static_cast<int64_t>(bytes.size()) - 4));
  EXPECT_TRUE(in.read(b, 4));
  EXPECT_FALSE(in.read(b, 1));
  ASSERT_TRUE(in.seek(static_cast<int64_t>(bytes.size()) - 2));
  EXPECT_FALSE(in.read(b, 4));
  EXPECT_FALSE(in.seek(-1));
  in.close();
  EXPECT_FALSE(in.read(b, 1));
}

// ---- opening ----

TEST_F(DirectoryReaderTest, OpeningMissingFilesFoldersAndTheZipSuffix) {
  DirectoryReader r(st_);
  EXPECT_FALSE(r.open(dir_.file("missing.zip")));
  // A folder names the archive beside it with ".ZIP" appended.
  std::filesystem::create_directory(dir_.file("arch"));
  EXPECT_FALSE(r.open(dir_.file("arch")));
  write(test::emptyArchive(), "arch.ZIP");
  ASSERT_TRUE(r.open(dir_.file("arch")));
  EXPECT_EQ(r.archivePath(), dir_.file("arch") + ".ZIP");
  EXPECT_EQ(r.locateEndRecord(), ReadStatus::Corrected);
}

// ---- end record search ----

TEST_F(DirectoryReaderTest, EmptyFileAndTinyFilesHaveNoEndRecord) {
  DirectoryReader r(st_);
  EXPECT_EQ(locate(r, ""), ReadStatus::NotZip);
  EXPECT_EQ(locate(r, "PK\x05\x06"), ReadStatus::NotZip);
  const std::string end = test::emptyArchive();
  EXPECT_EQ(locate(r, end.substr(0, 21)), ReadStatus::NotZip);
  EXPECT_EQ(locate(r, end), ReadStatus::Corrected);  // an empty archive
}

TEST_F(DirectoryReaderTest, EndOnlyArchiveListsNothingAndKeepsItsComment) {
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, test::emptyArchive("just a comment")), ReadStatus::Corrected);
  EXPECT_EQ(r.endRecord().totalEntries, 0);
  ReadStatus s = ReadStatus::NotZip;
  EXPECT_TRUE(names(r, &s).empty());
  EXPECT_EQ(s, ReadStatus::Ok);
  EXPECT_EQ(r.archiveComment(1000), "just a comment");
  EXPECT_EQ(r.archiveComment(4), "just");
}

TEST_F(DirectoryReaderTest, FindsTheRecordAtEveryDistanceInTheWindowAndNoFurther) {
  // Comment lengths put the record at distances 22 .. 65,557 from the end;
  // sizes around the block boundaries exercise the remainder rule and
  // signatures straddling two blocks.
  const size_t block = ArchiveInput::kBlockSize;
  for (size_t prefix : {0, 5, 1000}) {
    const size_t base = twoFiles().build().size() + prefix;
    std::vector<size_t> commentLengths = {0, 1, 18, 19, 20, 21, 22, 23, 100, 65535};
    for (size_t k = 1; k <= 3; ++k)
      for (int d = -30; d <= 30; ++d) commentLengths.push_back(k * block + static_cast<size_t>(d + 100) - 100 - base);
    for (size_t c : commentLengths) {
      if (c > 65535) continue;
      test::ZipBuilder b = twoFiles();
      b.prefix = std::string(prefix, 'z');
      b.offsetsIncludePrefix = false;
      b.comment = std::string(c, 'c');
      DirectoryReader r(st_);
      const ReadStatus expected = prefix ? ReadStatus::PrefixData : ReadStatus::Ok;
      ASSERT_EQ(locate(r, b.build()), expected) << "prefix " << prefix << " comment " << c;
      EXPECT_EQ(r.extraBytes(), static_cast<int64_t>(prefix));
      EXPECT_EQ(names(r).size(), 2u);
    }
  }
}

TEST_F(DirectoryReaderTest, SignatureStraddlingBlockBoundariesIsFound) {
  // Archives whose end record starts in the last 1..3 bytes of a block.
  const size_t block = ArchiveInput::kBlockSize;
  const size_t base = twoFiles().build().size();
  for (size_t boundary : {block, 2 * block}) {
    for (size_t back = 1; back <= 3; ++back) {
      for (size_t tail : {0, 1, 18, 19, 21, 22, 40}) {
        test::ZipBuilder b = twoFiles();
        // Grow the first entry so that the end record starts at boundary - back.
        const size_t endPos = boundary - back;
        b.entries[0].data += std::string(endPos - (base - 22), 'p');
        b.trailing = std::string(tail, 't');
        b.commentLength = static_cast<uint16_t>(tail);
        const std::string bytes = b.build();
        ASSERT_EQ(bytes.size(), endPos + 22 + tail);
        DirectoryReader r(st_);
        ASSERT_EQ(locate(r, bytes), ReadStatus::Ok) << boundary << " " << back << " " << tail;
        EXPECT_EQ(r.endRecordPosition(), static_cast<int64_t>(endPos));
      }
    }
  }
}

TEST_F(DirectoryReaderTest, RecordFurtherThanTheWindowIsRefused) {
  test::ZipBuilder b = twoFiles();
  b.comment = std::string(65535, 'c');
  const std::string atLimit = b.build();
  DirectoryReader r(st_);
  EXPECT_EQ(locate(r, atLimit), ReadStatus::Ok);
  // One more byte behind it puts the record 65,558 bytes before the end.
  EXPECT_EQ(locate(r, atLimit + "x"), ReadStatus::NotZip);
}

TEST_F(DirectoryReaderTest, TheLastSignatureInTheWindowWins) {
  // An end record inside the archive comment is met first from the end and
  // taken: here a fake empty one, so the archive lists nothing.
  test::ZipBuilder b = twoFiles();
  b.comment = std::string("PK\x05\x06", 4) + std::string(18, '\0') + "tail";
  DirectoryReader r(st_);
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Corrected);
  EXPECT_EQ(r.endRecord().totalEntries, 0);
  EXPECT_TRUE(names(r).empty());
  // A signature in the last 21 bytes cannot start a record and is passed over.
  b.comment = std::string("PK\x05\x06", 4) + "tail";
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Ok);
  EXPECT_EQ(names(r).size(), 2u);
}

// ---- extra bytes and the correction cases ----

TEST_F(DirectoryReaderTest, PrefixDataWithAndWithoutAdjustedOffsets) {
  test::ZipBuilder b = twoFiles();
  b.prefix = std::string(300, '\x90');
  DirectoryReader r(st_);
  // Offsets written absolute (a stub whose archive was adjusted): no extra
  // bytes at all.
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Ok);
  EXPECT_EQ(r.extraBytes(), 0);
  EXPECT_EQ(names(r), (std::vector<std::string>{"DOCS\\README.TXT", "DATA.BIN"}));
  // Offsets relative to the archive's own start: status 17.
  b.offsetsIncludePrefix = false;
  EXPECT_EQ(locate(r, b.build()), ReadStatus::PrefixData);
  EXPECT_EQ(r.extraBytes(), 300);
  EXPECT_EQ(names(r).size(), 2u);
  LocalEntry local;
  r.rewind();
  ASSERT_EQ(r.readNextEntry(), ReadStatus::Ok);
  ASSERT_EQ(r.readLocalHeader(r.current().header, local), ReadStatus::Ok);
  EXPECT_EQ(local.position, 300);
  EXPECT_EQ(local.name, "DOCS\\README.TXT");
}

TEST_F(DirectoryReaderTest, DirectoryOffsetZeroTakesTheExtraBytes) {
  test::ZipBuilder b = twoFiles();
  b.directoryOffset = 0;
  DirectoryReader r(st_);
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Corrected);
  EXPECT_EQ(r.extraBytes(), 0);
  EXPECT_NE(r.endRecord().directoryOffset, 0u);
  EXPECT_EQ(names(r).size(), 2u);
}

TEST_F(DirectoryReaderTest, NegativeExtraBytesClosesTheArchive) {
  test::ZipBuilder b = twoFiles();
  b.directorySize = 0x7FFFFFF0;  // claims to reach far beyond the end record
  DirectoryReader r(st_);
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Corrected);  // readable for the quick test
  ReadStatus s = ReadStatus::Ok;
  names(r, &s);
  EXPECT_EQ(s, ReadStatus::NotZip);
  CentralHeader h;
  LocalEntry l;
  EXPECT_EQ(r.readLocalHeader(h, l), ReadStatus::NotZip);
}

TEST_F(DirectoryReaderTest, DirectoryOffsetOutsideTheFile) {
  test::ZipBuilder b = twoFiles();
  b.directoryOffset = 0x00200000;  // 2 MiB past the end
  b.directorySize = 0;
  DirectoryReader r(st_);
  // extra bytes become negative: closed, readable for the quick test only.
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Corrected);
  ReadStatus s = ReadStatus::Ok;
  names(r, &s);
  EXPECT_EQ(s, ReadStatus::NotZip);
  // Size and offset both wrong: neither the shifted nor the stored offset
  // holds a central header.
  const std::string plain = twoFiles().build();
  const uint8_t* sizeField = reinterpret_cast<const uint8_t*>(plain.data()) + plain.size() - 22 + 12;
  const uint32_t realSize = sizeField[0] | sizeField[1] << 8 | sizeField[2] << 16 | sizeField[3] << 24;
  b.directorySize = realSize - 10;
  b.directoryOffset = 1;
  EXPECT_EQ(locate(r, b.build()), ReadStatus::NotZip);
  // Size wrong, offset right: found at the stored offset (status 1).
  b.directoryOffset.reset();
  EXPECT_EQ(locate(r, b.build()), ReadStatus::Corrected);
  EXPECT_EQ(names(r).size(), 2u);
}

TEST_F(DirectoryReaderTest, EntryCountThatLies) {
  test::ZipBuilder b = twoFiles();
  b.totalEntries = 3;  // one more than there are
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  ReadStatus s = ReadStatus::Ok;
  EXPECT_EQ(names(r, &s).size(), 2u);
  EXPECT_EQ(s, ReadStatus::NotZip);
  b.totalEntries = 1;  // fewer: the walk reads only that many
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  EXPECT_EQ(names(r, &s).size(), 1u);
  EXPECT_EQ(s, ReadStatus::Ok);
}

TEST_F(DirectoryReaderTest, LengthsRunningPastTheEndOfTheFile) {
  for (int which = 0; which < 3; ++which) {
    test::ZipBuilder b = twoFiles();
    test::TestEntry& last = b.entries[1];
    if (which == 0) last.nameLengthOverride = 0xFFFF;
    if (which == 1) last.extraLengthOverride = 0xFFF0;
    if (which == 2) last.commentLengthOverride = 0xFFF0;
    DirectoryReader r(st_);
    ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok) << which;
    ReadStatus s = ReadStatus::Ok;
    EXPECT_EQ(names(r, &s).size(), 1u) << which;
    EXPECT_EQ(s, ReadStatus::NotZip) << which;
  }
}

TEST_F(DirectoryReaderTest, LocalHeaderOffsetOutsideTheFileOrWrong) {
  test::ZipBuilder b = twoFiles();
  b.entries[1].localOffset = 0x7FFFFFFF;
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  LocalEntry l;
  r.rewind();
  ASSERT_EQ(r.readNextEntry(), ReadStatus::Ok);
  EXPECT_EQ(r.readLocalHeader(r.current().header, l), ReadStatus::Ok);
  ASSERT_EQ(r.readNextEntry(), ReadStatus::Ok);
  EXPECT_EQ(r.readLocalHeader(r.current().header, l), ReadStatus::NotZip);
  b.entries[1].localOffset = 3;  // not a local header
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  r.rewind();
  ASSERT_EQ(r.readNextEntry(), ReadStatus::Ok);
  ASSERT_EQ(r.readNextEntry(), ReadStatus::Ok);
  EXPECT_EQ(r.readLocalHeader(r.current().header, l), ReadStatus::NotZip);
}

// ---- the walk ----

TEST_F(DirectoryReaderTest, LongNamesAreCutWithStatus10AndTheWalkGoesOn) {
  test::ZipBuilder b = twoFiles();
  b.entries[0].name = std::string(1500, 'n');
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  ReadStatus s = ReadStatus::Ok;
  const auto n = names(r, &s);
  EXPECT_EQ(s, ReadStatus::Skipped);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0], std::string(1023, 'N'));
  EXPECT_EQ(n[1], "DATA.BIN");
  EXPECT_TRUE(r.namesCut());
}

TEST_F(DirectoryReaderTest, WalkResumesAfterReadingLocalHeadersAndData) {
  test::ZipBuilder b;
  for (int i = 0; i < 200; ++i) {
    test::TestEntry e;
    e.name = "dir/file" + std::to_string(i) + ".txt";
    e.data = std::string(static_cast<size_t>(i * 37), static_cast<char>('a' + i % 26));
    e.comment = i % 3 ? "" : "c" + std::to_string(i);
    b.entries.push_back(e);
  }
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, b.build()), ReadStatus::Ok);
  r.rewind();
  int i = 0;
  WalkOptions opts;
  opts.readComments = true;
  while (r.hasMoreEntries()) {
    ASSERT_EQ(r.readNextEntry(opts), ReadStatus::Ok);
    const CentralEntry& e = r.current();
    EXPECT_EQ(e.name, "DIR\\FILE" + std::to_string(i) + ".TXT");
    EXPECT_EQ(e.comment, b.entries[static_cast<size_t>(i)].comment);
    LocalEntry l;
    ASSERT_EQ(r.readLocalHeader(e.header, l), ReadStatus::Ok);
    std::string data(l.header.compressedSize, '\0');
    ASSERT_TRUE(r.input().read(data.data(), data.size()));
    EXPECT_EQ(data, b.entries[static_cast<size_t>(i)].data);
    ++i;
  }
  EXPECT_EQ(i, 200);
}

TEST_F(DirectoryReaderTest, WalkStopsOnCancelWhenAskedTo) {
  DirectoryReader r(st_);
  ASSERT_EQ(locate(r, twoFiles().build()), ReadStatus::Ok);
  WalkOptions opts;
  opts.honourCancel = true;
  int seen = 0;
  EXPECT_EQ(r.walk(opts,
                   [&](const CentralEntry&) {
                     st_.cancel = true;
                     ++seen;
                     return true;
                   }),
            ReadStatus::Ok);
  EXPECT_EQ(seen, 1);
  EXPECT_TRUE(r.cancelled());
  seen = 0;
  EXPECT_EQ(r.walk({}, [&](const CentralEntry&) { return ++seen, true; }), ReadStatus::Ok);
  EXPECT_EQ(seen, 2);  // without the option the flag is not looked at
}

}  // namespace
}  // namespace vz::engine
