// Internal helpers of the text stores (profile files and the registry):
// reading a whole store file, replacing it atomically, and the exclusive lock
// that serialises read-modify-write cycles between processes.
//
// Readers take no lock: a store file is only ever replaced by rename(2), so a
// reader sees either the old or the new file, never a half-written one.
// Writers hold WriteLock from before they read until after the rename, so
// two processes that change the same file one after the other both see each
// other's changes.
#pragma once

#include <string>
#include <string_view>

namespace vz::store {

// An exclusive flock(2) on a lock file beside the store (".NAME.lock" in the
// store's folder), held for the object's lifetime. The lock file is removed
// when the lock is released, so no stray files remain; a waiter that then
// finds it has locked a removed file tries again on the current one.
class WriteLock {
 public:
  explicit WriteLock(const std::string& storePath);
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  // False when the lock file could not be created or locked.
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;           // descriptor of the locked lock file, -1 when not held
  std::string lockPath_;  // path of the lock file
};

enum class ReadStatus {
  Ok,       // the whole file is in the output
  Missing,  // the file (or its folder) does not exist
  Failed,   // the file exists but could not be read (errno kept)
};

ReadStatus readAll(const std::string& path, std::string& out);

// Writes bytes to a temporary file in path's folder, flushes it to the
// medium and renames it over path. An existing file's permission bits are
// kept; a new file gets createMode. The temporary file is removed on every
// failure.
bool replaceAtomically(const std::string& path, std::string_view bytes, unsigned createMode);

// The file a store path denotes when the path is a symbolic link (so that
// the rename replaces the target, not the link); path itself otherwise.
std::string followLinks(const std::string& path);

}  // namespace vz::store
