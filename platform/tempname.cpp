// Temporary file names: folder + "/" + up to three characters of the prefix
// + a number in upper-case hexadecimal (no leading zeros, at most four
// digits) + ".TMP", as the original platform made them.
//
// With unique == 0 the name is reserved by creating the file with O_EXCL, so
// two processes (or threads) asking at the same moment never get the same
// name: the one that loses the race sees EEXIST and tries the next number.
// The first number comes from the clock and the process id, so concurrent
// callers start apart and usually succeed at the first try.
#include "platform/tempname.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/paths.h"

namespace vz {

namespace {

// How many characters of the prefix go into the name.
constexpr size_t kPrefixChars = 3;
// The number is 16 bits wide: 65535 names per folder and prefix (0 is
// never used for generated names, so it can mean "generate" in the call).
constexpr unsigned kNumberMask = 0xFFFF;
constexpr mode_t kTempFileMode = 0600;

// The first kPrefixChars characters of prefix, counting a UTF-8 sequence as
// one character; a "/" (which would leave the folder) becomes "_".
std::string shortPrefix(std::string_view prefix) {
  std::string out;
  size_t chars = 0;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto c = static_cast<unsigned char>(prefix[i]);
    const bool continuation = (c & 0xC0) == 0x80;
    if (!continuation) {
      if (chars == kPrefixChars) break;
      ++chars;
    }
    out += (c == '/' || c == '\\') ? '_' : static_cast<char>(c);
  }
  return out;
}

std::string makeName(const std::string& folder, const std::string& prefix, unsigned number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%X", number & kNumberMask);
  return joinPath(folder, prefix + digits + ".TMP");
}

}  // namespace

std::string getTempFileName(std::string_view folder, std::string_view prefix, unsigned unique) {
  const std::string dir = toNativePath(folder);
  struct stat st;
  if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  const std::string pre = shortPrefix(prefix);
  if (unique != 0) return makeName(dir, pre, unique);

  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto seed = static_cast<unsigned>(now.tv_nsec / 1000000 + now.tv_sec * 1000) ^
                    (static_cast<unsigned>(getpid()) * 2654435761u >> 16);
  unsigned number = seed & kNumberMask;
  for (unsigned tries = 0; tries < kNumberMask; ++tries) {
    if (number == 0) number = 1;
    const std::string name = makeName(dir, pre, number);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kTempFileMode);
    if (fd >= 0) {
      close(fd);
      return name;
    }
    if (errno != EEXIST) return {};  // permission, full disk, ...: no number will do better
    number = (number + 1) & kNumberMask;
  }
  return {};
}

}  // namespace vz
