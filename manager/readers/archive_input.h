// The extractors' decoder input: a range of bytes of an open archive file,
// fetched in 64 KB spans through positioned reads (the file's own position
// is left alone, so one file can feed several inputs in turn).
#pragma once

#include <cstdint>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "platform/file.h"

namespace vz::readers {

class ArchiveInput final : public engine::DecodeInput {
 public:
  static constexpr size_t kSpan = 65536;

  // length bytes of file from offset on (the file must stay open).
  ArchiveInput(const vz::File& file, int64_t offset, uint64_t length)
      : DecodeInput(length), file_(file), offset_(offset), buffer_(kSpan) {}

  // Where the next fetch reads.
  int64_t position() const { return offset_; }

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  const vz::File& file_;         // the archive, open for reading
  int64_t offset_;               // file position of the next fetch
  std::vector<uint8_t> buffer_;  // the span handed out last
};

}  // namespace vz::readers
