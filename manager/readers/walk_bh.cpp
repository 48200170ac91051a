// Header walk of BH archives (plain or behind a self-extractor).
//
// The record layout, which the BH writer (blak_hole.cpp) and the extractor
// (bh_extract.cpp) share through bh_layout.h (all values little-endian):
//
//   0     42 48 05 07     signature ("BH" 5 7); anything else ends the list
//   4     header size     u16: bytes from 0 to the data (39 + name length,
//                         or more when a later version adds fields before
//                         the data); 0 = end of archive (the writer ends
//                         every archive with such a 37-byte end record, so
//                         that an archive of no entries is still a BH file)
//   6     header type     0 (reserved for other record kinds)
//   7     version made    8  version needed (10 for this layout)
//   9     flags           bit 0 encrypted, bit 1 header CRC present
//   10    method          0 stored, 8 deflate (RFC 1951, raw)
//   11    DOS stamp       u32 (time low, date high)
//   15    packed size     u32: the data's bytes, an encryption header included
//   19    unpacked size   u32
//   23    CRC-32          of the unpacked data
//   27    attributes      u16 (DOS attributes, 10 hex = folder)
//   29    header CRC      u32: CRC-32 of the header's bytes 0..28 and 33 to
//                         the header size (these four left out), when flag
//                         bit 1 is set; else 0 and not checked
//   33    reserved        4 bytes, 0
//   37    name length     u16
//   39    name            name length bytes, "\" or "/" separators, no zero
//   header size           data (packed size bytes)
//
// Methods, and what the writer's TCompressMethod means (bhMethodOf, the one
// place that says it): mtStore stores; mtDeflate and mtFuse deflate with
// the control's levelled deflater at its default level 6, mtGreatest and
// mtFrozen at level 9 (its strongest), mtFastest at level 1 (its fastest).
// A file that deflate does not shrink is stored whatever the setting.
//
// Encryption (flag bit 0): the traditional ZIP encryption
// (control/engine/format/zip_crypto.h): a 12-byte encryption header made
// with the password's keys, its last two bytes from the CRC-32's top 16
// bits, then the data (stored or deflated) under the same running keys.
//
// The next record follows the data. A header size too small for the name,
// a name longer than the header, data past the end, or a header CRC that
// does not match (25136) do not fit.
#include <algorithm>
#include <vector>

#include "control/engine/format/crc32.h"
#include "manager/readers/bh_layout.h"

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
    if (h[9] & kBhHeaderCrc) {
      std::vector<uint8_t> whole;
      if (!readSpan(ctx, ctx.current, headerSize, whole) || bhHeaderCrc(whole.data(), whole.size()) != r.le32(29)) {
        *error = E_HEADERCRC;
        return Step::Error;
      }
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

BhMethodChoice bhMethodOf(TCompressMethod m) {
  switch (m) {
    case mtStore:
      return {kBhStored, 0};
    case mtGreatest:
    case mtFrozen:
      return {kBhDeflated, 9};
    case mtFastest:
      return {kBhDeflated, 1};
    case mtDeflate:
    case mtFuse:
    default:
      return {kBhDeflated, 6};
  }
}

uint32_t bhHeaderCrc(const uint8_t* header, size_t size) {
  if (size < 33) return vz::engine::crc32Update(0, header, size);
  const uint32_t front = vz::engine::crc32Update(0, header, 29);
  return vz::engine::crc32Update(front, header + 33, size - 33);
}

std::vector<uint8_t> bhMakeHeader(const BhRecordFields& f) {
  std::vector<uint8_t> h(static_cast<size_t>(kBhNameAt) + f.name.size(), 0);
  auto put16 = [&](size_t at, uint32_t v) {
    h[at] = static_cast<uint8_t>(v), h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  put32(0, 0x07054842);
  put16(4, static_cast<uint32_t>(h.size()));
  h[7] = h[8] = kBhVersion;
  h[9] = static_cast<uint8_t>(f.flags | kBhHeaderCrc);
  h[10] = f.method;
  put32(11, f.dosStamp);
  put32(15, f.packed);
  put32(19, f.unpacked);
  put32(23, f.crc);
  put16(27, f.attributes);
  put16(37, static_cast<uint32_t>(f.name.size()));
  std::copy(f.name.begin(), f.name.end(), h.begin() + kBhNameAt);
  put32(29, bhHeaderCrc(h.data(), h.size()));
  return h;
}

std::vector<uint8_t> bhEndRecord() {
  std::vector<uint8_t> e(kBhEndRecord, 0);
  e[0] = 0x42, e[1] = 0x48, e[2] = 0x05, e[3] = 0x07;
  return e;
}

}  // namespace vz::readers
