// Reading the AES extra field (see aes_extra.h).
#include "zipwrap/engine/methods/aes_extra.h"

#include "control/engine/format/bounded_reader.h"

namespace vz::zipwrap {

namespace {

constexpr size_t kRecordHeader = 4;     // id and data size of each extra record
constexpr uint16_t kVendorAE = 0x4541;  // "AE" read little-endian

}  // namespace

AesExtraStatus readAesExtra(std::span<const uint8_t> extra, AesEntryInfo& info) {
  const engine::BoundedReader block(extra);
  uint64_t pos = 0;
  while (block.fits(pos, kRecordHeader)) {
    const uint16_t id = block.le16(pos);
    const uint16_t size = block.le16(pos + 2);
    if (!block.fits(pos + kRecordHeader, size)) break;
    if (id == kAesExtraId) {
      if (size < kAesExtraDataSize) return AesExtraStatus::Malformed;
      const engine::BoundedReader field = block.sub(pos + kRecordHeader, size);
      AesEntryInfo found;
      found.version = field.le16(0);
      found.strength = field.bytes()[4];
      found.method = field.le16(5);
      if ((found.version != 1 && found.version != 2) || field.le16(2) != kVendorAE || found.strength < 1 ||
          found.strength > 3)
        return AesExtraStatus::Malformed;
      info = found;
      return AesExtraStatus::Found;
    }
    pos += kRecordHeader + size;
  }
  return AesExtraStatus::Missing;
}

}  // namespace vz::zipwrap
