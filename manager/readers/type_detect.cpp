// Type detection: the signature table, the three searches inside programs,
// and the TAR checksum test. See type_detect.h for the steps.
#include "manager/readers/type_detect.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "control/engine/format/bounded_reader.h"
#include "manager/readers/program_image.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using vz::engine::rangeFits;

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool readAt(const vz::File& file, int64_t offset, void* out, size_t n) {
  return rangeFits(offset, static_cast<int64_t>(n), file.size()) &&
         file.readAt(offset, out, n) == static_cast<int64_t>(n);
}

// One row of the signature table: the test, and the types it gives plain
// and embedded.
struct SignatureRow {
  enum class Field { V, L, H } field;
  uint32_t values[5];  // the values that match; 0-terminated past the first
  int count;
  TArcType plain, embedded;
};

// The zero-based archive start the B7 92 / B7 DF signature implies (one-based
// 7717): the archive behind an ARC self-extractor's fixed-size program.
constexpr int64_t kArcExeStart = 7716;

// Tested in this order; the first match decides.
constexpr SignatureRow kSignatures[] = {
    {SignatureRow::Field::V, {0x04034B50}, 1, atZIP, atZipExe},        // "PK" 3 4
    {SignatureRow::Field::V, {0x4643534D}, 1, atCAB, atNA},            // "MSCF"
    {SignatureRow::Field::V, {0x50000000}, 1, atZip250, atZip250Exe},  //
    {SignatureRow::Field::V, {0x07054842}, 1, atBH, atBHExe},          // "BH" 5 7
    {SignatureRow::Field::L, {0x4148}, 1, atHA, atNA},                 // "HA"
    {SignatureRow::Field::L, {0x8B1F, 0x9D1F, 0x9E1F, 0x1E1F, 0xA01F}, 5, atGZip, atNA},
    {SignatureRow::Field::L, {0xEA60}, 1, atARJ, atArjExe},  // 60 EA
    {SignatureRow::Field::L, {0x4F5A}, 1, atZOO, atNA},      // "ZO"
    {SignatureRow::Field::H, {0x6C2D}, 1, atLHA, atLhaExe},  // "-l" at bytes 2 and 3
    // PMarc's "-pm0-", "-pm1-", "-pm2-" headers are LHA level-0 headers
    // with "-p" at bytes 2 and 3: read by the LHA walk and TUnLHA.
    {SignatureRow::Field::H, {0x702D}, 1, atLHA, atLhaExe},
    {SignatureRow::Field::L, {0x6152}, 1, atRAR, atRarExe},          // "Ra"
    {SignatureRow::Field::L, {0x0A1A, 0x0B1A}, 2, atPAK, atPakExe},  // 1A 0A, 1A 0B
    {SignatureRow::Field::L, {0x081A, 0x091A}, 2, atARC, atArcExe},  // 1A 08, 1A 09
    // An ARC archive whose first entry is stored, packed, squeezed or
    // crunched (methods 1 to 7) starts 1A 01 .. 1A 07: ARC as well.
    {SignatureRow::Field::L, {0x011A, 0x021A, 0x031A, 0x041A, 0x051A}, 5, atARC, atArcExe},
    {SignatureRow::Field::L, {0x061A, 0x071A}, 2, atARC, atArcExe},
    // ARC 6 and 7 may begin with an information record (20 to 29, the
    // archive's comment) or a folder (30): 1A 14 .. 1A 1E.
    {SignatureRow::Field::L, {0x141A, 0x151A, 0x161A, 0x171A, 0x181A}, 5, atARC, atArcExe},
    {SignatureRow::Field::L, {0x191A, 0x1A1A, 0x1B1A, 0x1C1A, 0x1D1A}, 5, atARC, atArcExe},
    {SignatureRow::Field::L, {0x1E1A}, 1, atARC, atArcExe},
    {SignatureRow::Field::L, {0x92B7, 0xDFB7}, 2, atArcExe, atArcExe},  // start implied
};

bool isProgram(const uint8_t* head) {
  return (head[0] == 'M' && head[1] == 'Z') || (head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
}

// Classifies the four bytes at pos as embedded; atUnknown when they are not
// in the file.
SignatureClass classifyAt(const vz::File& file, int64_t pos) {
  uint8_t b[4];
  if (!readAt(file, pos, b, 4)) return {};
  return classifySignature(le32(b), true);
}

// Fills *out from a classification found at pos; false when it is atUnknown.
bool take(const SignatureClass& c, int64_t pos, DetectedType* out) {
  if (c.type == atUnknown) return false;
  out->type = c.type;
  out->archiveStart = c.startOverride >= 0 ? c.startOverride : pos;
  return true;
}

// Step 2a: string resources 1 to 4, each a number of at most 5 characters
// naming a position below the file size.
bool searchStringResources(const vz::File& file, DetectedType* out) {
  for (uint32_t id = 1; id <= 4; ++id) {
    const auto text = peStringResource(file, id);
    if (!text) continue;
    std::string digits = text->substr(0, 5);
    while (!digits.empty() && digits.back() == ' ') digits.pop_back();
    while (!digits.empty() && digits.front() == ' ') digits.erase(digits.begin());
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const int64_t pos = std::stoll(digits);
    if (pos >= out->fileSize) continue;
    if (take(classifyAt(file, pos), pos, out)) {
      if (plainType(out->type) == atZIP || plainType(out->type) == atZip250) out->zipStart = out->archiveStart;
      return true;
    }
  }
  return false;
}

// Step 2b at one image end: 60 EA at bytes 2 and 3 put the archive 2 bytes
// later.
bool searchImageEnd(const vz::File& file, int64_t end, DetectedType* out) {
  uint8_t b[4];
  if (end < 0 || !readAt(file, end, b, 4)) return false;
  const int64_t start = (b[2] == 0x60 && b[3] == 0xEA) ? end + 2 : end;
  return take(classifyAt(file, start), start, out);
}

// Step 2c: the ZIP end record within the last ZipCmntBufSize + 23 bytes.
bool searchZipFromEnd(const vz::File& file, int32_t bufferSize, DetectedType* out) {
  const int64_t size = out->fileSize;
  int64_t span = int64_t{std::max(bufferSize, 0)} + 23;
  if (span > size) span = bufferSize <= 0 ? 23 : size - 76;
  // Bounded by the file and by the largest comment an end record can carry.
  span = std::clamp<int64_t>(span, 0, std::min<int64_t>(size, 0xFFFF + 22 + 1));
  if (span < 4) return false;
  std::vector<uint8_t> tail(static_cast<size_t>(span));
  if (!readAt(file, size - span, tail.data(), tail.size())) return false;
  for (int64_t i = span - 4; i >= 0; --i) {
    const uint8_t* p = tail.data() + i;
    if (!(p[0] == 'P' && p[1] == 'K' && p[2] == 5 && p[3] == 6)) continue;
    // The first hit decides.
    const int64_t endAt = size - span + i;
    uint8_t rec[22];
    if (!readAt(file, endAt, rec, sizeof rec) || le32(rec) != 0x06054B50) return false;
    const int64_t cdSize = le32(rec + 12), cdOffset = le32(rec + 16);
    // The recorded offset, or - for an archive whose offsets count from its
    // own start - the directory's real place just before the end record.
    for (const int64_t shift : {int64_t{0}, endAt - cdSize - cdOffset}) {
      uint8_t cen[46];
      if (!readAt(file, cdOffset + shift, cen, sizeof cen) || le32(cen) != 0x02014B50) continue;
      out->type = atZipExe;
      out->archiveStart = int64_t{le32(cen + 42)} + shift;
      out->zipStart = out->archiveStart;
      return true;
    }
    return false;
  }
  return false;
}

bool hasTarExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".TAR";
}

}  // namespace

SignatureClass classifySignature(uint32_t v, bool embedded) {
  const uint32_t l = v & 0xFFFF, h = v >> 16;
  for (const SignatureRow& row : kSignatures) {
    const uint32_t field = row.field == SignatureRow::Field::V ? v : (row.field == SignatureRow::Field::L ? l : h);
    if (std::find(row.values, row.values + row.count, field) == row.values + row.count) continue;
    SignatureClass c;
    c.type = embedded ? row.embedded : row.plain;
    if (row.plain == atArcExe) c.startOverride = kArcExeStart;
    return c;
  }
  return {};
}

bool isTarHeaderBlock(const uint8_t* block) {
  // The checksum field: octal digits, other characters (blanks, NUL) skipped.
  uint32_t stored = 0;
  for (int i = 148; i < 156; ++i)
    if (block[i] >= '0' && block[i] <= '7') stored = stored * 8 + static_cast<uint32_t>(block[i] - '0');
  uint32_t sum = 0;
  for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? 32u : block[i];
  return stored == sum;
}

DetectedType detectArchiveType(const std::string& path, int32_t zipCommentBufferSize) {
  DetectedType out;
  vz::File file;
  uint8_t head[6];
  if (!file.open(path, vz::File::Mode::Read) || (out.fileSize = file.size()) < 6 || !readAt(file, 0, head, 6)) {
    out.type = atFileError;
    out.fileSize = std::max<int64_t>(out.fileSize, 0);
    return out;
  }
  out.type = atUnknown;
  if (isProgram(head)) {
    const bool mz = head[0] == 'M';
    bool found = mz && searchStringResources(file, &out);
    if (!found && mz) {
      const auto dosEnd = dosImageEnd(file);
      found = dosEnd && searchImageEnd(file, *dosEnd, &out);
      // A Windows program's DOS image is only its stub: the archive of a
      // self-extracting Windows program follows the last section.
      if (!found)
        if (const auto peEnd = peImageEnd(file); peEnd && peEnd != dosEnd) found = searchImageEnd(file, *peEnd, &out);
    }
    if (!found && !mz)
      if (const auto elfEnd = elfImageEnd(file)) found = searchImageEnd(file, *elfEnd, &out);
    if (!found) searchZipFromEnd(file, zipCommentBufferSize, &out);
  } else {
    take(classifySignature(le32(head), false), 0, &out);
    if (out.type == atUnknown) out.archiveStart = 0;
  }
  if (out.type == atUnknown && out.fileSize > 512 && hasTarExtension(path)) {
    uint8_t block[512];
    int64_t at = 0;
    if (readAt(file, 0, block, 512) && block[156] == 'V') at = 512;
    if (readAt(file, at, block, 512) && isTarHeaderBlock(block)) {
      out.type = atTAR;
      out.archiveStart = at;
    }
  }
  return out;
}

}  // namespace vz::readers
