// What the extractor tests compare: a folder tree read into a map of
// relative path -> kind, bytes (or link target) and modification time, and
// a runner that collects an extractor's events.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "manager/readers/reader_errors.h"
#include "manager/readers/un_base.h"
#include "tests/support/test_env.h"

namespace vz::readers::test {

struct TreeNode {
  char kind = 'f';      // 'f' file, 'd' folder, 'l' symbolic link
  std::string content;  // file bytes, or the link's target
  int64_t mtime = 0;    // files and links; folders' times are not compared
  bool operator==(const TreeNode&) const = default;
};
using Tree = std::map<std::string, TreeNode>;

inline Tree readTree(const std::string& root) {
  namespace fs = std::filesystem;
  Tree tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    TreeNode node;
    struct stat st;
    lstat(it->path().c_str(), &st);
    if (it->is_symlink()) {
      node.kind = 'l';
      node.content = fs::read_symlink(it->path()).string();
      node.mtime = st.st_mtime;
    } else if (it->is_directory()) {
      node.kind = 'd';
    } else {
      const std::vector<uint8_t> bytes = vz::test::readFile(it->path().string());
      node.content.assign(bytes.begin(), bytes.end());
      node.mtime = st.st_mtime;
    }
    tree[it->path().lexically_relative(root).string()] = node;
  }
  return tree;
}

// The events of one run.
struct RunLog {
  int32_t extracted = 0;
  std::vector<int32_t> errors;
  std::vector<std::string> begun;
  std::map<std::string, bool> ended;                 // name -> CRC verdict
  std::map<std::string, std::vector<int>> progress;  // name -> percentages reported
};

// Runs an extractor of archive into dest, logging its events.
template <class Extractor>
RunLog extract(const std::string& archive, const std::string& dest, Extractor* ex = nullptr) {
  Extractor own;
  Extractor& x = ex ? *ex : own;
  RunLog log;
  x.ExtractDir = dest;
  x.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t code) { log.errors.push_back(code); };
  x.OnBegin = [&](TUnBase&, const std::string& fn, int32_t, bool&) { log.begun.push_back(fn); };
  x.OnEnd = [&](TUnBase&, const std::string& fn, bool pass) { log.ended[fn] = pass; };
  x.OnProgress = [&](TUnBase&, const std::string& fn, uint8_t p) { log.progress[fn].push_back(p); };
  x.setArchiveFile(archive);
  log.extracted = x.activate();
  return log;
}

}  // namespace vz::readers::test
