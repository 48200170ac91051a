// ArchiveEntry, the write side's in-memory record of one archive entry, and
// Catalogue, the singly linked list of them in archive order that owns them.
//
// The catalogue loader fills the entries from the local and central headers
// (catalogue.h); the writer, the repair and the spanning code update and
// rewrite them. Ownership: the catalogue owns its first entry and every entry
// owns its successor (`next`). Destruction walks the chain iteratively, so a
// list of 65,535 entries never recurses 65,535 deep.
//
// The local and the central extra field may be one shared block (the loader
// shares them when both are byte-identical); std::shared_ptr frees a shared
// block once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/engine/format/zip_records.h"

namespace vz::engine {

using ExtraBlock = std::vector<uint8_t>;

struct ArchiveEntry {
  ArchiveEntry() = default;
  ~ArchiveEntry();
  ArchiveEntry(const ArchiveEntry&) = delete;
  ArchiveEntry& operator=(const ArchiveEntry&) = delete;

  uint32_t mark = 0;           // 0 once loaded; the writer's replace mark
  uint16_t versionMadeBy = 0;  // as on disk (central)
  uint16_t versionNeeded = 0;  // as on disk
  uint16_t flags = 0;          // central flags
  uint16_t method = 0;         // compression method
  uint32_t dosDateTime = 0;    // time low half, date high half
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;  // encryption header included
  uint32_t uncompressedSize = 0;
  uint32_t nameLength = 0;  // bytes, no terminator
  uint32_t localExtraLength = 0;
  uint32_t centralExtraLength = 0;
  uint32_t commentLength = 0;  // file comment
  uint16_t diskNumberStart = 0;
  uint16_t internalAttributes = 0;
  uint16_t localFlags = 0;  // flags as in the local header
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;            // absolute position of the local header in the file
  std::string displayName;                   // the name as UTF-8 text, for progress messages
  std::shared_ptr<ExtraBlock> localExtra;    // null when empty
  std::shared_ptr<ExtraBlock> centralExtra;  // null when empty; may be the local block itself
  std::string comment;                       // file comment bytes, as stored
  std::string name;                          // name bytes as stored in the archive
  std::unique_ptr<ArchiveEntry> next;        // next entry in archive order, null at the end
  // Bytes of the data descriptor that follows the entry's data in the file
  // (0 or 16), so that an entry copied unchanged keeps its descriptor.
  uint32_t descriptorSize = 0;

  bool extrasShared() const { return localExtra && localExtra == centralExtra; }
  uint16_t time() const { return static_cast<uint16_t>(dosDateTime & 0xFFFF); }
  uint16_t date() const { return static_cast<uint16_t>(dosDateTime >> 16); }

  // The headers this entry is written with.
  LocalHeader localHeader() const;
  CentralHeader centralHeader() const;
  // Takes every field of a central header (the local flags become its flags).
  void assignFrom(const CentralHeader& c);
};

class Catalogue {
 public:
  Catalogue() = default;
  ~Catalogue() { clear(); }
  Catalogue(Catalogue&& other) noexcept;
  Catalogue& operator=(Catalogue&& other) noexcept;
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  ArchiveEntry* first() const { return first_.get(); }
  ArchiveEntry* last() const { return last_; }
  size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Appends at the end and returns the entry.
  ArchiveEntry* append(std::unique_ptr<ArchiveEntry> entry);
  // Frees every entry.
  void clear();

 private:
  std::unique_ptr<ArchiveEntry> first_;  // head of the chain; owns it
  ArchiveEntry* last_ = nullptr;         // tail, for appending
  size_t count_ = 0;                     // entries in the chain
};

}  // namespace vz::engine
