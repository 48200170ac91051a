// Building the item list of an archive (rules in item_list.h).
#include "control/engine/items/item_list.h"

#include <memory>
#include <new>

#include "control/engine/read/directory_reader.h"
#include "control/engine/items/item_icons.h"
#include "control/engine/items/item_line.h"
#include "control/engine/items/item_sort.h"
#include "control/engine/common/notify.h"
#include "control/engine/common/status.h"
#include "control/engine/common/temp_base.h"
#include "platform/file.h"
#include "platform/handles.h"

namespace vz::engine {

namespace {

// Frees the control's blocks of every row and deletes the rows.
void clearListView(ListView& view) {
  for (const ListView::Row& row : view.rows()) freeItemBlock(row.itemData);
  view.clear();
}

// The target list of a build, of the mode's kind.
struct Target {
  std::shared_ptr<ListBox> box;    // list-box mode
  std::shared_ptr<ListView> view;  // list-view mode

  void empty() {
    if (box) box->reset();
    if (view) clearListView(*view);
  }
};

// Switches a list view to report view for a build and restores its style
// on every way out.
class ReportViewForBuild {
 public:
  ReportViewForBuild(ListView* view, int entries) {
    if (view && entries > kReportViewThreshold && view->style() != ListView::Style::Report) {
      view_ = view;
      saved_ = view->style();
      view->setStyle(ListView::Style::Report);
    }
  }
  ~ReportViewForBuild() {
    if (view_) view_->setStyle(saved_);
  }
  ReportViewForBuild(const ReportViewForBuild&) = delete;
  ReportViewForBuild& operator=(const ReportViewForBuild&) = delete;

 private:
  ListView* view_ = nullptr;                       // the view switched, null when none was
  ListView::Style saved_ = ListView::Style::Icon;  // its style before the build
};

// The count-minus-one result of a build that stopped adding items; 0 would
// read as success, so one item added gives -1 too.
int partialResult(int added) { return added <= 1 ? -1 : added - 1; }

}  // namespace

std::string itemIconFolder(const std::string& privateTempDirectory) {
  if (privateTempDirectory.empty()) return tempBaseFolder() + "QXICONS/";
  std::string folder = privateTempDirectory;
  if (folder.back() != '/') folder += '/';
  return folder;
}

int buildItemList(UnzipState& st, const ItemListRequest& request) {
  Target target;
  if (request.listView)
    target.view = handles::getAs<ListView>(request.list);
  else
    target.box = handles::getAs<ListBox>(request.list);
  if (!target.box && !target.view) return -1;

  // 1. The icon folder. One that cannot be made only costs the probe
  // files: the service then answers from the probe's name alone.
  const std::string iconFolder = itemIconFolder(request.privateTempDirectory);
  makeDirectories(iconFolder);

  // 2. The archive.
  DirectoryReader reader(st);
  st.status = reader.open(request.zipName) ? reader.locateEndRecord() : ReadStatus::CannotOpen;

  // 3. The target is emptied whatever the archive turns out to be.
  try {
    target.empty();
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (!isReadable(st.status)) return -1;
  const int total = reader.endRecord().totalEntries;
  ReportViewForBuild reportView(target.view.get(), total);
  if (target.view) {
    try {
      target.view->rows().reserve(static_cast<size_t>(total));
    } catch (const std::bad_alloc&) {
      // Rows are then added one by one; a row that cannot be added ends
      // the build below.
    }
  }

  // 4. System icons.
  auto smallImages = handles::getAs<ImageList>(st.smallImages);
  const bool systemIcons =
      request.systemIcons && smallImages && smallImages->count() >= 1 && total < kSystemIconEntryLimit;
  ItemIconChooser icons(st.firstOwnIcon, systemIcons, iconFolder);

  // 5. One item per entry.
  int added = 0;
  int seen = 0;
  bool stopped = false;   // an item could not be added
  bool tooLarge = false;  // a list-view entry above the 32-bit signed size
  std::string line;
  const ReadStatus walked = reader.walk({}, [&](const CentralEntry& e) {
    if (++seen % kBuildPumpInterval == 0) pumpIf(st.pump);
    if (target.view && e.header.uncompressedSize > kMaxListViewEntrySize) {
      tooLarge = true;
      return false;
    }
    try {
      ZIPITEM item = makeZipItem(e.header, e.name);
      item.iconIndex = icons.iconFor(item);
      if (target.box) {
        formatItemLineInto(item, line);
        target.box->add(line);
      } else {
        ZIPITEM* block = newItemBlock(item);
        if (!block) {
          stopped = true;
          return false;
        }
        ListView::Row row;
        row.itemData = reinterpret_cast<LParam>(block);
        row.image = item.iconIndex;
        row.textCallback = true;
        try {
          target.view->insert(-1, std::move(row));
        } catch (const std::bad_alloc&) {
          freeItemBlock(reinterpret_cast<LParam>(block));
          throw;
        }
      }
    } catch (const std::bad_alloc&) {
      stopped = true;
      return false;
    }
    ++added;
    return true;
  });

  if (walked == ReadStatus::NotZip) {
    // The directory cannot be read to its end: as unreadable as an archive
    // without an end record.
    st.status = ReadStatus::NotZip;
    target.empty();
    return -1;
  }
  if (walked == ReadStatus::Skipped) st.status = ReadStatus::Skipped;
  if (tooLarge) return -1;

  // 6. List-box lines are sorted (as far as they were filled).
  if (target.box) {
    try {
      sortItemLines(*target.box, request.sortMode, [&st] { pumpIf(st.pump); });
    } catch (const std::bad_alloc&) {
      return partialResult(added);
    }
  }
  return stopped ? partialResult(added) : 0;
}

}  // namespace vz::engine
