// Header walk of cabinets, following a cabinet set through the next-cabinet
// fields of each cabinet's header.
//
//   cabinet header (36 bytes, then the optional parts):
//     0 "MSCF" | 8 cabinet size | 16 first file record (32) | 24 minor
//     25 major version | 26 folders (16) | 28 files (16) | 30 flags
//     32 set id | 34 cabinet index
//   flags: 1 a previous cabinet, 2 a next cabinet, 4 reserve fields
//   then: [reserve: header (16), folder (8), data (8) sizes; header reserve]
//         [previous: cabinet name, disk name] [next: cabinet name, disk name]
//         (NUL-terminated texts), then the folder records:
//   folder record (8 + folder reserve): 0 first data block | 4 blocks
//     6 compression type (low 4 bits: 0 none, 1 MSZIP, 2 Quantum, 3 LZX)
//   file record (16 + name): 0 size (32) | 4 offset in folder | 8 folder
//     10 date | 12 time | 14 attributes (0x80: the name is UTF-8) | 16 name
//   folder 0xFFFD: continued from the previous cabinet, 0xFFFE: continued in
//   the next, 0xFFFF: both.
//
// A file that spans cabinets is listed once, in the cabinet it starts in:
// the records marked "from the previous cabinet" are passed over in the
// cabinets after the first one walked.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "control/engine/format/bounded_reader.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"

namespace vz::readers {

namespace {

constexpr int64_t kFileRecord = 16;
constexpr int64_t kMaxName = 256;
// The most cabinets one set may have.
constexpr int kMaxVolumes = 999;
constexpr uint16_t kFromPrevious = 0xFFFD, kToNext = 0xFFFE, kBoth = 0xFFFF;

// The parts of a cabinet header the walk needs.
struct Cabinet {
  uint16_t files = 0, flags = 0, setId = 0, index = 0, version = 0;
  int64_t firstFile = 0;
  std::vector<uint16_t> folderMethods;
  std::string nextName;
};

// A NUL-terminated text of at most kMaxName bytes at pos (moved past it).
bool readText(const WalkContext& ctx, int64_t& pos, std::string* out) {
  uint8_t buf[kMaxName + 1];
  const int64_t n = std::min<int64_t>(sizeof buf, ctx.fileSize - pos);
  if (n <= 0 || !ctx.read(pos, buf, static_cast<size_t>(n))) return false;
  const auto* nul = std::find(buf, buf + n, uint8_t{0});
  if (nul == buf + n) return false;
  out->assign(reinterpret_cast<const char*>(buf), static_cast<size_t>(nul - buf));
  pos += (nul - buf) + 1;
  return true;
}

// Reads the cabinet header at the start of ctx's file.
bool readCabinet(const WalkContext& ctx, int64_t start, Cabinet* cab) {
  uint8_t h[36];
  if (!ctx.read(start, h, sizeof h) || le32(h) != 0x4643534D) return false;
  cab->firstFile = start + le32(h + 16);
  cab->version = static_cast<uint16_t>((h[25] << 8) | h[24]);
  const uint16_t folders = le16(h + 26);
  cab->files = le16(h + 28);
  cab->flags = le16(h + 30);
  cab->setId = le16(h + 32);
  cab->index = le16(h + 34);
  int64_t pos = start + 36;
  uint32_t folderReserve = 0;
  if (cab->flags & 4) {
    uint8_t r[4];
    if (!ctx.read(pos, r, 4)) return false;
    folderReserve = r[2];
    pos += 4 + le16(r);
  }
  std::string ignored;
  if ((cab->flags & 1) && !(readText(ctx, pos, &ignored) && readText(ctx, pos, &ignored))) return false;
  if ((cab->flags & 2) && !(readText(ctx, pos, &cab->nextName) && readText(ctx, pos, &ignored))) return false;
  const int64_t folderSize = 8 + folderReserve;
  if (!vz::engine::rangeFits(pos, folderSize * folders, ctx.fileSize)) return false;
  cab->folderMethods.clear();
  for (uint16_t i = 0; i < folders; ++i, pos += folderSize) {
    uint8_t f[8];
    if (!ctx.read(pos, f, 8)) return false;
    cab->folderMethods.push_back(le16(f + 6));
  }
  return true;
}

// The next cabinet's path beside the current one; its name is matched
// ignoring case when the exact name is missing.
std::string siblingPath(const std::string& archive, const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(archive).parent_path();
  const std::filesystem::path exact = dir / name;
  std::error_code ec;
  if (std::filesystem::exists(exact, ec)) return exact.string();
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& it : std::filesystem::directory_iterator(dir.empty() ? "." : dir, ec))
    if (lower(it.path().filename().string()) == lower(name)) return it.path().string();
  return exact.string();
}

class CabWalker : public FormatWalker {
 public:
  int64_t headerLength() const override { return kFileRecord; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    if (!readCabinet(ctx, ctx.archiveStart, &cab_)) return *error = E_BADHEADR, false;
    firstSetId_ = cab_.setId;
    enterCabinet(ctx);
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* r, ArcEntry& e, int32_t* error) override {
    int64_t pos = ctx.next;
    std::string name;
    if (!readText(ctx, pos, &name)) return *error = E_BADHEADR, Step::Error;
    ctx.next = pos;
    const uint16_t folder = le16(r + 8);
    Step result = Step::Entry;
    if (volumes_ > 1 && (folder == kFromPrevious || folder == kBoth)) {
      result = Step::Skip;  // listed in the cabinet it starts in
    } else {
      const auto& methods = cab_.folderMethods;
      size_t index = folder;
      if (folder == kFromPrevious || folder == kBoth) index = 0;
      if (folder == kToNext) index = methods.empty() ? 0 : methods.size() - 1;
      if (index >= methods.size()) return *error = E_BADHEADR, Step::Error;
      const uint16_t attributes = le16(r + 14);
      std::string n = (attributes & 0x80) ? name : vz::cp437ToUtf8(name);
      std::replace(n.begin(), n.end(), '\\', '/');
      e.fileName = n;
      e.packedSize = e.unpackedSize = le32(r);
      e.dateTime = localTimeOfDosStamp(le16(r + 12), le16(r + 10));
      e.attributes16 = attributes & 0x3F;
      e.attributes32 = attributes;
      e.method = methods[index];
      e.versionMadeBy = e.versionNeeded = cab_.version;
      e.volume = cab_.index;
      e.dataOffset = le32(r + 4);  // offset in the folder's uncompressed data
    }
    if (--remaining_ == 0) nextCabinet(ctx);
    return result;
  }

 private:
  void enterCabinet(WalkContext& ctx) {
    remaining_ = cab_.files;
    ++volumes_;
    ctx.next = cab_.firstFile;
    if (remaining_ == 0) nextCabinet(ctx);
  }

  // The file records are used up: on to the next cabinet of the set, or the
  // end of the walk.
  void nextCabinet(WalkContext& ctx) {
    ctx.next = ctx.end;
    if (!(cab_.flags & 2)) return;
    if (volumes_ >= kMaxVolumes) return ctx.lister->raiseError(E_MAXVOLUMES);
    const std::string path = siblingPath(currentPath_.empty() ? ctx.archivePath : currentPath_, cab_.nextName);
    vz::File next;
    if (!next.open(path, vz::File::Mode::Read)) return ctx.lister->raiseError(E_OPEN, cab_.nextName);
    WalkContext probe = ctx;
    probe.file = &next;
    probe.fileSize = next.size();
    Cabinet cab;
    if (!readCabinet(probe, 0, &cab)) return ctx.lister->raiseError(E_BADHEADR, cab_.nextName);
    if (cab.setId != firstSetId_) return ctx.lister->raiseError(E_CABWRONGSET, cab_.nextName);
    volume_ = std::move(next);
    currentPath_ = path;
    cab_ = std::move(cab);
    ctx.file = &volume_;
    ctx.fileSize = ctx.end = probe.fileSize;
    ++ctx.volume;
    enterCabinet(ctx);
  }

  Cabinet cab_;              // the cabinet being walked
  vz::File volume_;          // the open cabinet after the first one
  std::string currentPath_;  // its path ("" while in the first)
  uint16_t firstSetId_ = 0;  // set id every cabinet of the set carries
  uint32_t remaining_ = 0;   // file records of the cabinet not yet walked
  int volumes_ = 0;          // cabinets walked so far
};

}  // namespace

std::unique_ptr<FormatWalker> makeCabWalker() { return std::make_unique<CabWalker>(); }

}  // namespace vz::readers
