// Files as the engine uses them: a byte stream with a position, opened
// read-only, read-write or created, plus the whole-file helpers (existence,
// size, removal, atomic replacement). Thin wrappers over POSIX descriptors;
// every call reports failure through its result, never by exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

class File {
 public:
  enum class Mode {
    Read,       // existing file, read-only
    ReadWrite,  // existing file, read and write, not truncated
    Create,     // create or truncate, read and write
    CreateNew,  // create, failing when the file exists
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens path; false (and errno kept) on failure. Any file already open
  // through this object is closed first. createMode is the permission of a
  // newly created file.
  bool open(const std::string& path, Mode mode, unsigned createMode = 0644);
  bool isOpen() const { return fd_ >= 0; }
  void close();

  // Size of the open file, -1 on failure.
  int64_t size() const;
  // Moves the position; false when pos is negative or the seek fails.
  bool seek(int64_t pos);
  int64_t tell() const;
  // Reads up to n bytes at the position; returns the count read (0 at the
  // end), -1 on an error.
  int64_t read(void* buf, size_t n);
  // Reads exactly n bytes or fails (a short read is a failure).
  bool readExact(void* buf, size_t n);
  // Reads n bytes at an absolute offset without moving the position.
  int64_t readAt(int64_t offset, void* buf, size_t n) const;
  // Writes all n bytes or fails.
  bool write(const void* buf, size_t n);
  bool truncate(int64_t length);
  // Flushes the file's data to the medium.
  bool sync();
  int fd() const { return fd_; }

 private:
  // Checks a write of n bytes at the position against writeAllowance_;
  // returns how many of them fit (all when there is no simulated limit).
  size_t bytesThatFit(size_t n) const;

  int fd_ = -1;  // the open descriptor, -1 when closed
  // Bytes this file may still grow by on a simulated medium with a limited
  // free space (drives.h); nullopt when no simulated limit applies.
  std::optional<uint64_t> writeAllowance_;
};

bool fileExists(const std::string& path);     // any kind of file
bool isRegularFile(const std::string& path);  // follows links
bool isDirectory(const std::string& path);    // follows links
std::optional<int64_t> fileSize(const std::string& path);
bool removeFile(const std::string& path);
// Creates path and its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);
bool removeDirectory(const std::string& path);  // empty folder only
// rename(2): atomic replacement within one file system.
bool renameFile(const std::string& from, const std::string& to);
// Writes the bytes to a temporary file beside path and renames it over path,
// so readers see either the old or the new content. Keeps the mode of an
// existing file; a new file gets createMode.
bool writeFileAtomic(const std::string& path, std::string_view bytes, unsigned createMode = 0644);
// Whole file into memory; nullopt when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace vz
