// Fuzz helper: the engine reads archives from files, so each input is
// written to one temporary file per process (made once, rewritten for every
// input) and the file's path handed to the code under test.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vz::fuzz {

inline const std::string& inputPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/vzfuzz-XXXXXX.zip";
    int fd = mkstemps(tmpl.data(), 4);
    if (fd < 0) std::abort();
    close(fd);
    return tmpl;
  }();
  return path;
}

inline const std::string& writeInput(const uint8_t* data, size_t size) {
  const std::string& path = inputPath();
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
  return path;
}

}  // namespace vz::fuzz
