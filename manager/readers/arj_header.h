// ARJ's headers as the walk (walk_arj.cpp) parses them, for TUnARJ, which
// walks the volumes of a set itself to decode every part of an entry: the
// byte layout is in walk_arj.cpp's file header.
#pragma once

#include <cstdint>
#include <string>

#include "manager/readers/arc_lister.h"

namespace vz::readers {

// Header flag bits (byte 8).
enum : uint8_t { kArjEncrypted = 0x01, kArjVolume = 0x04, kArjExtFile = 0x08 };

// One header, as parsed from any file of the set.
struct ArjHeader {
  uint16_t basicSize = 0;  // 0 for the end of the archive
  uint8_t firstSize = 0;
  uint8_t versionMade = 0, versionNeeded = 0, hostOs = 0, flags = 0, method = 0, fileType = 0;
  uint8_t modifier = 0;           // byte 11: a local header's garbling modifier
  uint8_t encryptionVersion = 0;  // a main header's byte 32 (0 and 1: the garbling; 2 on: other ciphers)
  uint32_t stamp = 0, packed = 0, unpacked = 0, crc = 0;
  uint16_t accessMode = 0;
  std::string name;
  std::string unixLink;   // a Unix special file's ("U" extended header) target, "" when none
  int64_t dataStart = 0;  // behind the header's CRC and extended headers
};

// Parses the header at pos of ctx's file. Returns 0, or the error code of a
// header that does not fit (its id, its CRC, its sizes, data past the end).
int32_t parseArjHeader(const WalkContext& ctx, int64_t pos, ArjHeader& out);
// The first local header's position behind the main header at pos (its
// fields in *mainHeader when given), or an error.
int32_t arjFirstLocalHeader(const WalkContext& ctx, int64_t pos, int64_t& first, ArjHeader* mainHeader = nullptr);
// The entry's modification time: the stamp as seconds since 1970 from a
// Unix host (host OS 2), else as a DOS date and time.
vz::LocalTime arjStamp(const ArjHeader& h);
// The number of the volume after the one at path (NAME.ARJ -> 1, NAME.A01 -> 2).
int arjVolumeNumberAfter(const std::string& path);

}  // namespace vz::readers
