// The item list of an archive for a host: BuildZIPITEMList and its
// companions. One ZIPITEM per central directory entry goes into a list that
// the host owns (a list box or a list view in the handle table), with an
// icon index into the control's item image lists (item_icons.h).
//
// List-box mode: one text line per item (item_line.h), sorted by the sort
// mode (item_sort.h). List-view mode: one row per item whose text the host
// supplies on demand, whose image is the icon index and whose item data is
// a ZIPITEM block owned by the control, freed by DestroyZIPITEMLParam or
// by the next build on the same list view. A list view is never sorted
// here.
//
// Blocks are registered when made: the accessors and DestroyZIPITEMLParam
// read or free a row's item data only when it is one of the control's
// blocks, so a row the host filled with its own data is never dereferenced
// or freed (it reads as an item that cannot be read).
//
// Building (buildItemList):
//   1. the icon folder: szPrivateTempDirectory when given, else "QXICONS/"
//      under the temporary base folder; created when missing;
//   2. open the archive and find its end record; not 0, 1 or 17: the list
//      is emptied and the result is -1;
//   3. empty the list (a list view's blocks are freed first); a list view
//      reserves room for every entry, and one with more than 100 entries
//      that is not in report view is switched to report view for the build
//      and its style restored afterwards;
//   4. system icons are used when asked for, the small item image list
//      holds at least one image and the archive has fewer than 500 entries;
//   5. each central entry becomes an item (messages pumped every 25 entries
//      when pumping is on): the ZIPITEM of the entry, its icon index, then
//      the line or the row;
//   6. list-box mode sorts the lines by the sort mode; the result is 0.
// Failures: a line or a block that cannot be added ends the build with the
// count of items added minus 1 (the lines added so far sorted); since 0
// would read as success, one item added gives -1 as well. In list-view
// mode an entry of more than 2,147,483,647 bytes ends the build with -1.
// A directory that cannot be read to its end (a damaged header) empties
// the list and gives -1, as for an unreadable archive. A handle that is
// not a list of the mode's kind gives -1 and nothing is read.
//
// The original noted the first index page, setup program and read-me file
// while walking; no method ever asked for them, so that scan is left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_item.h"
#include "platform/types.h"

namespace vz::engine {

struct ItemListRequest {
  std::string zipName;               // szZipName
  Handle list = 0;                   // hListZIPITEM
  bool listView = false;             // bListCtrlMode
  std::string privateTempDirectory;  // szPrivateTempDirectory, empty: "QXICONS/" under the temporary base
  bool systemIcons = false;          // bWindowsIcons
  int sortMode = -1;                 // iSortMode (list-box mode only)
};

// Entries beyond which a list view is filled in report view.
inline constexpr int kReportViewThreshold = 100;
// Entries from which system icons are not used.
inline constexpr int kSystemIconEntryLimit = 500;
// Entries between two message pumps while building.
inline constexpr int kBuildPumpInterval = 25;
// The largest entry a list-view block takes (a 32-bit signed size).
inline constexpr uint32_t kMaxListViewEntrySize = 2147483647u;

// BuildZIPITEMList (see above). The result is a value, not a status: 0,
// -1, or the count of items added minus 1; the archive's read status is
// left in st.status (Skipped when a name was cut).
[[nodiscard]] int buildItemList(UnzipState& st, const ItemListRequest& request);

// SortZIPITEMList: sorts a list box's lines; a list view or another window
// is left as it is. False when the handle names no window.
bool sortItemList(UnzipState& st, Handle list, int sortMode);

// The item at index of a list (the accessors): the parsed line of a list
// box, a copy of the block of a list-view row. nullopt when the handle is
// not a list of that kind, the index is outside the list, the line does
// not parse, or the row carries no block of the control.
std::optional<ZIPITEM> readItem(Handle list, int index, bool listView);

// DestroyZIPITEMLParam: frees the blocks of every row of a list view and
// deletes the rows. Nothing for any other handle.
void destroyItemBlocks(Handle listView);

// DeleteTempDirectories: removes "QXVIEW/" and "QXICONS/" under the
// temporary base folder with everything in them; true when both are gone.
bool deleteTempDirectories();

// The icon folder of a build (step 1), with a "/" at its end.
std::string itemIconFolder(const std::string& privateTempDirectory);

// ---- the control's item blocks ----
// A new block holding item, registered as the control's (nullptr when out
// of memory).
ZIPITEM* newItemBlock(const ZIPITEM& item);
// The block of a row's item data, nullptr when it is not one of ours.
const ZIPITEM* itemBlock(LParam data);
// Frees a block of ours; false (and nothing freed) for any other value.
bool freeItemBlock(LParam data);
// Blocks alive (tests).
size_t itemBlockCount();

}  // namespace vz::engine
