// Reading the MIME application lists (see mime_apps.h).
#include "platform/mime_apps.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/folders.h"

namespace vz::mime {

namespace {

// Desktop files read from one applications folder at most, so that a huge
// or looping folder cannot stall a listing.
constexpr size_t kMaxDesktopFiles = 5000;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// A colon-separated list of absolute folders (relative ones are ignored, as
// the base-directory rules say).
std::vector<std::string> folderList(const std::string& value, const std::string& fallback) {
  const std::string& list = value.empty() ? fallback : value;
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t colon = list.find(':', start);
    if (colon == std::string::npos) colon = list.size();
    std::string dir = list.substr(start, colon - start);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!dir.empty() && dir.front() == '/') out.push_back(dir);
    start = colon + 1;
  }
  return out;
}

std::string homeBased(const char* name, const char* below) {
  std::string v = env(name);
  if (!v.empty() && v.front() == '/') return v;
  return homeFolder() + below;
}

// "a;b;" -> {"a", "b"}
std::vector<std::string> splitList(std::string_view value) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < value.size()) {
    size_t semi = value.find(';', start);
    if (semi == std::string_view::npos) semi = value.size();
    std::string_view item = value.substr(start, semi - start);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\r')) item.remove_suffix(1);
    if (!item.empty()) out.emplace_back(item);
    start = semi + 1;
  }
  return out;
}

// Calls onEntry(section, key, value) for every "key=value" line of an INI-
// style file; false when the file cannot be read.
template <class F>
bool readIniFile(const std::string& path, F onEntry) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      section = close == std::string::npos ? std::string() : line.substr(1, close - 1);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    onEntry(section, key, std::string_view(line).substr(eq + 1));
  }
  return true;
}

// Lower-cased names of $XDG_CURRENT_DESKTOP ("KDE:GNOME" -> kde, gnome).
std::vector<std::string> desktopNames() {
  std::vector<std::string> names;
  const std::string v = env("XDG_CURRENT_DESKTOP");
  size_t start = 0;
  while (start < v.size()) {
    size_t colon = v.find(':', start);
    if (colon == std::string::npos) colon = v.size();
    std::string name = v.substr(start, colon - start);
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!name.empty() && name.find('/') == std::string::npos) names.push_back(name);
    start = colon + 1;
  }
  return names;
}

}  // namespace

void ApplicationLists::readList(const std::string& path) {
  Source s;
  const bool read = readIniFile(path, [&](const std::string& section, const std::string& type, std::string_view v) {
    if (section == "Default Applications" || section == "Added Associations") {
      for (std::string& app : splitList(v)) s.named[type].push_back(std::move(app));
    } else if (section == "Removed Associations") {
      for (std::string& app : splitList(v)) s.removed[type].push_back(std::move(app));
    }
  });
  if (read) sources_.push_back(std::move(s));
}

void ApplicationLists::readApplicationsFolder(const std::string& folder) {
  Source s;
  const std::string cache = folder + "/mimeinfo.cache";
  const bool haveCache =
      readIniFile(cache, [&](const std::string& section, const std::string& type, std::string_view v) {
        if (section == "MIME Cache")
          for (std::string& app : splitList(v)) s.named[type].push_back(std::move(app));
      });
  if (!haveCache) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    size_t seen = 0;
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (++seen > kMaxDesktopFiles) break;
      const fs::path& p = it->path();
      if (p.extension() != ".desktop" || !it->is_regular_file(ec)) continue;
      // The application's id: its path below the folder, "/" as "-".
      std::string id = p.lexically_relative(folder).string();
      for (char& c : id)
        if (c == '/') c = '-';
      bool hidden = false;
      std::vector<std::string> types;
      readIniFile(p.string(), [&](const std::string& section, const std::string& key, std::string_view v) {
        if (section != "Desktop Entry") return;
        if (key == "MimeType") types = splitList(v);
        if (key == "Hidden" && v == "true") hidden = true;
      });
      if (hidden) continue;
      for (const std::string& type : types) s.named[type].push_back(id);
    }
  }
  sources_.push_back(std::move(s));
}

ApplicationLists ApplicationLists::load() {
  ApplicationLists lists;
  const std::vector<std::string> desktops = desktopNames();
  auto readLists = [&](const std::string& folder) {
    for (const std::string& d : desktops) lists.readList(folder + "/" + d + "-mimeapps.list");
    lists.readList(folder + "/mimeapps.list");
  };

  std::vector<std::string> configDirs = {homeBased("XDG_CONFIG_HOME", "/.config")};
  for (std::string& d : folderList(env("XDG_CONFIG_DIRS"), "/etc/xdg")) configDirs.push_back(std::move(d));
  for (const std::string& d : configDirs) readLists(d);

  std::vector<std::string> dataDirs = {homeBased("XDG_DATA_HOME", "/.local/share")};
  for (std::string& d : folderList(env("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
    dataDirs.push_back(std::move(d));
  for (const std::string& d : dataDirs) {
    const std::string apps = d + "/applications";
    readLists(apps);
    lists.readList(apps + "/defaults.list");
    lists.readApplicationsFolder(apps);
  }
  return lists;
}

bool ApplicationLists::hasDefaultApplication(std::string_view type) const {
  if (type.empty()) return false;
  const std::string key(type);
  std::unordered_set<std::string> removed;
  for (const Source& s : sources_) {
    if (auto it = s.named.find(key); it != s.named.end())
      for (const std::string& app : it->second)
        if (!removed.count(app)) return true;
    // A removal applies to the files of lower precedence.
    if (auto it = s.removed.find(key); it != s.removed.end())
      for (const std::string& app : it->second) removed.insert(app);
  }
  return false;
}

}  // namespace vz::mime
