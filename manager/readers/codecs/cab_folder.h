// A CAB folder's data: the cabinet header fields the extractor needs to
// find its folders, and the walk over a folder's CFDATA records feeding the
// folder's method (stored or MSZIP).
//
// Cabinet header (little-endian):
//   0  "MSCF"          4 reserved       8  cabinet size   12 reserved
//   16 first file record offset         20 reserved
//   24 minor version, 25 major version  26 folder count   28 file count
//   30 flags: 1 a previous cabinet, 2 a next cabinet, 4 reserve fields
//   32 set id          34 cabinet index in the set
//   36 [flag 4: 2-byte header reserve, 1-byte folder reserve, 1-byte data
//      reserve, then the header reserve's bytes]
//      [flag 1: previous cabinet name, disk name, each ending 0]
//      [flag 2: next cabinet name, disk name]
//      folder records: 4-byte offset of the first CFDATA, 2-byte CFDATA
//      count, 2-byte method (bits 0-3; LZX and Quantum keep a window size
//      in bits 8-12), then the folder reserve's bytes
//
// CFDATA record:
//   0  checksum (0: none)  4 compressed size  6 uncompressed size
//   8  the data reserve's bytes, then the compressed bytes
//
// The checksum XORs the little-endian 32-bit words of the compressed bytes
// (1 to 3 bytes left over are taken most significant first), then goes on
// over the record's sizes and reserve bytes from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"
#include "manager/readers/codecs/mszip.h"

namespace vz::readers::codecs {

enum class CabStatus : uint8_t {
  Ok = 0,
  BadHeader,          // not "MSCF", or the header or a folder record ends early
  BadBlock,           // a CFDATA record that ends early or whose sizes cannot be
  BadChecksum,        // a CFDATA checksum that does not match
  BadData,            // the method's data is damaged
  LzxUnsupported,     // method 3 (the extractor reports 25148)
  MethodUnsupported,  // method 2 (Quantum) or any other (the extractor reports 25200)
  NoMemory,
  OutputStopped,  // the output refused bytes (past its limit, or the sink failed)
  Cancelled,
};

enum CabMethod : uint16_t { kCabStored = 0, kCabMszip = 1, kCabQuantum = 2, kCabLzx = 3 };
constexpr uint16_t cabMethodOf(uint16_t typeCompress) { return typeCompress & 0x000F; }

constexpr uint16_t kCabPrevious = 0x0001;
constexpr uint16_t kCabNext = 0x0002;
constexpr uint16_t kCabReserve = 0x0004;

struct CabFolderRecord {
  uint32_t dataOffset = 0;    // the first CFDATA record, from the cabinet's start
  uint16_t blockCount = 0;    // CFDATA records in this cabinet
  uint16_t typeCompress = 0;  // the method word
};

struct CabHeader {
  uint32_t cabinetSize = 0;
  uint32_t filesOffset = 0;
  uint8_t versionMinor = 0;
  uint8_t versionMajor = 0;
  uint16_t folderCount = 0;
  uint16_t fileCount = 0;
  uint16_t flags = 0;
  uint16_t setId = 0;
  uint16_t index = 0;
  uint16_t headerReserve = 0;  // bytes of the header's reserve
  uint8_t folderReserve = 0;   // reserve bytes after each folder record
  uint8_t dataReserve = 0;     // reserve bytes in each CFDATA record
  std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
  std::vector<CabFolderRecord> folders;
};

// Parses the header and folder records from the cabinet's first bytes
// (size of them; the whole file or at least through the folder records).
[[nodiscard]] CabStatus parseCabHeader(const uint8_t* data, size_t size, CabHeader& header);

// The CFDATA checksum of a record's compressed bytes and its fields from
// offset 4 on (sizes and reserve).
uint32_t cabChecksum(const uint8_t* data, size_t size, uint32_t seed);

// Decodes one folder's data, a cabinet at a time.
class CabFolderDecoder {
 public:
  // typeCompress: the folder's method word. verifyChecksums: compare the
  // records' checksums (a checksum of 0 is never compared).
  explicit CabFolderDecoder(uint16_t typeCompress, bool verifyChecksums = true);

  // Decodes blockCount CFDATA records (with dataReserve reserve bytes each)
  // from input, positioned at the first of them, and delivers the folder's
  // bytes to output, each block in one flush. A record whose uncompressed
  // size is 0 and that ends this cabinet continues in the next one: call
  // again with the next cabinet's records of the folder (splitPending()
  // tells). The hooks are called after each block.
  [[nodiscard]] CabStatus decodeBlocks(engine::DecodeInput& input, uint32_t blockCount, uint8_t dataReserve,
                                       engine::DecodeOutput& output, const engine::DecodeHooks* hooks = nullptr);

  // The last record seen continues in the next cabinet.
  bool splitPending() const { return !pending_.empty(); }

 private:
  CabStatus block(const uint8_t* data, size_t size, size_t uncompressed, engine::DecodeOutput& output);

  uint16_t method_;               // the folder's method (bits 0-3 of the word)
  bool verify_;                   // compare non-zero checksums
  MszipDecoder mszip_;            // MSZIP state carried from block to block
  std::vector<uint8_t> pending_;  // compressed bytes of a block split across cabinets
  std::vector<uint8_t> record_;   // the current record's bytes
};

}  // namespace vz::readers::codecs
