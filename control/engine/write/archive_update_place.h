// The archive a write operation updates, and putting the finished new
// archive (a temporary file, zip_writer.h) in its place.
//
// The archive is never written in place and never deleted first: the
// finished file replaces it in one rename, so a crash or a kill at any
// moment leaves either the old archive or the new one, whole.
//
//   1. On a removable drive the disk must take writes: it must not be
//      write-protected, and its volume label is set to "1" and back (the
//      label file is removed again when there was none). A refusal: 15.
//   2. Same file system (and, for a simulated drive, the temporary file
//      inside its folder): the temporary file, already flushed to the
//      medium, is renamed over the archive and the folder flushed.
//   3. Otherwise the archive's drive must have room for the temporary
//      file's size (16 when it has not; a free space that cannot be read is
//      not checked); the temporary file is copied to a temporary name
//      beside the archive ("ZIP....TMP"), flushed, and that copy renamed
//      over the archive; the temporary file is removed. A copy that fails
//      for want of room gives 16, any other failure 2; the copy beside the
//      archive is removed again and the archive is untouched.
//   4. The new archive gets the old one's permission bits (a new archive
//      the default ones) and the remembered DOS attributes.
//
// An archive name that is a symbolic link updates the file it points to;
// the link stays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "control/engine/write/write_status.h"

namespace vz::engine {

struct ArchiveTarget {
  std::string native;                  // file-system path of the archive (a link's target)
  bool exists = false;                 // a regular file stands there
  bool isFolder = false;               // the name is a folder (cannot be an archive)
  std::optional<uint32_t> attributes;  // the archive's DOS attributes, remembered before the update
  unsigned mode = 0644;                // permission bits the new file gets
  uint64_t device = 0, inode = 0;      // identity of the existing archive (never added to itself)
};

// The target of a host's archive name ("A:\X.ZIP", "x.zip", "/path/x.zip").
ArchiveTarget describeTarget(const std::string& zipName);

// The write test of a removable drive (step 1): Ok, or WriteProtected (15).
// Any other drive: Ok without a test.
[[nodiscard]] PlaceStatus removableDiskTest(const std::string& native);

// Whether the archive's path can be opened for writing, before any work: a
// missing archive is created for the test and removed again. Ok;
// WriteProtected (15) for a write-protected removable disk; IoError (2)
// otherwise.
[[nodiscard]] PlaceStatus checkWritable(const ArchiveTarget& target);

// Puts the finished temporary file in place (steps above): Ok, IoError (2),
// WriteProtected (15) or DiskFull (16). The temporary file is gone
// afterwards when the result is Ok; otherwise it is left to its owner (the
// builder removes it).
[[nodiscard]] PlaceStatus putInPlace(const std::string& tempFile, const ArchiveTarget& target);

}  // namespace vz::engine
