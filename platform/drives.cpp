// Drives and volumes: drive letters, drive types, free space, labels and
// write protection, for real mounts and for simulated drives.
//
// Real drives. The drive of a path is the mount that holds it: the path is
// made absolute, the part of it that exists is resolved through realpath
// (links followed), and the longest mount point of /proc/self/mountinfo
// that contains it wins (a later line wins a tie, since it is mounted on
// top). The mount's file-system type and device decide the drive type;
// statvfs gives the free space; the per-mount and super-block options say
// whether the volume is read-only.
//
// Simulated drives. VZ_DRIVES names an INI file of "[A:]" sections (see
// drives.h for the keys). It is parsed here with a small reader of its own,
// rather than through the profile service, so that File (which asks this
// module before every write) never depends on a service that itself writes
// files. The file is re-read on every call: tests change a drive between
// two operations through setSimulatedDriveKey or by editing the file.
// A relative Root is taken relative to the INI file's folder.
//
// Labels live in a ".vzlabel" file in the volume's root; it is written
// without the simulated free-space limit (a label occupies no data space on
// a real medium) and is not counted as used space.
#include "platform/drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file.h"
#include "platform/text.h"

namespace vz {

namespace drives {

namespace {

// The file in a volume's root that holds its label.
constexpr const char* kLabelFile = ".vzlabel";
// Where the kernel lists the mounts of this process.
constexpr const char* kMountInfo = "/proc/self/mountinfo";
// Where udev keeps one link per labelled file system.
constexpr const char* kByLabel = "/dev/disk/by-label";

// ---------------------------------------------------------------------------
// Small text helpers

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upperAscii(a[i]) != upperAscii(b[i])) return false;
  return true;
}

std::string trim(std::string_view s) { return std::string(text::trim(s, text::kWhitespace)); }

std::optional<uint64_t> parseUnsigned(std::string_view s) {
  if (s.empty() || s.size() > 20) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t d = static_cast<uint64_t>(c - '0');
    if (v > (UINT64_MAX - d) / 10) return std::nullopt;
    v = v * 10 + d;
  }
  return v;
}

// Splits text into lines (the last one may lack its line feed).
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Paths

// "." and ".." folded, separators single; path must be absolute.
std::string normaliseAbsolute(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string out;
  for (std::string_view p : parts) {
    out += '/';
    out += p;
  }
  return out.empty() ? "/" : out;
}

std::string absolute(std::string_view path) {
  if (!path.empty() && path.front() == '/') return normaliseAbsolute(path);
  std::string cwd;
  if (char* c = ::getcwd(nullptr, 0)) {
    cwd = c;
    std::free(c);
  } else {
    cwd = "/";
  }
  return normaliseAbsolute(cwd + "/" + std::string(path));
}

// The absolute path with its existing part resolved through realpath (links
// followed); the missing rest is kept as written.
std::string canonical(std::string_view path) {
  std::string p = absolute(path);
  std::string rest;
  for (;;) {
    if (char* real = ::realpath(p.c_str(), nullptr)) {
      std::string r = real;
      std::free(real);
      if (rest.empty()) return r;
      return r == "/" ? rest : r + rest;
    }
    if (p == "/") return rest.empty() ? "/" : rest;
    size_t slash = p.rfind('/');
    rest = p.substr(slash) + rest;
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
}

bool isInside(const std::string& root, const std::string& path) {
  if (root == "/") return !path.empty() && path.front() == '/';
  return path.size() >= root.size() && path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

// ---------------------------------------------------------------------------
// The simulated drives' INI file

struct IniKey {
  std::string name;   // as written
  std::string value;  // blanks trimmed, enclosing double quotes removed
};

struct IniSection {
  std::string name;          // text between the brackets
  std::vector<IniKey> keys;  // in file order
};

std::vector<IniSection> parseIni(const std::string& text) {
  std::vector<IniSection> sections;
  for (const std::string& raw : splitLines(text)) {
    std::string line = trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      sections.push_back({trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || sections.empty()) continue;
    std::string value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    sections.back().keys.push_back({trim(line.substr(0, eq)), value});
  }
  return sections;
}

// The letter a section names: "A:" or "A"; 0 for other sections.
char sectionLetter(std::string_view name) {
  if (name.size() == 2 && isLetter(name[0]) && name[1] == ':') return upperAscii(name[0]);
  if (name.size() == 1 && isLetter(name[0])) return upperAscii(name[0]);
  return 0;
}

const std::string* findKey(const IniSection& s, std::string_view key) {
  // A repeated key: the first one counts, as with the profile functions.
  for (const IniKey& k : s.keys)
    if (equalsAsciiNoCase(k.name, key)) return &k.value;
  return nullptr;
}

struct SimDrive {
  char letter = 0;                    // 'A'..'Z'
  std::string root;                   // the medium's folder, absolute
  DriveType type = DriveType::Fixed;  // from Type
  std::optional<std::string> label;   // from Label
  std::optional<uint64_t> free;       // from Free
  std::optional<uint64_t> capacity;   // from Capacity
  bool readOnly = false;              // ReadOnly=1
  bool freeUnknown = false;           // FreeUnknown=1
};

std::string drivesFile() {
  const char* v = std::getenv("VZ_DRIVES");
  return v ? std::string(v) : std::string();
}

DriveType parseType(std::string_view t) {
  if (equalsAsciiNoCase(t, "removable")) return DriveType::Removable;
  if (equalsAsciiNoCase(t, "cdrom") || equalsAsciiNoCase(t, "cd-rom")) return DriveType::CdRom;
  if (equalsAsciiNoCase(t, "network") || equalsAsciiNoCase(t, "remote")) return DriveType::Remote;
  if (equalsAsciiNoCase(t, "ramdisk")) return DriveType::RamDisk;
  return DriveType::Fixed;
}

bool flagSet(const IniSection& s, std::string_view key) {
  const std::string* v = findKey(s, key);
  return v && parseUnsigned(*v).value_or(0) != 0;
}

// Every simulated drive (a letter's first section counts); empty without
// VZ_DRIVES or when its file cannot be read.
std::vector<SimDrive> loadSimulated() {
  std::vector<SimDrive> out;
  std::string file = drivesFile();
  if (file.empty()) return out;
  std::optional<std::string> text = readWholeFile(file);
  if (!text) return out;
  std::string iniFolder = absolute(file);
  iniFolder = iniFolder.substr(0, std::max<size_t>(iniFolder.rfind('/'), 1));
  for (const IniSection& s : parseIni(*text)) {
    char letter = sectionLetter(s.name);
    if (!letter) continue;
    if (std::any_of(out.begin(), out.end(), [&](const SimDrive& d) { return d.letter == letter; })) continue;
    const std::string* root = findKey(s, "Root");
    if (!root || root->empty()) continue;  // a drive without a medium folder cannot be used
    SimDrive d;
    d.letter = letter;
    d.root = root->front() == '/' ? normaliseAbsolute(*root) : normaliseAbsolute(iniFolder + "/" + *root);
    if (const std::string* t = findKey(s, "Type")) d.type = parseType(*t);
    if (const std::string* l = findKey(s, "Label")) d.label = *l;
    if (const std::string* f = findKey(s, "Free")) d.free = parseUnsigned(*f);
    if (const std::string* c = findKey(s, "Capacity")) d.capacity = parseUnsigned(*c);
    d.readOnly = flagSet(s, "ReadOnly");
    d.freeUnknown = flagSet(s, "FreeUnknown");
    out.push_back(std::move(d));
  }
  return out;
}

const SimDrive* simByLetter(const std::vector<SimDrive>& sims, char letter) {
  for (const SimDrive& d : sims)
    if (d.letter == letter) return &d;
  return nullptr;
}

// The simulated drive whose Root holds the canonical path (the deepest Root
// when they nest).
const SimDrive* simHolding(const std::vector<SimDrive>& sims, const std::string& canonicalPath) {
  const SimDrive* best = nullptr;
  size_t bestLen = 0;
  for (const SimDrive& d : sims) {
    std::string root = canonical(d.root);
    if (isInside(root, canonicalPath) && (!best || root.size() > bestLen)) {
      best = &d;
      bestLen = root.size();
    }
  }
  return best;
}

// Writes text to path through a temporary file and rename, without the
// simulated free-space limit that File applies.
bool writeDirect(const std::string& path, const std::string& text, mode_t mode) {
  static std::atomic<unsigned> counter{0};
  std::string tmp = path + ".vztmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const char* p = text.data();
  size_t n = text.size();
  bool ok = true;
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      ok = false;
      break;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  int saved = errno;
  ::close(fd);
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
  if (ok) saved = errno;
  ::unlink(tmp.c_str());
  errno = saved;
  return false;
}

// Sets (value) or removes (nullopt) one key of a letter's section in the
// VZ_DRIVES file, keeping every other line as it was.
bool editSimulatedKey(char letter, std::string_view key, std::optional<std::string_view> value) {
  std::string file = drivesFile();
  letter = upperAscii(letter);
  if (file.empty() || !isLetter(letter)) {
    errno = ENOENT;
    return false;
  }
  auto bad = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  if (key.empty() || key.find_first_of("=[]") != std::string_view::npos || bad(key) || (value && bad(*value))) {
    errno = EINVAL;
    return false;
  }
  std::string text;
  struct stat st;
  mode_t mode = 0644;
  if (::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    std::optional<std::string> old = readWholeFile(file);
    if (!old) return false;
    text = *old;
  }
  std::vector<std::string> lines = splitLines(text);
  std::string newLine = value ? std::string(key) + "=" + std::string(*value) : std::string();

  // Find the letter's (first) section and, within it, the key.
  size_t sectionStart = lines.size(), sectionEnd = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string t = trim(lines[i]);
    if (t.empty() || t[0] != '[') continue;
    if (sectionStart < lines.size()) {
      sectionEnd = i;
      break;
    }
    size_t close = t.find(']');
    if (sectionLetter(trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1))) == letter)
      sectionStart = i;
  }
  if (sectionStart == lines.size()) {
    if (!value) return true;  // nothing to remove
    if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back(std::string("[") + letter + ":]");
    lines.push_back(newLine);
  } else {
    bool done = false;
    for (size_t i = sectionStart + 1; i < sectionEnd && !done; ++i) {
      std::string t = trim(lines[i]);
      size_t eq = t.find('=');
      if (t.empty() || t[0] == ';' || t[0] == '#' || eq == std::string::npos) continue;
      if (!equalsAsciiNoCase(trim(t.substr(0, eq)), key)) continue;
      if (value)
        lines[i] = newLine;
      else
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      done = true;
    }
    if (!done && value) {
      // After the section's last non-blank line.
      size_t at = sectionEnd;
      while (at > sectionStart + 1 && trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), newLine);
    }
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return writeDirect(file, out, mode);
}

// Bytes held by the files below root (links not followed, the label file
// not counted). A plain file-tree walk: the self-extractor stub links this
// file statically and stays small without the library's path and stream code.
thread_local uint64_t tUsedTotal = 0;
int addUsed(const char* path, const struct stat* st, int type, struct FTW* at) {
  if (type == FTW_F && S_ISREG(st->st_mode) && !(at->level == 1 && std::strcmp(path + at->base, kLabelFile) == 0))
    tUsedTotal += static_cast<uint64_t>(st->st_size);
  return 0;
}
uint64_t bytesUsed(const std::string& root) {
  tUsedTotal = 0;
  ::nftw(root.c_str(), addUsed, 16, FTW_PHYS);
  return tUsedTotal;
}

// Emptying a medium folder (insertBlankMedium), with plain directory reads
// for the same reason.

bool isDotEntry(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

// Gives the owner full access to every folder below dir, a parent before
// its children (links are not followed), so that the old medium's read-only
// folders can be emptied. A folder that cannot be read is left as it is.
void grantOwnerAccessBelow(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    if (isDotEntry(e->d_name)) continue;
    const std::string path = dir + "/" + e->d_name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRWXU);
    grantOwnerAccessBelow(path);
  }
  ::closedir(d);
}

bool removeTree(const std::string& path);

// Removes everything inside dir, leaving dir itself; false with errno set
// when dir cannot be read or an entry cannot be removed.
bool removeContents(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  bool ok = true;
  for (;;) {
    errno = 0;
    dirent* e = ::readdir(d);
    if (!e) {
      ok = errno == 0;
      break;
    }
    if (!isDotEntry(e->d_name) && !removeTree(dir + "/" + e->d_name)) {
      ok = false;
      break;
    }
  }
  const int err = errno;
  ::closedir(d);
  errno = err;
  return ok;
}

// Removes path and, for a folder, everything in it (a link itself, never
// what it points to). A path that is already gone counts as removed. False
// with errno set at the first failure.
bool removeTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  return removeContents(path) && (::rmdir(path.c_str()) == 0 || errno == ENOENT);
}

std::optional<uint64_t> simFree(const SimDrive& d) {
  if (d.free) return d.free;
  if (d.capacity) {
    uint64_t used = bytesUsed(d.root);
    return used >= *d.capacity ? 0 : *d.capacity - used;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Real mounts

struct Mount {
  std::string point;              // the mount point, unescaped
  std::string fsType;             // "ext4", "iso9660", "fuse.sshfs", ...
  std::string source;             // "/dev/sda1", "server:/export", ...
  std::string options;            // per-mount options ("rw,relatime")
  std::string superOptions;       // the file system's own options
  unsigned major = 0, minor = 0;  // the device's numbers (0 for virtual file systems)
};

// mountinfo escapes blank, tab, line feed and backslash as "\ooo".
std::string unescapeOctal(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<Mount> readMounts() {
  std::vector<Mount> mounts;
  std::optional<std::string> text = readWholeFile(kMountInfo);
  if (!text) return mounts;
  for (const std::string& line : splitLines(*text)) {
    std::vector<std::string_view> f;
    std::string_view rest = line;
    while (!rest.empty()) {
      size_t sp = rest.find(' ');
      f.push_back(rest.substr(0, sp));
      if (sp == std::string_view::npos) break;
      rest = rest.substr(sp + 1);
    }
    // id parent major:minor root point options [optional...] - type source super
    auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
    Mount m;
    m.point = unescapeOctal(f[4]);
    m.options = std::string(f[5]);
    m.fsType = std::string(dash[1]);
    m.source = unescapeOctal(dash[2]);
    if (f.end() - dash >= 4) m.superOptions = std::string(dash[3]);
    std::string_view mm = f[2];
    size_t colon = mm.find(':');
    if (colon != std::string_view::npos) {
      m.major = static_cast<unsigned>(parseUnsigned(mm.substr(0, colon)).value_or(0));
      m.minor = static_cast<unsigned>(parseUnsigned(mm.substr(colon + 1)).value_or(0));
    }
    mounts.push_back(std::move(m));
  }
  return mounts;
}

std::optional<Mount> mountHolding(const std::string& canonicalPath) {
  std::vector<Mount> mounts = readMounts();
  const Mount* best = nullptr;
  for (const Mount& m : mounts)
    if (isInside(m.point, canonicalPath) && (!best || m.point.size() >= best->point.size())) best = &m;
  if (!best) return std::nullopt;
  return *best;
}

bool hasOption(const std::string& options, std::string_view name) {
  size_t pos = 0;
  while (pos <= options.size()) {
    size_t comma = options.find(',', pos);
    if (comma == std::string::npos) comma = options.size();
    if (std::string_view(options).substr(pos, comma - pos) == name) return true;
    pos = comma + 1;
  }
  return false;
}

// File systems reached over a network.
bool isNetworkFs(const std::string& t) {
  static const char* const kNetwork[] = {
      "nfs",           "nfs4",           "cifs",
      "smb3",          "smbfs",          "ncpfs",
      "afs",           "ceph",           "glusterfs",
      "lustre",        "davfs",          "coda",
      "sshfs",         "fuse.sshfs",     "fuse.rclone",
      "fuse.s3fs",     "fuse.davfs2",    "fuse.glusterfs",
      "fuse.gcsfuse",  "fuse.curlftpfs", "fuse.gvfsd-fuse",
      "fuse.smbnetfs", "fuse.cephfs",    "fuse.ceph-fuse",
  };
  for (const char* n : kNetwork)
    if (t == n) return true;
  return false;
}

// The sysfs folder of the whole disk that holds a block device (a
// partition is resolved to its parent disk); empty when not a block device.
std::string diskSysFolder(const Mount& m) {
  if (m.major == 0) return {};
  std::string link = "/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
  char* real = ::realpath(link.c_str(), nullptr);
  if (!real) return {};
  std::string dev = real;
  std::free(real);
  struct stat st;
  if (::stat((dev + "/partition").c_str(), &st) == 0) dev = dev.substr(0, dev.rfind('/'));
  return dev;
}

std::optional<std::string> readSmallFile(const std::string& path) {
  std::optional<std::string> t = readWholeFile(path);
  if (!t) return std::nullopt;
  return trim(*t);
}

DriveType mountType(const Mount& m) {
  if (m.fsType == "iso9660" || m.fsType == "udf") return DriveType::CdRom;
  if (isNetworkFs(m.fsType)) return DriveType::Remote;
  std::string disk = diskSysFolder(m);
  std::string name = disk.empty() ? std::string() : disk.substr(disk.rfind('/') + 1);
  if (name.rfind("sr", 0) == 0 || m.source.rfind("/dev/sr", 0) == 0) return DriveType::CdRom;
  if (!disk.empty() && readSmallFile(disk + "/removable").value_or("0") == "1") return DriveType::Removable;
  return DriveType::Fixed;
}

// udev escapes blanks and other unsafe bytes in link names as "\xHH".
std::string unescapeHex(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The file system's own label from udev's links; empty when it has none.
std::string byLabel(const Mount& m) {
  if (m.major == 0) return {};
  dev_t want = makedev(m.major, m.minor);
  DIR* dir = ::opendir(kByLabel);
  if (!dir) return {};
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    struct stat st;
    std::string link = std::string(kByLabel) + "/" + e->d_name;
    if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == want) {
      found = unescapeHex(e->d_name);
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// ---------------------------------------------------------------------------
// Drive lookup

// The drive letter a path starts with ("A:", "a:\..."), 0 for none.
char leadingLetter(std::string_view path) {
  if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') return upperAscii(path[0]);
  return 0;
}

struct Found {
  DriveInfo info;               // what driveOf reports
  std::optional<SimDrive> sim;  // the simulated drive's settings
  std::optional<Mount> mount;   // the real mount holding the path (also under a simulated Root)
  std::string path;             // the canonical native path asked about
};

std::optional<Found> lookup(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::vector<SimDrive> sims = loadSimulated();
  Found f;
  if (char letter = leadingLetter(path)) {
    std::optional<std::string> native = resolveDrivePath(path);
    if (!native) return std::nullopt;
    f.path = canonical(*native);
    if (const SimDrive* d = simByLetter(sims, letter)) {
      // A drive-letter path belongs to its letter's drive, even when the
      // medium folder is missing (no disk in the drive).
      f.sim = *d;
    }
  } else {
    f.path = canonical(path);
    if (const SimDrive* d = simHolding(sims, f.path)) f.sim = *d;
  }
  f.mount = mountHolding(f.path);
  if (f.sim) {
    f.info.letter = f.sim->letter;
    f.info.root = f.sim->root;
    f.info.type = f.sim->type;
    f.info.simulated = true;
    return f;
  }
  if (f.mount) {
    f.info.root = f.mount->point;
    f.info.type = mountType(*f.mount);
  } else {
    // No mount table (a restricted environment): everything is one fixed
    // volume at "/".
    f.info.root = "/";
    f.info.type = DriveType::Fixed;
  }
  if (f.info.root == "/" && !simByLetter(sims, 'C')) f.info.letter = 'C';
  return f;
}

}  // namespace

std::optional<std::string> resolveDrivePath(std::string_view path) {
  char letter = leadingLetter(path);
  if (!letter) return std::nullopt;
  std::string root;
  std::vector<SimDrive> sims = loadSimulated();
  if (const SimDrive* d = simByLetter(sims, letter))
    root = d->root;
  else if (letter == 'C')
    root = "/";
  else
    return std::nullopt;
  // The rest, with either separator; ".." stops at the drive's root, as it
  // does on the original platform, so "A:\..\X" cannot leave the medium.
  std::vector<std::string> parts;
  std::string_view rest = path.substr(2);
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = rest.find_first_of("/\\", pos);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    pos = end + 1;
  }
  std::string out = root == "/" ? std::string() : root;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

std::optional<DriveInfo> driveOf(std::string_view path) {
  std::optional<Found> f = lookup(path);
  if (!f) return std::nullopt;
  return f->info;
}

DriveType driveType(std::string_view path) {
  std::optional<Found> f = lookup(path);
  return f ? f->info.type : DriveType::NoRootDir;
}

std::optional<uint64_t> freeSpace(std::string_view path) {
  std::optional<Found> f = lookup(path);
  if (!f) return std::nullopt;
  if (f->sim) {
    if (f->sim->freeUnknown) return std::nullopt;
    if (std::optional<uint64_t> v = simFree(*f->sim)) return v;
  }
  // The nearest existing folder of the path (its canonical form is resolved
  // up to there).
  std::string p = f->path;
  struct statvfs vfs;
  for (;;) {
    if (::statvfs(p.c_str(), &vfs) == 0) break;
    if (p == "/") return std::nullopt;
    size_t slash = p.rfind('/');
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
  return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
}

bool isWriteProtected(std::string_view path) {
  std::optional<Found> f = lookup(path);
  if (!f) return false;
  if (f->sim && f->sim->readOnly) return true;
  return f->mount && (hasOption(f->mount->options, "ro") || hasOption(f->mount->superOptions, "ro"));
}

std::optional<std::string> volumeLabel(std::string_view path) {
  std::optional<Found> f = lookup(path);
  if (!f) return std::nullopt;
  std::string file = f->info.root + (f->info.root == "/" ? "" : "/") + kLabelFile;
  if (std::optional<std::string> text = readWholeFile(file)) {
    std::string label = *text;
    while (!label.empty() && (label.back() == '\n' || label.back() == '\r')) label.pop_back();
    return label;
  }
  if (f->sim) return f->sim->label.value_or(std::string());
  if (f->mount) return byLabel(*f->mount);
  return std::string();
}

bool setVolumeLabel(std::string_view path, std::string_view label) {
  std::optional<Found> f = lookup(path);
  if (!f) {
    errno = ENOENT;
    return false;
  }
  if ((f->sim && f->sim->readOnly) ||
      (f->mount && (hasOption(f->mount->options, "ro") || hasOption(f->mount->superOptions, "ro")))) {
    errno = EROFS;
    return false;
  }
  if (label.find_first_of("\r\n") != std::string_view::npos) {
    errno = EINVAL;
    return false;
  }
  std::string file = f->info.root + (f->info.root == "/" ? "" : "/") + kLabelFile;
  // An empty label is kept as an empty file: it hides the file system's or
  // the simulated drive's own label, as clearing a label does.
  return writeDirect(file, std::string(label), 0644);
}

std::vector<char> letters() {
  std::vector<char> out{'C'};
  for (const SimDrive& d : loadSimulated()) out.push_back(d.letter);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::optional<uint64_t> simulatedWriteAllowance(std::string_view path, bool* readOnly) {
  if (readOnly) *readOnly = false;
  if (drivesFile().empty()) return std::nullopt;  // the common case: no simulation at all
  std::vector<SimDrive> sims = loadSimulated();
  if (sims.empty()) return std::nullopt;
  const SimDrive* d = simHolding(sims, canonical(path));
  if (!d) return std::nullopt;
  if (d->readOnly) {
    if (readOnly) *readOnly = true;
    return 0;
  }
  // The limit applies even when the free space is reported as unknown.
  return simFree(*d);
}

bool insertBlankMedium(char letter) {
  std::vector<SimDrive> sims = loadSimulated();
  const SimDrive* d = simByLetter(sims, upperAscii(letter));
  if (!d) {
    errno = ENOENT;
    return false;
  }
  struct stat st;
  if (::stat(d->root.c_str(), &st) != 0) {
    if (!makeDirectories(d->root)) return false;
  } else {
    grantOwnerAccessBelow(d->root);
    if (!removeContents(d->root)) return false;
  }
  return editSimulatedKey(d->letter, "Label", std::nullopt);
}

bool setSimulatedDriveKey(char letter, std::string_view key, std::string_view value) {
  return editSimulatedKey(letter, key, value);
}

}  // namespace drives
}  // namespace vz
