// ArchiveBuilder: a new archive written into a temporary file, entry by
// entry, then closed with its central directory and end record. Every
// write operation of the engine (adding, deleting, comments, the
// encryption pass) builds a complete new archive this way and only then
// puts it in the place of the old one (archive_update_place.h), so an
// archive is never updated in place.
//
//   [prefix bytes] [entry]... [central header]... [end record + comment]
//
// Entries come in three kinds: copied unchanged from the old archive (local
// header, name, extra field, data and data descriptor byte for byte, only
// the offset in the central record changes), written from a disk file
// (zip_writer_file.h), or written by the caller through write() and
// addRecord() (the encryption pass). The builder keeps one central record
// per entry, in entry order, and writes them all in finish().
//
// The temporary file is made with the system's temporary-file naming in
// the temporary base folder, prefix "ZIP" ("ZIP1A2B.TMP"). It is removed
// when the builder goes away, unless release() handed it over.
//
// The format's fields are 32 bits wide: every local header offset and the
// central directory's offset must lie below 4 GiB. overflows() tells
// whether the file has grown past that; the callers drop the entry that
// did it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/read/archive_entry.h"
#include "control/engine/format/zip_records.h"
#include "control/engine/write/write_status.h"
#include "platform/file.h"

namespace vz::engine {

// The size of the copy buffer of stored data and copied entries.
constexpr size_t kCopyBufferSize = 24576;
// The highest position a record may start at: offsets are 32-bit fields.
constexpr int64_t kMaxRecordOffset = 0xFFFFFFFFll;
// The prefix of the temporary file's name.
constexpr const char* kTempFilePrefix = "ZIP";

// One central directory record as it will be written.
struct CentralRecord {
  CentralHeader header;                     // offset already the entry's position in the new file
  std::string name;                         // name bytes as written
  std::shared_ptr<const ExtraBlock> extra;  // central extra field, null when empty
  std::string comment;                      // file comment bytes
};

// The central record of a catalogue entry, with the central fields the
// loader kept (its offset still the old one).
CentralRecord centralRecordOf(const ArchiveEntry& e);

class ArchiveBuilder {
 public:
  ArchiveBuilder() = default;
  ~ArchiveBuilder();
  ArchiveBuilder(const ArchiveBuilder&) = delete;
  ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

  // Creates the temporary file in folder (the temporary base folder when
  // empty). Ok, or IoError when it cannot be created.
  [[nodiscard]] BuildStatus create(const std::string& folder = {});
  // Builds into an existing file instead (an update in place): opens path
  // for reading and writing and goes to position at, where the next entry
  // or the directory will be written. The file is never removed by the
  // builder (discard() only closes it); restoring it after a failure is the
  // caller's work. Ok, or IoError when it cannot be opened or positioned.
  [[nodiscard]] BuildStatus attach(const std::string& path, int64_t at);
  const std::string& path() const { return path_; }
  File& file() { return file_; }
  int64_t position() const { return file_.tell(); }
  // Whether the file has passed the highest record offset.
  bool overflows() const { return position() > kMaxRecordOffset; }

  // Appends bytes at the current position.
  [[nodiscard]] bool write(const void* data, size_t size);
  // Rewrites bytes at pos and comes back to the end. False when a seek
  // fails (the caller then keeps the bytes as they were) or the write fails;
  // *seekFailed tells the two apart.
  [[nodiscard]] bool rewriteAt(int64_t pos, const void* data, size_t size, bool* seekFailed);
  // Cuts the file back to pos (dropping an entry that failed) and goes there.
  [[nodiscard]] bool truncateTo(int64_t pos);

  // Copies count bytes of src from offset to the end of the new file.
  // Ok, or IoError when src cannot be read or the new file not written.
  [[nodiscard]] BuildStatus copyBytes(File& src, int64_t offset, int64_t count);
  // Copies a catalogue entry unchanged (local header to data descriptor)
  // and records its central record with the new offset; comment replaces
  // its file comment when given. Ok or IoError.
  [[nodiscard]] BuildStatus copyEntry(File& src, const ArchiveEntry& e, const std::string* comment = nullptr);

  void addRecord(CentralRecord record) { records_.push_back(std::move(record)); }
  size_t recordCount() const { return records_.size(); }
  const std::vector<CentralRecord>& records() const { return records_; }

  // Writes the central directory and the end record with the archive
  // comment, flushes the file to the medium and closes it. Ok, or IoError
  // when a write fails or the directory would start beyond the 32-bit
  // offsets.
  [[nodiscard]] BuildStatus finish(std::string_view archiveComment);

  // Hands the finished file over: it is no longer removed by the builder.
  std::string release();
  // Closes and removes the temporary file now.
  void discard();

 private:
  std::string path_;                    // the temporary file, empty before create() and after attach()
  File file_;                           // open while building
  std::vector<CentralRecord> records_;  // one per entry written, in order
  std::vector<uint8_t> buffer_;         // copy buffer (kCopyBufferSize), made on first use
};

// ---- test hooks -------------------------------------------------------------

// A point of a write operation where a test may act (fault injection: a
// child process kills itself there).
enum class WriteStep {
  TempWrite,     // after a write into the temporary file
  BeforePlace,   // the temporary file is finished, nothing placed yet
  CopiedBeside,  // the copy beside the archive is written and flushed
  Renamed,       // the new archive has its name
};
using WriteObserver = std::function<void(WriteStep)>;
// Installs an observer called at every step (nullptr: none).
void setWriteObserverForTesting(WriteObserver observer);
// Makes the seek back to a local header fail, as on a medium that cannot
// seek, so that entries get a data descriptor.
void setHeaderRewriteFailureForTesting(bool fail);
// Calls the observer (for the placement code).
void observeWriteStep(WriteStep step);
bool headerRewriteFailsForTesting();

}  // namespace vz::engine
