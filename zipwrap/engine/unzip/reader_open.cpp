// Opening an operation's archive (see reader_open.h).
#include "zipwrap/engine/unzip/reader_open.h"

#include <unistd.h>

#include "zipwrap/engine/media/span_read.h"

namespace vz::zipwrap {

OpenedArchive::~OpenedArchive() {
  if (!joined_.empty()) ::unlink(joined_.c_str());
}

uint16_t OpenedArchive::open(const EngineCommand& command, EngineHost& host, bool directoryOnly) {
  if (!command.multiDisk) return archive_.open(command.archive, false);
  const OpResult joined = joinSpannedSet(command, host, directoryOnly, joined_);
  if (joined.code != kResultOk) return joined.code;
  return archive_.open(joined_, true);
}

}  // namespace vz::zipwrap
