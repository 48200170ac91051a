// Sorting list-box item lines: the fast sort (keys once, index array, one
// rewrite) must leave exactly the order of the plain Shell sort that swaps
// lines in the list box itself, for every mode, including the order of
// equal keys (the sort is not stable).
#include "control/engine/items/item_sort.h"

#include <gtest/gtest.h>

#include <random>

#include "control/engine/items/item_line.h"

namespace vz::engine {
namespace {

// ---- the reference: the designed algorithm, done the slow way ----

// The ten ";"-separated number fields, then the rest.
std::vector<std::string> referenceFields(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (int i = 0; i < 10; ++i) {
    const size_t semi = line.find(';', start);
    f.push_back(line.substr(start, semi - start));
    start = semi + 1;
  }
  f.push_back(line.substr(start));
  return f;
}

// Text keys: the whole DIR:NAME, the name behind the ":" that follows the
// last "\" (or the first ":" without one), the directory before it.
std::string referenceText(const std::string& line, int mode) {
  const std::string tail = referenceFields(line)[10];
  const size_t backslash = tail.rfind('\\');
  const size_t colon = backslash == std::string::npos ? tail.find(':') : backslash + 1;
  if (mode == 0) return tail;
  if (mode == 1) return tail.substr(colon + 1);
  return tail.substr(0, colon);
}

// Number keys, larger first.
long long referenceNumber(const std::string& line, int mode) {
  const std::vector<std::string> f = referenceFields(line);
  if (mode == 4) return std::stoll(f[6]);
  if (mode == 5) return std::stoll(f[7]);
  long long year = std::stoll(f[5]);
  year += year < 50 ? 2000 : 1900;
  const long long month = std::stoll(f[4]), day = std::stoll(f[3]), hour = std::stoll(f[1]), minute = std::stoll(f[2]);
  return ((((year * 100 + month) * 100 + day) * 100 + hour) * 100) + minute;
}

bool referenceOutOfOrder(const std::string& a, const std::string& b, int mode) {
  if (mode <= 2) return referenceText(a, mode) > referenceText(b, mode);
  return referenceNumber(a, mode) < referenceNumber(b, mode);
}

// Gaps 1, 4, 13, ... grown while below the count, each pass a third of the
// last; two lines swapped by deleting and re-inserting both.
void referenceSort(ListBox& box, int mode) {
  if (mode < 0 || mode > 5) return;
  const int n = box.count();
  int gap = 1;
  while (gap < n) gap = 3 * gap + 1;
  while ((gap /= 3) > 0) {
    for (int i = gap; i < n; ++i) {
      for (int j = i - gap; j >= 0 && referenceOutOfOrder(*box.text(j), *box.text(j + gap), mode); j -= gap) {
        const std::string first = *box.text(j), second = *box.text(j + gap);
        box.erase(j + gap);
        box.erase(j);
        box.insert(j, second);
        box.insert(j + gap, first);
      }
    }
  }
}

std::vector<std::string> linesOf(const ListBox& box) {
  std::vector<std::string> out;
  for (int i = 0; i < box.count(); ++i) out.push_back(*box.text(i));
  return out;
}

// Lines of random items drawn from small ranges, so that keys repeat.
std::vector<std::string> randomLines(size_t n, std::mt19937& rng) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* dirs[] = {"", "A\\", "B\\", "A\\B\\", "0\\", "X;Y\\", "P:Q\\"};
  const char* names[] = {"", "A.TXT", "B.TXT", "A.TXT", "Z", "C;D", "E:F", " "};
  std::vector<std::string> lines;
  for (size_t i = 0; i < n; ++i) {
    ZIPITEM it;
    it.directory = dirs[pick(0, 6)];
    it.name = names[pick(0, 7)];
    it.year = pick(0, 3) == 0 ? pick(0, 99) : (pick(0, 1) ? 99 : 1);
    it.month = pick(1, 2);
    it.day = pick(1, 2);
    it.hour = pick(0, 1);
    it.minute = pick(0, 1);
    it.originalSize =
        pick(0, 2) == 0 ? 0xF0000000u + static_cast<uint32_t>(pick(0, 3)) : static_cast<uint32_t>(pick(0, 5));
    it.rate = pick(0, 4);
    it.iconIndex = static_cast<int32_t>(i);  // tells equal keys apart in the result
    lines.push_back(formatItemLine(it));
  }
  return lines;
}

TEST(ItemSort, GivesTheOrderOfTheDesignedShellSort) {
  std::mt19937 rng(20240601);
  for (size_t n : {0, 1, 2, 3, 4, 5, 13, 14, 40, 41, 121, 122, 364, 365}) {
    const std::vector<std::string> lines = randomLines(n, rng);
    for (int mode = -1; mode <= 6; ++mode) {
      ListBox fast, slow;
      for (const auto& l : lines) fast.add(l), slow.add(l);
      sortItemLines(fast, mode);
      referenceSort(slow, mode);
      ASSERT_EQ(linesOf(fast), linesOf(slow)) << "n=" << n << " mode=" << mode;
    }
  }
}

TEST(ItemSort, DatesAcrossTheCenturyAndTheOtherNumberKeys) {
  auto line = [](int year, uint32_t size, int rate, const char* name) {
    ZIPITEM it;
    it.name = name;
    it.year = year;
    it.month = 1;
    it.day = 1;
    it.originalSize = size;
    it.rate = rate;
    return formatItemLine(it);
  };
  ListBox box;
  box.add(line(99, 5, 10, "Y99"));
  box.add(line(1, 0xFFFFFFFFu, 0, "Y01"));
  box.add(line(49, 7, 100, "Y49"));
  box.add(line(50, 6, 50, "Y50"));
  auto names = [&box] {
    std::string s;
    for (int i = 0; i < box.count(); ++i) {
      ZIPITEM it;
      EXPECT_TRUE(parseItemLine(*box.text(i), it));
      s += it.name + " ";
    }
    return s;
  };
  sortItemLines(box, kSortByDate);
  EXPECT_EQ(names(), "Y49 Y01 Y99 Y50 ");  // 2049, 2001, 1999, 1950: newest first
  sortItemLines(box, kSortBySize);
  EXPECT_EQ(names(), "Y01 Y49 Y50 Y99 ");  // a size above 2 GB is the largest
  sortItemLines(box, kSortByRate);
  EXPECT_EQ(names(), "Y49 Y50 Y99 Y01 ");
  sortItemLines(box, kSortByName);
  EXPECT_EQ(names(), "Y01 Y49 Y50 Y99 ");
  sortItemLines(box, 77);  // not a mode: unchanged
  EXPECT_EQ(names(), "Y01 Y49 Y50 Y99 ");
}

TEST(ItemSort, DateKeysNeverCarryIntoTheFieldBefore) {
  EXPECT_LT(itemDateKey(99, 15, 31, 31, 63), itemDateKey(0, 0, 0, 0, 0));
  EXPECT_LT(itemDateKey(10, 1, 31, 31, 63), itemDateKey(10, 2, 0, 0, 0));
  EXPECT_LT(itemDateKey(10, 1, 1, 23, 63), itemDateKey(10, 1, 2, 0, 0));
  EXPECT_LT(itemDateKey(49, 12, 31, 23, 59), itemDateKey(49, 12, 31, 23, 60));
  EXPECT_GT(itemDateKey(49, 1, 1, 0, 0), itemDateKey(50, 12, 31, 23, 59));
}

TEST(ItemSort, PumpsEvery25PositionsAndLeavesAListTheHostChanged) {
  std::mt19937 rng(7);
  const std::vector<std::string> lines = randomLines(100, rng);
  ListBox box;
  for (const auto& l : lines) box.add(l);
  int pumps = 0;
  sortItemLines(box, kSortBySize, [&pumps] { ++pumps; });
  // Gaps 40, 13, 4, 1 over 100 lines: 60 + 87 + 96 + 99 positions.
  EXPECT_EQ(pumps, (60 + 87 + 96 + 99) / 25);

  ListBox changed;
  for (const auto& l : lines) changed.add(l);
  bool added = false;
  sortItemLines(changed, kSortByName, [&] {
    if (!added) changed.add("HOST LINE"), added = true;
  });
  ASSERT_EQ(changed.count(), 101);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(*changed.text(i), lines[static_cast<size_t>(i)]);
  EXPECT_EQ(*changed.text(100), "HOST LINE");
}

TEST(ItemSort, LinesThatDoNotParseSortWithEmptyKeys) {
  ListBox box;
  box.add("208;1;1;1;1;1;5;1;0;0; :B");
  box.add("garbage");
  box.add("208;1;1;1;1;1;9;1;0;0; :A");
  sortItemLines(box, kSortByName);
  EXPECT_EQ(*box.text(0), "garbage");
  sortItemLines(box, kSortBySize);
  EXPECT_EQ(*box.text(2), "garbage");
}

}  // namespace
}  // namespace vz::engine
