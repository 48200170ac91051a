// The configuration block's field table, its writer and reader, and the
// location of the archive behind it (see sfx_config.h).
#include "control/engine/sfx/sfx_config.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/zip_records.h"
#include "platform/profile.h"

namespace vz::engine {

namespace {

// One text field of the block: where it lies, its language-file key and the
// text used when the key is missing or empty.
struct TextField {
  size_t offset;
  size_t width;
  std::string SfxConfig::*member;
  const char* key;  // null: not from the language file
  const char* def;
};

// Offsets and widths of the block. Fields 1 and 2 are single digits at 0
// and 1; caption and run command (2, 52) come from the caller.
constexpr size_t kCaptionOffset = 2;
constexpr size_t kRunCommandOffset = 52;
constexpr size_t kTextWidth50 = 50;

const TextField kFields[] = {
    {kCaptionOffset, kTextWidth50, &SfxConfig::caption, nullptr, ""},
    {kRunCommandOffset, kTextWidth50, &SfxConfig::runCommand, nullptr, ""},
    {102, 10, &SfxConfig::okButton, "OKButton", "Ok"},
    {112, 10, &SfxConfig::cancelButton, "CancelButton", "Cancel"},
    {122, 50, &SfxConfig::cancelActionMsg, "CancelActionMsg", "Would you like to stop this program?"},
    {172, 50, &SfxConfig::ioErrorMsg, "IOErrorMsg", "Can' t perform the required action (I/O error)."},
    {222, 50, &SfxConfig::diskFullMsg, "DiskFullMsg", "Disk full."},
    {272, 50, &SfxConfig::cantCreateDirMsg, "CantCreateDirMsg", "Can' t create this directory."},
    {322, 100, &SfxConfig::browseDirTitle, "BrowseDirTitle", "Choose directory..."},
    {422, 20, &SfxConfig::passwordTitle, "UnzipPasswordTitle", "Password..."},
    {442, 20, &SfxConfig::passwordLabel, "UnzipPasswordLabel", "Password:"},
    {462, 100, &SfxConfig::passwordText, "UnzipPasswordText", "A password is required to unzip the files."},
    {562, 10, &SfxConfig::passwordRetryBtn, "UnzipPasswordRetryBtn", "&Retry"},
    {572, 10, &SfxConfig::passwordBypassBtn, "UnzipPasswordBypassBtn", "&Bypass"},
    {582, 10, &SfxConfig::passwordNeverBtn, "UnzipPasswordNeverBtn", "&Never"},
    {592, 20, &SfxConfig::replaceTitle, "UnzipReplaceTitle", "Replace..."},
    {612, 100, &SfxConfig::replaceText, "UnzipReplaceText",
     "The file %1 already exist on your disk. Would you like to replace it?"},
    {712, 10, &SfxConfig::replaceYesBtn, "UnzipReplaceYesBtn", "&Yes"},
    {722, 10, &SfxConfig::replaceNoBtn, "UnzipReplaceNoBtn", "&No"},
    {732, 10, &SfxConfig::replaceAlwaysBtn, "UnzipReplaceAlwaysBtn", "&Always"},
    {742, 10, &SfxConfig::replaceNeverBtn, "UnzipReplaceNeverBtn", "Ne&ver"},
    {752, 100, &SfxConfig::defaultFolder, "DefaultFolder", ""},
};

// The description field is written over 100 bytes and read over 99 (the
// last byte is read and ignored).
constexpr size_t kDescriptionOffset = 322;
constexpr size_t kDescriptionReadWidth = 99;

// Language-file values are read into a 512-byte buffer: at most 511
// characters survive.
constexpr size_t kLanguageValueMax = 511;

// The stub reads its file in blocks of this size, aligned from the start.
constexpr int64_t kReadBlock = 24576;

void putText(uint8_t* block, size_t offset, size_t width, const std::string& text) {
  std::memset(block + offset, ' ', width);
  std::memcpy(block + offset, text.data(), std::min(width, text.size()));
}

std::string getText(const uint8_t* block, size_t offset, size_t width) {
  std::string s(reinterpret_cast<const char*>(block + offset), width);
  // The text ends at a NUL (the stub reads into zeroed buffers) and loses
  // its trailing blanks.
  const size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

std::array<uint8_t, kSfxConfigSize> encodeSfxConfig(const SfxConfig& c) {
  std::array<uint8_t, kSfxConfigSize> block{};
  block[0] = static_cast<uint8_t>(c.overwriteMode);
  block[1] = static_cast<uint8_t>(c.askDirectory);
  for (const TextField& f : kFields) putText(block.data(), f.offset, f.width, c.*(f.member));
  return block;
}

SfxConfig decodeSfxConfig(const uint8_t* block) {
  SfxConfig c;
  c.overwriteMode = static_cast<char>(block[0]);
  c.askDirectory = static_cast<char>(block[1]);
  for (const TextField& f : kFields) {
    const size_t width = f.offset == kDescriptionOffset ? kDescriptionReadWidth : f.width;
    c.*(f.member) = getText(block, f.offset, width);
  }
  return c;
}

SfxConfig sfxConfigFromLanguageFile(const std::string& languageFile, std::optional<std::string> caption,
                                    std::optional<std::string> runCommand, int overwriteMode, bool askDirectory) {
  SfxConfig c;
  // The first character of the mode in decimal ("-1" gives "-").
  const std::string digits = std::to_string(overwriteMode);
  c.overwriteMode = digits[0];
  c.askDirectory = askDirectory ? '1' : '0';
  for (const TextField& f : kFields) {
    if (!f.key) continue;
    std::string v = getProfileString("Main", f.key, "", languageFile);
    if (v.size() > kLanguageValueMax) v.resize(kLanguageValueMax);
    v = iniUnescape(v);
    c.*(f.member) = v.empty() ? std::string(f.def) : v;
  }
  c.caption = caption ? *caption : std::string(kDefaultSfxCaption);
  c.runCommand = runCommand ? *runCommand : std::string();
  return c;
}

int locateSfxArchive(const File& f, SfxPayload& out) {
  const int64_t size = f.size();
  if (size < static_cast<int64_t>(kEndRecordSize)) return kSfxLocateNotFound;
  const int64_t windowStart = size - std::min<int64_t>(size, kEndRecordSearchWindow);
  // Scan backwards block by block, each block aligned to kReadBlock; three
  // bytes of the following block are kept so a signature that straddles a
  // block boundary is seen.
  std::vector<uint8_t> buf(static_cast<size_t>(kReadBlock) + 3);
  int64_t endPos = -1;
  int64_t blockStart = ((size - 1) / kReadBlock) * kReadBlock;
  for (; blockStart + kReadBlock > windowStart && endPos < 0; blockStart -= kReadBlock) {
    const int64_t from = std::max(blockStart, windowStart);
    const int64_t to = std::min(size, blockStart + kReadBlock + 3);
    const size_t n = static_cast<size_t>(to - from);
    if (f.readAt(from, buf.data(), n) != static_cast<int64_t>(n)) return kSfxLocateNotFound;
    for (int64_t i = static_cast<int64_t>(n) - 4; i >= 0; --i) {
      const int64_t pos = from + i;
      if (pos + static_cast<int64_t>(kEndRecordSize) > size) continue;
      if (loadLe32(buf.data() + i) == kEndRecordSignature) {
        endPos = pos;
        break;
      }
    }
    if (blockStart == 0) break;
  }
  if (endPos < 0) return kSfxLocateNotFound;
  uint8_t rec[kEndRecordSize];
  if (f.readAt(endPos, rec, sizeof rec) != static_cast<int64_t>(sizeof rec)) return kSfxLocateNotFound;
  out.endRecordOffset = endPos;
  out.totalEntries = loadLe16(rec + end_field::kTotalEntries);
  out.centralSize = loadLe32(rec + end_field::kDirectorySize);
  const uint32_t storedOffset = loadLe32(rec + end_field::kDirectoryOffset);
  int64_t extra = endPos - static_cast<int64_t>(out.centralSize) - storedOffset;
  if (extra < 0) return kSfxLocateNotFound;
  int64_t offset = storedOffset;
  if (extra > 0 && storedOffset == 0 && out.centralSize != 0) {
    offset = extra;
    extra = 0;
  }
  // An archive without entries has no central header to check.
  if (out.centralSize == 0 && out.totalEntries == 0) {
    out.extraBytes = extra;
    out.centralOffset = offset + extra;
    return kSfxLocateOk;
  }
  uint8_t sig[4];
  auto centralAt = [&](int64_t pos) {
    return f.readAt(pos, sig, 4) == 4 && loadLe32(sig) == kCentralHeaderSignature;
  };
  if (!centralAt(offset + extra)) {
    extra = 0;
    if (!centralAt(offset)) return kSfxLocateDamaged;
  }
  out.extraBytes = extra;
  out.centralOffset = offset + extra;
  return kSfxLocateOk;
}

namespace {

// The length of an ELF image: the end of the section header table or of the
// farthest segment, whichever lies farther. 0 when f is not a readable ELF
// file of the class and byte order read here (64- or 32-bit little-endian).
int64_t elfImageLength(const File& f) {
  uint8_t h[64];
  if (f.readAt(0, h, sizeof h) != static_cast<int64_t>(sizeof h)) return 0;
  if (h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F' || h[5] != 1) return 0;
  const bool is64 = h[4] == 2;
  auto le64 = [](const uint8_t* p) { return loadLe32(p) | (static_cast<uint64_t>(loadLe32(p + 4)) << 32); };
  uint64_t phoff, shoff;
  uint16_t phentsize, phnum, shentsize, shnum;
  if (is64) {
    phoff = le64(h + 32);
    shoff = le64(h + 40);
    phentsize = loadLe16(h + 54);
    phnum = loadLe16(h + 56);
    shentsize = loadLe16(h + 58);
    shnum = loadLe16(h + 60);
  } else if (h[4] == 1) {
    phoff = loadLe32(h + 28);
    shoff = loadLe32(h + 32);
    phentsize = loadLe16(h + 42);
    phnum = loadLe16(h + 44);
    shentsize = loadLe16(h + 46);
    shnum = loadLe16(h + 48);
  } else {
    return 0;
  }
  constexpr uint64_t kLimit = uint64_t{1} << 40;  // far beyond any stub; keeps the sums from overflowing
  if (phoff > kLimit || shoff > kLimit) return 0;
  uint64_t end = shoff + static_cast<uint64_t>(shentsize) * shnum;
  const size_t need = is64 ? 56 : 32;
  if (phentsize < need) return 0;
  for (uint16_t i = 0; i < phnum; ++i) {
    uint8_t p[56];
    if (f.readAt(static_cast<int64_t>(phoff + static_cast<uint64_t>(i) * phentsize), p, need) !=
        static_cast<int64_t>(need))
      return 0;
    const uint64_t off = is64 ? le64(p + 8) : loadLe32(p + 4);
    const uint64_t filesz = is64 ? le64(p + 32) : loadLe32(p + 16);
    if (off > kLimit || filesz > kLimit) return 0;
    end = std::max(end, off + filesz);
  }
  return static_cast<int64_t>(end);
}

}  // namespace

int64_t sfxStubLength(const File& f) { return elfImageLength(f); }

bool locateSfxPayload(const File& f, SfxPayload& out, int* archiveStatus) {
  const int st = locateSfxArchive(f, out);
  if (archiveStatus) *archiveStatus = st;
  if (st != kSfxLocateOk) return false;
  const int64_t limit = out.endRecordOffset - static_cast<int64_t>(kSfxConfigSize);
  const int64_t elf = elfImageLength(f);
  if (elf > 0 && elf <= limit) {
    out.configOffset = elf;
    return true;
  }
  // The start of the ZIP data: the lowest local-header offset named by the
  // central directory (read in the same bounded way as the stub reads it),
  // else the central directory itself.
  int64_t start = out.centralOffset;
  int64_t pos = out.centralOffset;
  const FileRegion file(f);
  for (uint32_t i = 0; i < out.totalEntries; ++i) {
    uint8_t c[kCentralHeaderSize];
    if (!file.read(pos, c, sizeof c)) break;
    const BoundedReader header{std::span<const uint8_t>(c)};
    if (header.le32(0) != kCentralHeaderSignature) break;
    start = std::min(start, static_cast<int64_t>(header.le32(central_field::kLocalHeaderOffset)) + out.extraBytes);
    pos += static_cast<int64_t>(kCentralHeaderSize) + header.le16(central_field::kNameLength) +
           header.le16(central_field::kExtraLength) + header.le16(central_field::kCommentLength);
  }
  out.configOffset = start - static_cast<int64_t>(kSfxConfigSize);
  return out.configOffset >= 0;
}

}  // namespace vz::engine
