// The entry record: what the lister fills for each header it walks and the
// host reads in OnRead (and what the extractors report per entry).
#pragma once

#include <cstdint>
#include <string>

#include "platform/attributes.h"

namespace vz::readers {

struct ArcEntry {
  std::string fileName;  // as stored, converted to UTF-8, "/" separators; control characters kept
                         // (displayName() replaces them)
  int64_t packedSize = 0;
  int64_t unpackedSize = 0;
  int32_t ratio = 0;       // compression ratio, percent saved (0..100)
  uint32_t crc = 0;        // CRC-16 or CRC-32 as the format has it, 0 when none
  vz::LocalTime dateTime;  // converted from the format's DOS or Unix stamp
  int32_t method = 0;      // the format's own method number
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  bool encrypted = false;
  uint16_t attributes16 = 0;  // DOS attributes (0x10 folder)
  uint32_t attributes32 = 0;  // the format's full attribute word (ZIP: external attributes)
  uint8_t zipStrength = 0;    // ZIP: 6 when flag bits 1 and 2 are both set, else 4 for bit 2, 2 for bit 1
  bool isFolder = false;      // a folder entry (ARJ file type 3, attribute 0x10, "/" at the end)
  int64_t headerOffset = 0;   // position of the entry's header in the file (zero-based)
  int64_t dataOffset = 0;     // position of its data, where the extractors start
  int32_t volume = 0;         // ARJ/CAB sets: the volume (cabinet) the entry starts in
  std::string linkTarget;     // TAR symbolic links: the target
  uint32_t unixMode = 0;      // Unix permission and type bits when the format has them, else 0
};

// The name with every control character (below 0x20, and 0x7F) replaced by
// "?", so that a name can never drive the user's terminal or a list view.
std::string displayName(const std::string& name);

// The ratio of the record from its sizes (percent saved, 0 when it grew).
int32_t compressionRatio(int64_t packed, int64_t unpacked);

}  // namespace vz::readers
