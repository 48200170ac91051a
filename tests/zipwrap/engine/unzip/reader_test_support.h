// What the reader's tests share: a recording host that answers the engine's
// questions from a script, the call through readerMain with a zwunzip-style
// argument vector, and a snapshot of a folder tree (types, bytes, permission
// bits, modification times, link targets) to compare two extractions.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_env.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/unzip/unzip_main.h"

namespace vz::zipwrap::test {

// One callback as the host saw it.
struct Seen {
  uint32_t code = 0;
  std::string name;     // file name of the record (or the comment text for 130)
  uint32_t value = 0;   // reason (1060), percent (50/60/80), entry count (70/90)
  ZwFileRecord file{};  // the file record as received (pointers not valid later)
};

class RecordingHost {
 public:
  std::vector<Seen> seen;
  // Replies: to 10, the answer and a new name; to 100, each answer in turn
  // (answer, password); the last one repeats.
  std::function<std::pair<uint8_t, std::string>(const std::string& path)> onReplace;
  std::vector<std::pair<uint8_t, std::string>> passwordReplies;
  // Stop (reply 1) at the nth callback of this code (1-based); 0: never.
  uint32_t stopCode = 0;
  int stopAt = 0;

  static uint32_t callback(uint32_t code, void* record, void* user) {
    return static_cast<RecordingHost*>(user)->handle(code, record);
  }

  uint32_t run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return readerMain(kEngineCallMagic, static_cast<int32_t>(args.size()), argv.data(), &callback, this);
  }

  std::vector<Seen> of(uint32_t code) const {
    std::vector<Seen> out;
    for (const Seen& s : seen)
      if (s.code == code) out.push_back(s);
    return out;
  }
  // The skip reasons reported for a name, in order.
  std::vector<uint32_t> reasonsFor(const std::string& name) const {
    std::vector<uint32_t> out;
    for (const Seen& s : seen)
      if (s.code == kCbSkipping && s.name == name) out.push_back(s.value);
    return out;
  }

 private:
  uint32_t handle(uint32_t code, void* record) {
    Seen s;
    s.code = code;
    switch (code) {
      case kCbTesting:
      case kCbExtracting:
      case kCbListing:
      case kCbTotals: {
        auto* r = static_cast<ZwFileRecord*>(record);
        s.file = *r;
        s.name = r->fileName;
        s.value = code == kCbTotals ? r->valueB : r->percentDone;
        s.file.fileName = nullptr;
        s.file.textA = nullptr;
        comments_.push_back(r->textA);
        break;
      }
      case kCbSkipping: {
        auto* r = static_cast<ZwSkipRecord*>(record);
        s.name = r->fileName;
        s.value = r->reason;
        break;
      }
      case kCbEntryCount:
        s.value = static_cast<ZwCountRecord*>(record)->entries;
        break;
      case kCbArchiveCommentOut: {
        auto* r = static_cast<ZwArchiveCommentOut*>(record);
        s.name.assign(r->text, r->length);
        break;
      }
      case kCbReplace: {
        auto* r = static_cast<ZwReplaceRecord*>(record);
        s.name = r->fileName;
        auto [answer, name] = onReplace ? onReplace(s.name) : std::pair<uint8_t, std::string>{0, ""};
        r->answer = answer;
        std::strncpy(r->newName, name.c_str(), kZwNameBufferSize - 1);
        break;
      }
      case kCbPassword: {
        auto* r = static_cast<ZwPasswordRecord*>(record);
        s.name = r->fileName;
        if (!passwordReplies.empty()) {
          const auto& reply = passwordReplies[std::min(passwords_, passwordReplies.size() - 1)];
          r->answer = reply.first;
          std::strncpy(r->password, reply.second.c_str(), kZwPasswordMaxLength);
        }
        ++passwords_;
        break;
      }
      default:
        break;
    }
    seen.push_back(s);
    if (code == stopCode && ++stopCount_ == stopAt) return kReplyStop;
    return kReplyContinue;
  }

 public:
  std::vector<std::string> comments_;  // textA of each file record, in order

 private:
  size_t passwords_ = 0;  // password questions answered so far
  int stopCount_ = 0;     // callbacks of stopCode so far
};

// One path of a folder tree.
struct TreeItem {
  char type = '?';    // 'f' file, 'd' folder, 'l' link
  unsigned mode = 0;  // permission bits
  int64_t mtime = 0;  // seconds (files and folders)
  std::string data;   // file bytes, or the link's target
  bool operator==(const TreeItem&) const = default;
};
using Tree = std::map<std::string, TreeItem>;

inline Tree snapshot(const std::string& root) {
  namespace fs = std::filesystem;
  Tree out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string p = it->path().string();
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) continue;
    TreeItem item;
    item.mode = st.st_mode & 07777;
    item.mtime = st.st_mtime;
    if (S_ISLNK(st.st_mode)) {
      item.type = 'l';
      item.mode = 0;
      item.mtime = 0;
      item.data = fs::read_symlink(p).string();
    } else if (S_ISDIR(st.st_mode)) {
      item.type = 'd';
    } else {
      item.type = 'f';
      const auto bytes = vz::test::readFile(p);
      item.data.assign(bytes.begin(), bytes.end());
    }
    out[p.substr(root.size())] = item;
  }
  return out;
}

// The differences between two trees, one line per path (empty when equal).
inline std::string treeDiff(const Tree& a, const Tree& b) {
  std::string out;
  auto describe = [](const TreeItem& t) {
    return std::string(1, t.type) + " mode " + std::to_string(t.mode) + " mtime " + std::to_string(t.mtime) +
           " bytes " + std::to_string(t.data.size());
  };
  for (const auto& [path, item] : a) {
    auto it = b.find(path);
    if (it == b.end())
      out += "only in first: " + path + "\n";
    else if (!(it->second == item))
      out += path + ": " + describe(item) + " vs " + describe(it->second) + "\n";
  }
  for (const auto& [path, item] : b)
    if (!a.count(path)) out += "only in second: " + path + "\n";
  return out;
}

// Runs a shell command line (for the peers' recipes); its exit status.
inline int shell(const std::string& line, const std::string& cwd = "") {
  return vz::test::run({"/bin/sh", "-c", line}, nullptr, nullptr, cwd);
}

}  // namespace vz::zipwrap::test
