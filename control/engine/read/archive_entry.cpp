// ArchiveEntry and the catalogue list (see archive_entry.h).
#include "control/engine/read/archive_entry.h"

#include <utility>

namespace vz::engine {

ArchiveEntry::~ArchiveEntry() {
  // Unlink the successors one by one instead of letting each destructor
  // destroy the next (which would recurse once per entry).
  std::unique_ptr<ArchiveEntry> p = std::move(next);
  while (p) p = std::move(p->next);
}

LocalHeader ArchiveEntry::localHeader() const {
  LocalHeader h;
  h.versionNeeded = versionNeeded;
  h.flags = localFlags;
  h.method = method;
  h.time = time();
  h.date = date();
  h.crc32 = crc32;
  h.compressedSize = compressedSize;
  h.uncompressedSize = uncompressedSize;
  h.nameLength = static_cast<uint16_t>(nameLength);
  h.extraLength = static_cast<uint16_t>(localExtraLength);
  return h;
}

CentralHeader ArchiveEntry::centralHeader() const {
  CentralHeader h;
  h.versionMadeBy = versionMadeBy;
  h.versionNeeded = versionNeeded;
  h.flags = flags;
  h.method = method;
  h.time = time();
  h.date = date();
  h.crc32 = crc32;
  h.compressedSize = compressedSize;
  h.uncompressedSize = uncompressedSize;
  h.nameLength = static_cast<uint16_t>(nameLength);
  h.extraLength = static_cast<uint16_t>(centralExtraLength);
  h.commentLength = static_cast<uint16_t>(commentLength);
  h.diskNumberStart = diskNumberStart;
  h.internalAttributes = internalAttributes;
  h.externalAttributes = externalAttributes;
  h.localHeaderOffset = localHeaderOffset;
  return h;
}

void ArchiveEntry::assignFrom(const CentralHeader& c) {
  versionMadeBy = c.versionMadeBy;
  versionNeeded = c.versionNeeded;
  flags = c.flags;
  localFlags = c.flags;
  method = c.method;
  dosDateTime = static_cast<uint32_t>(c.time) | (static_cast<uint32_t>(c.date) << 16);
  crc32 = c.crc32;
  compressedSize = c.compressedSize;
  uncompressedSize = c.uncompressedSize;
  nameLength = c.nameLength;
  centralExtraLength = c.extraLength;
  commentLength = c.commentLength;
  diskNumberStart = c.diskNumberStart;
  internalAttributes = c.internalAttributes;
  externalAttributes = c.externalAttributes;
  localHeaderOffset = c.localHeaderOffset;
}

Catalogue::Catalogue(Catalogue&& other) noexcept
    : first_(std::move(other.first_)),
      last_(std::exchange(other.last_, nullptr)),
      count_(std::exchange(other.count_, 0)) {}

Catalogue& Catalogue::operator=(Catalogue&& other) noexcept {
  if (this != &other) {
    clear();
    first_ = std::move(other.first_);
    last_ = std::exchange(other.last_, nullptr);
    count_ = std::exchange(other.count_, 0);
  }
  return *this;
}

ArchiveEntry* Catalogue::append(std::unique_ptr<ArchiveEntry> entry) {
  ArchiveEntry* e = entry.get();
  if (!e) return nullptr;
  e->next.reset();
  if (last_)
    last_->next = std::move(entry);
  else
    first_ = std::move(entry);
  last_ = e;
  ++count_;
  return e;
}

void Catalogue::clear() {
  first_.reset();  // the entry destructor frees the chain iteratively
  last_ = nullptr;
  count_ = 0;
}

}  // namespace vz::engine
