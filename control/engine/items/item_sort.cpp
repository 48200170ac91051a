// Sorting list-box item lines (see item_sort.h).
#include "control/engine/items/item_sort.h"

#include <numeric>

#include "control/engine/items/item_line.h"

namespace vz::engine {

namespace {

// The key of one line under one mode: a text or a number.
struct Key {
  std::string_view text;
  int64_t number = 0;
};

Key keyOf(std::string_view line, int mode) {
  ItemLineFields f;
  if (!splitItemLine(line, f)) return {};
  switch (mode) {
    case kSortByPath:
      return {f.tail, 0};
    case kSortByName:
      return {f.name, 0};
    case kSortByDirectory:
      return {f.directory, 0};
    case kSortByDate:
      return {{}, itemDateKey(f.year, f.month, f.day, f.hour, f.minute)};
    case kSortBySize:
      return {{}, static_cast<int64_t>(f.size)};
    case kSortByRate:
      return {{}, f.rate};
    default:
      return {};
  }
}

// The Shell sort over order with before(a, b) = "a must not stay in front
// of b" (a is strictly out of order in front of b).
template <class OutOfOrder>
void shellSort(std::vector<uint32_t>& order, OutOfOrder outOfOrder, const std::function<void()>& pump) {
  const size_t n = order.size();
  size_t gap = 1;
  while (gap < n) gap = 3 * gap + 1;
  size_t positions = 0;
  while ((gap /= 3) > 0) {
    for (size_t i = gap; i < n; ++i) {
      if (pump && ++positions % kSortPumpInterval == 0) pump();
      const uint32_t moving = order[i];
      size_t j = i;
      while (j >= gap && outOfOrder(order[j - gap], moving)) {
        order[j] = order[j - gap];
        j -= gap;
      }
      order[j] = moving;
    }
  }
}

}  // namespace

int64_t itemDateKey(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute) {
  const int64_t fullYear = year < 50 ? 2000 + year : 1900 + year;
  // Each field gets room for its whole range (month up to 15, day and hour
  // up to 31, minute up to 63), so a later field never carries into an
  // earlier one.
  return (((fullYear * 16 + month) * 32 + day) * 32 + hour) * 64 + minute;
}

std::vector<uint32_t> itemSortOrder(const std::vector<std::string_view>& lines, int mode,
                                    const std::function<void()>& pump) {
  std::vector<uint32_t> order(lines.size());
  std::iota(order.begin(), order.end(), 0u);
  if (!isItemSortMode(mode) || lines.size() < 2) return order;

  std::vector<Key> keys;
  keys.reserve(lines.size());
  for (std::string_view line : lines) keys.push_back(keyOf(line, mode));

  switch (mode) {
    case kSortByPath:
    case kSortByName:
    case kSortByDirectory:
      shellSort(
          order, [&](uint32_t a, uint32_t b) { return keys[a].text.compare(keys[b].text) > 0; }, pump);
      break;
    default:  // newest, largest, highest first
      shellSort(
          order, [&](uint32_t a, uint32_t b) { return keys[a].number < keys[b].number; }, pump);
      break;
  }
  return order;
}

void sortItemLines(ListBox& box, int mode, const std::function<void()>& pump) {
  if (!isItemSortMode(mode) || box.count() < 2) return;
  const int count = box.count();
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) lines.push_back(*box.text(i));
  std::vector<std::string_view> views(lines.begin(), lines.end());
  const std::vector<uint32_t> order = itemSortOrder(views, mode, pump);
  // A host that changed the list while the sort pumped keeps its change.
  if (box.count() != count) return;
  box.reset();
  for (uint32_t index : order) box.add(std::move(lines[index]));
}

}  // namespace vz::engine
