// The thorough fix's scan (zip_fix_scan.h).
#include "zipwrap/engine/zip/zip_fix_scan.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

#include "control/engine/format/zip_records.h"
#include "zipwrap/engine/zip/zip_fix_verify.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

// Bytes read per step of the signature search.
constexpr size_t kSearchBlock = 65536;
// The most entries an archive can count.
constexpr size_t kMaxEntries = 0xFFFF;
// The most candidates whose data failed that are tried, so that a file
// full of false signatures costs a bounded number of decodes.
constexpr size_t kMaxRejected = 4096;

bool readBytes(const File& f, int64_t at, void* out, size_t n, int64_t size) {
  return at >= 0 && at + static_cast<int64_t>(n) <= size && f.readAt(at, out, n) == static_cast<int64_t>(n);
}

// A record of the old central directory, its offset corrected.
struct OldRecord {
  CentralHeader header;
  std::string name;
  std::vector<uint8_t> extra;
  std::string comment;
  int64_t localAt = 0;  // where its local header should be
  bool used = false;    // an entry kept by the scan took it
};

// Every position of sig in the file whose record can start there.
std::vector<int64_t> findSignatures(const File& f, int64_t size, uint32_t sig) {
  std::vector<int64_t> out;
  std::vector<uint8_t> buf(kSearchBlock + 3);
  for (int64_t pos = 0; pos + 4 <= size; pos += kSearchBlock) {
    const size_t look = static_cast<size_t>(std::min<int64_t>(kSearchBlock + 3, size - pos));
    if (f.readAt(pos, buf.data(), look) != static_cast<int64_t>(look)) break;
    for (size_t i = 0; i + 4 <= look && i < kSearchBlock; ++i)
      if (buf[i] == 'P' && loadLe32(&buf[i]) == sig) out.push_back(pos + static_cast<int64_t>(i));
  }
  return out;
}

// The central record at pos with its name, extra field and comment.
std::optional<OldRecord> centralAt(const File& f, int64_t pos, int64_t size) {
  uint8_t raw[kCentralHeaderSize];
  if (!readBytes(f, pos, raw, sizeof raw, size)) return std::nullopt;
  std::optional<CentralHeader> h = parseCentralHeader(raw);
  if (!h || h->nameLength == 0) return std::nullopt;
  OldRecord r;
  r.header = *h;
  r.name.resize(h->nameLength);
  r.extra.resize(h->extraLength);
  r.comment.resize(h->commentLength);
  int64_t at = pos + static_cast<int64_t>(kCentralHeaderSize);
  if (!readBytes(f, at, r.name.data(), r.name.size(), size)) return std::nullopt;
  at += h->nameLength;
  if (!r.extra.empty() && !readBytes(f, at, r.extra.data(), r.extra.size(), size)) return std::nullopt;
  at += h->extraLength;
  if (!r.comment.empty() && !readBytes(f, at, r.comment.data(), r.comment.size(), size)) return std::nullopt;
  return r;
}

struct OldDirectory {
  std::vector<OldRecord> records;
  std::string comment;
  bool endRecordFound = false;
};

// The old central directory as far as it reads: from the end record when
// there is one (its offset corrected by the bytes in front), else every
// central header found in the file. Offsets are corrected so that the
// first record points at the first local header.
OldDirectory readOldDirectory(const File& f, int64_t size, int64_t firstLocal) {
  OldDirectory d;
  const int64_t from = std::max<int64_t>(0, size - static_cast<int64_t>(kEndRecordSearchWindow));
  std::vector<uint8_t> tail(static_cast<size_t>(size - from));
  std::optional<EndRecord> end;
  int64_t endAt = -1;
  if (!tail.empty() && f.readAt(from, tail.data(), tail.size()) == static_cast<int64_t>(tail.size())) {
    for (size_t i = tail.size() >= kEndRecordSize ? tail.size() - kEndRecordSize + 1 : 0; i-- > 0;) {
      if (tail[i] != 'P' || loadLe32(&tail[i]) != kEndRecordSignature) continue;
      end = parseEndRecord(std::span<const uint8_t>(&tail[i], kEndRecordSize));
      if (end) {
        endAt = from + static_cast<int64_t>(i);
        const size_t clen = std::min<size_t>(end->commentLength, tail.size() - i - kEndRecordSize);
        d.comment.assign(reinterpret_cast<const char*>(&tail[i + kEndRecordSize]), clen);
        break;
      }
    }
  }
  std::vector<int64_t> positions;
  if (end) {
    d.endRecordFound = true;
    // The directory stands right in front of the end record, whatever its
    // stored offset says.
    int64_t at = endAt - static_cast<int64_t>(end->directorySize);
    uint8_t sig[4];
    if (!readBytes(f, at, sig, 4, size) || loadLe32(sig) != kCentralHeaderSignature) at = end->directoryOffset;
    for (size_t n = 0; n < end->totalEntries && at < endAt; ++n) {
      std::optional<OldRecord> r = centralAt(f, at, size);
      if (!r) break;
      positions.push_back(at);
      at += static_cast<int64_t>(kCentralHeaderSize) + r->header.nameLength + r->header.extraLength +
            r->header.commentLength;
      d.records.push_back(std::move(*r));
    }
  }
  if (d.records.empty()) {
    for (int64_t at : findSignatures(f, size, kCentralHeaderSignature)) {
      if (d.records.size() >= kMaxEntries) break;
      if (std::optional<OldRecord> r = centralAt(f, at, size)) d.records.push_back(std::move(*r));
    }
  }
  // The correction: the records' offsets are relative to the archive's
  // start, which bytes in front may have moved.
  int64_t lowest = INT64_MAX;
  for (const OldRecord& r : d.records) lowest = std::min<int64_t>(lowest, r.header.localHeaderOffset);
  const int64_t shift = (firstLocal >= 0 && lowest != INT64_MAX) ? firstLocal - lowest : 0;
  for (OldRecord& r : d.records) r.localAt = static_cast<int64_t>(r.header.localHeaderOffset) + shift;
  return d;
}

struct Candidate {
  LocalHeader header;
  std::string name;
  std::vector<uint8_t> extra;
};

// The local header at pos when it and its name and extra field fit.
std::optional<Candidate> localAt(const File& f, int64_t pos, int64_t size) {
  uint8_t raw[kLocalHeaderSize];
  if (!readBytes(f, pos, raw, sizeof raw, size)) return std::nullopt;
  std::optional<LocalHeader> h = parseLocalHeader(raw);
  if (!h || h->nameLength == 0) return std::nullopt;
  Candidate c;
  c.header = *h;
  c.name.resize(h->nameLength);
  c.extra.resize(h->extraLength);
  const int64_t at = pos + static_cast<int64_t>(kLocalHeaderSize);
  if (!readBytes(f, at, c.name.data(), c.name.size(), size)) return std::nullopt;
  if (!c.extra.empty() && !readBytes(f, at + h->nameLength, c.extra.data(), c.extra.size(), size)) return std::nullopt;
  return c;
}

SizeClaim claimOf(const LocalHeader& h) { return {h.crc32, h.compressedSize, h.uncompressedSize}; }
SizeClaim claimOf(const CentralHeader& h) { return {h.crc32, h.compressedSize, h.uncompressedSize}; }

// The entry as it will be written: the old record's fields where there is
// one, the checked facts, the local flags and method.
FixedEntry makeEntry(int64_t headerAt, int64_t dataAt, const DataVerdict& v, const LocalHeader& local,
                     const std::string& name, std::vector<uint8_t> localExtra, const OldRecord* old) {
  FixedEntry e;
  e.headerAt = headerAt;
  e.dataAt = dataAt;
  e.endAt = dataAt + v.facts.compressedSize + v.descriptorSize;
  e.checked = v.checked;
  CentralHeader& c = e.central;
  if (old) {
    c = old->header;
    e.centralExtra = old->extra;
    e.comment = old->comment;
  } else {
    c.versionMadeBy = local.versionNeeded;
    e.centralExtra = localExtra;
  }
  c.versionNeeded = local.versionNeeded;
  c.flags = local.flags;
  c.method = local.method;
  c.time = local.time;
  c.date = local.date;
  c.crc32 = v.facts.crc32;
  c.compressedSize = v.facts.compressedSize;
  c.uncompressedSize = v.facts.uncompressedSize;
  c.diskNumberStart = 0;
  e.name = name;
  e.localExtra = std::move(localExtra);
  return e;
}

// The byte ranges of the entries kept, start -> end.
using KeptRanges = std::map<int64_t, int64_t>;

// Whether [from, to) meets a kept range.
bool overlapsKept(const KeptRanges& kept, int64_t from, int64_t to) {
  auto it = kept.upper_bound(from);
  if (it != kept.end() && it->first < to) return true;
  return it != kept.begin() && std::prev(it)->second > from;
}

}  // namespace

FixScan scanThoroughly(const File& file, const std::function<bool()>& stop) {
  FixScan scan;
  const int64_t size = file.size();
  if (size <= 0) return scan;
  const std::vector<int64_t> locals = findSignatures(file, size, kLocalHeaderSignature);
  OldDirectory old = readOldDirectory(file, size, locals.empty() ? -1 : locals.front());
  scan.comment = old.comment;
  std::map<int64_t, OldRecord*> byOffset;
  for (OldRecord& r : old.records) byOffset.emplace(r.localAt, &r);

  KeptRanges kept;
  // Local headers in file order.
  int64_t cursor = 0;  // everything in front of it belongs to a kept entry or was passed
  for (int64_t pos : locals) {
    if (scan.entries.size() >= kMaxEntries || scan.rejected >= kMaxRejected) break;
    if (stop && stop()) break;
    if (pos < cursor) continue;
    std::optional<Candidate> c = localAt(file, pos, size);
    if (!c) {
      ++scan.rejected;
      continue;
    }
    auto it = byOffset.find(pos);
    OldRecord* rec = it != byOffset.end() && !it->second->used ? it->second : nullptr;
    std::vector<SizeClaim> claims;
    if (rec) claims.push_back(claimOf(rec->header));
    claims.push_back(claimOf(c->header));
    const int64_t dataAt = pos + static_cast<int64_t>(kLocalHeaderSize) + c->header.nameLength + c->header.extraLength;
    // The local header's method and flags, and the old record's when they
    // differ (one of the two was damaged): a variant whose data decodes
    // wins over one that is only consistent.
    std::vector<LocalHeader> variants = {c->header};
    if (rec && (rec->header.method != c->header.method || rec->header.flags != c->header.flags)) {
      LocalHeader h = c->header;
      h.versionNeeded = rec->header.versionNeeded;
      h.flags = rec->header.flags;
      h.method = rec->header.method;
      h.time = rec->header.time;
      h.date = rec->header.date;
      variants.insert(variants.begin(), h);
    }
    DataVerdict v;
    LocalHeader used;
    for (const LocalHeader& h : variants) {
      const DataVerdict tried = verifyEntryData(file, h.method, h.flags, dataAt, size, claims);
      if (tried.ok && (!v.ok || (tried.checked && !v.checked))) {
        v = tried;
        used = h;
      }
    }
    if (!v.ok) {
      ++scan.rejected;
      continue;
    }
    if (rec) rec->used = true;
    scan.entries.push_back(makeEntry(pos, dataAt, v, used, c->name, std::move(c->extra), rec));
    cursor = scan.entries.back().endAt;
    kept.emplace(pos, cursor);
  }

  // Records of the old directory whose local header was not found: their
  // data where the record says, with the record's fields.
  for (OldRecord& r : old.records) {
    if (scan.entries.size() >= kMaxEntries || (stop && stop())) break;
    if (r.used || r.localAt < 0 || overlapsKept(kept, r.localAt, r.localAt + 1)) continue;
    LocalHeader local;
    local.versionNeeded = r.header.versionNeeded;
    local.flags = r.header.flags;
    local.method = r.header.method;
    local.time = r.header.time;
    local.date = r.header.date;
    // The local extra field's length: the damaged header's own when its
    // name length still agrees with the record, else the record's.
    uint8_t lengths[4];
    std::vector<uint32_t> extraLengths;
    if (readBytes(file, r.localAt + 26, lengths, 4, size) && loadLe16(lengths) == r.header.nameLength)
      extraLengths.push_back(loadLe16(lengths + 2));
    extraLengths.push_back(r.header.extraLength);
    for (uint32_t extraLength : extraLengths) {
      const int64_t dataAt = r.localAt + static_cast<int64_t>(kLocalHeaderSize) + r.header.nameLength + extraLength;
      const DataVerdict v = verifyEntryData(file, local.method, local.flags, dataAt, size, {claimOf(r.header)});
      if (!v.ok || !v.checked) continue;  // without a check the guessed position proves nothing
      std::vector<uint8_t> extra(extraLength);
      if (!extra.empty() && !readBytes(file, dataAt - extraLength, extra.data(), extra.size(), size)) continue;
      FixedEntry e = makeEntry(r.localAt, dataAt, v, local, r.name, std::move(extra), &r);
      if (overlapsKept(kept, e.headerAt, e.endAt)) break;
      kept.emplace(e.headerAt, e.endAt);
      e.fromDirectory = true;
      r.used = true;
      scan.entries.push_back(std::move(e));
      break;
    }
  }
  std::sort(scan.entries.begin(), scan.entries.end(),
            [](const FixedEntry& a, const FixedEntry& b) { return a.headerAt < b.headerAt; });
  if (!scan.entries.empty()) {
    const int64_t first = locals.empty() ? scan.entries.front().headerAt : locals.front();
    scan.preamble = std::min(first, scan.entries.front().headerAt);
  }
  return scan;
}

}  // namespace vz::zipwrap
