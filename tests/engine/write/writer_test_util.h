// Helpers of the archive writer's tests: a fixture with a private VZ_ROOT
// and a scratch folder, a window that records the writer's reports,
// scripted replace answers, file-tree helpers, the entries of an archive as
// our catalogue loader sees them, and the peer tools as oracles.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "control/engine/write/archive_update.h"
#include "control/engine/read/catalogue.h"
#include "control/engine/common/prompts.h"
#include "control/engine/write/zip_writer_engine.h"
#include "platform/attributes.h"
#include "platform/file.h"
#include "platform/window.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::test {

namespace fs = std::filesystem;

// One report of the writer: n of WM_USER + n, wParam, text at lParam.
struct WriterEvent {
  uint32_t n;
  WParam w;
  std::string text;
};

// A window that records every report; onEvent runs inside each.
class WriterEvents {
 public:
  WriterEvents() {
    window_ = createWindow([this](uint32_t msg, WParam w, LParam l) -> intptr_t {
      events.push_back({msg - WM_USER, w, l ? std::string(reinterpret_cast<const char*>(l)) : std::string()});
      if (onEvent) onEvent(events.back());
      return 0;
    });
  }
  ~WriterEvents() { destroyWindow(window_); }
  Handle window() const { return window_; }
  std::vector<WriterEvent> of(uint32_t n) const {
    std::vector<WriterEvent> out;
    for (const WriterEvent& e : events)
      if (e.n == n) out.push_back(e);
    return out;
  }

  std::vector<WriterEvent> events;
  std::function<void(const WriterEvent&)> onEvent;

 private:
  Handle window_ = 0;
};

// Replace answers from a queue; every question is recorded.
class ScriptedReplace final : public engine::Prompts {
 public:
  engine::ReplaceAnswer askReplace(const engine::ReplaceRequest& req) override {
    asked.push_back(req);
    if (answers.empty()) return engine::ReplaceAnswer::Never;
    const engine::ReplaceAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> askRename(const std::string&) override { return std::nullopt; }
  engine::PasswordAnswer askPassword(const engine::PasswordRequest&, std::string*) override {
    return engine::PasswordAnswer::Never;
  }
  std::deque<engine::ReplaceAnswer> answers;
  std::vector<engine::ReplaceRequest> asked;
};

inline std::string bytesOf(const std::vector<uint8_t>& v) {
  return std::string(reinterpret_cast<const char*>(v.data()), v.size());  // one copy, not byte by byte
}
inline std::string fileText(const std::string& path) { return bytesOf(readFile(path)); }

// Pseudo-random bytes (incompressible), the same for the same seed.
inline std::string randomBytes(size_t n, uint32_t seed = 1) {
  std::mt19937 g(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(g() & 0xFF);
  return s;
}
// Text that compresses well.
inline std::string textBytes(size_t n) {
  std::string s;
  static const char* kWords[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
  for (size_t i = 0; s.size() < n; ++i) s += kWords[(i * 7 + i / 3) % 6];
  s.resize(n);
  return s;
}

inline void put(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  writeFile(path, std::string_view(bytes));
}

// Sets a file's modification time to exactly t (seconds since the epoch),
// without the fraction of a second a conversion from the clock's "now"
// would carry.
inline void setMtime(const std::string& path, std::time_t t) {
  const timespec times[2] = {{t, 0}, {t, 0}};
  EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// An entry as the catalogue loader reports it.
struct EntryView {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t localFlags = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t size = 0;
  uint32_t offset = 0;
  uint32_t dosDateTime = 0;
  uint32_t attributes = 0;
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint32_t descriptorSize = 0;
  std::string comment;
};

struct ArchiveView {
  engine::CatalogueStatus status = engine::CatalogueStatus::NotArchive;  // the loader's status
  std::vector<EntryView> entries;
  std::string comment;
  std::vector<std::string> names() const {
    std::vector<std::string> n;
    for (const EntryView& e : entries) n.push_back(e.name);
    return n;
  }
  const EntryView* find(const std::string& name) const {
    for (const EntryView& e : entries)
      if (e.name == name) return &e;
    return nullptr;
  }
};

inline ArchiveView viewArchive(const std::string& path) {
  ArchiveView v;
  engine::LoadedCatalogue c;
  v.status = engine::loadCatalogue(path, {}, c);
  for (const engine::ArchiveEntry* e = c.entries.first(); e; e = e->next.get()) {
    EntryView x;
    x.name = e->name;
    x.method = e->method;
    x.flags = e->flags;
    x.localFlags = e->localFlags;
    x.crc = e->crc32;
    x.compressedSize = e->compressedSize;
    x.size = e->uncompressedSize;
    x.offset = e->localHeaderOffset;
    x.dosDateTime = e->dosDateTime;
    x.attributes = e->externalAttributes;
    x.versionMadeBy = e->versionMadeBy;
    x.versionNeeded = e->versionNeeded;
    x.descriptorSize = e->descriptorSize;
    x.comment = e->comment;
    v.entries.push_back(x);
  }
  v.comment = c.comment;
  return v;
}

// Every regular file below root, by path relative to root, with its bytes.
inline std::map<std::string, std::string> treeOf(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = fileText(e.path().string());
  }
  return out;
}

// The peer tools' verdicts on an archive; each empty when the tool agrees
// (or is not installed), else its complaint.
inline std::string peerComplaints(const std::string& zip, const std::string& password = "") {
  std::string out, errs, problems;
  if (haveProgram("unzip")) {
    std::vector<std::string> argv = {"unzip", "-t", "-qq"};
    if (!password.empty()) argv.insert(argv.end(), {"-P", password});
    argv.push_back(zip);
    if (run(argv, &out, &errs) != 0) problems += "unzip -t: " + out + errs + "\n";
  }
  if (haveProgram("7zz")) {
    std::vector<std::string> argv = {"7zz", "t", "-bd"};
    argv.push_back("-p" + password);
    argv.push_back(zip);
    if (run(argv, &out, &errs) != 0) problems += "7zz t: " + out + errs + "\n";
  }
  if (haveProgram("bsdtar") && password.empty()) {
    if (run({"bsdtar", "-tf", zip}, &out, &errs) != 0) problems += "bsdtar -tf: " + errs + "\n";
  }
  if (haveProgram("python3")) {
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "if sys.argv[2]: z.setpassword(sys.argv[2].encode())\n"
        "bad = z.testzip()\n"
        "sys.exit(0 if bad is None else 1)\n";
    if (run({"python3", "-c", script, zip, password}, &out, &errs) != 0) problems += "python3 testzip: " + errs + "\n";
  }
  return problems;
}

// Test fixture: private root, scratch folder, engine settings with a
// report window.
class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_.window = 0; }

  // ZipFiles; its result as the number the host receives.
  int16_t zip(const std::string& archive, const std::string& mask, int overwrite = 0, int store = 1,
              bool recurse = true, int compression = 0, const std::string& password = "") {
    engine::ZipFilesRequest r;
    r.zipName = archive;
    r.mask = mask;
    r.recurse = recurse;
    r.storePathMethod = store;
    r.password = password;
    engine_.setOverwriteMode(static_cast<int16_t>(overwrite));
    engine_.setCompressionMode(compression);
    engine_.cancel = false;
    return engine::statusCode(engine::zipFiles(engine_, r));
  }

  ScopedRoot root_;
  ScratchDir dir_{"vzwrite"};
  engine::WriteEngine engine_;
};

}  // namespace vz::test
