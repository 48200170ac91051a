// Add, freshen and update: the sources are selected (zip_sources.h), each
// decided against the archive's entries, packed on worker threads
// (zip_pack_queue.h) and written in order by this thread into the new
// archive (zip_update.h), which then takes the archive's place.
//
// Plan: the old entries in archive order, each kept byte for byte or
// replaced in its place by its file; then the new files in the order they
// were found. Names compare case-sensitively. Add replaces every entry it
// has a file for; freshen replaces entries whose file is newer (DOS time,
// two-second steps) and adds nothing; update replaces newer ones and adds
// new files. Nothing to do: 10 (nothing matched) or 140 (all up to date),
// the archive untouched.
//
// Callbacks, all from this thread: 1060 for every pattern that named
// nothing (reason 0), every entry up to date (3), every file that cannot
// be read (4); 1000 per replaced entry and 1010 per new one, with
// PercentDone 0, as its packing goes on, and 100 once written; 120 per new
// entry with -c; 1030 before the new archive is put in place. A stop reply
// anywhere ends the run with 190 and changes nothing.
//
// -g builds in place only when nothing is replaced (new entries go where
// the old directory was); an update that replaces entries is built in a
// temporary file even with -g, since rewriting entries in the middle of
// the archive cannot be undone after a failure. -m deletes the files
// written (and, with -D, their folders when empty) once the new archive is
// in place.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "control/engine/format/crc32.h"
#include "control/engine/format/dos_time.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "zipwrap/engine/zip/zip_entry_write.h"
#include "zipwrap/engine/zip/zip_ops.h"
#include "zipwrap/engine/zip/zip_pack_queue.h"
#include "zipwrap/engine/zip/zip_sources.h"
#include "zipwrap/engine/zip/zip_update.h"

namespace vz::zipwrap {
namespace {

using engine::ArchiveEntry;

// One step of the new archive.
struct PlanStep {
  const ArchiveEntry* old = nullptr;  // the old entry (kept, or replaced by source)
  const Source* source = nullptr;     // the file written here, null: old kept as it is
  int job = -1;                       // its packing job, -1 for folders and the label
};

uint32_t unixSeconds(std::time_t t) {
  if (t < 0) return 0;
  return t > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(t);
}

int levelFor(const EngineCommand& command, const Source& s) {
  if (command.level == 0 || s.size == 0 || hasStoredExtension(command, s.stored)) return 0;
  return command.level;
}

// What the new archive is, and the result so far.
class AddRun {
 public:
  AddRun(const EngineCommand& command, EngineHost& host) : command_(command), host_(host), update_(command, host) {}

  OpResult run();

 private:
  uint16_t plan(const SourceSelection& selection);
  uint16_t checkMoveTargets() const;
  uint16_t writeStep(const PlanStep& step, PackQueue& queue);
  uint16_t writeData(const Source& s, PackedData& packed, NewEntry& entry, bool* sourceFailed);
  void moveSources() const;
  void fail(const std::string& name, SkipReason reason) {
    host_.skipped(name, reason);
    ++failed_;
    result_ = worseResult(result_, kResultSkipped);
  }

  const EngineCommand& command_;        // the parsed command
  EngineHost& host_;                    // callbacks
  ArchiveUpdate update_;                // the archive being changed
  std::vector<PlanStep> steps_;         // the new archive's entries in order
  std::vector<PackJob> jobs_;           // packing jobs, in step order
  std::vector<const Source*> written_;  // sources stored (for -m)
  uint16_t result_ = kResultOk;         // warnings so far
  uint32_t failed_ = 0;                 // files skipped for a failure
};

uint16_t AddRun::plan(const SourceSelection& selection) {
  std::map<std::string, const ArchiveEntry*> byName;
  for (const ArchiveEntry* e = update_.old().catalogue.entries.first(); e; e = e->next.get())
    byName.emplace(e->name, e);
  std::map<const ArchiveEntry*, const Source*> replaced;
  std::vector<const Source*> added;
  size_t upToDate = 0;
  for (const Source& s : selection.sources) {
    const auto it = byName.find(s.stored);
    if (it != byName.end()) {
      const bool newer = engine::dosDateTimeOf(s.mtime) > it->second->dosDateTime;
      if (command_.action == EngineAction::Add || newer) {
        replaced[it->second] = &s;
      } else {
        ++upToDate;
        if (!host_.skipped(s.stored, kSkipUpToDate)) return kResultAborted;
      }
    } else if (command_.action != EngineAction::Freshen) {
      added.push_back(&s);
    }
  }
  if (replaced.empty() && added.empty()) return upToDate > 0 ? kResultUpToDate : kResultNothingToDo;
  for (const ArchiveEntry* e = update_.old().catalogue.entries.first(); e; e = e->next.get()) {
    const auto r = replaced.find(e);
    steps_.push_back({e, r == replaced.end() ? nullptr : r->second});
  }
  for (const Source* s : added) steps_.push_back({nullptr, s});
  for (PlanStep& step : steps_) {
    if (!step.source) continue;
    if (step.source->isFolder || step.source->isVolumeLabel) continue;
    step.job = static_cast<int>(jobs_.size());
    jobs_.push_back({step.source->native, step.source->size, levelFor(command_, *step.source), command_.method});
  }
  return kResultOk;
}

uint16_t AddRun::checkMoveTargets() const {
  if (!command_.moveFiles) return kResultOk;
  const std::string archiveFolder = absolutePath(
      directoryPart(update_.target().native).empty() ? std::string(".") : directoryPart(update_.target().native));
  const std::string cwd = absolutePath(".");
  for (const PlanStep& step : steps_) {
    if (!step.source || !step.source->isFolder) continue;
    const std::string folder = absolutePath(step.source->native);
    if (isPathInside(folder, archiveFolder) || isPathInside(folder, cwd)) return kResultRemoveParent;
  }
  return kResultOk;
}

uint16_t AddRun::writeData(const Source& s, PackedData& packed, NewEntry& entry, bool* sourceFailed) {
  engine::ArchiveBuilder& b = update_.builder();
  const std::string* password = entry.encrypted ? &command_.password : nullptr;
  int64_t at = 0;
  if (!writeEntryHeader(b, entry, &at)) return writeFailureCode(errno);
  EntryDataWriter out(b, password, entry);
  if (!out.begin()) return writeFailureCode(errno);
  std::vector<uint8_t> buf;
  switch (packed.kind) {
    case PackedKind::Memory:
      if (!out.write(packed.bytes.data(), packed.bytes.size())) return writeFailureCode(errno);
      packed.bytes.clear();
      packed.bytes.shrink_to_fit();
      break;
    case PackedKind::Spool:
    case PackedKind::FromSource: {
      const bool spool = packed.kind == PackedKind::Spool;
      File in;
      bool readOk = in.open(spool ? packed.spoolPath : s.native, File::Mode::Read);
      buf.resize(1 << 16);
      uint64_t left = packed.packedSize;
      uint32_t crc = 0;
      while (readOk && left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        if (!in.readExact(buf.data(), want)) {
          readOk = false;
          break;
        }
        if (!spool) crc = engine::crc32Update(crc, buf.data(), want);
        if (!out.write(buf.data(), want)) {
          const int e = errno;
          if (spool) removeFile(packed.spoolPath);
          return writeFailureCode(e);
        }
        left -= want;
      }
      if (spool) removeFile(packed.spoolPath);
      if (!readOk || (!spool && crc != packed.crc32)) {
        // The file changed or failed since it was packed: no trace of it.
        if (!b.truncateTo(at)) return writeFailureCode(errno);
        *sourceFailed = true;
        return kResultOk;
      }
      break;
    }
    case PackedKind::Failed:
      break;
  }
  if (!out.end()) return writeFailureCode(errno);
  recordEntry(b, entry, at);
  return kResultOk;
}

uint16_t AddRun::writeStep(const PlanStep& step, PackQueue& queue) {
  if (!step.source) return update_.keepEntry(*step.old);
  const Source& s = *step.source;
  const uint32_t code = step.old ? kCbUpdating : kCbAdding;
  FileEvent ev;
  ev.name = s.stored;
  ev.size = s.size;
  ev.dosAttributes = s.dosAttributes;
  ev.dosDateTime = engine::dosDateTimeOf(s.mtime);
  ev.unixMode = s.isVolumeLabel ? -1 : static_cast<int32_t>(s.unixMode);
  ev.encrypted = command_.encrypt && step.job >= 0;
  ev.hostSystem = 3;
  if (!host_.fileEvent(code, ev)) return kResultAborted;

  NewEntry entry;
  entry.name = s.stored;
  entry.level = command_.level;
  entry.dosDateTime = ev.dosDateTime;
  entry.mtime = unixSeconds(s.mtime);
  entry.externalAttributes = s.isVolumeLabel ? 0x08u : ((s.unixMode & 0xFFFFu) << 16) | s.dosAttributes;
  if (step.old) {
    entry.comment = step.old->comment;
  } else if (command_.askFileComments) {
    if (!host_.askFileComment(s.stored, entry.comment)) return kResultAborted;
  }

  PackedData packed;
  packed.kind = PackedKind::Memory;
  if (step.job >= 0) {
    packed = queue.take(static_cast<size_t>(step.job), [&](uint64_t bytes) {
      if (host_.stopped()) return;
      FileEvent p = ev;
      p.percentDone = static_cast<uint8_t>(s.size ? std::min<uint64_t>(99, bytes * 100 / s.size) : 0);
      host_.fileEvent(code, p);
    });
    if (host_.stopped()) {
      if (!packed.spoolPath.empty()) removeFile(packed.spoolPath);
      return kResultAborted;
    }
    if (packed.kind == PackedKind::Failed) {
      if (!packed.sourceFailed) return writeFailureCode(packed.error);
      fail(s.native, kSkipCannotOpen);
      return step.old ? update_.keepEntry(*step.old) : static_cast<uint16_t>(kResultOk);
    }
    entry.encrypted = command_.encrypt;
    entry.aes = command_.encrypt && command_.aes;
  }
  entry.method = packed.method;
  entry.crc32 = packed.crc32;
  entry.rawSize = packed.rawSize;
  entry.dataSize = packed.packedSize + encryptionOverhead(entry);
  bool sourceFailed = false;
  if (const uint16_t r = writeData(s, packed, entry, &sourceFailed); r != kResultOk) return r;
  if (sourceFailed) {
    fail(s.native, kSkipCannotOpen);
    return step.old ? update_.keepEntry(*step.old) : static_cast<uint16_t>(kResultOk);
  }
  written_.push_back(&s);
  ev.size = entry.rawSize;
  ev.packedSize = entry.dataSize;
  ev.crc32 = entry.crc32;
  ev.method = entry.method;
  ev.percentDone = 100;
  ev.comment = entry.comment;
  if (!host_.fileEvent(code, ev)) return kResultAborted;
  return kResultOk;
}

void AddRun::moveSources() const {
  std::vector<std::string> folders;
  for (const Source* s : written_) {
    if (s->isVolumeLabel) continue;
    if (s->isFolder)
      folders.push_back(s->native);
    else
      removeFile(s->native);
  }
  // Deepest first, so that a folder is empty when its turn comes; a folder
  // that still holds files (not taken, filtered, hidden) stays.
  std::sort(folders.begin(), folders.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& f : folders) (void)::rmdir(f.c_str());
}

OpResult AddRun::run() {
  if (command_.encrypt && command_.password.empty()) return {kResultBadCommand, 0};
  if (const uint16_t r = update_.open(false); r != kResultOk) return {r, 0};
  std::vector<FileIdentity> exclude;
  if (update_.target().exists) exclude.push_back({update_.target().device, update_.target().inode});
  const SourceSelection selection = selectSources(command_, exclude);
  if (!selection.duplicateName.empty()) return {kResultDuplicateNames, 0};
  for (const std::string& missing : selection.notFound) {
    if (!host_.skipped(missing, kSkipNotFound)) return {kResultAborted, 0};
    result_ = worseResult(result_, kResultSkipped);
    ++failed_;
  }
  if (const uint16_t r = plan(selection); r != kResultOk) {
    if (r == kResultNothingToDo && !selection.anyFound) return {kResultNothingToDo, failed_};
    return {worseResult(result_, r), failed_};
  }
  if (host_.stopped()) return {kResultAborted, 0};
  if (const uint16_t r = checkMoveTargets(); r != kResultOk) return {r, 0};

  bool replaces = false;
  for (const PlanStep& s : steps_) replaces = replaces || (s.source && s.old);
  if (const uint16_t r = update_.beginBuild(command_.inPlace && !replaces); r != kResultOk) return {r, 0};
  const std::string spoolFolder =
      update_.inPlace() ? directoryPart(update_.target().native) : directoryPart(update_.tempPath());
  PackQueue queue(jobs_, packWorkerCount(), spoolFolder.empty() ? std::string(".") : spoolFolder);
  for (const PlanStep& step : steps_) {
    // In place, the old entries stay where they are: only new ones are written.
    const uint16_t r = writeStep(step, queue);
    if (r != kResultOk) {
      queue.stop();
      update_.rollback();
      return {r, 0};
    }
  }
  queue.stop();
  if (const uint16_t r = update_.commit(update_.old().catalogue.comment); r != kResultOk) {
    update_.rollback();
    return {r, 0};
  }
  if (command_.moveFiles) moveSources();
  return {result_, failed_};
}

}  // namespace

OpResult runAdd(const EngineCommand& command, EngineHost& host) {
  AddRun run(command, host);
  return run.run();
}

}  // namespace vz::zipwrap
