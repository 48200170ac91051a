// The read side's buffered input over an archive file.
//
// Reads go through one 24,576-byte buffer (plus 4 spare bytes) that is
// filled by reads of exactly 24,576 bytes at file offsets that are multiples
// of 24,576 (only the file's last block comes back shorter). A seek inside
// the buffered block just moves the cursor; a seek elsewhere only records
// the position, and the next read fills the block that holds it. Directory
// walks therefore read the central directory sequentially, block by block,
// and a jump to a local header and back costs at most two block reads.
//
// Every read is checked against the file: reading past its end fails, and
// so does reading after close().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

namespace vz::engine {

class ArchiveInput {
 public:
  // The input block: the read granularity and alignment of the read side.
  static constexpr size_t kBlockSize = 24576;
  // Spare bytes behind the block, so that a 4-byte signature that starts in
  // the block's last bytes can be completed in the buffer.
  static constexpr size_t kSpare = 4;

  ArchiveInput() = default;
  ArchiveInput(const ArchiveInput&) = delete;
  ArchiveInput& operator=(const ArchiveInput&) = delete;

  // Allocates the buffer and opens path read-only; false on failure.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return file_.isOpen(); }
  // The file's size, taken when it was opened.
  int64_t size() const { return size_; }

  // Moves the read position; false for a negative position or a closed file.
  // A position past the end is accepted; reading there fails.
  bool seek(int64_t pos);
  int64_t tell() const { return pos_; }
  // Reads exactly n bytes at the position and moves past them; false (with
  // the position unspecified) when the file ends first or a read fails.
  bool read(void* dst, size_t n);
  bool skip(int64_t n) { return seek(pos_ + n); }
  // Reads up to n bytes at an absolute offset, bypassing the buffer and
  // leaving the position alone (the end-record search uses it). The count
  // read, -1 on failure.
  int64_t readAt(int64_t offset, void* dst, size_t n);

  // Number of block reads so far (tests check the buffering with it).
  size_t blockReads() const { return blockReads_; }

 private:
  bool fillBlockAt(int64_t pos);

  File file_;                          // the archive, read-only
  int64_t size_ = 0;                   // file size at open
  std::unique_ptr<uint8_t[]> buffer_;  // kBlockSize + kSpare bytes
  int64_t bufferOffset_ = -1;          // file offset of the buffered block, -1: none
  size_t bufferFill_ = 0;              // valid bytes in the buffer
  int64_t pos_ = 0;                    // read position (file offset)
  size_t blockReads_ = 0;              // block reads done, for tests
};

}  // namespace vz::engine
