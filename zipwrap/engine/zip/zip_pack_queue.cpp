// The packing jobs and their queue (see zip_pack_queue.h).
#include "zipwrap/engine/zip/zip_pack_queue.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "control/engine/format/crc32.h"
#include "platform/file.h"
#include "platform/tempname.h"
#include "zipwrap/engine/zip/zip_compress.h"

namespace vz::zipwrap {
namespace {

// The fixed cost of a job packed through a spool file: its read and write
// buffers, not its size.
constexpr uint64_t kSpoolJobCost = 1ull << 20;

// Reads up to size bytes of a file; false when it cannot be opened or read.
bool readUpTo(const std::string& native, uint64_t size, std::vector<uint8_t>& out) {
  File f;
  if (!f.open(native, File::Mode::Read)) return false;
  out.resize(static_cast<size_t>(size));
  size_t got = 0;
  while (got < out.size()) {
    const int64_t n = f.read(out.data() + got, out.size() - got);
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  out.resize(got);  // a file that shrank meanwhile is stored as it now is
  return true;
}

// Reads a whole open file through the CRC; false on a read error.
bool crcOfFile(File& f, uint64_t& length, uint32_t& crc, const std::function<void(uint64_t)>& progress) {
  std::vector<uint8_t> buf(1 << 16);
  length = 0;
  crc = 0;
  for (;;) {
    const int64_t n = f.read(buf.data(), buf.size());
    if (n < 0) return false;
    if (n == 0) return true;
    crc = engine::crc32Update(crc, buf.data(), static_cast<size_t>(n));
    length += static_cast<uint64_t>(n);
    if (progress) progress(length);
  }
}

PackedData packInMemory(const PackJob& job, EntryCompressor& compressor,
                        const std::function<void(uint64_t)>& progress) {
  PackedData out;
  std::vector<uint8_t> data;
  if (!readUpTo(job.native, job.size, data)) {
    out.sourceFailed = true;
    return out;
  }
  out.kind = PackedKind::Memory;
  out.rawSize = data.size();
  if (job.level > 0 && !data.empty()) {
    engine::MemoryDeflateInput in(data);
    engine::VectorDeflateOutput packed;
    packed.bytes.reserve(data.size() / 2);
    const CompressOutcome r = compressor.compress(job.method, job.level, in, packed, progress);
    if (!r.outputError && !r.failed && r.compressedSize < data.size()) {
      out.crc32 = r.crc32;
      out.method = job.method;
      out.bytes = std::move(packed.bytes);
      out.packedSize = out.bytes.size();
      return out;
    }
  }
  out.crc32 = engine::crc32Update(0, data.data(), data.size());
  out.method = 0;
  out.packedSize = data.size();
  out.bytes = std::move(data);
  if (progress) progress(out.rawSize);
  return out;
}

PackedData packThroughSpool(const PackJob& job, const std::string& spoolFolder, EntryCompressor& compressor,
                            const std::function<void(uint64_t)>& progress) {
  PackedData out;
  File in;
  if (!in.open(job.native, File::Mode::Read)) {
    out.sourceFailed = true;
    return out;
  }
  if (job.level == 0) {
    if (!crcOfFile(in, out.rawSize, out.crc32, progress)) {
      out.sourceFailed = true;
      return out;
    }
    out.kind = PackedKind::FromSource;
    out.packedSize = out.rawSize;
    return out;
  }
  const std::string spool = getTempFileName(spoolFolder, "ZSP");
  File sf;
  if (spool.empty() || !sf.open(spool, File::Mode::ReadWrite)) {
    out.error = errno ? errno : EIO;
    if (!spool.empty()) removeFile(spool);
    return out;
  }
  engine::FileDeflateInput fin(in);
  engine::FileDeflateOutput fout(sf);
  const CompressOutcome r = compressor.compress(job.method, job.level, fin, fout, progress);
  const int writeErrno = errno;
  sf.close();
  if (r.failed) {
    // The method's library refused: the file is stored from its source.
    removeFile(spool);
    if (!in.seek(0) || !crcOfFile(in, out.rawSize, out.crc32, progress)) {
      out.sourceFailed = true;
      return out;
    }
    out.kind = PackedKind::FromSource;
    out.packedSize = out.rawSize;
    return out;
  }
  out.rawSize = r.bytesRead;
  out.crc32 = r.crc32;
  if (r.outputError) {
    removeFile(spool);
    out.error = writeErrno ? writeErrno : EIO;
    return out;
  }
  if (r.compressedSize < r.bytesRead) {
    out.kind = PackedKind::Spool;
    out.method = job.method;
    out.spoolPath = spool;
    out.packedSize = r.compressedSize;
    return out;
  }
  removeFile(spool);
  out.kind = PackedKind::FromSource;
  out.packedSize = out.rawSize;
  return out;
}

PackedData packOne(const PackJob& job, const std::string& spoolFolder, EntryCompressor& compressor,
                   const std::function<void(uint64_t)>& progress) {
  if (job.size <= kInMemoryLimit) return packInMemory(job, compressor, progress);
  return packThroughSpool(job, spoolFolder, compressor, progress);
}

}  // namespace

unsigned packWorkerCount() {
  if (const char* v = std::getenv("VZ_THREADS"); v && *v) {
    const long n = std::strtol(v, nullptr, 10);
    return n <= 1 ? 0u : static_cast<unsigned>(std::min(n, 64L));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores <= 1 ? 0u : cores;
}

PackQueue::PackQueue(std::vector<PackJob> jobs, unsigned workers, std::string spoolFolder)
    : jobs_(std::move(jobs)), spoolFolder_(std::move(spoolFolder)) {
  budget_ = std::max<uint64_t>(64ull << 20, static_cast<uint64_t>(workers) * 3 * kInMemoryLimit);
  results_.resize(jobs_.size());
  done_.assign(jobs_.size(), 0);
  taken_.assign(jobs_.size(), 0);
  progress_.assign(jobs_.size(), 0);
  workers = std::min<unsigned>(workers, static_cast<unsigned>(jobs_.size()));
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { workerLoop(); });
}

PackQueue::~PackQueue() {
  stop();
  for (std::thread& t : workers_) t.join();
  for (size_t i = 0; i < results_.size(); ++i)
    if (!taken_[i] && !results_[i].spoolPath.empty()) removeFile(results_[i].spoolPath);
}

void PackQueue::stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  workReady_.notify_all();
}

uint64_t PackQueue::costOf(size_t index) const {
  const uint64_t size = jobs_[index].size;
  return size <= kInMemoryLimit ? 2 * size + 4096 : kSpoolJobCost;
}

void PackQueue::workerLoop() {
  EntryCompressor compressor;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    workReady_.wait(lock, [&] {
      return stopping_ || next_ >= jobs_.size() || inFlight_ == 0 || inFlight_ + costOf(next_) <= budget_;
    });
    if (stopping_ || next_ >= jobs_.size()) return;
    const size_t index = next_++;
    inFlight_ += costOf(index);
    lock.unlock();
    uint64_t reported = 0;
    auto progress = [&](uint64_t bytes) {
      if (bytes < reported + kProgressStep) return;
      reported = bytes;
      std::lock_guard<std::mutex> g(mutex_);
      progress_[index] = bytes;
      ++progressEpoch_;
      jobChanged_.notify_all();
    };
    PackedData packed = packOne(jobs_[index], spoolFolder_, compressor, progress);
    lock.lock();
    results_[index] = std::move(packed);
    done_[index] = 1;
    jobChanged_.notify_all();
  }
}

PackedData PackQueue::take(size_t index, const std::function<void(uint64_t)>& progress) {
  if (workers_.empty()) {
    if (!inline_) inline_ = std::make_unique<EntryCompressor>();
    uint64_t reported = 0;
    auto step = [&](uint64_t bytes) {
      if (bytes < reported + kProgressStep) return;
      reported = bytes;
      if (progress) progress(bytes);
    };
    taken_[index] = 1;
    return packOne(jobs_[index], spoolFolder_, *inline_, step);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  uint64_t seenEpoch = progressEpoch_;
  uint64_t seenBytes = 0;
  while (!done_[index]) {
    jobChanged_.wait(lock, [&] { return done_[index] || progressEpoch_ != seenEpoch; });
    seenEpoch = progressEpoch_;
    if (!done_[index] && progress_[index] != seenBytes) {
      seenBytes = progress_[index];
      lock.unlock();
      if (progress) progress(seenBytes);
      lock.lock();
    }
  }
  taken_[index] = 1;
  inFlight_ -= costOf(index);
  workReady_.notify_all();
  return std::move(results_[index]);
}

}  // namespace vz::zipwrap
