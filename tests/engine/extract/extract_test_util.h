// Helpers of the extraction driver's tests: a notification window that
// records the driver's messages, scripted answers for the replace, rename
// and password questions, file-tree helpers, and a fixture with a private
// VZ_ROOT and a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/engine/extract/extract_options.h"
#include "control/engine/extract/extract_run.h"
#include "control/engine/common/prompts.h"
#include "control/engine/common/unzip_state.h"
#include "platform/window.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::test {

namespace fs = std::filesystem;
using engine::ReadStatus;

// One message the driver sent: its number (the n of WM_USER + n), wParam,
// and the text at lParam.
struct DriverEvent {
  uint32_t n;
  WParam w;
  std::string text;
  bool operator==(const DriverEvent&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const DriverEvent& e) {
  return os << "{0x" << std::hex << e.n << std::dec << ", " << e.w << ", " << e.text << "}";
}

// A notification window that records every message.
class EventRecorder {
 public:
  EventRecorder() {
    window_ = createWindow([this](uint32_t msg, WParam w, LParam l) -> intptr_t {
      events.push_back({msg - WM_USER, w, l ? std::string(reinterpret_cast<const char*>(l)) : std::string()});
      if (onEvent) onEvent(events.back());
      return 0;
    });
  }
  ~EventRecorder() { destroyWindow(window_); }
  Handle window() const { return window_; }
  // The events of one message number, in order.
  std::vector<DriverEvent> of(uint32_t n) const {
    std::vector<DriverEvent> out;
    for (const DriverEvent& e : events)
      if (e.n == n) out.push_back(e);
    return out;
  }

  std::vector<DriverEvent> events;
  std::function<void(const DriverEvent&)> onEvent;

 private:
  Handle window_ = 0;
};

// Answers from queues; an empty queue answers as closing the dialog.
class ScriptedPrompts final : public engine::Prompts {
 public:
  engine::ReplaceAnswer askReplace(const engine::ReplaceRequest& req) override {
    replaceAsked.push_back(req);
    if (replace.empty()) return engine::ReplaceAnswer::Never;
    const engine::ReplaceAnswer a = replace.front();
    replace.pop_front();
    return a;
  }
  std::optional<std::string> askRename(const std::string& currentName) override {
    renameAsked.push_back(currentName);
    if (rename.empty()) return std::nullopt;
    std::optional<std::string> a = rename.front();
    rename.pop_front();
    return a;
  }
  engine::PasswordAnswer askPassword(const engine::PasswordRequest& req, std::string* typed) override {
    passwordAsked.push_back(req);
    if (password.empty()) return engine::PasswordAnswer::Never;
    auto [answer, text] = password.front();
    password.pop_front();
    if (typed) *typed = text;
    return answer;
  }

  std::deque<engine::ReplaceAnswer> replace;
  std::deque<std::optional<std::string>> rename;
  std::deque<std::pair<engine::PasswordAnswer, std::string>> password;
  std::vector<engine::ReplaceRequest> replaceAsked;
  std::vector<std::string> renameAsked;
  std::vector<engine::PasswordRequest> passwordAsked;
};

// A stored entry with the builder's defaults.
inline TestEntry entry(std::string name, std::string data) {
  TestEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

inline std::string readText(const std::string& path) {
  const std::vector<uint8_t> b = readFile(path);
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// Every regular file below root, by its path relative to root.
inline std::map<std::string, std::string> treeOf(const std::string& root) {
  std::map<std::string, std::string> out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = readText(e.path().string());
  return out;
}

// The same with the relative paths upper-cased: extracted names are the
// entries' processed (upper-case) names, a peer keeps the stored case.
inline std::map<std::string, std::string> upperTreeOf(const std::string& root) {
  std::map<std::string, std::string> out;
  for (auto& [k, v] : treeOf(root)) {
    std::string u = k;
    for (char& c : u)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out[u] = v;
  }
  return out;
}

inline void setTime(const std::string& path, std::time_t t) {
  struct timespec ts[2] = {{t, 0}, {t, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), ts, 0);
}
inline std::time_t mtimeOf(const std::string& path) {
  struct stat s {};
  ::stat(path.c_str(), &s);
  return s.st_mtime;
}

// A Python script run with python3; false when it failed.
inline bool runPython(const std::string& script, const std::string& cwd = "") {
  return run({"python3", "-c", script}, nullptr, nullptr, cwd) == 0;
}

// Fixture: a private VZ_ROOT, a scratch folder, a state with a recording
// window, and the state's prompts.
class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st.notifyWindow = recorder.window();
    st.pump = false;
    st.prompts = &prompts;
    st.askPassword = false;
  }
  std::string file(const std::string& name) const { return dir.file(name); }
  // An archive written by the builder into the scratch folder.
  std::string archive(const ZipBuilder& b, const std::string& name = "t.zip") {
    writeFile(file(name), b.build());
    return file(name);
  }
  ReadStatus unzip(const std::string& zip, const std::string& dest, const std::string& mask = "", bool rebuild = true,
                   int mode = 1) {
    return engine::unzipFiles(st, zip, mask, dest, rebuild, mode);
  }

  ScopedRoot root;
  ScratchDir dir{"vzx"};
  EventRecorder recorder;
  ScriptedPrompts prompts;
  engine::UnzipState st;
};

}  // namespace vz::test
