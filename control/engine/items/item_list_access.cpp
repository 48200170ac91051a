// The item list after it is built: the control's item blocks, the
// accessors' item lookup, sorting on request, freeing the blocks of a list
// view, and removing the temporary folders (see item_list.h).
#include "control/engine/items/item_list.h"

#include <filesystem>
#include <mutex>
#include <new>
#include <unordered_set>

#include "control/engine/items/item_line.h"
#include "control/engine/items/item_sort.h"
#include "control/engine/common/notify.h"
#include "control/engine/common/temp_base.h"
#include "platform/handles.h"
#include "platform/window.h"

namespace vz::engine {

namespace {

// Every block the control made and has not freed. List views are shared
// process-wide, so the registry is too.
struct BlockRegistry {
  std::mutex mutex;                           // guards blocks
  std::unordered_set<const ZIPITEM*> blocks;  // live blocks
};

BlockRegistry& registry() {
  // Never destroyed: blocks may be freed from other static destructors.
  static BlockRegistry* r = new BlockRegistry;
  return *r;
}

}  // namespace

ZIPITEM* newItemBlock(const ZIPITEM& item) {
  ZIPITEM* block = new (std::nothrow) ZIPITEM;
  if (!block) return nullptr;
  BlockRegistry& r = registry();
  try {
    *block = item;
    std::lock_guard<std::mutex> lock(r.mutex);
    r.blocks.insert(block);
  } catch (const std::bad_alloc&) {
    delete block;
    return nullptr;
  }
  return block;
}

const ZIPITEM* itemBlock(LParam data) {
  const auto* block = reinterpret_cast<const ZIPITEM*>(data);
  if (!block) return nullptr;
  BlockRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.blocks.count(block) ? block : nullptr;
}

bool freeItemBlock(LParam data) {
  const auto* block = reinterpret_cast<const ZIPITEM*>(data);
  if (!block) return false;
  {
    BlockRegistry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.blocks.erase(block) == 0) return false;
  }
  delete block;
  return true;
}

size_t itemBlockCount() {
  BlockRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.blocks.size();
}

std::optional<ZIPITEM> readItem(Handle list, int index, bool listView) {
  if (listView) {
    auto view = handles::getAs<ListView>(list);
    if (!view) return std::nullopt;
    const ListView::Row* row = view->row(index);
    if (!row) return std::nullopt;
    // The copy is made under the registry's eye: a block is never read
    // after another thread freed it.
    BlockRegistry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto* block = reinterpret_cast<const ZIPITEM*>(row->itemData);
    if (!block || !r.blocks.count(block)) return std::nullopt;
    return *block;
  }
  auto box = handles::getAs<ListBox>(list);
  if (!box) return std::nullopt;
  const std::string* line = box->text(index);
  if (!line) return std::nullopt;
  ZIPITEM item;
  if (!parseItemLine(*line, item)) return std::nullopt;
  return item;
}

void destroyItemBlocks(Handle listView) {
  auto view = handles::getAs<ListView>(listView);
  if (!view) return;
  // The rows go first, then their blocks: no row ever names a freed block.
  std::vector<LParam> data;
  data.reserve(view->rows().size());
  for (const ListView::Row& row : view->rows()) data.push_back(row.itemData);
  view->clear();
  for (LParam d : data) freeItemBlock(d);
  // The original made a visible list view repaint here; our list views are
  // drawn by their hosts, which see the rows gone.
}

bool sortItemList(UnzipState& st, Handle list, int sortMode) {
  std::shared_ptr<HandleObject> object = handles::get(list);
  if (!object) return false;
  if (auto box = std::dynamic_pointer_cast<ListBox>(object)) {
    try {
      sortItemLines(*box, sortMode, [&st] { pumpIf(st.pump); });
    } catch (const std::bad_alloc&) {
      // Out of memory before any line moved: the list stays as it was.
    }
    return true;
  }
  // Any other window takes no list-box messages and stays as it is.
  return std::dynamic_pointer_cast<ListView>(object) || std::dynamic_pointer_cast<Window>(object);
}

bool deleteTempDirectories() {
  namespace fs = std::filesystem;
  bool gone = true;
  for (const char* name : {"QXVIEW/", "QXICONS/"}) {
    const fs::path folder = tempBaseFolder() + name;
    std::error_code ec;
    fs::remove_all(folder, ec);
    const fs::file_status status = fs::symlink_status(folder, ec);
    if (status.type() != fs::file_type::not_found) gone = false;
  }
  return gone;
}

}  // namespace vz::engine
