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

RepairStatus rebuild(const RepairSession& session, const std::string& zipName, const ArchiveTarget& target) {
  LoadedCatalogue cat;
  CatalogueOptions options;
  options.rebuild = true;
  options.notifyWindow = session.window;
  options.pump = session.pump;
  const CatalogueStatus loaded = loadCatalogue(zipName, options, cat);
  if (loaded == CatalogueStatus::NoMemory) return RepairStatus::NoMemory;
  if (loaded != CatalogueStatus::Ok) return RepairStatus::ScanFailed;

  File src;
  if (!src.open(target.native, File::Mode::Read)) return RepairStatus::IoError;
  const ResyncResult entries = resynchronise(src, cat, session.window, session.pump);
  // No entry found: nothing to rebuild, whether or not bytes stand in front
  // (an empty archive behind them would be no archive a reader accepts).
  if (entries.order.empty()) return RepairStatus::Nothing;
  const int64_t size = src.size();
  if (size < 0 || cat.prefixCount > size) return RepairStatus::IoError;
  for (const ArchiveEntry* e : entries.order) {
    if (static_cast<int64_t>(e->localHeaderOffset) + entrySpan(*e) > size) {
      if (session.entryPastEnd) *session.entryPastEnd = true;
      return RepairStatus::IoError;
    }
  }

  if (const PlaceStatus s = checkWritable(target); s != PlaceStatus::Ok) return repairStatusOf(s);
  ArchiveBuilder builder;
  if (builder.create() != BuildStatus::Ok) return RepairStatus::IoError;
  if (builder.copyBytes(src, 0, cat.prefixCount) != BuildStatus::Ok) return RepairStatus::IoError;
  for (const ArchiveEntry* e : entries.order) {
    if (session.cancel && *session.cancel) break;
    if (builder.copyEntry(src, *e) != BuildStatus::Ok || builder.overflows()) return RepairStatus::IoError;
    if (session.entryCopied && !session.entryCopied(*e)) return RepairStatus::Stopped;
  }
  if (builder.finish(cat.comment) != BuildStatus::Ok) return RepairStatus::IoError;
  src.close();
  notify(session.window, session.pump, kNotifyWriting, 0, reinterpret_cast<LParam>(zipName.c_str()));
  const PlaceStatus placed = putInPlace(builder.path(), target);
  if (placed != PlaceStatus::Ok) return repairStatusOf(placed);
  builder.release();
  return RepairStatus::Ok;
}

}  // namespace

RepairStatus repairArchive(const RepairSession& session, const std::string& zipName) {
  if (zipName.empty()) return RepairStatus::Nothing;
  try {
    const ArchiveTarget target = describeTarget(zipName);
    if (target.isFolder) return RepairStatus::Nothing;
    if (!target.exists) return RepairStatus::IoError;
    File probe;
    if (!probe.open(target.native, File::Mode::Read)) return RepairStatus::IoError;
    probe.close();
    return rebuild(session, zipName, target);
  } catch (const std::bad_alloc&) {
    return RepairStatus::NoMemory;
  }
}

}  // namespace vz::engine
