// The encryption pass: what it encrypts and what it leaves, its "nothing
// to do", the entry with a data descriptor, the encryption headers it
// writes, its reports, and how ZipFiles reports it.
#include "control/engine/write/encrypt_pass.h"
#include "control/engine/format/zip_crypto.h"
#include "control/engine/write/zip_writer.h"
#include "control/engine/write/zip_writer_file.h"
#include "tests/engine/write/writer_test_util.h"

namespace vz::test {
namespace {

class EncryptPass : public WriterTest {
 protected:
  // Whether password opens the entry's encryption header.
  bool opens(const std::string& archive, const std::string& name, const std::string& password) {
    const ArchiveView v = viewArchive(archive);
    const EntryView* e = v.find(name);
    if (!e) return false;
    const std::string bytes = fileText(archive);
    const size_t nameLen = static_cast<uint8_t>(bytes[e->offset + 26]) | static_cast<uint8_t>(bytes[e->offset + 27])
                                                                             << 8;
    const size_t extraLen = static_cast<uint8_t>(bytes[e->offset + 28]) | static_cast<uint8_t>(bytes[e->offset + 29])
                                                                              << 8;
    const auto* header = reinterpret_cast<const uint8_t*>(bytes.data() + e->offset + 30 + nameLen + extraLen);
    return engine::tryPassword(password, header, e->crc, static_cast<uint16_t>(e->dosDateTime & 0xFFFF));
  }
};

TEST_F(EncryptPass, NothingToDoLeavesTheFileUntouched) {
  const std::string empty = dir_.file("empty.zip");
  put(empty, emptyArchive("just a comment"));
  EXPECT_EQ(engine::encryptArchive(engine_, empty, "pw"), engine::EncryptStatus::NothingToDo);
  EXPECT_EQ(fileText(empty), emptyArchive("just a comment"));

  put(dir_.file("src/A.TXT"), textBytes(1000));
  fs::create_directories(dir_.file("src/DIR"));
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*"), 0, 1, false, 0, "pw"), 0);
  const std::string once = fileText(a);
  setMtime(a, 1000000000);
  // Every entry encrypted or a directory: nothing to do, same bytes, same time.
  EXPECT_EQ(engine::encryptArchive(engine_, a, "other"), engine::EncryptStatus::NothingToDo);
  EXPECT_EQ(fileText(a), once);
  EXPECT_EQ(getFileTime(a), std::optional<std::time_t>(1000000000));

  const std::string dirs = dir_.file("dirs.zip");
  ASSERT_EQ(zip(dirs, dir_.file("src/DIR")), 0);
  const std::string dirsBefore = fileText(dirs);
  EXPECT_EQ(engine::encryptArchive(engine_, dirs, "pw"), engine::EncryptStatus::NothingToDo);
  EXPECT_EQ(fileText(dirs), dirsBefore);

  put(dir_.file("junk.zip"), "no archive");
  EXPECT_EQ(engine::encryptArchive(engine_, dir_.file("junk.zip"), "pw"), engine::EncryptStatus::BadArchive);
}

TEST_F(EncryptPass, EncryptsFilesNeverDirectories) {
  put(dir_.file("src/EMPTY.TXT"), "");
  put(dir_.file("src/SHORT.TXT"), "short");
  put(dir_.file("src/LONG.TXT"), textBytes(50000));
  fs::create_directories(dir_.file("src/DIR"));
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*"), 0, 1, false), 0);
  const ArchiveView plain = viewArchive(a);

  WriterEvents events;
  engine_.window = events.window();
  ASSERT_EQ(engine::encryptArchive(engine_, a, "secret"), engine::EncryptStatus::Ok);
  const ArchiveView v = viewArchive(a);
  ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
  ASSERT_EQ(v.entries.size(), 4u);
  for (size_t i = 0; i < v.entries.size(); ++i) {
    const EntryView& e = v.entries[i];
    const EntryView& p = plain.entries[i];
    EXPECT_EQ(e.name, p.name);
    EXPECT_EQ(e.crc, p.crc);
    EXPECT_EQ(e.size, p.size);
    EXPECT_EQ(e.method, p.method);
    EXPECT_EQ(e.dosDateTime, p.dosDateTime);
    if (e.name == "DIR/") {
      EXPECT_EQ(e.flags & 1, 0);
      EXPECT_EQ(e.compressedSize, 0u);
    } else {
      EXPECT_EQ(e.flags & 1, 1) << e.name;
      EXPECT_EQ(e.localFlags & 1, 1) << e.name;
      EXPECT_EQ(e.compressedSize, p.compressedSize + 12) << e.name;
      EXPECT_TRUE(opens(a, e.name, "secret")) << e.name;
    }
  }
  EXPECT_EQ(v.find("EMPTY.TXT")->compressedSize, 12u);  // the header alone
  // Reports: per block of each entry with data, ending at 100; then ZNWriting.
  std::map<std::string, WParam> last;
  for (const WriterEvent& e : events.of(engine::kNotifyEncrypt)) last[e.text] = e.w;
  EXPECT_EQ(last.size(), 2u);  // SHORT.TXT and LONG.TXT have data
  for (const auto& [name, rate] : last) EXPECT_EQ(rate, 100u) << name;
  EXPECT_EQ(events.of(engine::kNotifyWriting).size(), 1u);
  EXPECT_EQ(peerComplaints(a, "secret"), "");
}

TEST_F(EncryptPass, EntryWithADataDescriptorIsWrittenWithoutIt) {
  ZipBuilder b;
  TestEntry d;
  d.name = "DESC.TXT";
  d.data = "sizes behind the data";
  d.flags = 0x0008;
  d.descriptor = true;
  TestEntry plain;
  plain.name = "PLAIN.TXT";
  plain.data = "plain";
  b.entries = {d, plain};
  const std::string a = dir_.file("d.zip");
  put(a, b.build());
  ASSERT_EQ(viewArchive(a).find("DESC.TXT")->descriptorSize, 16u);
  ASSERT_EQ(engine::encryptArchive(engine_, a, "pw"), engine::EncryptStatus::Ok);
  const ArchiveView v = viewArchive(a);
  ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
  const EntryView* e = v.find("DESC.TXT");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->descriptorSize, 0u);
  EXPECT_EQ(e->flags & 0x0009, 0x0001);
  EXPECT_EQ(e->localFlags & 0x0009, 0x0001);
  // The real values stand in the local header now.
  const std::string bytes = fileText(a);
  EXPECT_EQ(static_cast<uint8_t>(bytes[e->offset + 18]), 21u + 12u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[e->offset + 22]), 21u);
  EXPECT_TRUE(opens(a, "DESC.TXT", "pw"));
  EXPECT_EQ(peerComplaints(a, "pw"), "");
}

TEST_F(EncryptPass, ZipFilesEncryptsOlderEntriesAndKeepsOldPasswords) {
  put(dir_.file("one/A.TXT"), textBytes(3000));
  put(dir_.file("two/B.TXT"), textBytes(4000));
  put(dir_.file("two/C.TXT"), textBytes(5000));
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("one/A.TXT"), 0, 0, false, 0, "first"), 0);
  ASSERT_EQ(zip(a, dir_.file("two/B.TXT"), 0, 0, false), 0);  // in clear
  ASSERT_EQ(zip(a, dir_.file("two/C.TXT"), 0, 0, false, 0, "second"), 0);
  EXPECT_TRUE(opens(a, "A.TXT", "first"));
  EXPECT_TRUE(opens(a, "B.TXT", "second"));  // the older clear entry got the new password
  EXPECT_TRUE(opens(a, "C.TXT", "second"));
}

TEST_F(EncryptPass, FailingPassMakesZipFilesAnswer9) {
  put(dir_.file("src/A.TXT"), textBytes(3000));
  const std::string a = dir_.file("a.zip");
  // Once the new archive is in place, something spoils it before the pass
  // reads it: the pass fails, the update stands.
  bool spoiled = false;
  engine::setWriteObserverForTesting([&](engine::WriteStep step) {
    if (step == engine::WriteStep::Renamed && !spoiled) {
      spoiled = true;
      put(a, "spoiled");
    }
  });
  const int16_t s = zip(a, dir_.file("src/*.*"), 0, 1, false, 0, "pw");
  engine::setWriteObserverForTesting(nullptr);
  EXPECT_EQ(s, 9);
  EXPECT_EQ(fileText(a), "spoiled");
}

TEST_F(EncryptPass, CancelledOrWarnedRunsAreEncryptedToo) {
  for (int i = 1; i <= 3; ++i) put(dir_.file("src/F" + std::to_string(i) + ".TXT"), textBytes(300000));
  WriterEvents events;
  engine_.window = events.window();
  events.onEvent = [&](const WriterEvent& e) {
    if (e.n == engine::kNotifyFileZipped) engine_.cancel = true;
  };
  engine::ZipFilesRequest r;
  r.zipName = dir_.file("a.zip");
  r.mask = dir_.file("src/*.*");
  r.password = "pw";
  EXPECT_EQ(engine::zipFiles(engine_, r), engine::WriteStatus::Cancelled);
  const ArchiveView v = viewArchive(r.zipName);
  ASSERT_EQ(v.entries.size(), 1u);
  EXPECT_EQ(v.entries[0].flags & 1, 1);  // the file that made it in is not left in clear
}

}  // namespace
}  // namespace vz::test
