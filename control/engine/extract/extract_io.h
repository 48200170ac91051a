// The extractor's side of the decoders' input and output interfaces.
//
// EntryInput reads an entry's compressed bytes from the archive in blocks
// of at most 24,576 bytes (the read side's block size), starting at a given
// file position, and decrypts each block in place when the entry is
// encrypted. The decoders never see more than the entry's compressed size.
//
// EntryOutput stages the decoded bytes in the 24,576-byte output buffer
// (filled with 0xAA when it is made), computes their CRC-32 on the way in,
// and writes the buffer to the output file each time it is full, then tells
// its block listener. finish() writes the last partial buffer (and tells the
// listener too). The first write that comes back short marks the output as
// failed and stops decoding (the driver's status 8). The extraction driver's
// listener sends the ZNExpanding notification after each full buffer, with
// the percentage of the entry's size written before that block (0 to 100);
// the self-extractor's reports its own progress.
//
// kRestoredAttributeMask: the low seven bits of an entry's external
// attributes are the DOS attributes restored on an extracted file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/engine/read/archive_input.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_crypto.h"
#include "platform/file.h"

namespace vz::engine {

inline constexpr uint32_t kRestoredAttributeMask = 0x7F;

class EntryInput final : public DecodeInput {
 public:
  static constexpr size_t kBlockSize = ArchiveInput::kBlockSize;

  // Reads compressedSize bytes from position on; keys (not owned, may be
  // null) decrypt them.
  EntryInput(ArchiveInput& archive, int64_t position, uint64_t compressedSize, ZipKeys* keys);
  bool valid() const { return buffer_ != nullptr; }

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  ArchiveInput& archive_;              // the archive, positioned anew for every block
  int64_t position_;                   // file position of the next byte to read
  ZipKeys* keys_;                      // the entry's running keys; null when not encrypted
  std::unique_ptr<uint8_t[]> buffer_;  // one block
};

class EntryOutput final : public DecodeOutput {
 public:
  static constexpr size_t kBufferSize = 24576;
  // The byte the output buffer is filled with before first use.
  static constexpr uint8_t kFreshBufferByte = 0xAA;

  // Told after each buffer written to the file: the bytes written before
  // it and after it; last: the partial buffer written by finish().
  using BlockWritten = std::function<void(uint64_t before, uint64_t after, bool last)>;

  // file: the opened output; blockWritten: the listener (may be empty).
  EntryOutput(File& file, BlockWritten blockWritten);
  // The extraction driver's output: st: where ZNExpanding goes
  // (notification window and pumping); name: the entry name in the
  // notifications; declaredSize: the entry's uncompressed size (for the
  // percentages); progress: send ZNExpanding at all (off in the test run).
  // Defined in extract_notify.cpp.
  EntryOutput(File& file, const UnzipState& st, const std::string& name, uint64_t declaredSize, bool progress);
  bool valid() const { return buffer_ != nullptr; }

  // Writes what is left in the buffer. False when this or an earlier
  // write failed.
  bool finish();
  bool writeFailed() const { return writeFailed_; }
  uint32_t crc() const { return crc_; }
  // Bytes written to the file.
  uint64_t written() const { return written_; }

 protected:
  bool write(const uint8_t* data, size_t count) override;

 private:
  bool writeBuffer(bool last);

  File& file_;                         // the output file
  BlockWritten blockWritten_;          // told after each buffer written
  std::unique_ptr<uint8_t[]> buffer_;  // the output buffer
  size_t fill_ = 0;                    // bytes staged in the buffer
  uint64_t written_ = 0;               // bytes written to the file so far
  uint32_t crc_ = 0;                   // CRC-32 of every byte taken so far
  bool writeFailed_ = false;           // a file write came back short
};

}  // namespace vz::engine
