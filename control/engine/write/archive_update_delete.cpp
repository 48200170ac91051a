// DeleteWithMask and DeleteWithSelection (see archive_update.h).
#include <new>
#include <set>
#include <string>
#include <tuple>

#include "control/engine/write/archive_update.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/items/item_line.h"
#include "control/engine/items/item_list.h"
#include "control/engine/format/zip_item.h"
#include "platform/handles.h"

namespace vz::engine {

namespace {

// An item as the selection names it: directory, name, CRC.
using ItemKey = std::tuple<std::string, std::string, uint32_t>;

ItemKey keyOf(const ZIPITEM& item) { return {item.directory, item.name, item.crc}; }

ItemKey keyOf(const ArchiveEntry& e) {
  bool cut = false;
  const std::string_view kept = std::string_view(e.name).substr(0, kMaxNameBytes);
  return keyOf(makeZipItem(e.centralHeader(), processEntryName(kept, e.name.size(), e.flags, &cut)));
}

// The selected items of the host's list; allSelected when every item of
// the list is selected.
struct Selection {
  std::set<ItemKey> items;
  bool allSelected = false;
};

Selection readSelection(Handle hList, Handle hSelected, bool listView) {
  Selection s;
  if (listView) {
    const auto view = handles::getAs<ListView>(hList);
    if (!view) return s;
    int selected = 0;
    for (int i = 0; i < view->count(); ++i) {
      const ListView::Row* row = view->row(i);
      if (!row || !row->selected) continue;
      ++selected;
      if (const std::optional<ZIPITEM> item = readItem(hList, i, true)) s.items.insert(keyOf(*item));
    }
    s.allSelected = selected > 0 && selected == view->count();
    return s;
  }
  const auto lines = handles::getAs<ListBox>(hSelected);
  if (!lines) return s;
  for (int i = 0; i < lines->count(); ++i) {
    ZIPITEM item;
    if (const std::string* line = lines->text(i); line && parseItemLine(*line, item)) s.items.insert(keyOf(item));
  }
  const auto list = handles::getAs<ListBox>(hList);
  s.allSelected = list && list->count() > 0 && lines->count() == list->count();
  return s;
}

// Loads the catalogue, marks the entries `selects` takes and rewrites the
// archive without them.
template <class Selects>
WriteStatus deleteEntries(WriteEngine& engine, const std::string& zipName, Selects selects) {
  const ArchiveTarget target = describeTarget(zipName);
  LoadedCatalogue catalogue;
  if (const CatalogueStatus s = loadCatalogue(zipName, {}, catalogue); s != CatalogueStatus::Ok)
    return writeStatusOfLoader(s);
  size_t marked = 0;
  for (ArchiveEntry* e = catalogue.entries.first(); e; e = e->next.get()) {
    e->mark = selects(*e) ? 1 : 0;
    if (e->mark) ++marked;
  }
  if (marked == 0) return WriteStatus::NothingToDo;
  return rewriteArchive(
      engine, zipName, target, catalogue,
      [](const ArchiveEntry& e) {
        return EntryPlan{e.mark != 0, nullptr};
      },
      catalogue.comment);
}

}  // namespace

WriteStatus deleteWithMask(WriteEngine& engine, const std::string& zipName, const std::string& mask) {
  const WriteOperation op;
  if (!op.acquired()) return WriteStatus::IoError;
  if (zipName.empty()) return WriteStatus::NothingToDo;
  const std::string m = processedMask(mask);
  if (m.empty()) return WriteStatus::NothingToDo;
  try {
    return deleteEntries(engine, zipName, [&](const ArchiveEntry& e) { return entryMatches(e, m); });
  } catch (const std::bad_alloc&) {
    return WriteStatus::NoMemory;
  }
}

WriteStatus deleteWithSelection(WriteEngine& engine, const std::string& zipName, Handle hList, Handle hSelected,
                                bool listIsListView) {
  const WriteOperation op;
  if (!op.acquired()) return WriteStatus::IoError;
  if (zipName.empty()) return WriteStatus::NothingToDo;
  try {
    const Selection sel = readSelection(hList, hSelected, listIsListView);
    if (sel.items.empty() && !sel.allSelected) return WriteStatus::NothingToDo;
    return deleteEntries(engine, zipName,
                         [&](const ArchiveEntry& e) { return sel.allSelected || sel.items.count(keyOf(e)) != 0; });
  } catch (const std::bad_alloc&) {
    return WriteStatus::NoMemory;
  }
}

}  // namespace vz::engine
