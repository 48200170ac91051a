// Test helper: the whole HKEY_CLASSES_ROOT store as a set of lines
// "key|name=value" (one per value) and "key|" (one per key without values
// and subkeys), so tests can compare what registration wrote exactly.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "platform/registry.h"

namespace vz::test {

inline std::set<std::string> dumpClassesRoot() {
  std::set<std::string> out;
  std::function<void(const std::string&)> walk = [&](const std::string& key) {
    auto names = reg::valueNames(RegRoot::ClassesRoot, key);
    auto subs = reg::subkeys(RegRoot::ClassesRoot, key);
    for (const auto& n : names)
      out.insert(key + "|" + n + "=" + reg::getString(RegRoot::ClassesRoot, key, n).value_or("<not text>"));
    if (names.empty() && subs.empty() && !key.empty()) out.insert(key + "|");
    for (const auto& s : subs) walk(key.empty() ? s : key + "\\" + s);
  };
  walk("");
  return out;
}

}  // namespace vz::test
