// Self-extractor assembly (see sfx_assembly.h).
#include "control/engine/sfx/sfx_assembly.h"

#include <algorithm>
#include <new>
#include <vector>

#include "control/engine/common/notify.h"
#include "control/engine/sfx/sfx_config.h"
#include "control/engine/common/temp_base.h"
#include "control/engine/format/zip_records.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/tempname.h"

namespace vz::engine {

namespace {

// Room asked on the output drive beyond the archive's size.
constexpr uint64_t kRoomMargin = 50000;
// Block size of the stub copy and of the archive append.
constexpr size_t kCopyBlock = 16384;
// Prefix of the temporary shifted copy.
constexpr const char* kTempPrefix = "ZIP";

bool hasSeparator(const std::string& s) { return s.find_first_of("/\\") != std::string::npos; }

// Copies the whole of from to to (created); false on any failure.
bool copyFile(const std::string& from, const std::string& to) {
  File in, out;
  if (!in.open(from, File::Mode::Read)) return false;
  if (!out.open(to, File::Mode::Create, 0755)) return false;
  std::vector<uint8_t> buf(kCopyBlock);
  for (;;) {
    const int64_t n = in.read(buf.data(), buf.size());
    if (n < 0) return false;
    if (n == 0) return true;
    if (!out.write(buf.data(), static_cast<size_t>(n))) return false;
  }
}

// Copies length bytes at from in `in` to the end of out.
bool copyRange(ArchiveInput& in, int64_t from, int64_t length, File& out, std::vector<uint8_t>& buf) {
  while (length > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(buf.size())));
    if (in.readAt(from, buf.data(), n) != static_cast<int64_t>(n)) return false;
    if (!out.write(buf.data(), n)) return false;
    from += static_cast<int64_t>(n);
    length -= static_cast<int64_t>(n);
  }
  return true;
}

struct StepContext {
  const MakeExeContext* ctx;
};

void reportEntry(void* p, size_t done, size_t total) {
  const auto* s = static_cast<const StepContext*>(p);
  const WParam pct = total ? static_cast<WParam>(done * 100 / total) : 100;
  notify(s->ctx->window, s->ctx->pump, kNotifyMakeExeStep2, pct, 0);
}

}  // namespace

std::string makeExeOutputName(const MakeExeRequest& r) {
  if (r.zipName.empty()) return {};
  const std::string zip = toNativePath(r.zipName);
  if (r.exeName.empty()) {
    const std::string ext = extensionPart(zip);
    return zip.substr(0, zip.size() - ext.size()) + ".EXE";
  }
  if (!hasSeparator(r.exeName)) return directoryPart(zip) + r.exeName;
  return toNativePath(r.exeName);
}

bool writeShiftedArchive(const std::string& zipPath, const std::string& outPath, int64_t shift,
                         void (*onEntry)(void*, size_t, size_t), void* ctx) {
  ArchiveInput in;
  if (!in.open(zipPath)) return false;
  SfxPayload loc;
  if (locateSfxArchive(in, loc) != kSfxLocateOk) return false;
  const int64_t fileSize = in.size();
  const int64_t centralEnd = loc.centralOffset + loc.centralSize;
  if (centralEnd > loc.endRecordOffset || loc.centralOffset < 0) return false;

  // The central directory, read whole (it lies inside the file).
  std::vector<uint8_t> central(loc.centralSize);
  if (loc.centralSize &&
      in.readAt(loc.centralOffset, central.data(), central.size()) != static_cast<int64_t>(central.size()))
    return false;
  // Walk it: every record whole, every local header where it says.
  std::vector<size_t> recordStarts;
  std::vector<int64_t> localPositions;
  size_t pos = 0;
  while (pos < central.size()) {
    if (central.size() - pos < kCentralHeaderSize) return false;
    const uint8_t* c = central.data() + pos;
    if (loadLe32(c) != kCentralHeaderSignature) return false;
    const size_t len = kCentralHeaderSize + loadLe16(c + central_field::kNameLength) +
                       loadLe16(c + central_field::kExtraLength) + loadLe16(c + central_field::kCommentLength);
    if (central.size() - pos < len) return false;
    const int64_t local = static_cast<int64_t>(loadLe32(c + central_field::kLocalHeaderOffset)) + loc.extraBytes;
    uint8_t sig[4];
    if (local < 0 || local + static_cast<int64_t>(kLocalHeaderSize) > loc.centralOffset ||
        in.readAt(local, sig, 4) != 4 || loadLe32(sig) != kLocalHeaderSignature)
      return false;
    recordStarts.push_back(pos);
    localPositions.push_back(local);
    pos += len;
  }
  if (recordStarts.size() != loc.totalEntries) return false;

  // The ZIP data starts at the first local header (the central directory
  // when there is none); bytes in front of it are not copied.
  std::vector<int64_t> sorted = localPositions;
  std::sort(sorted.begin(), sorted.end());
  const int64_t dataStart = sorted.empty() ? loc.centralOffset : sorted.front();
  const int64_t delta = shift - dataStart;
  if (loc.centralOffset + delta > 0xFFFFFFFFLL) return false;  // offsets no longer fit 32 bits

  File out;
  if (!out.open(outPath, File::Mode::Create, 0600)) return false;
  std::vector<uint8_t> buf(kCopyBlock);
  // The entries, unchanged, one span per entry (up to the next local header).
  for (size_t i = 0; i < sorted.size(); ++i) {
    const int64_t end = i + 1 < sorted.size() ? sorted[i + 1] : loc.centralOffset;
    if (!copyRange(in, sorted[i], end - sorted[i], out, buf)) return false;
    if (onEntry) onEntry(ctx, i + 1, sorted.size());
  }
  // The central directory with moved offsets.
  for (size_t i = 0; i < recordStarts.size(); ++i) {
    storeLe32(central.data() + recordStarts[i] + central_field::kLocalHeaderOffset,
              static_cast<uint32_t>(localPositions[i] + delta));
  }
  if (!central.empty() && !out.write(central.data(), central.size())) return false;
  // The end record and its comment (up to the end of the file).
  std::vector<uint8_t> end(static_cast<size_t>(fileSize - loc.endRecordOffset));
  if (in.readAt(loc.endRecordOffset, end.data(), end.size()) != static_cast<int64_t>(end.size())) return false;
  const size_t commentLength =
      std::min<size_t>(loadLe16(end.data() + end_field::kCommentLength), end.size() - kEndRecordSize);
  end.resize(kEndRecordSize + commentLength);
  storeLe16(end.data() + end_field::kCommentLength, static_cast<uint16_t>(commentLength));
  storeLe32(end.data() + end_field::kDirectoryOffset, static_cast<uint32_t>(loc.centralOffset + delta));
  if (!out.write(end.data(), end.size())) return false;
  out.close();
  return true;
}

int16_t makeExeFile(const MakeExeRequest& r, const MakeExeContext& ctx) {
  notify(ctx.window, ctx.pump, kNotifyMakeExeStep1, 0, 0);
  if (r.zipName.empty()) return kMakeExeBadArchive;
  const std::string zip = toNativePath(r.zipName);
  if (!isRegularFile(zip)) return kMakeExeBadArchive;
  const int64_t zipSize = fileSize(zip).value_or(0);

  const std::string exe = makeExeOutputName(r);
  const auto free = drives::freeSpace(exe);
  if (!free) return kMakeExeNoFreeSpace;
  const DriveType type = drives::driveType(exe);
  if (type == DriveType::CdRom) return kMakeExeReadOnlyDrive;
  if (type == DriveType::Removable && drives::isWriteProtected(exe)) return kMakeExeReadOnlyDrive;
  if (*free < static_cast<uint64_t>(zipSize) + kRoomMargin) return kMakeExeDiskFull;

  std::string language;
  if (r.languageFile.empty()) {
    language = findFileNoCase(ctx.controlFolder, kDefaultLanguageFile);
  } else if (!hasSeparator(r.languageFile)) {
    language = findFileNoCase(ctx.controlFolder, r.languageFile);
  } else {
    language = toNativePath(r.languageFile);
  }
  if (language.empty() || !isRegularFile(language)) return kMakeExeNoLanguageFile;
  const std::string stub = findFileNoCase(ctx.controlFolder, r.win32Target ? kStub32Name : kStub16Name);
  if (stub.empty() || !isRegularFile(stub)) return kMakeExeNoStub;

  if (!copyFile(stub, exe)) {
    removeFile(exe);
    return kMakeExeWriteFailed;
  }
  std::string temp;
  auto fail = [&](int16_t code) {
    if (!temp.empty()) removeFile(temp);
    removeFile(exe);
    return code;
  };
  File out;
  if (!out.open(exe, File::Mode::ReadWrite)) return fail(kMakeExeCannotOpen);
  const int64_t stubLength = out.size();
  if (stubLength < 0 || !out.seek(stubLength)) return fail(kMakeExeCannotOpen);

  const SfxConfig config =
      sfxConfigFromLanguageFile(language, r.caption, r.programToLaunch, r.overwriteMode, r.askDirectory);
  const auto block = encodeSfxConfig(config);
  if (!out.write(block.data(), block.size())) return fail(kMakeExeWriteFailed);

  temp = getTempFileName(tempBaseFolder(), kTempPrefix);
  if (temp.empty()) return fail(kMakeExeBadArchive);
  StepContext step{&ctx};
  if (!writeShiftedArchive(zip, temp, stubLength + static_cast<int64_t>(kSfxConfigSize), reportEntry, &step))
    return fail(kMakeExeBadArchive);

  std::vector<uint8_t> buf;
  try {
    buf.resize(kCopyBlock);
  } catch (const std::bad_alloc&) {
    return fail(kMakeExeNoMemory);
  }
  File copy;
  if (!copy.open(temp, File::Mode::Read)) return fail(kMakeExeWriteFailed);
  const int64_t total = copy.size();
  int64_t done = 0;
  for (;;) {
    const int64_t n = copy.read(buf.data(), buf.size());
    if (n < 0) return fail(kMakeExeWriteFailed);
    if (n == 0) break;
    const auto room = drives::freeSpace(exe);
    if (!room || *room < static_cast<uint64_t>(n)) return fail(kMakeExeDiskFull);
    if (!out.write(buf.data(), static_cast<size_t>(n))) return fail(kMakeExeWriteFailed);
    done += n;
    notify(ctx.window, ctx.pump, kNotifyMakeExeStep2, total ? static_cast<WParam>(done * 100 / total) : 100, 0);
  }
  notify(ctx.window, ctx.pump, kNotifyMakeExeStep2, 100, 0);
  copy.close();
  out.close();
  removeFile(temp);
  return kMakeExeOk;
}

}  // namespace vz::engine
