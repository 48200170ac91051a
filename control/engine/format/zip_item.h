// ZIPITEM: one listed entry as the host sees it, built from a central header
// and the entry's processed name. The item list (list box or list view)
// keeps these; the item accessor methods read them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/engine/format/zip_records.h"

namespace vz::engine {

struct ZIPITEM {
  // The two text fields are 260-byte blocks: at most 259 bytes of text,
  // cut at a character boundary.
  static constexpr size_t kTextBytes = 259;

  std::string name;           // file name part of the entry path, upper case; empty for a directory entry
  std::string directory;      // directory part including its trailing "\"; empty at the root
  int32_t isDirectory = 0;    // 0 or 0x10: external attributes & 0x10
  int32_t isEncrypted = 0;    // 0 or 1: flags & 1
  int32_t method = 0;         // method capped at 9
  int32_t day = 0;            // date & 31
  int32_t month = 0;          // (date / 32) & 15
  int32_t year = 0;           // two-digit year ((date / 512) + 80) mod 100
  int32_t hour = 0;           // time / 2048
  int32_t minute = 0;         // (time / 32) & 63
  uint32_t originalSize = 0;  // uncompressed size; 0 for a directory entry
  int32_t rate = 0;           // compression rate in percent; 0 for a directory entry
  int32_t isArchive = 0;      // 0 or 0x20
  int32_t isHidden = 0;       // 0 or 2
  int32_t isSystem = 0;       // 0 or 4
  int32_t isReadOnly = 0;     // 0 or 1
  int32_t isAnnotated = 0;    // 0 or 1: file comment length is not 0
  int32_t iconIndex = 0;      // index into the item image lists; set by the item-list code
  uint32_t crc = 0;           // CRC-32 of the entry
};

// The compression rate in percent: the integer part of
// ((uncompressed - compressed) / uncompressed x 100 + 0.5), in floating
// point; 0 for an empty entry and for any result outside 1..100 (so a file
// that grew has rate 0).
int32_t compressionRate(uint32_t uncompressed, uint32_t compressed);

// The item of a central entry with its processed name ("\" separators,
// upper case). The icon index is left 0.
ZIPITEM makeZipItem(const CentralHeader& h, std::string_view processedName);

}  // namespace vz::engine
