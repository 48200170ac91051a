// The read side's directory reader (rules in directory_reader.h).
#include "control/engine/read/directory_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/entry_name.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

constexpr int64_t kBlock = static_cast<int64_t>(ArchiveInput::kBlockSize);
// A remainder of at least this many bytes behind the last block boundary is
// read and searched on its own before the whole blocks.
constexpr int64_t kRemainderWorthReading = 19;
// Bytes of the following block kept to complete a signature that starts in
// the last three bytes of a block.
constexpr size_t kCarry = kSignatureSize - 1;
constexpr uint8_t kEndSignatureBytes[4] = {'P', 'K', 5, 6};

}  // namespace

bool DirectoryReader::open(const std::string& zipName) {
  close();
  path_ = zipName;
  // The existence test sees the path converted from OEM to ANSI; the path
  // itself stays as given.
  if (!fileExists(toNativePath(oemToAnsi(zipName)))) return false;
  if (isDirectory(toNativePath(path_))) path_ += ".ZIP";
  const std::string native = toNativePath(path_);
  if (!isRegularFile(native)) return false;
  return input_.open(native);
}

void DirectoryReader::close() {
  input_.close();
  closed_ = false;
  end_ = {};
  endPosition_ = -1;
  extraBytes_ = 0;
  nextCentral_ = 0;
  entriesRead_ = 0;
}

int64_t DirectoryReader::findEndSignature() {
  const int64_t size = input_.size();
  if (size < static_cast<int64_t>(kEndRecordSize)) return -1;
  const int64_t window = std::min<int64_t>(size, static_cast<int64_t>(kEndRecordSearchWindow));
  const int64_t lowest = size - window;                                 // lowest start searched
  int64_t nextHigh = size - static_cast<int64_t>(kEndRecordSize);       // highest start not yet searched

  std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[ArchiveInput::kBlockSize + ArchiveInput::kSpare]);
  if (!buf) return -1;
  int64_t prevStart = 0;  // the chunk scanned before (its bytes are still in buf)
  size_t prevLen = 0;

  // Reads [start, start + len) and searches its positions from the highest
  // not yet searched down to the window's lowest. The bytes behind the chunk
  // come from the chunk scanned before it.
  auto scanChunk = [&](int64_t start, size_t len) -> int64_t {
    const int64_t chunkEnd = start + static_cast<int64_t>(len);
    std::array<uint8_t, kCarry> carry{};
    size_t carried = 0;
    if (prevLen > 0 && chunkEnd >= prevStart && chunkEnd < prevStart + static_cast<int64_t>(prevLen)) {
      const size_t at = static_cast<size_t>(chunkEnd - prevStart);
      carried = std::min(kCarry, prevLen - at);
      std::memcpy(carry.data(), buf.get() + at, carried);
    }
    const int64_t got = input_.readAt(start, buf.get(), len);
    if (got != static_cast<int64_t>(len)) return -2;  // a read failed
    std::memcpy(buf.get() + len, carry.data(), carried);
    prevStart = start;
    prevLen = len;
    const size_t avail = len + carried;
    for (int64_t p = std::min(nextHigh, chunkEnd - 1); p >= std::max(start, lowest); --p) {
      const size_t i = static_cast<size_t>(p - start);
      if (i + kSignatureSize <= avail && buf[i] == 'P' && std::memcmp(buf.get() + i, kEndSignatureBytes, 4) == 0)
        return p;
    }
    nextHigh = std::min(nextHigh, start - 1);
    return -1;
  };

  if (size <= kBlock) return scanChunk(0, static_cast<size_t>(size));
  const int64_t remainder = size % kBlock;
  const int64_t boundary = size - remainder;
  if (remainder >= kRemainderWorthReading) {
    const int64_t len = std::max<int64_t>(remainder, static_cast<int64_t>(kEndRecordSize));
    const int64_t found = scanChunk(size - len, static_cast<size_t>(len));
    if (found != -1) return found;
  }
  for (int64_t start = boundary - kBlock; start >= 0 && start + kBlock > lowest; start -= kBlock) {
    const int64_t found = scanChunk(start, ArchiveInput::kBlockSize);
    if (found != -1) return found;
  }
  return -1;
}

bool DirectoryReader::signatureAt(int64_t pos, uint32_t signature) {
  uint8_t sig[kSignatureSize];
  return input_.seek(pos) && input_.read(sig, sizeof sig) && loadLe32(sig) == signature;
}

int16_t DirectoryReader::locateEndRecord() {
  closed_ = false;
  end_ = {};
  endPosition_ = -1;
  extraBytes_ = 0;
  entriesRead_ = 0;
  if (!input_.isOpen()) return kNotZip;

  const int64_t pos = findEndSignature();
  if (pos < 0) return kNotZip;
  uint8_t rec[kEndRecordSize];
  if (!input_.seek(pos) || !input_.read(rec, sizeof rec)) return kNotZip;
  const auto parsed = parseEndRecord(rec);
  if (!parsed) return kNotZip;
  end_ = *parsed;
  endPosition_ = pos;

  int64_t extra = pos - (static_cast<int64_t>(end_.directorySize) + end_.directoryOffset);
  int16_t status = kOk;
  if (extra < 0) {
    // The directory claims to reach beyond the end record: nothing of it
    // can be trusted. Readable for the quick test; every directory read
    // fails from here on.
    closed_ = true;
    return kCorrected;
  }
  if (extra > 0) {
    if (end_.directoryOffset == 0 && end_.directorySize != 0) {
      if (extra > static_cast<int64_t>(UINT32_MAX)) return kNotZip;
      end_.directoryOffset = static_cast<uint32_t>(extra);
      extra = 0;
      status = kCorrected;
    } else {
      status = kPrefixData;
    }
  }
  if (end_.directorySize == 0 && end_.directoryOffset == 0) {
    closed_ = true;  // an empty archive: nothing more to read
    return kCorrected;
  }
  extraBytes_ = extra;
  if (signatureAt(end_.directoryOffset + extraBytes_, kCentralHeaderSignature)) return status;
  extraBytes_ = 0;
  if (signatureAt(end_.directoryOffset, kCentralHeaderSignature)) return kCorrected;
  return kNotZip;
}

std::string DirectoryReader::archiveComment(size_t limit) {
  std::string out;
  if (endPosition_ < 0) return out;
  const int64_t at = endPosition_ + static_cast<int64_t>(kEndRecordSize);
  const int64_t avail = rangeFits(at, 0, input_.size()) ? input_.size() - at : 0;
  const size_t n = std::min({static_cast<size_t>(end_.commentLength), static_cast<size_t>(avail), limit});
  if (n == 0) return out;
  out.resize(n);
  const int64_t got = input_.readAt(at, out.data(), n);
  out.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return out;
}

void DirectoryReader::rewind() {
  nextCentral_ = static_cast<int64_t>(end_.directoryOffset) + extraBytes_;
  entriesRead_ = 0;
  namesCut_ = false;
  cancelled_ = false;
}

bool DirectoryReader::skipChecked(int64_t n) {
  const int64_t from = input_.tell();
  return rangeFits(from, n, input_.size()) && input_.seek(from + n);
}

bool DirectoryReader::readName(uint16_t length, uint16_t flags, std::string& out, bool& cut) {
  const size_t keep = std::min<size_t>(length, kMaxNameBytes);
  nameBytes_.resize(keep);
  if (!input_.read(nameBytes_.data(), keep)) return false;
  if (!skipChecked(static_cast<int64_t>(length) - static_cast<int64_t>(keep))) return false;
  processEntryNameInto(nameBytes_, length, flags, out, cut);
  return true;
}

int16_t DirectoryReader::readNextEntry(const WalkOptions& options) {
  if (closed_ || !input_.isOpen() || endPosition_ < 0) return kNotZip;
  uint8_t raw[kCentralHeaderSize];
  if (!input_.seek(nextCentral_) || !input_.read(raw, sizeof raw)) return kNotZip;
  const auto header = parseCentralHeader(raw);
  if (!header) return kNotZip;
  CentralEntry& e = current_;
  e.header = *header;
  e.position = nextCentral_;
  e.commentRead = false;
  e.comment.clear();
  if (!readName(header->nameLength, header->flags, e.name, e.nameCut)) return kNotZip;
  e.extra.resize(header->extraLength);
  if (!input_.read(e.extra.data(), e.extra.size())) return kNotZip;
  e.commentOffset = input_.tell();
  if (options.readComments) {
    e.comment.resize(header->commentLength);
    if (!input_.read(e.comment.data(), e.comment.size())) return kNotZip;
    e.commentRead = true;
  } else if (!skipChecked(header->commentLength)) {
    return kNotZip;
  }
  nextCentral_ = input_.tell();
  ++entriesRead_;
  if (e.nameCut) namesCut_ = true;
  return e.nameCut ? kSkipped : kOk;
}

int16_t DirectoryReader::walk(const WalkOptions& options, const Visitor& visit) {
  rewind();
  while (hasMoreEntries()) {
    if (options.honourCancel && st_.cancel) {
      cancelled_ = true;
      break;
    }
    if (readNextEntry(options) == kNotZip) return kNotZip;
    if (!visit(current_)) break;
  }
  return namesCut_ ? kSkipped : kOk;
}

int16_t DirectoryReader::readLocalHeader(const CentralHeader& central, LocalEntry& out) {
  if (closed_ || !input_.isOpen() || endPosition_ < 0) return kNotZip;
  const int64_t pos = static_cast<int64_t>(central.localHeaderOffset) + extraBytes_;
  uint8_t raw[kLocalHeaderSize];
  if (!input_.seek(pos) || !input_.read(raw, sizeof raw)) return kNotZip;
  const auto header = parseLocalHeader(raw);
  if (!header) return kNotZip;
  out.header = *header;
  out.position = pos;
  if (!readName(header->nameLength, header->flags, out.name, out.nameCut)) return kNotZip;
  out.extra.resize(header->extraLength);
  if (!input_.read(out.extra.data(), out.extra.size())) return kNotZip;
  out.dataOffset = input_.tell();
  return out.nameCut ? kSkipped : kOk;
}

}  // namespace vz::engine
