// Header walk of GZip files and of the other one-file compressors that
// detection counts as GZip (compress 1F 9D, pack 1F 1E, SCO 1F A0): one
// entry per file.
//
//   gzip header (10 bytes): 0 1F | 1 8B | 2 method (8 deflate) | 3 flags
//     4 mtime (32) | 8 extra flags | 9 OS
//   flags: 2 header CRC (2 bytes), 4 extra field (16-bit length + data),
//     8 name (NUL-terminated), 16 comment (NUL-terminated), 32 encrypted
//   trailer (last 8 bytes): CRC-32 | unpacked size mod 2^32
//
// The entry's name is the stored name, else the archive's own name without
// its compressor extension (".gz", ".z"; ".tgz" and ".taz" become ".tar").
// Other compressors store no sizes: packed = unpacked = the file size and
// the date is the file's.
#include <algorithm>
#include <cctype>

#include "manager/readers/format_walkers.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"
#include "platform/attributes.h"

namespace vz::readers {

namespace {

constexpr int64_t kHeader = 10;
// What the walk reads first: the two signature bytes. A compress file can
// be shorter than a gzip header (6 bytes of "1F 9D" data hold a short
// text), so the gzip header's other 8 bytes are read by the step.
constexpr int64_t kSignature = 2;
// The longest stored name or comment looked for (a longer one is damage).
constexpr int64_t kMaxText = 0x10000;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string nameFromArchive(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string l = lower(name);
  auto ends = [&](const char* ext) {
    const std::string x = ext;
    return l.size() > x.size() && l.compare(l.size() - x.size(), x.size(), x) == 0;
  };
  if (ends(".tgz") || ends(".taz")) return name.substr(0, name.size() - 4) + ".tar";
  if (ends(".gz")) return name.substr(0, name.size() - 3);
  if (ends(".z")) return name.substr(0, name.size() - 2);
  return name;
}

class GzipWalker : public FormatWalker {
 public:
  int64_t headerLength() const override { return kSignature; }

  bool begin(WalkContext& ctx, int32_t*) override {
    ctx.next = ctx.archiveStart;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& e, int32_t* error) override {
    const int64_t fileSize = ctx.fileSize;
    if (h[0] != 0x1F) return *error = E_BADHEADR, Step::Error;
    ctx.next = ctx.end;  // one entry per file
    if (h[1] == 0x8B || h[1] == 0x9E) {
      uint8_t g[kHeader];
      if (!ctx.read(ctx.current, g, sizeof g)) return *error = E_READ, Step::Error;
      h = g;
      const uint8_t flags = h[3];
      int64_t pos = ctx.current + kHeader;
      if (flags & 4) {
        uint8_t len[2];
        if (!ctx.read(pos, len, 2)) return *error = E_READ, Step::Error;
        pos += 2 + le16(len);
      }
      std::string stored;
      if ((flags & 8) && !readText(ctx, pos, &stored)) return *error = E_READ, Step::Error;
      std::string comment;
      if ((flags & 16) && !readText(ctx, pos, &comment)) return *error = E_READ, Step::Error;
      if (flags & 2) pos += 2;
      uint8_t trailer[8];
      if (fileSize - pos < 8 || !ctx.read(fileSize - 8, trailer, 8)) return *error = E_READ, Step::Error;
      e.fileName = stored.empty() ? nameFromArchive(ctx.archivePath) : nameToUtf8(stored);
      e.encrypted = flags & 0x20;
      e.method = (h[2] == 0 || h[2] == 8) ? h[2] : 10;
      e.packedSize = fileSize - pos - 8;
      e.unpackedSize = le32(trailer + 4);
      e.crc = le32(trailer);
      const uint32_t mtime = le32(h + 4);
      e.dateTime = mtime != 0 ? localTimeOfUnix(mtime) : fileDate(ctx);
      e.dataOffset = pos;
    } else {
      e.fileName = nameFromArchive(ctx.archivePath);
      e.packedSize = e.unpackedSize = fileSize;
      e.dateTime = fileDate(ctx);
      e.method = h[1] == 0x1E ? 2 : h[1] == 0x9D ? 1 : h[1] == 0xA0 ? 3 : 10;
      e.dataOffset = ctx.current;
    }
    return Step::Entry;
  }

 private:
  // A NUL-terminated text at pos (moved past it).
  static bool readText(const WalkContext& ctx, int64_t& pos, std::string* out) {
    uint8_t buf[256];
    while (static_cast<int64_t>(out->size()) < kMaxText) {
      const int64_t n = std::min<int64_t>(sizeof buf, ctx.fileSize - pos);
      if (n <= 0 || !ctx.read(pos, buf, static_cast<size_t>(n))) return false;
      for (int64_t i = 0; i < n; ++i) {
        if (buf[i] == 0) {
          pos += i + 1;
          return true;
        }
        out->push_back(static_cast<char>(buf[i]));
      }
      pos += n;
    }
    return false;
  }

  static vz::LocalTime fileDate(const WalkContext& ctx) {
    const auto t = vz::getFileTime(ctx.archivePath);
    return t ? vz::toLocalTime(*t) : vz::LocalTime{};
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeGzipWalker() { return std::make_unique<GzipWalker>(); }

}  // namespace vz::readers
