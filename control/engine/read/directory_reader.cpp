// The read side's directory reader (rules in directory_reader.h).
#include "control/engine/read/directory_reader.h"

#include <algorithm>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/read/end_record_search.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

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

ReadStatus DirectoryReader::locateEndRecord() {
  closed_ = false;
  end_ = {};
  endPosition_ = -1;
  extraBytes_ = 0;
  entriesRead_ = 0;
  if (!input_.isOpen()) return ReadStatus::NotZip;

  EndRecordLocation loc;
  const EndRecordSearch found = findEndRecord(input_, loc);
  if (loc.position >= 0) {
    end_ = loc.end;
    endPosition_ = loc.position;
  }
  if (found == EndRecordSearch::NotFound) return ReadStatus::NotZip;
  if (found == EndRecordSearch::NegativeExtra) {
    // The directory claims to reach beyond the end record: nothing of it
    // can be trusted. Readable for the quick test; every directory read
    // fails from here on.
    closed_ = true;
    return ReadStatus::Corrected;
  }
  const ReadStatus status = loc.offsetCorrected  ? ReadStatus::Corrected
                            : loc.extraBytes > 0 ? ReadStatus::PrefixData
                                                 : ReadStatus::Ok;
  if (end_.directorySize == 0 && end_.directoryOffset == 0) {
    closed_ = true;  // an empty archive: nothing more to read
    return ReadStatus::Corrected;
  }
  const CentralStart start = checkCentralStart(input_, loc);
  extraBytes_ = loc.extraBytes;
  switch (start) {
    case CentralStart::AtExtraBytes:
      return status;
    case CentralStart::AtStoredOffset:
      return ReadStatus::Corrected;
    case CentralStart::Missing:
      break;
  }
  return ReadStatus::NotZip;
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

ReadStatus DirectoryReader::readNextEntry(const WalkOptions& options) {
  if (closed_ || !input_.isOpen() || endPosition_ < 0) return ReadStatus::NotZip;
  uint8_t raw[kCentralHeaderSize];
  if (!input_.seek(nextCentral_) || !input_.read(raw, sizeof raw)) return ReadStatus::NotZip;
  const auto header = parseCentralHeader(raw);
  if (!header) return ReadStatus::NotZip;
  CentralEntry& e = current_;
  e.header = *header;
  e.position = nextCentral_;
  e.commentRead = false;
  e.comment.clear();
  if (!readName(header->nameLength, header->flags, e.name, e.nameCut)) return ReadStatus::NotZip;
  e.extra.resize(header->extraLength);
  if (!input_.read(e.extra.data(), e.extra.size())) return ReadStatus::NotZip;
  e.commentOffset = input_.tell();
  if (options.readComments) {
    e.comment.resize(header->commentLength);
    if (!input_.read(e.comment.data(), e.comment.size())) return ReadStatus::NotZip;
    e.commentRead = true;
  } else if (!skipChecked(header->commentLength)) {
    return ReadStatus::NotZip;
  }
  nextCentral_ = input_.tell();
  ++entriesRead_;
  if (e.nameCut) namesCut_ = true;
  return e.nameCut ? ReadStatus::Skipped : ReadStatus::Ok;
}

ReadStatus DirectoryReader::walk(const WalkOptions& options, const Visitor& visit) {
  rewind();
  while (hasMoreEntries()) {
    if (options.honourCancel && st_.cancel) {
      cancelled_ = true;
      break;
    }
    if (readNextEntry(options) == ReadStatus::NotZip) return ReadStatus::NotZip;
    if (!visit(current_)) break;
  }
  return namesCut_ ? ReadStatus::Skipped : ReadStatus::Ok;
}

ReadStatus DirectoryReader::readLocalHeader(const CentralHeader& central, LocalEntry& out) {
  if (closed_ || !input_.isOpen() || endPosition_ < 0) return ReadStatus::NotZip;
  const int64_t pos = static_cast<int64_t>(central.localHeaderOffset) + extraBytes_;
  uint8_t raw[kLocalHeaderSize];
  if (!input_.seek(pos) || !input_.read(raw, sizeof raw)) return ReadStatus::NotZip;
  const auto header = parseLocalHeader(raw);
  if (!header) return ReadStatus::NotZip;
  out.header = *header;
  out.position = pos;
  if (!readName(header->nameLength, header->flags, out.name, out.nameCut)) return ReadStatus::NotZip;
  out.extra.resize(header->extraLength);
  if (!input_.read(out.extra.data(), out.extra.size())) return ReadStatus::NotZip;
  out.dataOffset = input_.tell();
  return out.nameCut ? ReadStatus::Skipped : ReadStatus::Ok;
}

}  // namespace vz::engine
