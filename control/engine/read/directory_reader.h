// The read side's directory reader: opens an archive, finds its end record
// from the end of the file, and walks the central directory. Listing,
// testing, the archive-information methods, comments, totals, name lookups,
// the item list and extraction all read through it.
//
// One reader serves one call: construct it, open(), locateEndRecord(), then
// walk; the destructor closes the file and frees the buffers on every path.
//
// Opening: the path is tested for existence after an OEM -> ANSI conversion
// (the path itself stays as given); a path that names a folder gets ".ZIP"
// appended; only a regular file is opened (a FIFO or device would block or
// never end).
//
// End record search and extra bytes (prefix data): end_record_search.h.
// The search's outcome as a status (status.h):
//   negative extra bytes: the file is closed and the search reports
//                 Corrected (1, readable); whatever goes on to read the
//                 directory fails with NotZip (3);
//   extra bytes > 0: PrefixData (17), except that a directory offset of 0
//                 with a non-zero directory size takes the extra bytes as
//                 its offset (Corrected, extra bytes 0);
//   size and offset both 0: an empty archive, the file is closed, Corrected;
//   "PK" 01 02 only at the stored offset without the extra bytes: Corrected;
//   at neither: NotZip.
//
// Walking: for each of the end record's total entries, the 46-byte central
// header (signature "PK" 01 02, else 3), the name (processed, see
// entry_name.h; a name over 1023 bytes is cut and the walk goes on with
// Skipped, 10), the central extra field, and the file comment (read or
// skipped). Every length is checked against the file before anything is
// read, so a lying length ends the walk with NotZip instead of reading out of
// bounds; the walk reads at most the end record's entry count, so memory
// stays bounded whatever the directory claims.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/engine/read/archive_input.h"
#include "control/engine/common/status.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_records.h"

namespace vz::engine {

// The current central record of a walk.
struct CentralEntry {
  CentralHeader header;        // all fields as stored
  int64_t position = 0;        // file position of the header
  std::string name;            // processed name ("\" separators, upper case)
  bool nameCut = false;        // the stored name was longer than 1023 bytes
  std::vector<uint8_t> extra;  // central extra field, replaced for every entry
  std::string comment;         // file comment bytes, when the walk reads comments
  bool commentRead = false;    // comment holds the file comment
  int64_t commentOffset = 0;   // file position of the file comment
};

// The local header of one entry, read for extraction.
struct LocalEntry {
  LocalHeader header;    // all fields as stored
  int64_t position = 0;  // file position of the header (stored offset + extra bytes)
  std::string name;      // processed name
  bool nameCut = false;
  std::vector<uint8_t> extra;  // local extra field
  int64_t dataOffset = 0;      // first byte behind the header, name and extra field
};

struct WalkOptions {
  bool readComments = false;  // read each file comment into CentralEntry::comment (else skip it)
  bool honourCancel = false;  // stop before the next entry once the state's cancel flag is set
};

class DirectoryReader {
 public:
  explicit DirectoryReader(UnzipState& st) : st_(st) {}
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // Opening (rules above). False when the archive cannot be opened.
  bool open(const std::string& zipName);
  void close();
  // The path as opened (".ZIP" appended for a folder).
  const std::string& archivePath() const { return path_; }
  int64_t archiveSize() const { return input_.size(); }

  // Finds and checks the end record: Ok, Corrected or PrefixData
  // (readable), else NotZip.
  [[nodiscard]] ReadStatus locateEndRecord();
  // The end record (directory offset as corrected) and where it lies.
  const EndRecord& endRecord() const { return end_; }
  int64_t endRecordPosition() const { return endPosition_; }
  int64_t extraBytes() const { return extraBytes_; }

  // The archive comment's bytes, at most limit of them (and never past the
  // end of the file). Also works on an archive closed by the search.
  std::string archiveComment(size_t limit);

  // ---- the central directory walk ----
  // Starts the walk again at the first central header.
  void rewind();
  bool hasMoreEntries() const { return entriesRead_ < end_.totalEntries; }
  size_t entriesRead() const { return entriesRead_; }
  // Reads the next central entry into current(): Ok, Skipped (name cut) or
  // NotZip. Between two calls the input may be moved (to read a local
  // header); the walk resumes where it left off.
  [[nodiscard]] ReadStatus readNextEntry(const WalkOptions& options = {});
  const CentralEntry& current() const { return current_; }

  // Walks every entry from the first, calling visit for each; visit returns
  // false to stop. Returns NotZip when a read failed, else Skipped when a
  // name was cut, else Ok. cancelled() tells whether the cancel flag ended it.
  using Visitor = std::function<bool(const CentralEntry&)>;
  [[nodiscard]] ReadStatus walk(const WalkOptions& options, const Visitor& visit);
  bool cancelled() const { return cancelled_; }
  // Some name of this walk was cut to 1023 bytes.
  bool namesCut() const { return namesCut_; }

  // Reads the local header of an entry at its stored offset plus the extra
  // bytes ("PK" 03 04 required), its processed name and local extra field,
  // and leaves the input at the entry's data. Ok, Skipped (name cut) or
  // NotZip.
  [[nodiscard]] ReadStatus readLocalHeader(const CentralHeader& central, LocalEntry& out);
  // The input, for reading entry data after readLocalHeader.
  ArchiveInput& input() { return input_; }
  // The state this reader works for.
  UnzipState& state() { return st_; }

 private:
  bool readName(uint16_t length, uint16_t flags, std::string& out, bool& cut);
  bool skipChecked(int64_t n);

  UnzipState& st_;            // settings of the control (cancel flag)
  std::string path_;          // archive path as opened
  ArchiveInput input_;        // buffered input over the archive
  bool closed_ = false;       // closed by the search (negative extra bytes, empty archive)
  EndRecord end_;             // the end record, directory offset as corrected
  int64_t endPosition_ = -1;  // file position of the end record, -1: not found
  int64_t extraBytes_ = 0;    // added to every stored offset
  int64_t nextCentral_ = 0;   // file position of the next central header of the walk
  size_t entriesRead_ = 0;    // central entries read in this walk
  bool namesCut_ = false;     // a name of this walk was cut
  bool cancelled_ = false;    // the cancel flag ended the last walk
  CentralEntry current_;      // the entry last read
  std::string nameBytes_;     // stored bytes of the name being read (at most 1023)
};

}  // namespace vz::engine
