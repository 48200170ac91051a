// One change to an archive on the writer side, from the lock to the new
// archive in its place: shared by add, freshen, update, delete and the
// comment.
//
//   open()       the archive's target, the advisory lock (flock, 180 when
//                another engine holds it) and the old archive's entries
//   beginBuild() a temporary file in -b DIR or beside the archive; or, in
//                place (-g), the archive itself from its old central
//                directory on, with the old directory saved
//   copy...()    old entries byte for byte; the caller writes new ones
//                through builder()
//   commit()     the directory and end record, then the temporary file
//                renamed over the archive (write/archive_update_place.h)
//   rollback()   on any failure: the temporary file removed; in place, the
//                archive cut back to its old length with its old directory
//
// The old archive is loaded with the catalogue loader (read/catalogue.h).
// That loader refuses some archives that readers open fine (a prefix whose
// offsets were not adjusted, entries in another order than their
// directory, bytes between entries); those are loaded from their central
// directory instead (loadFromDirectory below), so they can still be
// updated. Split or spanned archives (disk numbers in the end record) give
// 410.
//
// Zip64 archives (a Zip64 end locator before the end record, or entries
// whose sizes or offset hold the marker) are loaded from their directory
// too: the entries keep the classic fields as stored (markers included) and
// their full sizes and offset are kept beside them (OldArchive::wide). A
// kept entry's record gets its new offset in the header or the Zip64 field
// as it needs (zip64_records.h), and an archive that had the Zip64 end
// records keeps them, whatever it holds afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "control/engine/read/catalogue.h"
#include "control/engine/write/archive_update_place.h"
#include "control/engine/write/zip_writer.h"
#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/zip/zip64_records.h"

namespace vz::zipwrap {

// An old entry whose sizes or offset do not all sit in its classic fields.
struct WideEntry {
  WideFacts facts;          // sizes and the local header's absolute position, in full
  bool rawMarked = false;   // the central header held the marker for each (the values came from
  bool dataMarked = false;  //   the Zip64 field)
  bool offsetMarked = false;
};

// What was read of the archive before the change.
struct OldArchive {
  bool exists = false;                // an archive stood at the name
  engine::LoadedCatalogue catalogue;  // its entries in archive order, prefix, directory start, comment
  int64_t endRecordPosition = 0;      // where its end record starts
  int64_t fileSize = 0;               // its length
  bool zip64 = false;                 // it had the Zip64 end record and locator
  std::unordered_map<const engine::ArchiveEntry*, WideEntry> wide;  // the entries with Zip64 fields

  // An entry's facts in full.
  WideFacts factsOf(const engine::ArchiveEntry& e) const;
};

// Reads the entries of the archive at native: 0, 110 (no end record: not an
// archive), 160 (the directory is damaged), 410 (one disk of a split set),
// 120 (out of memory).
[[nodiscard]] uint16_t loadOldArchive(const std::string& native, OldArchive& out);

// The result code of a failed write from its errno: 150 for a full disk or
// quota or a file too large, else 500.
uint16_t writeFailureCode(int error);

class ArchiveUpdate {
 public:
  ArchiveUpdate(const EngineCommand& command, EngineHost& host);
  ~ArchiveUpdate();
  ArchiveUpdate(const ArchiveUpdate&) = delete;
  ArchiveUpdate& operator=(const ArchiveUpdate&) = delete;

  // Locks and loads the archive (see above). mustExist: a missing archive
  // gives 100. A name that cannot take an archive (a folder, an unwritable
  // place) gives 400.
  [[nodiscard]] uint16_t open(bool mustExist);
  const OldArchive& old() const { return old_; }
  const engine::ArchiveTarget& target() const { return target_; }

  // Starts the new archive (see above); the prefix bytes in front of the
  // first entry are copied in temporary mode.
  [[nodiscard]] uint16_t beginBuild(bool inPlace);
  bool inPlace() const { return inPlace_; }
  engine::ArchiveBuilder& builder() { return builder_; }
  // The temporary file (empty in place).
  const std::string& tempPath() const { return builder_.path(); }

  // Copies an old entry unchanged (its central record too); in place, only
  // its central record is kept (the entry stays where it is). comment
  // replaces its file comment when given.
  [[nodiscard]] uint16_t keepEntry(const engine::ArchiveEntry& entry, const std::string* comment = nullptr);

  // Finishes the directory with the archive comment and puts the archive
  // in place: 0, 150, 400 (it cannot be replaced, or a spanned set would
  // need Zip64) or 500.
  // Raises 1030 before placing it; a stop there gives 190.
  [[nodiscard]] uint16_t commit(std::string_view archiveComment);
  // Undoes everything (called by the destructor unless commit() succeeded).
  void rollback();

 private:
  const EngineCommand& command_;    // the parsed command line
  EngineHost& host_;                // callbacks
  engine::ArchiveTarget target_;    // the archive's file and its attributes
  OldArchive old_;                  // what it held
  int lockFd_ = -1;                 // descriptor holding the flock, -1: none
  engine::ArchiveBuilder builder_;  // the new archive
  File source_;                     // the old archive, open for copying entries
  bool building_ = false;           // beginBuild() succeeded, commit() not yet
  bool inPlace_ = false;            // -g: building into the archive itself
  bool createdInPlace_ = false;     // in place on an archive that did not exist
  std::vector<uint8_t> savedTail_;  // in place: the old directory and end record
};

}  // namespace vz::zipwrap
