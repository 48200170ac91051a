// Finding and mapping a split set's parts (see reader_parts.h).
#include "zipwrap/engine/unzip/reader_parts.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap {

namespace {

// The most parts a set may have (a ".z99" set has 100; numbered sets of a
// few thousand parts exist).
constexpr uint32_t kMaxParts = 65535;

bool isRegularFile(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The digits after the last dot, when there are only digits there.
size_t numberedDigits(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return 0;
  const size_t digits = path.size() - dot - 1;
  if (digits < 3 || digits > 5) return 0;
  for (size_t i = dot + 1; i < path.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(path[i]))) return 0;
  return digits;
}

std::string numbered(const std::string& base, size_t digits, uint32_t n) {
  char ext[16];
  std::snprintf(ext, sizeof ext, ".%0*u", static_cast<int>(digits), n);
  return base + ext;
}

// Reads count bytes at offset of fd into out; false on a short read.
bool readAll(int fd, uint8_t* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// An open part; closed when it goes.
struct PartFile {
  int fd = -1;
  size_t size = 0;
  ~PartFile() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

bool isNumberedPart(const std::string& path) { return numberedDigits(path) != 0; }

std::string lastPartOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
  const std::string ext = path.substr(dot + 1);
  if (ext.size() < 3 || (ext[0] != 'z' && ext[0] != 'Z')) return {};
  for (size_t i = 1; i < ext.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(ext[i]))) return {};
  std::string last = path.substr(0, dot) + (ext[0] == 'Z' ? ".ZIP" : ".zip");
  return isRegularFile(last) ? last : std::string();
}

std::vector<std::string> findSetParts(const std::string& path, uint32_t lastDisk) {
  std::vector<std::string> parts;
  if (const size_t digits = numberedDigits(path)) {
    const std::string base = path.substr(0, path.size() - digits - 1);
    for (uint32_t n = 1; n <= kMaxParts; ++n) {
      std::string part = numbered(base, digits, n);
      if (!isRegularFile(part)) break;
      parts.push_back(std::move(part));
    }
    // The part named must be one of them, and one part alone is no set.
    bool named = false;
    for (const std::string& p : parts) named |= p == path;
    if (!named || parts.size() < 2) parts.clear();
    return parts;
  }
  if (lastDisk == 0 || lastDisk >= kMaxParts) return parts;
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string base = hasExt ? path.substr(0, dot) : path;
  // "NAME.ZIP" sets name their parts in capitals.
  bool upper = false;
  if (hasExt)
    for (size_t i = dot + 1; i < path.size(); ++i) upper |= std::isupper(static_cast<unsigned char>(path[i])) != 0;
  for (uint32_t disk = 1; disk <= lastDisk; ++disk) {
    char ext[16];
    std::snprintf(ext, sizeof ext, upper ? ".Z%02u" : ".z%02u", disk);
    std::string part = base + ext;
    if (!isRegularFile(part)) return {};
    parts.push_back(std::move(part));
  }
  parts.push_back(path);
  return parts;
}

uint16_t mapParts(const std::vector<std::string>& parts, MappedParts& out) {
  out = MappedParts{};
  std::vector<PartFile> files(parts.size());
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  size_t total = 0;
  bool aligned = true;  // every part starts on a page boundary
  for (size_t i = 0; i < parts.size(); ++i) {
    files[i].fd = ::open(parts[i].c_str(), O_RDONLY | O_CLOEXEC);
    if (files[i].fd < 0) return errno == ENOENT ? kResultArchiveNotFound : kResultCannotAccess;
    struct stat st {};
    if (::fstat(files[i].fd, &st) != 0 || !S_ISREG(st.st_mode)) return kResultCannotAccess;
    files[i].size = static_cast<size_t>(st.st_size);
    if (total % page != 0) aligned = false;
    out.starts.push_back(total);
    if (files[i].size > SIZE_MAX / 2 - total) return kResultOutOfMemory;
    total += files[i].size;
  }
  if (total == 0) return kResultCannotAccess;
  const int prot = aligned ? PROT_READ : PROT_READ | PROT_WRITE;
  void* range = ::mmap(nullptr, total, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (range == MAP_FAILED) return kResultOutOfMemory;
  auto* base = static_cast<uint8_t*>(range);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (files[i].size == 0) continue;
    uint8_t* at = base + out.starts[i];
    bool ok;
    if (aligned) {
      ok = ::mmap(at, files[i].size, PROT_READ, MAP_PRIVATE | MAP_FIXED, files[i].fd, 0) != MAP_FAILED;
      if (ok) ::madvise(at, files[i].size, MADV_WILLNEED);
    } else {
      ok = readAll(files[i].fd, at, files[i].size);
    }
    if (!ok) {
      ::munmap(range, total);
      return kResultCannotAccess;
    }
  }
  if (!aligned) ::mprotect(range, total, PROT_READ);
  out.data = base;
  out.size = total;
  return kResultOk;
}

}  // namespace vz::zipwrap
