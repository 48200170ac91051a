// Sorting the lines of a list-box item list.
//
// Sort modes (iSortMode):
//   0  DIR:NAME as written (the text behind the tenth ";"), ascending
//   1  NAME as written, ascending
//   2  DIR as written, ascending
//   3  date and time, newest first: two-digit year (below 50 counts as
//      20xx, else 19xx), then month, day, hour, minute
//   4  uncompressed size, largest first
//   5  rate, highest first
//   any other mode leaves the list as it is.
// Texts compare byte by byte (the names are upper case already, so this is
// the case-blind order of the letters; the word-sort rules of the original
// platform's locale comparison are not reproduced). "As written" means the
// line's own text, so an empty directory (written as a blank) sorts before
// every directory. A line that does not parse has an empty text key and
// zero number keys.
//
// The sort is a Shell sort with the gaps 1, 4, 13, 40, ... (gap = 3 x gap
// + 1 while the gap is below the line count; each pass uses the gap
// divided by 3, down to 1): an insertion sort per gap that moves a line
// back while the line before it (gap positions back) is strictly out of
// order. It is not stable; the order it produces is the order of that
// algorithm exactly. The keys are taken from every line once, the sort
// runs over an index array, and the list box is rewritten once at the end,
// so each move costs O(1) instead of deleting and re-inserting lines.
// Messages are pumped every 25 positions when pumping is on; a host that
// changes the list box while it pumps (its count differs afterwards)
// keeps its change and the sorted order is not applied.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"

namespace vz::engine {

enum ItemSortMode : int {
  kSortByPath = 0,
  kSortByName = 1,
  kSortByDirectory = 2,
  kSortByDate = 3,
  kSortBySize = 4,
  kSortByRate = 5,
};
constexpr bool isItemSortMode(int mode) { return mode >= kSortByPath && mode <= kSortByRate; }

// Positions at which the sort pumps messages.
inline constexpr size_t kSortPumpInterval = 25;

// The order of the lines after the sort: result[k] is the index of the
// line that ends at position k. The identity for a mode that does not
// sort. pump (may be empty) runs every 25 positions.
std::vector<uint32_t> itemSortOrder(const std::vector<std::string_view>& lines, int mode,
                                    const std::function<void()>& pump = {});

// Sorts the list box's lines in place (see above); pump as above.
void sortItemLines(ListBox& box, int mode, const std::function<void()>& pump = {});

// The date key of mode 3: the four-digit year, month, day, hour and minute
// packed so that a larger key is a later time.
int64_t itemDateKey(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute);

}  // namespace vz::engine
