// The BH record layout (described once, in walk_bh.cpp's file header) as the
// writer (TBlakHole) and the extractor (TUnBH) use it: the method byte, the
// meaning of TCompressMethod, and one record's header made and checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manager/readers/arc_types.h"

namespace vz::readers {

// Byte 10: how the data is kept.
constexpr uint8_t kBhStored = 0, kBhDeflated = 8;
// Byte 9: flag bits.
constexpr uint8_t kBhEncrypted = 0x01, kBhHeaderCrc = 0x02;
// Bytes 7 and 8: the version this writer puts in both.
constexpr uint8_t kBhVersion = 10;
constexpr int64_t kBhNameAt = 39;
// The end record: the signature with a header size of 0, padded to the
// walk's fixed header length.
constexpr size_t kBhEndRecord = 37;

// What a TCompressMethod setting writes: the method byte and, for deflate,
// the level of the control's levelled deflater (control/engine/encode/
// level_deflate.h).
struct BhMethodChoice {
  uint8_t method = kBhStored;
  int level = 0;
};
BhMethodChoice bhMethodOf(TCompressMethod m);

// The fields of one record's header.
struct BhRecordFields {
  uint8_t flags = 0;  // kBhEncrypted; kBhHeaderCrc is always added
  uint8_t method = kBhStored;
  uint32_t dosStamp = 0;  // time low, date high
  uint32_t packed = 0, unpacked = 0, crc = 0;
  uint16_t attributes = 0;
  std::string name;  // stored form ("\" separators)
};
// The header bytes (39 + name length), its CRC filled in.
std::vector<uint8_t> bhMakeHeader(const BhRecordFields& f);
// The CRC-32 of a header of size bytes with bytes 29..32 left out.
uint32_t bhHeaderCrc(const uint8_t* header, size_t size);
// The end record.
std::vector<uint8_t> bhEndRecord();

}  // namespace vz::readers
