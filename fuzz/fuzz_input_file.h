// Fuzz helper: the engine reads archives from files, so each input is
// written to one temporary file per process (made once, rewritten for every
// input) and the file's path handed to the code under test.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vz::fuzz {

// A folder of the process's own for the files a target writes
// ("vzfuzz-NAME-XXXXXX" under TMPDIR as it is when made), removed with
// everything in it when the object goes (at the end of the process for a
// static one).
struct ScratchFolder {
  explicit ScratchFolder(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    root = std::string(dir && *dir ? dir : "/tmp") + "/vzfuzz-" + name + "-XXXXXX";
    if (!mkdtemp(root.data())) std::abort();
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string root;  // the folder's path
};

// The process's input file ("vzfuzz-XXXXXX.zip" under TMPDIR), made on first
// use and removed at the end of the process.
struct InputFile {
  InputFile() {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir && *dir ? dir : "/tmp") + "/vzfuzz-XXXXXX.zip";
    const int fd = mkstemps(path.data(), 4);
    if (fd < 0) std::abort();
    close(fd);
  }
  ~InputFile() { unlink(path.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  std::string path;
};

inline const std::string& inputPath() {
  static const InputFile file;
  return file.path;
}

// Writes the bytes to path (created 0600 when missing, truncated).
inline void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

inline const std::string& writeInput(const uint8_t* data, size_t size) {
  const std::string& path = inputPath();
  writeBytes(path, data, size);
  return path;
}

// The input again under the input file's name plus a suffix (".tar" for
// the TAR checksum test of the detection), removed when the object goes.
struct InputCopy {
  explicit InputCopy(const char* suffix) : path(inputPath() + suffix) {}
  ~InputCopy() { unlink(path.c_str()); }
  InputCopy(const InputCopy&) = delete;
  InputCopy& operator=(const InputCopy&) = delete;
  void write(const uint8_t* data, size_t size) const { writeBytes(path, data, size); }
  std::string path;  // the copy's path
};

}  // namespace vz::fuzz
