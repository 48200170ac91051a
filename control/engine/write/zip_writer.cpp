// The archive builder (see zip_writer.h).
#include "control/engine/write/zip_writer.h"

#include <algorithm>
#include <utility>

#include "control/engine/common/temp_base.h"
#include "platform/tempname.h"

namespace vz::engine {

namespace {

WriteObserver& observer() {
  static WriteObserver o;
  return o;
}
bool g_failHeaderRewrite = false;  // test hook: seeks back to a local header fail

}  // namespace

void setWriteObserverForTesting(WriteObserver o) { observer() = std::move(o); }
void setHeaderRewriteFailureForTesting(bool fail) { g_failHeaderRewrite = fail; }
bool headerRewriteFailsForTesting() { return g_failHeaderRewrite; }
void observeWriteStep(WriteStep step) {
  if (observer()) observer()(step);
}

CentralRecord centralRecordOf(const ArchiveEntry& e) {
  CentralRecord r;
  r.header = e.centralHeader();
  r.name = e.name;
  r.extra = e.centralExtra;
  r.comment = e.comment;
  return r;
}

ArchiveBuilder::~ArchiveBuilder() { discard(); }

BuildStatus ArchiveBuilder::create(const std::string& folder) {
  discard();
  records_.clear();
  const std::string where = folder.empty() ? computeTempBaseFolder() : folder;
  path_ = getTempFileName(where, kTempFilePrefix);
  if (path_.empty()) return BuildStatus::IoError;
  // The name was reserved by creating the file empty; open it for writing.
  if (!file_.open(path_, File::Mode::ReadWrite)) {
    discard();
    return BuildStatus::IoError;
  }
  return BuildStatus::Ok;
}

BuildStatus ArchiveBuilder::attach(const std::string& path, int64_t at) {
  discard();
  records_.clear();
  if (!file_.open(path, File::Mode::ReadWrite) || !file_.seek(at)) {
    file_.close();
    return BuildStatus::IoError;
  }
  return BuildStatus::Ok;
}

bool ArchiveBuilder::write(const void* data, size_t size) {
  if (!file_.write(data, size)) return false;
  observeWriteStep(WriteStep::TempWrite);
  return true;
}

bool ArchiveBuilder::rewriteAt(int64_t pos, const void* data, size_t size, bool* seekFailed) {
  if (seekFailed) *seekFailed = false;
  const int64_t end = file_.tell();
  if (g_failHeaderRewrite || end < 0 || !file_.seek(pos)) {
    if (seekFailed) *seekFailed = true;
    return false;
  }
  const bool ok = write(data, size);
  return file_.seek(end) && ok;
}

bool ArchiveBuilder::truncateTo(int64_t pos) { return file_.truncate(pos) && file_.seek(pos); }

BuildStatus ArchiveBuilder::copyBytes(File& src, int64_t offset, int64_t count) {
  if (count <= 0) return BuildStatus::Ok;
  if (buffer_.empty()) buffer_.resize(kCopyBufferSize);
  if (!src.seek(offset)) return BuildStatus::IoError;
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(buffer_.size())));
    if (!src.readExact(buffer_.data(), n) || !write(buffer_.data(), n)) return BuildStatus::IoError;
    count -= static_cast<int64_t>(n);
  }
  return BuildStatus::Ok;
}

BuildStatus ArchiveBuilder::copyEntry(File& src, const ArchiveEntry& e, const std::string* comment) {
  const int64_t at = position();
  if (at < 0 || at > kMaxRecordOffset) return BuildStatus::IoError;
  const int64_t span = static_cast<int64_t>(kLocalHeaderSize) + e.nameLength + e.localExtraLength +
                       static_cast<int64_t>(e.compressedSize) + e.descriptorSize;
  if (const BuildStatus s = copyBytes(src, e.localHeaderOffset, span); s != BuildStatus::Ok) return s;
  CentralRecord r = centralRecordOf(e);
  r.header.localHeaderOffset = static_cast<uint32_t>(at);
  if (comment) {
    r.comment = *comment;
    r.header.commentLength = static_cast<uint16_t>(comment->size());
  }
  records_.push_back(std::move(r));
  return BuildStatus::Ok;
}

BuildStatus ArchiveBuilder::finish(std::string_view archiveComment) {
  const int64_t start = position();
  if (start < 0 || start > kMaxRecordOffset || records_.size() > 0xFFFF || archiveComment.size() > kMaxCommentLength)
    return BuildStatus::IoError;
  for (const CentralRecord& r : records_) {
    CentralHeader h = r.header;
    h.nameLength = static_cast<uint16_t>(r.name.size());
    h.extraLength = static_cast<uint16_t>(r.extra ? r.extra->size() : 0);
    h.commentLength = static_cast<uint16_t>(r.comment.size());
    const auto bytes = encodeCentralHeader(h);
    if (!write(bytes.data(), bytes.size()) || !write(r.name.data(), r.name.size())) return BuildStatus::IoError;
    if (r.extra && !r.extra->empty() && !write(r.extra->data(), r.extra->size())) return BuildStatus::IoError;
    if (!r.comment.empty() && !write(r.comment.data(), r.comment.size())) return BuildStatus::IoError;
  }
  const int64_t end = position();
  if (end < start || end - start > kMaxRecordOffset) return BuildStatus::IoError;
  EndRecord rec;
  rec.entriesOnDisk = rec.totalEntries = static_cast<uint16_t>(records_.size());
  rec.directorySize = static_cast<uint32_t>(end - start);
  rec.directoryOffset = static_cast<uint32_t>(start);
  rec.commentLength = static_cast<uint16_t>(archiveComment.size());
  const auto bytes = encodeEndRecord(rec);
  if (!write(bytes.data(), bytes.size())) return BuildStatus::IoError;
  if (!archiveComment.empty() && !write(archiveComment.data(), archiveComment.size())) return BuildStatus::IoError;
  // The file must be on the medium before it takes the archive's name, so
  // that a crash after the rename never finds a file with missing data.
  if (!file_.sync()) return BuildStatus::IoError;
  file_.close();
  return BuildStatus::Ok;
}

std::string ArchiveBuilder::release() {
  file_.close();
  return std::exchange(path_, std::string());
}

void ArchiveBuilder::discard() {
  file_.close();
  if (!path_.empty()) removeFile(path_);
  path_.clear();
}

}  // namespace vz::engine
