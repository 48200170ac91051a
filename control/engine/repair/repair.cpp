// Repare (repair.h).
#include "control/engine/repair/repair.h"

#include <new>

#include "control/engine/write/archive_update_place.h"
#include "control/engine/read/catalogue.h"
#include "control/engine/common/notify.h"
#include "control/engine/repair/repair_resync.h"
#include "control/engine/format/zip_records.h"
#include "control/engine/write/zip_writer.h"
#include "platform/file.h"

namespace vz::engine {

namespace {

// Bytes an entry occupies from its local header to the end of its data
// descriptor.
int64_t entrySpan(const ArchiveEntry& e) {
  return static_cast<int64_t>(kLocalHeaderSize) + e.nameLength + e.localExtraLength +
         static_cast<int64_t>(e.compressedSize) + e.descriptorSize;
}

int16_t rebuild(const RepairSession& session, const std::string& zipName, const ArchiveTarget& target) {
  LoadedCatalogue cat;
  CatalogueOptions options;
  options.rebuild = true;
  options.notifyWindow = session.window;
  options.pump = session.pump;
  const int16_t loaded = loadCatalogue(zipName, options, cat);
  if (loaded == 5) return kRepairNoMemory;
  if (loaded != 0) return kRepairScanFailed;

  File src;
  if (!src.open(target.native, File::Mode::Read)) return kRepairIoError;
  const ResyncResult entries = resynchronise(src, cat, session.window, session.pump);
  // No entry found: nothing to rebuild, whether or not bytes stand in front
  // (an empty archive behind them would be no archive a reader accepts).
  if (entries.order.empty()) return kRepairNothing;
  const int64_t size = src.size();
  if (size < 0 || cat.prefixCount > size) return kRepairIoError;
  for (const ArchiveEntry* e : entries.order) {
    if (static_cast<int64_t>(e->localHeaderOffset) + entrySpan(*e) > size) return kRepairIoError;
  }

  if (const int16_t s = checkWritable(target); s != 0) return s;
  ArchiveBuilder builder;
  if (builder.create() != 0) return kRepairIoError;
  if (builder.copyBytes(src, 0, cat.prefixCount) != 0) return kRepairIoError;
  for (const ArchiveEntry* e : entries.order) {
    if (session.cancel && *session.cancel) break;
    if (builder.copyEntry(src, *e) != 0 || builder.overflows()) return kRepairIoError;
  }
  if (builder.finish(cat.comment) != 0) return kRepairIoError;
  src.close();
  notify(session.window, session.pump, kNotifyWriting, 0, reinterpret_cast<LParam>(zipName.c_str()));
  const int16_t placed = putInPlace(builder.path(), target);
  if (placed != 0) return placed;
  builder.release();
  return kRepairOk;
}

}  // namespace

int16_t repairArchive(const RepairSession& session, const std::string& zipName) {
  if (zipName.empty()) return kRepairNothing;
  try {
    const ArchiveTarget target = describeTarget(zipName);
    if (target.isFolder) return kRepairNothing;
    if (!target.exists) return kRepairIoError;
    File probe;
    if (!probe.open(target.native, File::Mode::Read)) return kRepairIoError;
    probe.close();
    return rebuild(session, zipName, target);
  } catch (const std::bad_alloc&) {
    return kRepairNoMemory;
  }
}

}  // namespace vz::engine
