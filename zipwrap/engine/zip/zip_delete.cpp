// Delete (-d): a new archive without the entries that match the
// patterns. A pattern is matched with the wildcard rule of
// zip_names.h against the whole stored name (a folder's "/" at the end
// ignored) and, when it has no folder part, against the last component;
// the -i/-x filters then apply. 1020 per entry removed; nothing matched: 10
// and the archive untouched; a missing archive: 100.
#include "zipwrap/engine/zip/zip_names.h"
#include "zipwrap/engine/zip/zip_ops.h"
#include "zipwrap/engine/zip/zip_update.h"

namespace vz::zipwrap {
namespace {

bool specMatches(const std::string& spec, const std::string& name) {
  const std::string pattern = storedNameOf(spec);
  std::string whole = name;
  if (!whole.empty() && whole.back() == '/') whole.pop_back();
  if (wildcardMatches(pattern, whole) || wildcardMatches(pattern, name)) return true;
  return pattern.find('/') == std::string::npos && wildcardMatches(pattern, lastComponent(name));
}

bool selected(const EngineCommand& command, const std::string& name) {
  bool any = false;
  for (const std::string& spec : command.files) any = any || specMatches(spec, name);
  return any && passesFilters(name, command.includes, command.excludes);
}

}  // namespace

OpResult runDelete(const EngineCommand& command, EngineHost& host) {
  ArchiveUpdate update(command, host);
  if (const uint16_t r = update.open(true); r != kResultOk) return {r, 0};
  const engine::Catalogue& entries = update.old().catalogue.entries;
  size_t matched = 0;
  for (const engine::ArchiveEntry* e = entries.first(); e; e = e->next.get()) matched += selected(command, e->name);
  if (matched == 0) return {kResultNothingToDo, 0};
  if (const uint16_t r = update.beginBuild(false); r != kResultOk) return {r, 0};
  for (const engine::ArchiveEntry* e = entries.first(); e; e = e->next.get()) {
    if (selected(command, e->name)) {
      if (!host.nameEvent(kCbDeleting, e->name)) return {kResultAborted, 0};
      continue;
    }
    if (const uint16_t r = update.keepEntry(*e); r != kResultOk) return {r, 0};
  }
  if (const uint16_t r = update.commit(update.old().catalogue.comment); r != kResultOk) return {r, 0};
  return {kResultOk, 0};
}

}  // namespace vz::zipwrap
