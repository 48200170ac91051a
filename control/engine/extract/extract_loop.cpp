// The entry loop of an extraction run (rules in extract_job.h), the facts
// an entry is extracted by, and the drive check of a destination.
#include <sys/stat.h>

#include <vector>

#include "control/engine/extract/extract_job.h"
#include "control/engine/format/mask.h"
#include "control/engine/common/notify.h"
#include "control/engine/common/status.h"
#include "control/engine/common/temp_base.h"
#include "control/engine/format/version_rules.h"
#include "platform/charcase.h"
#include "platform/drives.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

bool hasWildcard(const std::string& mask) { return mask.find_first_of("*?") != std::string::npos; }

}  // namespace

EntryFacts entryFactsOf(const LocalHeader& local, const CentralHeader& central) {
  EntryFacts f;
  f.method = local.method;
  f.flags = local.flags;
  f.time = local.time;
  f.date = local.date;
  const bool descriptor = (local.flags & kFlagDataDescriptor) != 0;
  f.crc = descriptor ? central.crc32 : local.crc32;
  f.compressedSize = descriptor ? central.compressedSize : local.compressedSize;
  f.uncompressedSize = descriptor ? central.uncompressedSize : local.uncompressedSize;
  f.externalAttributes = central.externalAttributes;
  return f;
}

ReadStatus destinationDriveStatus(const std::string& path) {
  const DriveType type = drives::driveType(path);
  if (type == DriveType::CdRom) return ReadStatus::CdRomDrive;
  if (type == DriveType::Removable && drives::isWriteProtected(path)) return ReadStatus::DriveNotWritable;
  const std::optional<uint64_t> free = drives::freeSpace(path);
  if (free && *free == 0) return ReadStatus::NoFreeSpace;
  return ReadStatus::Ok;
}

ExtractJob::ExtractJob(UnzipState& st, DirectoryReader& reader, const ExtractOptions& options)
    : st_(st), reader_(reader), opt_(options) {
  if (opt_.mode == ExtractMode::Normal || opt_.mode == ExtractMode::View) folders_.emplace(opt_.destination);
  if (opt_.mode == ExtractMode::Test) {
    tempFolder_ = computeTempBaseFolder();
    while (tempFolder_.size() > 1 && tempFolder_.back() == '/') tempFolder_.pop_back();
  }
  struct stat s {};
  if (::stat(toNativePath(reader_.archivePath()).c_str(), &s) == 0) {
    archiveDevice_ = s.st_dev;
    archiveInode_ = s.st_ino;
    archiveKnown_ = true;
  }
}

bool ExtractJob::selects(const CentralEntry& e, bool& lastWanted) const {
  lastWanted = false;
  const std::string& mask = opt_.mask;
  if (opt_.mode == ExtractMode::Test || mask.empty() || mask == "*.*") return true;
  if (hasWildcard(mask)) return maskMatches(e.name, mask);
  if (!equalsNoCase(e.name, mask)) return false;
  lastWanted = true;
  return true;
}

ReadStatus ExtractJob::run() {
  reader_.rewind();
  std::vector<Selected> block;
  block.reserve(kBlockEntries);
  bool walkEnds = false;
  while (!walkEnds && reader_.hasMoreEntries()) {
    block.clear();
    while (block.size() < kBlockEntries && reader_.hasMoreEntries()) {
      if (st_.cancel) {
        cancelled_ = true;
        walkEnds = true;
        break;
      }
      const ReadStatus s = reader_.readNextEntry();
      if (s == ReadStatus::NotZip) {
        fail(ReadStatus::NotZip);
        walkEnds = true;
        break;
      }
      const CentralEntry& e = reader_.current();
      bool lastWanted = false;
      if (!selects(e, lastWanted)) continue;
      if (e.nameCut || !isExtractable(e.header.method, e.header.versionNeeded)) {
        skip();
      } else {
        block.push_back({e.header, e.name});
      }
      if (lastWanted) {
        walkEnds = true;
        break;
      }
    }
    for (size_t i = 0; i < block.size(); ++i) {
      if (st_.cancel) {
        cancelled_ = true;
        walkEnds = true;
        break;
      }
      pumpIf(st_.pump);
      processEntry(block[i]);
      if (writeFailed_) {
        walkEnds = true;
        break;
      }
    }
  }
  if (lastFailure_ != ReadStatus::Ok) return lastFailure_;
  return skipped_ || cancelled_ ? ReadStatus::Skipped : ReadStatus::Ok;
}

}  // namespace vz::engine
