// One run of the extraction driver over an opened archive: the entry loop
// and the extraction of each member, shared by UnzipFiles, UnzipToFile,
// View and the full test (extract_run.cpp sets a run up; the loop is in
// extract_loop.cpp, one member in extract_member.cpp, View's viewers in
// extract_view.cpp).
//
// The entry loop:
//   1. The central directory is read in blocks of at most 64 entries; the
//      cancel flag is tested before each entry read and before each entry
//      extracted.
//   2. An entry is selected by the mask: every entry for an empty mask, "*.*"
//      and the test run; by the mask rule when the mask has "*" or "?";
//      otherwise when its processed name equals the mask ignoring case, and
//      then the walk ends after it.
//   3. A selected entry whose method, version or name the engine cannot
//      handle (method 7 or above 8, version needed above 2.0 or for host 2,
//      a name cut to 1023 bytes) is counted as skipped.
//   4. For each kept entry of the block: its local header ("PK" 03 04, else
//      status 3 for the entry), its output path (extract_paths.h), the
//      password test of an encrypted entry (with the password prompt), the
//      decision about an existing file (overwrite mode and replace
//      question), and the member's extraction.
//   5. A failed entry's status is remembered and the loop goes on; a write
//      failure (8) ends the run at once.
// Result: the status of the last failed entry; else 10 when an entry was
// skipped or the cancel flag left entries unread; else 0.
//
// Sizes and CRC of an entry come from its local header, except for an
// entry whose local flag bit 3 says they follow its data: those carry
// zeros in the local header, and the central directory's values are used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

#include "control/engine/read/directory_reader.h"
#include "control/engine/extract/extract_options.h"
#include "control/engine/extract/extract_paths.h"
#include "control/engine/common/status.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_crypto.h"

namespace vz::engine {

// The facts of one entry the member extraction works with.
struct EntryFacts {
  uint16_t method = 0;
  uint16_t flags = 0;  // local flags
  uint16_t time = 0;   // DOS time of the local header
  uint16_t date = 0;   // DOS date of the local header
  uint32_t crc = 0;
  uint32_t compressedSize = 0;  // encryption header included
  uint32_t uncompressedSize = 0;
  uint32_t externalAttributes = 0;  // from the central header
};
EntryFacts entryFactsOf(const LocalHeader& local, const CentralHeader& central);

// Opens the archive of a run: Ok, or TestOpenFailed (6) when it is
// missing, CannotOpen (2) when it exists and cannot be opened for reading.
[[nodiscard]] ReadStatus openArchive(DirectoryReader& reader, const std::string& zipName);

// Where a drive check of a destination ends: Ok, or NoFreeSpace,
// CdRomDrive, DriveNotWritable (13, 14, 15).
[[nodiscard]] ReadStatus destinationDriveStatus(const std::string& nativePath);

class ExtractJob {
 public:
  // The entries a directory block holds at most.
  static constexpr size_t kBlockEntries = 64;
  // Prefix of the test run's temporary files.
  static constexpr const char* kTestFilePrefix = "QXT";

  ExtractJob(UnzipState& st, DirectoryReader& reader, const ExtractOptions& options);
  ExtractJob(const ExtractJob&) = delete;
  ExtractJob& operator=(const ExtractJob&) = delete;

  // The entry loop over the whole directory; the run's status.
  [[nodiscard]] ReadStatus run();
  // View: viewers started in this run.
  int viewersStarted() const { return viewersStarted_; }

 private:
  struct Selected {
    CentralHeader header;  // the entry's central header
    std::string name;      // processed central name
  };

  bool selects(const CentralEntry& e, bool& lastWanted) const;
  void processEntry(const Selected& sel);
  // The output path of a file entry in Normal and View mode; false when the
  // entry ends here: a folder entry (its folder made; done), or an empty
  // name or refused path (counted).
  bool mapOutput(const LocalEntry& local, const EntryFacts& f, std::string& path);
  // Tests the password of an encrypted entry, asking as allowed. True when
  // the entry can be decoded (keys set); false when it was skipped or
  // failed (counted). currentFailed: the current password passed the
  // header check but its data came out wrong, so it is taken as rejected
  // and not tried again before the question.
  bool unlock(const LocalEntry& local, const EntryFacts& f, ZipKeys& keys, bool currentFailed);
  // Applies the overwrite mode to an existing file; true to extract (path
  // may be changed by Rename), false to skip.
  bool decideExisting(std::string& path, const EntryFacts& f);
  bool entryIsNewer(const std::string& path, const EntryFacts& f) const;
  // extractMember's result for an encrypted entry whose data came out wrong
  // (the file it wrote is deleted): the password is wrong after all. No
  // named result: never a status of the run.
  static constexpr ReadStatus kWrongKeys = static_cast<ReadStatus>(-1);
  // Extracts one member into path (ignored in the test run); its status,
  // or kWrongKeys.
  [[nodiscard]] ReadStatus extractMember(const std::string& name, const EntryFacts& f, const std::string& path,
                                         ZipKeys* keys, int64_t dataPosition);
  // Opens the output file: Ok, Skipped (read-only, not to be erased),
  // ExistingNotReplaced or NotCreated.
  [[nodiscard]] ReadStatus createOutput(File& out, const std::string& path);
  bool enoughSpace(const std::string& path, uint64_t size);
  bool isArchiveItself(const std::string& path) const;
  // View: opens an extracted file with its viewer; true when it started.
  bool openViewer(const std::string& path) const;

  void fail(ReadStatus status) { lastFailure_ = status; }
  void skip() { skipped_ = true; }

  UnzipState& st_;                        // settings, answers, prompts, cancel flag
  DirectoryReader& reader_;               // the open archive, positioned by the walk
  const ExtractOptions& opt_;             // what this run does
  std::optional<OutputFolders> folders_;  // Normal and View: the destination's folders
  std::string tempFolder_;                // test run: where the temporary files go
  std::optional<ReadStatus> tempDrive_;   // test run: the drive check of tempFolder_, once made
  dev_t archiveDevice_ = 0;               // identity of the archive file, so it is never written over
  ino_t archiveInode_ = 0;
  bool archiveKnown_ = false;                // archiveDevice_ and archiveInode_ are set
  std::optional<uint64_t> knownFree_;        // free bytes of the output drive as last seen, less what was written since
  bool freeUnknown_ = false;                 // the output drive's free space cannot be read
  ReadStatus lastFailure_ = ReadStatus::Ok;  // status of the last entry that failed
  bool skipped_ = false;                     // an entry was skipped
  bool cancelled_ = false;                   // the cancel flag left entries unread
  bool writeFailed_ = false;                 // a write failure: the run ends
  int viewersStarted_ = 0;                   // View: viewers started
};

}  // namespace vz::engine
