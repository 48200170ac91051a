// Which MIME types have a default application: the freedesktop MIME
// application lists, read by our own code. This is what a "registered file
// type" means on this platform (the original looked for an entry in the
// [Extensions] section of WIN.INI).
//
// Files, highest precedence first ($desktop: each name of
// $XDG_CURRENT_DESKTOP in lower case):
//   $XDG_CONFIG_HOME/{$desktop-,}mimeapps.list        (~/.config)
//   $XDG_CONFIG_DIRS/{$desktop-,}mimeapps.list        (/etc/xdg)
//   $XDG_DATA_HOME/applications/...                   (~/.local/share)
//   $XDG_DATA_DIRS/applications/...                   (/usr/local/share:/usr/share)
// where each applications folder holds {$desktop-,}mimeapps.list,
// defaults.list and the applications themselves: mimeinfo.cache when it is
// there, else the MimeType= keys of its *.desktop files (as xdg-mime finds
// them).
//
// A type has a default application when, walking the files in that order,
// some application is named for it in [Default Applications] or [Added
// Associations], or by an applications folder, that no file of higher
// precedence removed in [Removed Associations]. Whether the named desktop
// file exists is not checked.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vz::mime {

class ApplicationLists {
 public:
  // Reads every list now (missing files are simply absent).
  static ApplicationLists load();

  bool hasDefaultApplication(std::string_view type) const;

 private:
  // One source of associations in precedence order.
  struct Source {
    // type -> applications named for it ([Default Applications], [Added
    // Associations], mimeinfo.cache or desktop files)
    std::unordered_map<std::string, std::vector<std::string>> named;
    // type -> applications removed for it ([Removed Associations])
    std::unordered_map<std::string, std::vector<std::string>> removed;
  };
  void readList(const std::string& path);
  void readApplicationsFolder(const std::string& folder);

  std::vector<Source> sources_;  // highest precedence first
};

}  // namespace vz::mime
