// Shared parts of the write operations (see archive_update_run.h).
#include "control/engine/write/archive_update_run.h"

#include <vector>

#include "control/engine/format/entry_name.h"
#include "control/engine/write/file_select.h"
#include "control/engine/format/mask.h"
#include "control/engine/common/notify.h"
#include "control/engine/write/zip_writer.h"
#include "control/engine/write/zip_writer_file.h"
#include "platform/charcase.h"
#include "platform/file.h"

namespace vz::engine {

namespace {

bool g_running = false;  // a write operation holds the process's write state

}  // namespace

WriteOperation::WriteOperation() : acquired_(!g_running) {
  if (acquired_) g_running = true;
}

WriteOperation::~WriteOperation() {
  if (acquired_) g_running = false;
}

bool writeOperationRunning() { return g_running; }

void report(const WriteEngine& engine, uint32_t n, WParam wParam, const std::string& text) {
  notify(engine.window, engine.pump, n, wParam, reinterpret_cast<LParam>(text.c_str()));
}

std::string processedMask(const std::string& mask) {
  std::string m = storedPathOf(mask);
  // A trailing separator names a folder entry ("SUB\").
  if (!mask.empty() && (mask.back() == '/' || mask.back() == '\\') && !m.empty()) m += '/';
  charUpper(m);
  for (char& c : m)
    if (c == '/') c = '\\';
  return m;
}

bool entryMatches(const ArchiveEntry& e, const std::string& mask) {
  bool cut = false;
  const std::string_view kept = std::string_view(e.name).substr(0, kMaxNameBytes);
  const std::string name = processEntryName(kept, e.name.size(), e.flags, &cut);
  return maskMatches(name, mask);
}

WriteStatus rewriteArchive(const WriteEngine& engine, const std::string& zipName, const ArchiveTarget& target,
                           const LoadedCatalogue& catalogue, const PlanFor& plan, const std::string& archiveComment) {
  if (const PlaceStatus s = checkWritable(target); s != PlaceStatus::Ok) return writeStatusOf(s);
  File old;
  if (!old.open(target.native, File::Mode::Read)) return WriteStatus::IoError;
  std::vector<EntryPlan> plans;
  plans.reserve(catalogue.count());
  size_t kept = 0;
  for (const ArchiveEntry* e = catalogue.entries.first(); e; e = e->next.get()) {
    plans.push_back(plan(*e));
    if (!plans.back().drop) ++kept;
  }
  ArchiveBuilder builder;
  if (const BuildStatus s = builder.create(); s != BuildStatus::Ok) return writeStatusOf(s);
  // An archive with no entries left is its end record alone.
  if (kept != 0) {
    if (const BuildStatus s = builder.copyBytes(old, 0, catalogue.prefixCount); s != BuildStatus::Ok)
      return writeStatusOf(s);
  }
  size_t i = 0;
  for (const ArchiveEntry* e = catalogue.entries.first(); e; e = e->next.get(), ++i) {
    if (plans[i].drop) {
      report(engine, kNotifyDeleting, 0, e->displayName);
      continue;
    }
    if (const BuildStatus s = builder.copyEntry(old, *e, plans[i].comment); s != BuildStatus::Ok)
      return writeStatusOf(s);
  }
  old.close();
  if (const BuildStatus s = builder.finish(archiveComment); s != BuildStatus::Ok) return writeStatusOf(s);
  report(engine, kNotifyWriting, 0, zipName);
  const PlaceStatus placed = putInPlace(builder.path(), target);
  if (placed == PlaceStatus::Ok) builder.release();
  return writeStatusOf(placed);
}

}  // namespace vz::engine
