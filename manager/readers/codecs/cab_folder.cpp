// The cabinet header parse and the CFDATA walk (see cab_folder.h).
//
// Each record is read whole into a buffer (at most 8 + 255 + 65,535 bytes),
// its checksum compared, and its bytes handed to the method: stored bytes
// are delivered as they are (the sizes must agree), MSZIP blocks go
// through MszipDecoder, which keeps the folder's history. A record that
// ends a cabinet with uncompressed size 0 is the first part of a block
// that goes on in the next cabinet; its bytes wait until the rest comes.
#include "manager/readers/codecs/cab_folder.h"

#include <cstring>

namespace vz::readers::codecs {

using engine::DecodeStatus;

namespace {

constexpr size_t kFixedHeader = 36;
constexpr size_t kRecordFields = 8;
// A stored block holds at most this many bytes, like an MSZIP one decodes to.
constexpr size_t kMaxBlock = MszipDecoder::kMaxBlock;
// The two parts of a split block together.
constexpr size_t kMaxSplit = 2 * 65535;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A zero-ended text at pos; false when it runs past size.
bool readText(const uint8_t* data, size_t size, size_t& pos, std::string& out) {
  const void* end = pos < size ? std::memchr(data + pos, 0, size - pos) : nullptr;
  if (end == nullptr) return false;
  const size_t len = static_cast<size_t>(static_cast<const uint8_t*>(end) - (data + pos));
  out.assign(reinterpret_cast<const char*>(data + pos), len);
  pos += len + 1;
  return true;
}

// Reads exactly n bytes from the input into out.
bool readExact(engine::DecodeInput& in, uint8_t* out, size_t n) {
  while (n > 0) {
    if (in.available() == 0 && !in.refill()) return false;
    const size_t take = std::min(n, in.available());
    std::memcpy(out, in.data(), take);
    in.consume(take);
    out += take;
    n -= take;
  }
  return true;
}

}  // namespace

uint32_t cabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= size; i += 4) sum ^= le32(data + i);
  uint32_t rest = 0;
  for (; i < size; ++i) rest = (rest << 8) | data[i];
  return sum ^ rest;
}

CabStatus parseCabHeader(const uint8_t* data, size_t size, CabHeader& h) {
  h = CabHeader{};
  if (size < kFixedHeader || std::memcmp(data, "MSCF", 4) != 0) return CabStatus::BadHeader;
  h.cabinetSize = le32(data + 8);
  h.filesOffset = le32(data + 16);
  h.versionMinor = data[24];
  h.versionMajor = data[25];
  h.folderCount = le16(data + 26);
  h.fileCount = le16(data + 28);
  h.flags = le16(data + 30);
  h.setId = le16(data + 32);
  h.index = le16(data + 34);
  size_t pos = kFixedHeader;
  if ((h.flags & kCabReserve) != 0) {
    if (size < pos + 4) return CabStatus::BadHeader;
    h.headerReserve = le16(data + pos);
    h.folderReserve = data[pos + 2];
    h.dataReserve = data[pos + 3];
    pos += 4;
    if (size - pos < h.headerReserve) return CabStatus::BadHeader;
    pos += h.headerReserve;
  }
  if ((h.flags & kCabPrevious) != 0 &&
      (!readText(data, size, pos, h.previousCabinet) || !readText(data, size, pos, h.previousDisk)))
    return CabStatus::BadHeader;
  if ((h.flags & kCabNext) != 0 &&
      (!readText(data, size, pos, h.nextCabinet) || !readText(data, size, pos, h.nextDisk)))
    return CabStatus::BadHeader;
  const size_t recordSize = 8 + size_t{h.folderReserve};
  if ((size - pos) / recordSize < h.folderCount) return CabStatus::BadHeader;
  h.folders.reserve(h.folderCount);
  for (unsigned i = 0; i < h.folderCount; ++i, pos += recordSize) {
    h.folders.push_back({le32(data + pos), le16(data + pos + 4), le16(data + pos + 6)});
  }
  return CabStatus::Ok;
}

CabFolderDecoder::CabFolderDecoder(uint16_t typeCompress, bool verifyChecksums)
    : method_(cabMethodOf(typeCompress)), verify_(verifyChecksums) {}

CabStatus CabFolderDecoder::block(const uint8_t* data, size_t size, size_t uncompressed, engine::DecodeOutput& output) {
  if (method_ == kCabStored) {
    if (size != uncompressed || size > kMaxBlock) return CabStatus::BadBlock;
    if (size > 0 && !output.flush(data, size)) return CabStatus::OutputStopped;
    return CabStatus::Ok;
  }
  switch (mszip_.decodeBlock(data, size, uncompressed, output)) {
    case DecodeStatus::Ok:
      return CabStatus::Ok;
    case DecodeStatus::NoMemory:
      return CabStatus::NoMemory;
    case DecodeStatus::OutputStopped:
      return CabStatus::OutputStopped;
    default:
      return CabStatus::BadData;
  }
}

CabStatus CabFolderDecoder::decodeBlocks(engine::DecodeInput& input, uint32_t blockCount, uint8_t dataReserve,
                                         engine::DecodeOutput& output, const engine::DecodeHooks* hooks) {
  if (method_ == kCabLzx) return CabStatus::LzxUnsupported;
  if (method_ != kCabStored && method_ != kCabMszip) return CabStatus::MethodUnsupported;
  if (method_ == kCabMszip && !mszip_.valid()) return CabStatus::NoMemory;
  for (uint32_t i = 0; i < blockCount; ++i) {
    uint8_t fields[kRecordFields + 255];
    const size_t fieldSize = kRecordFields + dataReserve;
    if (!readExact(input, fields, fieldSize)) return CabStatus::BadBlock;
    const uint32_t checksum = le32(fields);
    const size_t size = le16(fields + 4);
    const size_t uncompressed = le16(fields + 6);
    if (uncompressed > kMaxBlock) return CabStatus::BadBlock;
    record_.resize(size);
    if (!readExact(input, record_.data(), size)) return CabStatus::BadBlock;
    if (verify_ && checksum != 0 &&
        cabChecksum(fields + 4, fieldSize - 4, cabChecksum(record_.data(), size, 0)) != checksum)
      return CabStatus::BadChecksum;

    // The first part of a block split across cabinets waits for the rest.
    if (uncompressed == 0 && i + 1 == blockCount && size > 0) {
      if (!pending_.empty()) return CabStatus::BadBlock;
      pending_ = record_;
      return CabStatus::Ok;
    }
    CabStatus s = CabStatus::Ok;
    if (!pending_.empty()) {
      if (pending_.size() + size > kMaxSplit) return CabStatus::BadBlock;
      pending_.insert(pending_.end(), record_.begin(), record_.end());
      s = block(pending_.data(), pending_.size(), uncompressed, output);
      pending_.clear();
    } else {
      s = block(record_.data(), size, uncompressed, output);
    }
    if (s != CabStatus::Ok) return s;
    if (hooks != nullptr) {
      if (hooks->pump) hooks->pump();
      if (hooks->cancelled && hooks->cancelled()) return CabStatus::Cancelled;
    }
  }
  return CabStatus::Ok;
}

}  // namespace vz::readers::codecs
