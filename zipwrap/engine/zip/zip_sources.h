// The files an add, freshen or update takes: the command's patterns
// walked on disk and turned into sources with their stored names.
//
// A pattern is a path (file or folder) or a mask whose last component
// holds "*" or "?" ("dir/*.*": every file of dir). A folder adds its
// contents only with -r (and its own entry with -D); a mask with -r is
// applied in every folder below its own. Symbolic links are followed (a
// folder reached twice through links is walked once). Names starting with
// "." are passed over while walking unless -S; a file named explicitly is
// always taken. -t drops files changed before the date, -i/-x filter the
// stored names, -j keeps only the last component (and stores no folders).
// The archive itself and the files named in `exclude` (the temporary
// archive) are never taken.
//
// Outcome: the sources in the order found, each stored name once. A
// pattern that matches nothing is listed in notFound. Two different
// files that come out as one stored name: duplicateName is set (370). The
// same file reached twice under one name is taken once.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "zipwrap/engine/engine_command.h"

namespace vz::zipwrap {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct Source {
  std::string native;  // the file to read ("" for the volume label)
  std::string stored;  // the entry's name ("/" at the end of a folder)
  bool isFolder = false;
  bool isVolumeLabel = false;
  uint64_t size = 0;          // bytes (0 for folders and the label)
  std::time_t mtime = 0;      // modification time
  uint32_t unixMode = 0;      // st_mode (type and permission bits)
  uint8_t dosAttributes = 0;  // read-only, hidden, folder, archive (0x08 for the label)
  FileIdentity identity;      // the file's device and inode
};

struct SourceSelection {
  std::vector<Source> sources;        // in the order found
  std::vector<std::string> notFound;  // patterns that matched nothing
  std::string duplicateName;          // set: two files give this stored name
  bool anyFound = false;              // some pattern named something that exists
};

// Walks the command's patterns (see above).
SourceSelection selectSources(const EngineCommand& command, const std::vector<FileIdentity>& exclude);

// The identity of a path (links followed); false when it does not exist.
bool identityOf(const std::string& native, FileIdentity& out);

}  // namespace vz::zipwrap
