// Header walk of BH archives (plain or behind a self-extractor).
//
// The record layout, which the BH writer uses too (all values little-endian):
//
//   0     42 48 05 07     signature ("BH" 5 7); anything else ends the list
//   4     header size     u16: bytes from 0 to the data (39 + name length,
//                         or more when a later version adds fields before
//                         the data); 0 = end of archive
//   6     header type     0 (reserved for other record kinds)
//   7     version made    8  version needed
//   9     flags           bit 0 encrypted
//   10    method          0 stored, others the compressor's own
//   11    DOS stamp       u32 (time low, date high)
//   15    packed size     u32
//   19    unpacked size   u32
//   23    CRC-32          of the unpacked data
//   27    attributes      u16 (DOS attributes, 10 hex = folder)
//   29    reserved        8 bytes, 0
//   37    name length     u16
//   39    name            name length bytes, "\" or "/" separators, no zero
//   header size           data (packed size bytes)
//
// The next record follows the data. A header size too small for the name,
// a name longer than the header, or data past the end do not fit.
#include <vector>

#include "manager/readers/reader_errors.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kHeader = 37;
constexpr int64_t kNameAt = 39;

class BhWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kHeader; }

  bool begin(WalkContext& ctx, int32_t* /*error*/) override {
    ctx.next = ctx.archiveStart;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    vz::engine::BoundedReader r({h, static_cast<size_t>(kHeader)});
    if (r.le32(0) != 0x07054842) return Step::End;
    const int64_t headerSize = r.le16(4);
    if (headerSize == 0) return Step::End;
    std::vector<uint8_t> len;
    if (headerSize < kNameAt || !readSpan(ctx, ctx.current + kHeader, 2, len)) {
      *error = E_BADHEADR;
      return Step::Error;
    }
    const int64_t nameLength = len[0] | (len[1] << 8);
    std::vector<uint8_t> name;
    if (kNameAt + nameLength > headerSize || !readSpan(ctx, ctx.current + kNameAt, nameLength, name)) {
      *error = E_BADLENGTHS;
      return Step::Error;
    }
    const int64_t dataStart = ctx.current + headerSize;
    const int64_t packed = r.le32(15);
    if (!vz::engine::rangeFits(dataStart, packed, ctx.fileSize)) {
      *error = E_READ;
      return Step::Error;
    }
    entry.fileName = storedName(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
    entry.versionMadeBy = h[7];
    entry.versionNeeded = h[8];
    entry.encrypted = (h[9] & 1) != 0;
    entry.method = h[10];
    entry.dateTime = dosStamp(r.le32(11));
    entry.packedSize = packed;
    entry.unpackedSize = r.le32(19);
    entry.crc = r.le32(23);
    entry.attributes16 = r.le16(27);
    entry.attributes32 = entry.attributes16;
    entry.dataOffset = dataStart;
    ctx.next = dataStart + packed;
    finishEntry(entry);
    return Step::Entry;
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeBhWalker() { return std::make_unique<BhWalker>(); }

}  // namespace vz::readers
