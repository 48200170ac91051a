// The extractor's side of the decoders' input and output interfaces.
//
// EntryInput reads an entry's compressed bytes from the archive in blocks
// of at most 24,576 bytes (the read side's block size), starting at a given
// file position, and decrypts each block in place when the entry is
// encrypted. The decoders never see more than the entry's compressed size.
//
// EntryOutput stages the decoded bytes in the 24,576-byte output buffer
// (filled with 0xAA when it is made), computes their CRC-32 on the way in,
// and writes the buffer to the output file each time it is full, followed
// by the ZNExpanding notification with the percentage of the entry's size
// that was written before that block (0 to 100). finish() writes the last
// partial buffer. The first write that comes back short marks the output
// as failed and stops decoding (the driver's status 8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "control/engine/read/archive_input.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_crypto.h"
#include "platform/file.h"

namespace vz::engine {

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

  // file: the opened output; st: where ZNExpanding goes (notification
  // window and pumping); name: the entry name in the notifications;
  // declaredSize: the entry's uncompressed size (for the percentages);
  // progress: send ZNExpanding at all (off in the test run).
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
  bool writeBuffer();

  File& file_;                         // the output file
  const UnzipState& st_;               // notification window and pumping
  const std::string& name_;            // entry name for ZNExpanding
  uint64_t declaredSize_;              // the entry's uncompressed size
  bool progress_;                      // send ZNExpanding after each full buffer
  std::unique_ptr<uint8_t[]> buffer_;  // the output buffer
  size_t fill_ = 0;                    // bytes staged in the buffer
  uint64_t written_ = 0;               // bytes written to the file so far
  uint32_t crc_ = 0;                   // CRC-32 of every byte taken so far
  bool writeFailed_ = false;           // a file write came back short
};

}  // namespace vz::engine
