// Header walk of TAR archives: ustar, GNU and pax.
//
//   header block (512 bytes, numbers in octal text):
//     0 name (100) | 100 mode (8) | 108 uid | 116 gid | 124 size (12)
//     136 mtime (12) | 148 checksum (8) | 156 type flag | 157 link name (100)
//     257 magic "ustar\0" (POSIX) or "ustar " (GNU) | 265 user | 297 group
//     329 dev major | 337 dev minor | 345 prefix (155, POSIX only)
//   followed by the data, padded to a multiple of 512.
//
// Long names: a GNU 'L' ('K') block's data is the next header's name (link
// name); a pax 'x' block's records ("<length> <key>=<value>\n") give the
// next header's path, linkpath, size and mtime. These blocks are no
// entries; what they carry is applied to the header that follows and then
// forgotten.
//
// Listed: regular files (type NUL, "0", "7") and hard links ("1"); folders
// ("5") are folder entries, passed on only with ShowBlankDirs. Symbolic
// links, devices, FIFOs and the GNU volume and multi-volume blocks are
// walked over, never listed: the TAR extractor writes stored files only.
#include <optional>

#include "manager/readers/format_walkers.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/type_detect.h"
#include "manager/readers/walk_fields.h"

namespace vz::readers {

namespace {

constexpr int64_t kBlock = 512;
// The longest long name or pax header kept in memory (a larger one is a
// damaged archive).
constexpr int64_t kMaxMetaSize = int64_t{1} << 20;

// An octal number field (blanks and NULs around the digits), or GNU's
// base-256 form (high bit of the first byte set). nullopt when the field
// holds anything else.
std::optional<int64_t> numberField(const uint8_t* f, size_t len) {
  if (f[0] & 0x80) {
    if (f[0] & 0x40) return std::nullopt;  // negative
    uint64_t v = f[0] & 0x3F;
    for (size_t i = 1; i < len; ++i) {
      if (v >> 55) return std::nullopt;
      v = (v << 8) | f[i];
    }
    return static_cast<int64_t>(v);
  }
  size_t i = 0;
  while (i < len && f[i] == ' ') ++i;
  int64_t v = 0;
  bool digits = false;
  for (; i < len && f[i] >= '0' && f[i] <= '7'; ++i, digits = true) v = v * 8 + (f[i] - '0');
  for (; i < len; ++i)
    if (f[i] != ' ' && f[i] != 0) return std::nullopt;
  return digits ? v : 0;
}

std::string textField(const uint8_t* f, size_t len) {
  size_t n = 0;
  while (n < len && f[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(f), n);
}

class TarWalker : public FormatWalker {
 public:
  int64_t headerLength() const override { return kBlock; }

  bool begin(WalkContext& ctx, int32_t*) override {
    ctx.next = ctx.archiveStart;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& e, int32_t* error) override {
    if (h[0] == 0) return Step::End;  // the empty name: the end blocks
    if (!isTarHeaderBlock(h)) return *error = E_BADHEADR, Step::Error;
    const auto headerSize = numberField(h + 124, 12);
    if (!headerSize) return *error = E_BADHEADR, Step::Error;
    const char type = static_cast<char>(h[156]);
    int64_t size = *headerSize;
    if (pending_.size && type != 'L' && type != 'K' && type != 'x' && type != 'g') size = *pending_.size;
    // The data must lie inside the file.
    const int64_t padded = size + (kBlock - size % kBlock) % kBlock;
    if (size < 0 || size > ctx.end || padded > ctx.end - ctx.next) return *error = E_READ, Step::Error;
    const int64_t dataAt = ctx.next;
    ctx.next += padded;

    if (type == 'L' || type == 'K' || type == 'x' || type == 'g') {
      if (type == 'g') return Step::Skip;  // global pax defaults: nothing of ours
      if (size > kMaxMetaSize) return *error = E_BADHEADR, Step::Error;
      std::string data(static_cast<size_t>(size), '\0');
      if (size > 0 && !ctx.read(dataAt, data.data(), data.size())) return *error = E_READ, Step::Error;
      if (type == 'L') pending_.name = textField(reinterpret_cast<const uint8_t*>(data.data()), data.size());
      if (type == 'K') pending_.link = textField(reinterpret_cast<const uint8_t*>(data.data()), data.size());
      if (type == 'x' && !readPax(data)) return *error = E_BADHEADR, Step::Error;
      return Step::Skip;
    }
    Pending meta = std::move(pending_);
    pending_ = {};
    const bool listed = type == 0 || type == '0' || type == '1' || type == '7' || type == '5';
    if (!listed) return Step::Skip;

    std::string name = textField(h, 100);
    if (std::string(reinterpret_cast<const char*>(h + 257), 6) == std::string("ustar\0", 6) && h[345] != 0)
      name = textField(h + 345, 155) + "/" + name;
    if (meta.name) name = *meta.name;
    e.fileName = nameToUtf8(name);
    e.linkTarget = nameToUtf8(meta.link ? *meta.link : textField(h + 157, 100));
    e.packedSize = e.unpackedSize = type == '1' || type == '5' ? 0 : size;
    e.crc = static_cast<uint32_t>(numberField(h + 148, 8).value_or(0));
    const int64_t mtime = meta.mtime ? *meta.mtime : numberField(h + 136, 12).value_or(0);
    e.dateTime = localTimeOfUnix(mtime);
    e.unixMode = static_cast<uint32_t>(numberField(h + 100, 8).value_or(0) & 07777);
    e.isFolder = type == '5';
    if (e.isFolder) e.attributes16 = 0x10;
    e.attributes32 = e.attributes16;
    e.dataOffset = dataAt;
    return Step::Entry;
  }

 private:
  // What the long-name and pax blocks say about the next header.
  struct Pending {
    std::optional<std::string> name, link;
    std::optional<int64_t> size, mtime;
  };

  // The records "<length> <key>=<value>\n" of a pax block.
  bool readPax(const std::string& data) {
    size_t pos = 0;
    while (pos < data.size()) {
      size_t i = pos;
      size_t len = 0;
      while (i < data.size() && data[i] >= '0' && data[i] <= '9' && len < data.size())
        len = len * 10 + (data[i++] - '0');
      if (i >= data.size() || data[i] != ' ' || len <= i - pos || len > data.size() - pos) return false;
      const std::string record = data.substr(i + 1, pos + len - i - 1);
      pos += len;
      const size_t eq = record.find('=');
      if (eq == std::string::npos || record.empty() || record.back() != '\n') return false;
      const std::string key = record.substr(0, eq), value = record.substr(eq + 1, record.size() - eq - 2);
      if (key == "path") pending_.name = value;
      if (key == "linkpath") pending_.link = value;
      if (key == "size" || key == "mtime") {
        int64_t v = 0;
        size_t k = 0;
        for (; k < value.size() && value[k] >= '0' && value[k] <= '9' && v < (int64_t{1} << 56); ++k)
          v = v * 10 + (value[k] - '0');
        if (k == 0) return false;
        (key == "size" ? pending_.size : pending_.mtime) = v;
      }
    }
    return true;
  }

  Pending pending_;  // long name, link, size and time for the next header
};

}  // namespace

std::unique_ptr<FormatWalker> makeTarWalker() { return std::make_unique<TarWalker>(); }

}  // namespace vz::readers
