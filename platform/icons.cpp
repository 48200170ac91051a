// The icon service and its headless back end (see icons.h).
#include "platform/icons.h"

#include <mutex>

#include "platform/mime_globs.h"

namespace vz::icons {

struct HeadlessBackend::Database {
  // The system's database is shared (read once per process); a database
  // named by a test is owned here.
  const mime::GlobDatabase* globs = nullptr;
  mime::GlobDatabase owned;
};

HeadlessBackend::HeadlessBackend() {
  auto db = std::make_shared<Database>();
  db->globs = &mime::systemGlobs();
  db_ = std::move(db);
}

HeadlessBackend::HeadlessBackend(const std::string& globsFile) {
  auto db = std::make_shared<Database>();
  db->owned = mime::GlobDatabase::load(globsFile);
  db->globs = &db->owned;
  db_ = std::move(db);
}

int HeadlessBackend::systemIconIndex(const std::string& path, bool) {
  const mime::GlobDatabase& g = *db_->globs;
  if (!g.loaded()) return -1;
  return g.indexOf(mime::typeForFile(g, path));
}

int HeadlessBackend::systemImageCount() { return static_cast<int>(db_->globs->types().size()); }

ImageList::Image HeadlessBackend::systemImage(int index, bool) {
  const auto& types = db_->globs->types();
  if (index < 0 || static_cast<size_t>(index) >= types.size()) return {};
  return {db_->globs->iconNameOf(types[static_cast<size_t>(index)]), {}};
}

ImageList::Image HeadlessBackend::ownIcon(OwnIcon which, bool) {
  return {std::string(ownIconKey(which)), std::string(ownIconSvg(which))};
}

namespace {

struct Service {
  std::mutex mutex;                  // guards current
  std::shared_ptr<Backend> current;  // never null
};

Service& service() {
  // Never destroyed: hosts may ask for icons from static destructors.
  static Service* s = [] {
    auto* created = new Service;
    created->current = std::make_shared<HeadlessBackend>();
    return created;
  }();
  return *s;
}

}  // namespace

std::shared_ptr<Backend> setBackend(std::shared_ptr<Backend> b) {
  if (!b) b = std::make_shared<HeadlessBackend>();
  Service& s = service();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::swap(s.current, b);
  return b;
}

std::shared_ptr<Backend> backend() {
  Service& s = service();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.current;
}

int systemIconIndex(const std::string& path, bool small) { return backend()->systemIconIndex(path, small); }
int systemImageCount() { return backend()->systemImageCount(); }
ImageList::Image systemImage(int index, bool small) { return backend()->systemImage(index, small); }
ImageList::Image ownIcon(OwnIcon which, bool small) { return backend()->ownIcon(which, small); }

std::string mimeTypeForName(const std::string& fileName) {
  return mime::systemGlobs().typeForName(mime::fileNameOf(fileName));
}

}  // namespace vz::icons
