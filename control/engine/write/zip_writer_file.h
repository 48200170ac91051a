// Writing one disk file into an archive being built: the entry of a new or
// replaced file.
//
//   1. The file's DOS time, length and attributes; a directory is written
//      with size 0 and no data. Opening the file for reading fails: 2 (a
//      warning: the caller keeps the old entry or skips the file). A file of
//      2 GiB or more cannot be described by the format's 32-bit fields (the
//      design carries sizes as signed 32-bit values): 12, skipped, never a
//      corrupt entry.
//   2. The local header at the end of the archive with flag bit 3 set and
//      CRC and sizes 0.
//   3. Stored (directories, files shorter than 37 bytes, names ending in
//      ".ZIP" of 5 characters or more, compression mode 3): the file copied
//      in 24,576-byte reads, ZNZipping2 and ZNZipping after each. Deflated:
//      the compressor (deflate_encoder.h); a compressed size that is not
//      smaller than the length sends the writer back to the local header to
//      write the entry again stored.
//   4. Back to the local header, which is rewritten with the CRC, the sizes
//      and bit 3 cleared. When that seek fails the header stays as written
//      and a 16-byte data descriptor follows the data; bit 3 stays set in
//      the central record.
//   5. ZNFileZipped with the compression rate (compressed x 100 / length,
//      at most 100, 0 for an empty file).
//
// Reading the file: at most the length it had when it was opened is read
// (a file that grows meanwhile is stored as it was), and a read error or a
// file that ends early is a failure of the file (12), not a shorter entry;
// the compressor itself cannot tell a read error from the end of a file.
// A file that fails after its local header was written is cut off again,
// so the archive being built holds no trace of it.
//
// Names: the entry name is the stored name upper-cased with the system's
// case rule; a name holding non-ASCII bytes that form UTF-8 gets flag bit
// 11, so that every reader decodes it as UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/engine/common/notify.h"  // the writer's reports (kNotifyFileZipped ...)
#include "control/engine/write/write_status.h"
#include "control/engine/write/zip_writer.h"
#include "platform/types.h"

namespace vz::engine {

// Files shorter than this are stored: deflate cannot win on them.
constexpr uint64_t kMinDeflateLength = 37;
// The largest file the writer takes: sizes travel as signed 32-bit values.
constexpr uint64_t kMaxEntryLength = 0x7FFFFFFFull;

// A file on disk to be written as an entry.
struct DiskFile {
  std::string nativePath;  // the file to open
  std::string shownPath;   // the file as the host named it: the text of progress reports
  std::string storedName;  // the entry's name before upper-casing ("/" separators, "/" at the end of a folder)
  bool isDirectory = false;
};

struct FileWriteOptions {
  int compressionMode = 0;  // 0..3 (3: store)
  Handle window = 0;        // progress reports, 0: none
  bool pump = false;        // dispatch messages after each report
};

struct FileWriteResult {
  WriteStatus status = WriteStatus::Ok;  // Ok; IoError (2) or Unreadable (12): the file was not written
                                         // (warning); IoError, CompressorOutput (3) or NoMemory (5) with fatal set
  bool fatal = false;                    // the archive being built cannot go on (output failure, out of memory)
  uint64_t length = 0;                   // bytes of the file written
  uint64_t compressedSize = 0;           // bytes of data in the entry
};

// Writes the file at the end of the builder's file and records its central
// record. See above.
[[nodiscard]] FileWriteResult writeDiskFile(ArchiveBuilder& builder, const DiskFile& file,
                                            const FileWriteOptions& options);

// The entry name written for a stored name (upper case).
std::string entryNameForWriting(const std::string& storedName);
// Flag bit 11 for a name: set when it holds non-ASCII bytes forming UTF-8.
uint16_t utf8NameFlag(const std::string& name);
// Whether a file is stored rather than deflated before trying (step 3).
bool storedByRule(const std::string& storedName, bool isDirectory, uint64_t length, int compressionMode);
// The compression rate of ZNFileZipped.
int compressionRateForReport(uint64_t compressedSize, uint64_t length);

// Test hook: files (by native path) that cannot be opened for reading, as
// a file without read permission (which root reads all the same); nullptr:
// none.
void setSourceOpenFailureForTesting(std::function<bool(const std::string& nativePath)> fails);

}  // namespace vz::engine
