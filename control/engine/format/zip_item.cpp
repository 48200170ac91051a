// Building a ZIPITEM from a central entry (see zip_item.h).
#include "control/engine/format/zip_item.h"

#include <cmath>

#include "control/engine/format/dos_time.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/version_rules.h"
#include "platform/attributes.h"

namespace vz::engine {

int32_t compressionRate(uint32_t uncompressed, uint32_t compressed) {
  if (uncompressed == 0) return 0;
  const double u = uncompressed;
  const double c = compressed;
  const double rate = std::trunc((u - c) / u * 100.0 + 0.5);
  if (rate < 1.0 || rate > 100.0) return 0;
  return static_cast<int32_t>(rate);
}

ZIPITEM makeZipItem(const CentralHeader& h, std::string_view processedName) {
  ZIPITEM item;
  const NameParts parts = splitEntryName(processedName);
  item.name = std::string(utf8Prefix(parts.name, ZIPITEM::kTextBytes));
  item.directory = std::string(utf8Prefix(parts.directory, ZIPITEM::kTextBytes));
  const uint32_t attr = h.externalAttributes;
  item.isDirectory = static_cast<int32_t>(attr & kAttrDirectory);
  item.isEncrypted = h.flags & kFlagEncrypted;
  item.method = reportedMethod(h.method);
  item.day = dosDay(h.date);
  item.month = dosMonth(h.date);
  item.year = dosTwoDigitYear(h.date);
  item.hour = dosHour(h.time);
  item.minute = dosMinute(h.time);
  item.originalSize = item.isDirectory ? 0 : h.uncompressedSize;
  item.rate = item.isDirectory ? 0 : compressionRate(h.uncompressedSize, h.compressedSize);
  item.isArchive = static_cast<int32_t>(attr & kAttrArchive);
  item.isHidden = static_cast<int32_t>(attr & kAttrHidden);
  item.isSystem = static_cast<int32_t>(attr & kAttrSystem);
  item.isReadOnly = static_cast<int32_t>(attr & kAttrReadOnly);
  item.isAnnotated = h.commentLength != 0 ? 1 : 0;
  item.iconIndex = 0;
  item.crc = h.crc32;
  return item;
}

}  // namespace vz::engine
