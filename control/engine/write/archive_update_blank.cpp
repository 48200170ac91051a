// CreateBlankZIPFile's archive: the end record alone (see archive_update.h).
#include <string_view>

#include "control/engine/write/archive_update.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/format/zip_records.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

bool createBlankArchive(const std::string& zipName, bool replaceExisting) {
  const WriteOperation op;
  if (!op.acquired() || zipName.empty()) return false;
  const std::string native = toNativePath(zipName);
  if (native.empty() || isDirectory(native)) return false;
  if (!replaceExisting && fileExists(native)) return false;
  // Signature, every other field 0: no entries, no directory, no comment.
  const auto bytes = encodeEndRecord(EndRecord{});
  // Written beside and renamed, so an archive that stood there is replaced
  // whole or not at all.
  return writeFileAtomic(native, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace vz::engine
