// Opening the archive an operation names: a single file read in place, or
// (multi-disk mode, -!) the spanned set joined into a temporary file first,
// which goes when the operation ends.
#pragma once

#include <string>

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/unzip/reader_archive.h"

namespace vz::zipwrap {

class OpenedArchive {
 public:
  OpenedArchive() = default;
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  // A result code of reader_archive.h (or of the join); 0 when open.
  // directoryOnly: the operation reads the directory alone (list, count,
  // comment), so a spanned set needs only its last disks.
  [[nodiscard]] uint16_t open(const EngineCommand& command, EngineHost& host, bool directoryOnly);
  ReaderArchive& archive() { return archive_; }

 private:
  ReaderArchive archive_;  // the archive as read
  std::string joined_;     // the temporary joined set, removed at the end; empty when none
};

}  // namespace vz::zipwrap
