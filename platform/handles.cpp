// The process-wide handle table and the list objects it holds.
//
// Handles are handed out from a counter that starts at 1 and only grows, so
// a handle is never 0 and never names a second object after its first one
// is destroyed: a stale handle kept by a host simply finds nothing. The
// table is guarded by one mutex; lookups hand out shared ownership, so an
// object being used by one thread survives another thread's destroy until
// the user lets go.
#include "platform/handles.h"

#include <limits>
#include <map>
#include <mutex>

namespace vz {

namespace handles {

namespace {

struct Table {
  std::mutex mutex;                                         // guards everything below
  std::map<Handle, std::shared_ptr<HandleObject>> objects;  // live handles
  Handle next = 1;                                          // the next handle to hand out
};

Table& table() {
  // Never destroyed: objects may be released from other static destructors.
  static Table* t = new Table;
  return *t;
}

}  // namespace

Handle add(std::shared_ptr<HandleObject> obj) {
  if (!obj) return 0;
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  // After 2^31 - 1 handles the table is exhausted rather than reusing one.
  if (t.next == std::numeric_limits<Handle>::max()) return 0;
  Handle h = t.next++;
  t.objects.emplace(h, std::move(obj));
  return h;
}

std::shared_ptr<HandleObject> get(Handle h) {
  if (h == 0) return nullptr;
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(h);
  return it == t.objects.end() ? nullptr : it->second;
}

bool destroy(Handle h) {
  std::shared_ptr<HandleObject> victim;  // released after the lock is dropped
  {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(h);
    if (it == t.objects.end()) return false;
    victim = std::move(it->second);
    t.objects.erase(it);
  }
  // The object's destructor may itself use the table (a window destroying
  // its children), so it runs outside the lock.
  victim.reset();
  return true;
}

size_t count() {
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.objects.size();
}

}  // namespace handles

int ListBox::add(std::string text) {
  lines_.push_back(std::move(text));
  return count() - 1;
}

int ListBox::insert(int index, std::string text) {
  if (index == -1) return add(std::move(text));
  if (index < 0 || index > count()) return -1;
  lines_.insert(lines_.begin() + index, std::move(text));
  return index;
}

bool ListBox::erase(int index) {
  if (index < 0 || index >= count()) return false;
  lines_.erase(lines_.begin() + index);
  return true;
}

const std::string* ListBox::text(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return &lines_[static_cast<size_t>(index)];
}

int ListView::insert(int index, Row row) {
  if (index < 0 || index >= count()) {
    rows_.push_back(std::move(row));
    return count() - 1;
  }
  rows_.insert(rows_.begin() + index, std::move(row));
  return index;
}

bool ListView::erase(int index) {
  if (index < 0 || index >= count()) return false;
  rows_.erase(rows_.begin() + index);
  return true;
}

ListView::Row* ListView::row(int index) {
  if (index < 0 || index >= count()) return nullptr;
  return &rows_[static_cast<size_t>(index)];
}

const ListView::Row* ListView::row(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return &rows_[static_cast<size_t>(index)];
}

int ImageList::add(Image img) {
  images_.push_back(std::move(img));
  return count() - 1;
}

const ImageList::Image* ImageList::image(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return &images_[static_cast<size_t>(index)];
}

}  // namespace vz
