// TArcLister's generic walk: one loop for every format, the format's walker
// completing each step (see arc_lister.h).
#include "manager/readers/arc_lister.h"

#include <algorithm>
#include <cstring>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/mask.h"
#include "manager/readers/reader_errors.h"

namespace vz::readers {

bool WalkContext::read(int64_t pos, void* out, size_t n) const {
  if (!file || !vz::engine::rangeFits(pos, static_cast<int64_t>(n), fileSize)) return false;
  if (n > kWindow / 4) return file->readAt(pos, out, n) == static_cast<int64_t>(n);
  const bool same = windowFile_ == file && windowVolume_ == volume && windowAt_ >= 0;
  if (!same || pos < windowAt_ || pos + static_cast<int64_t>(n) > windowAt_ + static_cast<int64_t>(window_.size())) {
    window_.resize(static_cast<size_t>(std::min<int64_t>(kWindow, fileSize - pos)));
    if (file->readAt(pos, window_.data(), window_.size()) != static_cast<int64_t>(window_.size())) {
      windowAt_ = -1;
      return false;
    }
    windowAt_ = pos;
    windowFile_ = file;
    windowVolume_ = volume;
  }
  std::memcpy(out, window_.data() + (pos - windowAt_), n);
  return true;
}

bool fileSpecMatches(const std::string& name, const std::string& fileSpec) {
  // The engine's mask rule works on "\"-separated names.
  std::string n = name, m = fileSpec.empty() ? std::string("*.*") : fileSpec;
  std::replace(n.begin(), n.end(), '/', '\\');
  std::replace(m.begin(), m.end(), '/', '\\');
  return vz::engine::maskMatches(n, m);
}

void TArcLister::report(WalkContext& ctx, const FormatWalker& walker) {
  entry_.ratio = compressionRatio(entry_.packedSize, entry_.unpackedSize);
  if (entry_.isFolder) {
    if (!ShowBlankDirs) return;
    if (!walker.foldersUncounted()) ++ctx.listed;
  } else {
    if (!fileSpecMatches(entry_.fileName, FileSpec)) return;
    ++ctx.listed;
  }
  totalPacked_ += entry_.packedSize;
  totalUnpacked_ += entry_.unpackedSize;
  if (OnRead) OnRead(*this, static_cast<int32_t>(entry_.headerOffset + 1), ctx.listed);
}

int32_t TArcLister::activate() {
  totalRatio_ = 0;
  totalPacked_ = totalUnpacked_ = 0;
  if (OnActivate) OnActivate(*this);
  const auto finish = [&](int32_t listed) {
    if (OnDeactivate) OnDeactivate(*this);
    return listed;
  };
  if (arcType_ == atFileError) return raiseError(E_OPEN), finish(0);
  std::unique_ptr<FormatWalker> walker = makeWalker(arcType_);
  if (!walker) return raiseError(E_INVALIDTYPE), finish(0);
  vz::File file;
  if (!file.open(archiveFile_, vz::File::Mode::Read)) return raiseError(E_OPEN), finish(0);

  WalkContext ctx;
  ctx.file = &file;
  ctx.archiveStart = archiveStart_;
  ctx.zipStart = zipStart_;
  ctx.fileSize = ctx.end = file.size();
  ctx.type = arcType_;
  ctx.archivePath = archiveFile_;
  ctx.lister = this;
  if (OnReadBegin) OnReadBegin(*this);
  int32_t error = 0;
  if (!walker->begin(ctx, &error)) {
    raiseError(error);
  } else {
    const int64_t len = walker->headerLength();
    std::vector<uint8_t> header(static_cast<size_t>(len));
    // A header is read while it fits before the end; every step moves
    // forward (or on to the next volume), so the walk ends.
    while (ctx.next >= 0 && ctx.next <= ctx.end - len) {
      ctx.current = ctx.next;
      if (!ctx.read(ctx.current, header.data(), header.size())) {
        raiseError(E_READ);
        break;
      }
      ctx.next = ctx.current + len;
      entry_ = ArcEntry{};
      entry_.headerOffset = ctx.current;
      const int32_t volume = ctx.volume;
      const FormatWalker::Step step = walker->step(ctx, header.data(), entry_, &error);
      if (step == FormatWalker::Step::Error) {
        raiseError(error);
        break;
      }
      if (step == FormatWalker::Step::End) break;
      if (step == FormatWalker::Step::Entry) report(ctx, *walker);
      if (ctx.volume == volume && ctx.next <= ctx.current) {
        raiseError(E_BADHEADR);
        break;
      }
    }
  }
  if (OnReadEnd) OnReadEnd(*this);
  totalRatio_ = compressionRatio(totalPacked_, totalUnpacked_);
  if (OnTotals) OnTotals(*this, ctx.listed);
  return finish(ctx.listed);
}

}  // namespace vz::readers
