// Helpers every test uses: a scratch folder removed at the end of the test,
// a private VZ_ROOT (so that registry, INI files, drives and temporary files
// never touch the real home), and where the built programs and the sample
// archives are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz::test {

// A fresh folder below the system's temporary folder; removed with its
// contents when the object goes out of scope.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view tag = "vz");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

// Sets VZ_ROOT to a new scratch folder for its lifetime (and TMPDIR to a
// folder inside it), restoring the previous values afterwards. Use one per
// test, usually as a fixture member.
class ScopedRoot {
 public:
  ScopedRoot();
  ~ScopedRoot();
  ScopedRoot(const ScopedRoot&) = delete;
  ScopedRoot& operator=(const ScopedRoot&) = delete;

  const std::string& path() const { return dir_.path(); }

 private:
  ScratchDir dir_;
  std::string oldRoot_, oldTmp_, oldDrives_;
  bool hadRoot_ = false, hadTmp_ = false, hadDrives_ = false;
};

// Folder of the built programs and libraries (qx, regsvr32, QX30W32.so).
std::string binDir();
// Folder of the sample archives made by other programs (read-only).
std::string corpusDir();
// Every file of corpusDir(), sorted; empty when the folder is missing.
std::vector<std::string> corpusFiles();

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFile(const std::string& path, std::string_view text);

// True when the program is on PATH (peer tools such as zip, 7zz, python3).
bool haveProgram(std::string_view name);
// Runs argv (no shell), returns its exit status; standard output goes to
// *out when given, standard error is discarded unless errOut is given.
int run(const std::vector<std::string>& argv, std::string* out = nullptr, std::string* errOut = nullptr,
        const std::string& cwd = "");

}  // namespace vz::test
