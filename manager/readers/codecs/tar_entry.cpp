// TarHeaderReader (see tar_entry.h).
//
// A meta record ('L' long name, 'K' long link, 'x' pax, 'g' global pax) is
// a header whose data blocks hold the value; the reader collects them
// (bounded by kMaxRecord) and keeps the value as an override for the next
// real header, which then completes the entry. pax records are lines
// "<length> <key>=<value>\n" where the length counts the whole line.
#include "manager/readers/codecs/tar_entry.h"

#include <cstring>

namespace vz::readers::codecs {

namespace {

constexpr size_t kName = 0, kNameSize = 100;
constexpr size_t kMode = 100, kModeSize = 8;
constexpr size_t kSize = 124, kSizeSize = 12;
constexpr size_t kMtime = 136, kMtimeSize = 12;
constexpr size_t kChecksum = 148, kChecksumSize = 8;
constexpr size_t kType = 156;
constexpr size_t kLink = 157, kLinkSize = 100;
constexpr size_t kMagic = 257;
constexpr size_t kPrefix = 345, kPrefixSize = 155;

// A field's text up to its first NUL.
std::string field(const uint8_t* block, size_t offset, size_t size) {
  const auto* p = reinterpret_cast<const char*>(block + offset);
  return std::string(p, strnlen(p, size));
}

bool allZero(const uint8_t* block) {
  for (size_t i = 0; i < kTarBlock; ++i) {
    if (block[i] != 0) return false;
  }
  return true;
}

// Value of a decimal text (pax size and mtime); the fraction of a time and
// anything after it are ignored. False when no digit leads.
bool decimal(const std::string& text, uint64_t& value, bool allowSign, bool& negative) {
  size_t i = 0;
  negative = false;
  if (allowSign && i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  return true;
}

}  // namespace

bool tarNumber(const uint8_t* f, size_t size, uint64_t& value) {
  value = 0;
  if (size > 0 && (f[0] & 0x80) != 0) {
    // GNU base-256: the remaining bits, big-endian; a negative value (bit 6)
    // is not a size or a time this reader takes.
    if ((f[0] & 0x40) != 0) return false;
    uint64_t v = f[0] & 0x3F;
    for (size_t i = 1; i < size; ++i) {
      if (v > (UINT64_MAX >> 8)) return false;
      v = (v << 8) | f[i];
    }
    value = v;
    return true;
  }
  size_t i = 0;
  while (i < size && f[i] == ' ') ++i;
  for (; i < size && f[i] >= '0' && f[i] <= '7'; ++i) {
    if (value > (UINT64_MAX >> 3)) return false;
    value = (value << 3) | static_cast<uint64_t>(f[i] - '0');
  }
  // Ended by a blank or NUL (or the field's end); an empty field is 0.
  return i == size || f[i] == ' ' || f[i] == 0;
}

bool tarChecksumOk(const uint8_t* block) {
  uint64_t stored = 0;
  if (!tarNumber(block + kChecksum, kChecksumSize, stored)) return false;
  uint32_t unsignedSum = 0;
  int32_t signedSum = 0;
  for (size_t i = 0; i < kTarBlock; ++i) {
    const uint8_t b = (i >= kChecksum && i < kChecksum + kChecksumSize) ? ' ' : block[i];
    unsignedSum += b;
    signedSum += static_cast<int8_t>(b);
  }
  return stored == unsignedSum || static_cast<int64_t>(stored) == signedSum;
}

void TarHeaderReader::reset() {
  entry_ = TarEntry{};
  blocks_ = 0;
  havePath_ = haveLink_ = haveSize_ = haveMtime_ = sawPax_ = false;
  path_.clear();
  link_.clear();
  entryDone_ = false;
}

TarStep TarHeaderReader::feed(const uint8_t* block) {
  if (entryDone_) reset();
  ++blocks_;
  if (recordType_ != 0) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(recordLeft_, kTarBlock));
    record_.append(reinterpret_cast<const char*>(block), take);
    recordLeft_ -= take;
    return recordLeft_ == 0 ? finishRecord() : TarStep::NeedBlock;
  }
  return header(block);
}

TarStep TarHeaderReader::finishRecord() {
  const char type = recordType_;
  recordType_ = 0;
  if (type == 'L' || type == 'K') {
    // The value ends at its first NUL.
    std::string value(record_.c_str());
    if (type == 'L') {
      path_ = std::move(value);
      havePath_ = true;
    } else {
      link_ = std::move(value);
      haveLink_ = true;
    }
  } else if (type == 'x') {
    applyPax(record_);
    sawPax_ = true;
  }
  record_.clear();
  return TarStep::NeedBlock;
}

void TarHeaderReader::applyPax(const std::string& r) {
  size_t pos = 0;
  while (pos < r.size()) {
    // "<length> <key>=<value>\n"
    const size_t space = r.find(' ', pos);
    if (space == std::string::npos) return;
    uint64_t length = 0;
    bool negative = false;
    if (!decimal(r.substr(pos, space - pos), length, false, negative)) return;
    if (length <= space - pos || length > r.size() - pos) return;
    const size_t end = pos + static_cast<size_t>(length);  // one past the line's "\n"
    if (r[end - 1] != '\n') return;
    const std::string kv = r.substr(space + 1, end - 1 - (space + 1));
    pos = end;
    const size_t eq = kv.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = kv.substr(0, eq);
    const std::string value = kv.substr(eq + 1);
    uint64_t v = 0;
    if (key == "path") {
      path_ = value;
      havePath_ = true;
    } else if (key == "linkpath") {
      link_ = value;
      haveLink_ = true;
    } else if (key == "size" && decimal(value, v, false, negative)) {
      size_ = v;
      haveSize_ = true;
    } else if (key == "mtime" && decimal(value, v, true, negative) && v <= uint64_t{INT64_MAX}) {
      mtime_ = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
      haveMtime_ = true;
    }
  }
}

TarStep TarHeaderReader::header(const uint8_t* block) {
  if (allZero(block)) {
    entryDone_ = true;
    return TarStep::EndOfArchive;
  }
  if (!tarChecksumOk(block)) {
    entryDone_ = true;
    return TarStep::BadChecksum;
  }
  uint64_t size = 0, mtime = 0, mode = 0;
  if (!tarNumber(block + kSize, kSizeSize, size) || !tarNumber(block + kMtime, kMtimeSize, mtime) ||
      !tarNumber(block + kMode, kModeSize, mode)) {
    entryDone_ = true;
    return TarStep::BadHeader;
  }
  const char type = block[kType] == 0 ? '0' : static_cast<char>(block[kType]);
  if (type == 'L' || type == 'K' || type == 'x' || type == 'g') {
    if (size > kMaxRecord) {
      entryDone_ = true;
      return TarStep::BadHeader;
    }
    recordType_ = type;
    recordLeft_ = size;
    record_.clear();
    return size == 0 ? finishRecord() : TarStep::NeedBlock;
  }

  TarEntry& e = entry_;
  e.typeFlag = type;
  e.checksum = 0;
  uint64_t checksum = 0;
  if (tarNumber(block + kChecksum, kChecksumSize, checksum)) e.checksum = static_cast<uint32_t>(checksum);
  e.mode = static_cast<uint32_t>(mode & 07777777);
  e.size = haveSize_ ? size_ : size;
  e.mtime = haveMtime_ ? mtime_ : static_cast<int64_t>(mtime & 0x7FFFFFFFFFFFFFFFull);
  const bool gnu = std::memcmp(block + kMagic, "ustar  ", 8) == 0;
  const bool ustar = !gnu && std::memcmp(block + kMagic, "ustar", 5) == 0;
  e.format = gnu ? TarFormat::Gnu : sawPax_ ? TarFormat::Pax : ustar ? TarFormat::Ustar : TarFormat::V7;
  if (havePath_) {
    e.name = path_;
  } else {
    e.name = field(block, kName, kNameSize);
    if (ustar) {
      const std::string prefix = field(block, kPrefix, kPrefixSize);
      if (!prefix.empty()) e.name = prefix + "/" + e.name;
    }
  }
  e.linkName = haveLink_ ? link_ : field(block, kLink, kLinkSize);
  switch (type) {
    case '0':
    case '7':
      e.kind = TarKind::Regular;
      break;
    case '1':
      e.kind = TarKind::HardLink;
      break;
    case '2':
      e.kind = TarKind::Symlink;
      break;
    case '5':
      e.kind = TarKind::Folder;
      break;
    default:
      e.kind = TarKind::Other;
      break;
  }
  // Old archives mark folders by a trailing "/" on a regular entry.
  if (e.kind == TarKind::Regular && !e.name.empty() && e.name.back() == '/') e.kind = TarKind::Folder;
  e.headerBlocks = blocks_;
  entryDone_ = true;
  return TarStep::Entry;
}

}  // namespace vz::readers::codecs
