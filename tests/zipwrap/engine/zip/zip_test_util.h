// What the writer's tests share: running writerMain() with an argument
// vector and a recording callback, a scratch folder that is the current
// folder for the test (so that stored names are short relative paths), and
// the peer tools' verdicts on an archive.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_env.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/zip/zip_main.h"

namespace vz::zipwrap::test {

namespace fs = std::filesystem;
using vz::test::haveProgram;
using vz::test::readFile;
using vz::test::run;
using vz::test::writeFile;

// One callback as the engine made it.
struct Call {
  uint32_t code = 0;
  std::string name;  // file name (or the name record itself)
  int percent = -1;  // file records
  int reason = -1;   // skip records
};

// Records every callback; answers stop at call number stopAt (1-based, 0:
// never), gives fileComment to 120 and archiveComment to 140.
struct Recorder {
  std::vector<Call> calls;
  int stopAt = 0;
  std::string fileComment;
  std::optional<std::string> archiveComment;

  static uint32_t callback(uint32_t code, void* record, void* user) {
    auto* self = static_cast<Recorder*>(user);
    Call c;
    c.code = code;
    switch (code) {
      case kCbUpdating:
      case kCbAdding:
      case kCbStatus: {
        auto* r = static_cast<ZwFileRecord*>(record);
        c.name = r->fileName;
        c.percent = r->percentDone;
        break;
      }
      case kCbDeleting:
        c.name = static_cast<const char*>(record);
        break;
      case kCbSkipping: {
        auto* r = static_cast<ZwSkipRecord*>(record);
        c.name = r->fileName;
        c.reason = r->reason;
        break;
      }
      case kCbFileComment: {
        auto* r = static_cast<ZwCommentRecord*>(record);
        c.name = r->fileName;
        std::copy(self->fileComment.begin(), self->fileComment.end(), r->buffer);
        r->length = static_cast<uint8_t>(self->fileComment.size());
        break;
      }
      case kCbArchiveCommentIn: {
        auto* r = static_cast<ZwArchiveCommentIn*>(record);
        if (self->archiveComment) {
          std::copy(self->archiveComment->begin(), self->archiveComment->end(), r->buffer);
          r->length = static_cast<uint16_t>(self->archiveComment->size());
          r->status = 1;
        }
        break;
      }
      default:
        break;
    }
    self->calls.push_back(c);
    return self->stopAt > 0 && static_cast<int>(self->calls.size()) == self->stopAt ? kReplyStop : kReplyContinue;
  }
  size_t count(uint32_t code) const {
    size_t n = 0;
    for (const Call& c : calls) n += c.code == code;
    return n;
  }
};

// Runs the writer; the low 16 bits of its result.
inline uint16_t zw(const std::vector<std::string>& args, Recorder* rec = nullptr) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  const uint32_t r = writerMain(kEngineCallMagic, static_cast<int32_t>(copy.size()), argv.data(),
                                rec ? &Recorder::callback : nullptr, rec);
  return static_cast<uint16_t>(r & 0xFFFF);
}

inline std::vector<uint8_t> textBytes(size_t n, unsigned seed) {
  std::vector<uint8_t> v(n);
  const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
  size_t i = 0;
  uint32_t x = seed * 2654435761u + 1;
  while (i < n) {
    x = x * 1103515245u + 12345u;
    for (const char* w = words[(x >> 16) % 6]; *w && i < n; ++w) v[i++] = static_cast<uint8_t>(*w);
  }
  return v;
}

inline std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::vector<uint8_t> v(n);
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 7;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<uint8_t>(x >> 32);
  }
  return v;
}

// A test whose current folder is a fresh scratch folder (with a private
// VZ_ROOT); restored afterwards.
class WriterTest : public ::testing::Test {
 protected:
  WriterTest() {
    char buf[4096];
    oldCwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    EXPECT_EQ(chdir(dir_.path().c_str()), 0);
    unsetenv("VZ_THREADS");
    unsetenv("VZ_ENCRYPTION_SEED");
  }
  ~WriterTest() override {
    (void)chdir(oldCwd_.c_str());
    unsetenv("VZ_THREADS");
    unsetenv("VZ_ENCRYPTION_SEED");
  }

  // Writes a file (parents made) with a modification time.
  void put(const std::string& rel, const std::vector<uint8_t>& bytes, std::time_t mtime = 1600000001) {
    const fs::path p = fs::path(dir_.path()) / rel;
    fs::create_directories(p.parent_path());
    writeFile(p.string(), bytes);
    touch(rel, mtime);
  }
  void touch(const std::string& rel, std::time_t mtime) {
    const fs::path p = fs::path(dir_.path()) / rel;
    struct timespec ts[2] = {{mtime, 0}, {mtime, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, 0);
  }
  std::string abs(const std::string& rel) const { return dir_.file(rel); }
  std::string bytesOf(const std::string& rel) const {
    const std::vector<uint8_t> b = readFile(abs(rel));
    return std::string(b.begin(), b.end());
  }

  // The stored names, in archive order (unzip -Z1).
  std::vector<std::string> names(const std::string& archive) {
    std::string out;
    if (run({"unzip", "-Z1", abs(archive)}, &out) != 0) return {};
    std::vector<std::string> v;
    size_t start = 0;
    while (start < out.size()) {
      const size_t nl = out.find('\n', start);
      v.push_back(out.substr(start, nl - start));
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    return v;
  }

  // Every peer's test of the archive passes (each peer that is installed).
  void expectPeersAccept(const std::string& archive, const std::string& password, const std::string& what) {
    const std::string a = abs(archive);
    if (haveProgram("unzip")) {
      std::vector<std::string> argv = {"unzip", "-tqq"};
      if (!password.empty()) argv.insert(argv.end(), {"-P", password});
      argv.push_back(a);
      EXPECT_EQ(run(argv), 0) << "unzip -t, " << what;
    }
    if (haveProgram("7zz")) EXPECT_EQ(run({"7zz", "t", "-p" + password, a}), 0) << "7zz t, " << what;
    if (haveProgram("bsdtar")) EXPECT_EQ(run({"bsdtar", "-tf", a}), 0) << "bsdtar -tf, " << what;
    if (haveProgram("python3")) {
      const std::string script =
          "import sys, zipfile\n"
          "z = zipfile.ZipFile(sys.argv[1])\n"
          "if sys.argv[2]: z.setpassword(sys.argv[2].encode())\n"
          "sys.exit(0 if z.testzip() is None else 1)\n";
      EXPECT_EQ(run({"python3", "-c", script, a, password}), 0) << "python3 zipfile, " << what;
    }
  }

  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"zw"};
  std::string oldCwd_;
};

}  // namespace vz::zipwrap::test
