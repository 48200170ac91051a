// The legacy walkers' shared helpers (see legacy_fields.h).
#include "manager/readers/legacy_fields.h"

#include <string>
#include <vector>

#include "control/engine/format/dos_time.h"
#include "platform/codepage.h"

namespace vz::readers {

bool readSpan(const WalkContext& ctx, int64_t offset, int64_t length, std::vector<uint8_t>& out, int64_t cap) {
  out.clear();
  if (length < 0 || length > cap || !vz::engine::rangeFits(offset, length, ctx.fileSize)) return false;
  out.resize(static_cast<size_t>(length));
  if (length == 0) return true;
  return ctx.read(offset, out.data(), out.size());
}

std::string storedName(std::string_view raw, bool sep255) {
  size_t zero = raw.find('\0');
  if (zero != std::string_view::npos) raw = raw.substr(0, zero);
  std::string bytes(raw);
  if (sep255) {
    for (char& c : bytes)
      if (static_cast<uint8_t>(c) == 0xFF) c = '/';
  }
  std::string name = vz::isValidUtf8(bytes) ? bytes : vz::cp437ToUtf8(bytes);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

vz::LocalTime dosStamp(uint32_t dateTime) { return vz::engine::localTimeOfDos(dateTime); }

vz::LocalTime unixStamp(int64_t seconds) { return vz::toLocalTime(static_cast<std::time_t>(seconds)); }

void finishEntry(ArcEntry& entry) {
  if (entry.isFolder) entry.attributes16 |= 0x10;
  if (entry.attributes16 & 0x10) entry.isFolder = true;
  if (entry.isFolder && !entry.fileName.empty() && entry.fileName.back() == '/') entry.fileName.pop_back();
  entry.ratio = compressionRatio(entry.packedSize, entry.unpackedSize);
}

}  // namespace vz::readers
