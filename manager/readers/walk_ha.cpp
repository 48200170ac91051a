// Header walk of HA archives.
//
//   archive header:  0 "HA"   2 entry count (u16)
//   entry header (the first one right behind the archive header, at 4):
//   0     version << 4 | method   method 0 stored, 1 ASC, 2 HSC, 14 folder,
//                                 15 special
//   1     packed size     u32
//   5     unpacked size   u32
//   9     CRC-32          u32
//   13    time stamp      u32, seconds since 1970
//   17    path            zero-terminated, FF (or "\") between folders
//   ...   name            zero-terminated
//   ...   machine info    u8 length, then that many bytes
//   then  data            packed size bytes
//
// The lister reads 18 fixed bytes: the 17 of the fixed part and the path's
// first byte, which is there in every header (at least its terminator).
// The entry count is not trusted: the walk goes on to the end of the file.
#include <algorithm>
#include <vector>

#include "manager/readers/reader_errors.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kHeader = 18;
constexpr int64_t kMaxNames = 2 * 1024;  // path + name + machine info beyond this do not fit

class HaWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kHeader; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    std::vector<uint8_t> b;
    if (!readSpan(ctx, ctx.archiveStart, 4, b) || b[0] != 'H' || b[1] != 'A') {
      *error = E_BADHEADR;
      return false;
    }
    ctx.next = ctx.archiveStart + 4;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    vz::engine::BoundedReader r({h, static_cast<size_t>(kHeader)});
    const int method = h[0] & 0x0F;
    const int version = h[0] >> 4;
    if (version > 2 || (method > 2 && method < 14)) {
      *error = E_BADHEADR;
      return Step::Error;
    }
    // Path, name and machine info: read a bounded window and find the ends.
    std::vector<uint8_t> v;
    const int64_t varStart = ctx.current + 17;
    const int64_t window = std::min<int64_t>(kMaxNames, ctx.fileSize - varStart);
    if (!readSpan(ctx, varStart, window, v)) {
      *error = E_READ;
      return Step::Error;
    }
    const auto zeroFrom = [&](size_t from) {
      for (size_t i = from; i < v.size(); ++i)
        if (v[i] == 0) return static_cast<int64_t>(i);
      return int64_t{-1};
    };
    const int64_t pathEnd = zeroFrom(0);
    const int64_t nameEnd = pathEnd < 0 ? -1 : zeroFrom(static_cast<size_t>(pathEnd) + 1);
    if (nameEnd < 0 || nameEnd + 1 >= static_cast<int64_t>(v.size())) {
      *error = E_BADLENGTHS;
      return Step::Error;
    }
    const int64_t infoLength = v[static_cast<size_t>(nameEnd) + 1];
    const int64_t dataStart = varStart + nameEnd + 2 + infoLength;
    const int64_t packed = r.le32(1);
    if (!vz::engine::rangeFits(dataStart, packed, ctx.fileSize)) {
      *error = E_READ;
      return Step::Error;
    }
    const char* chars = reinterpret_cast<const char*>(v.data());
    std::string path = storedName(std::string_view(chars, static_cast<size_t>(pathEnd)), true);
    std::string name = storedName(std::string_view(chars + pathEnd + 1, static_cast<size_t>(nameEnd - pathEnd - 1)));
    if (!path.empty() && path.back() != '/') path += '/';
    entry.fileName = path + name;
    entry.method = method;
    entry.versionNeeded = static_cast<uint16_t>(version);
    entry.packedSize = packed;
    entry.unpackedSize = r.le32(5);
    entry.crc = r.le32(9);
    entry.dateTime = unixStamp(r.le32(13));
    entry.isFolder = method == 14;
    entry.dataOffset = dataStart;
    ctx.next = dataStart + packed;
    finishEntry(entry);
    return Step::Entry;
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeHaWalker() { return std::make_unique<HaWalker>(); }

}  // namespace vz::readers
