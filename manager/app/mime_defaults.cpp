// Editing the user's mimeapps.list: the file is read as groups of lines,
// the three association groups are changed for the requested types, and the
// text is written back with every untouched line as it was.
#include "manager/app/mime_defaults.h"

#include <algorithm>
#include <optional>

#include "platform/file.h"
#include "platform/folder_env.h"
#include "platform/folders.h"

namespace vz::manager {
namespace {

// One "[Group]" with its lines; the lines before the first header form a
// group with an empty name.
struct Group {
  std::string name;                // without the brackets
  std::string header;              // the header line as written ("" for the preamble)
  std::vector<std::string> lines;  // the lines after the header, without line breaks
};

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::vector<Group> parse(const std::string& text) {
  std::vector<Group> groups(1);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    std::string t = trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
      groups.push_back({t.substr(1, t.size() - 2), line, {}});
    else
      groups.back().lines.push_back(line);
  }
  return groups;
}

std::string render(const std::vector<Group>& groups) {
  std::string out;
  for (const Group& g : groups) {
    if (!g.header.empty()) out += g.header + "\n";
    for (const std::string& l : g.lines) out += l + "\n";
  }
  return out;
}

// The line of a key within a group, if any.
std::optional<size_t> findKey(const Group& g, const std::string& key) {
  for (size_t i = 0; i < g.lines.size(); ++i) {
    const std::string& l = g.lines[i];
    size_t eq = l.find('=');
    if (eq != std::string::npos && trim(l.substr(0, eq)) == key) return i;
  }
  return std::nullopt;
}

std::vector<std::string> splitList(const std::string& value) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos <= value.size()) {
    size_t end = value.find(';', pos);
    if (end == std::string::npos) end = value.size();
    std::string item = trim(value.substr(pos, end - pos));
    if (!item.empty()) items.push_back(item);
    pos = end + 1;
  }
  return items;
}

std::string joinList(const std::vector<std::string>& items) {
  std::string v;
  for (const std::string& i : items) v += i + ";";
  return v;
}

std::vector<std::string> valueOf(const Group& g, size_t line) {
  const std::string& l = g.lines[line];
  return splitList(l.substr(l.find('=') + 1));
}

Group& groupNamed(std::vector<Group>& groups, const std::string& name) {
  for (Group& g : groups)
    if (!g.header.empty() && g.name == name) return g;
  // A new group follows a blank line when the text before it has content.
  Group& last = groups.back();
  if (!(last.header.empty() && last.lines.empty()) && (last.lines.empty() || !trim(last.lines.back()).empty()))
    last.lines.push_back("");
  groups.push_back({name, "[" + name + "]", {}});
  return groups.back();
}

void setKey(Group& g, const std::string& key, const std::vector<std::string>& items) {
  std::string line = key + "=" + joinList(items);
  if (std::optional<size_t> i = findKey(g, key)) {
    g.lines[*i] = line;
    return;
  }
  // Append after the group's last non-blank line, so a blank separator
  // before the next group stays where it is.
  size_t at = g.lines.size();
  while (at > 0 && trim(g.lines[at - 1]).empty()) --at;
  g.lines.insert(g.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
}

}  // namespace

std::string userMimeAppsList() {
  std::string root = folder_env::vzRoot();
  if (!root.empty()) return root + "/config/mimeapps.list";
  std::string config = folder_env::absoluteEnv("XDG_CONFIG_HOME");
  if (config.empty()) config = homeFolder() + "/.config";
  return config + "/mimeapps.list";
}

std::string withDefaultApplication(const std::string& listText, const std::vector<std::string>& types,
                                   const std::string& desktopFile) {
  std::vector<Group> groups = parse(listText);
  for (const std::string& type : types) {
    setKey(groupNamed(groups, "Default Applications"), type, {desktopFile});

    Group& added = groupNamed(groups, "Added Associations");
    std::vector<std::string> apps;
    if (std::optional<size_t> i = findKey(added, type)) apps = valueOf(added, *i);
    std::erase(apps, desktopFile);
    apps.insert(apps.begin(), desktopFile);
    setKey(added, type, apps);

    for (Group& g : groups) {
      if (g.header.empty() || g.name != "Removed Associations") continue;
      std::optional<size_t> i = findKey(g, type);
      if (!i) continue;
      std::vector<std::string> removed = valueOf(g, *i);
      std::erase(removed, desktopFile);
      if (removed.empty())
        g.lines.erase(g.lines.begin() + static_cast<std::ptrdiff_t>(*i));
      else
        g.lines[*i] = type + "=" + joinList(removed);
    }
  }
  return render(groups);
}

bool setDefaultApplication(const std::vector<std::string>& types, const std::string& desktopFile) {
  const std::string path = userMimeAppsList();
  const std::string folder = path.substr(0, path.rfind('/'));
  if (!makeDirectories(folder)) return false;
  std::string text = readWholeFile(path).value_or("");
  return writeFileAtomic(path, withDefaultApplication(text, types, desktopFile));
}

}  // namespace vz::manager
