// Decoding and checking one entry (paths and rules in reader_decode.h).
#include "zipwrap/engine/unzip/reader_decode.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/decode_entry_flat.h"
#include "control/engine/format/crc32.h"
#include "zipwrap/engine/methods/modern_methods.h"

namespace vz::zipwrap {

using engine::DecodeStatus;

namespace {

// Decrypted input is staged in blocks of this size.
constexpr size_t kDecryptBlock = 64 * 1024;
// Output of the streaming path is written in blocks of this size.
constexpr size_t kWriteBlock = 1024 * 1024;
// The most a byte of compressed data can stand for in any of the control's
// methods (deflate's longest match per code is about 1:1032; the legacy
// methods stay below), with slack for tiny entries. A declared size beyond
// that cannot be true, so it is never given a mapping of that size.
constexpr uint64_t kMaxExpansion = 1100;
constexpr uint64_t kExpansionSlack = 1 << 20;
// Files below this size are decoded into memory and written at once; larger
// ones are decoded straight into the mapped output file.
constexpr uint64_t kMinMappedSize = 1 << 20;
// Testing keeps an entry in memory up to this size, else streams it.
constexpr uint64_t kMaxTestBuffer = 64ull << 20;

// The entry's compressed bytes out of the mapping, decrypted when keys are
// given (on a copy: the mapping is read-only).
class SpanInput final : public engine::DecodeInput {
 public:
  SpanInput(std::span<const uint8_t> data, const engine::ZipKeys* keys)
      : DecodeInput(data.size()), data_(data), encrypted_(keys != nullptr) {
    if (keys) keys_ = *keys;
  }
  size_t consumedBytes() const { return offset_ - available(); }

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override {
    size_t n = std::min(maxBytes, data_.size() - offset_);
    if (n == 0) return 0;
    if (!encrypted_) {
      *data = data_.data() + offset_;
    } else {
      n = std::min(n, kDecryptBlock);
      if (!block_) block_.reset(new (std::nothrow) uint8_t[kDecryptBlock]);
      if (!block_) return 0;
      std::memcpy(block_.get(), data_.data() + offset_, n);
      engine::decryptBuffer(keys_, block_.get(), n);
      *data = block_.get();
    }
    offset_ += n;
    return n;
  }

 private:
  std::span<const uint8_t> data_;     // the compressed bytes (inside the mapping)
  bool encrypted_;                    // decrypt what is fetched
  engine::ZipKeys keys_;              // running keys of the decryption
  std::unique_ptr<uint8_t[]> block_;  // the decrypted block handed out
  size_t offset_ = 0;                 // bytes of data_ handed out so far
};

// The streaming path's output: a CRC over everything, and the bytes
// written to fd in large blocks (or dropped when fd is -1).
class StreamOutput final : public engine::DecodeOutput {
 public:
  explicit StreamOutput(int fd) : fd_(fd) {}
  bool finish() { return flushBlock(); }
  uint32_t crc() const { return crc_; }
  int error() const { return error_; }
  std::string* text = nullptr;  // when set, the bytes are appended here instead

 protected:
  bool write(const uint8_t* data, size_t count) override {
    crc_ = engine::crc32Update(crc_, data, count);
    if (text) {
      text->append(reinterpret_cast<const char*>(data), count);
      return true;
    }
    if (fd_ < 0) return true;
    if (block_.empty()) block_.reserve(kWriteBlock);
    while (count > 0) {
      const size_t n = std::min(count, kWriteBlock - block_.size());
      block_.insert(block_.end(), data, data + n);
      data += n;
      count -= n;
      if (block_.size() == kWriteBlock && !flushBlock()) return false;
    }
    return true;
  }

 private:
  bool flushBlock() {
    size_t done = 0;
    while (done < block_.size()) {
      const ssize_t w = ::write(fd_, block_.data() + done, block_.size() - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        error_ = w < 0 ? errno : ENOSPC;
        return false;
      }
      done += static_cast<size_t>(w);
    }
    block_.clear();
    return true;
  }

  int fd_;                      // the output file, -1: check only
  uint32_t crc_ = 0;            // CRC-32 of every byte taken
  std::vector<uint8_t> block_;  // bytes not yet written
  int error_ = 0;               // errno of the failed write
};

engine::DecodeHooks hooksFor(const DecodeJob& job, const SpanInput& input, uint8_t& last) {
  engine::DecodeHooks hooks;
  if (job.progress) {
    hooks.pump = [&job, &input, &last] {
      if (job.data.empty()) return;
      const uint64_t pct = static_cast<uint64_t>(input.consumedBytes()) * 100 / job.data.size();
      if (pct > last && pct < 100) {
        last = static_cast<uint8_t>(pct);
        job.progress(last);
      }
    };
  }
  if (job.cancelled) hooks.cancelled = job.cancelled;
  return hooks;
}

EntryVerdict verdictOf(DecodeStatus status, uint64_t produced, uint32_t crc, const ReaderEntry& e, bool sinkFailed) {
  switch (status) {
    case DecodeStatus::Ok:
      break;
    case DecodeStatus::Cancelled:
      return EntryVerdict::Cancelled;
    case DecodeStatus::NoMemory:
      return EntryVerdict::NoMemory;
    case DecodeStatus::UnsupportedMethod:
      return EntryVerdict::UnknownMethod;
    case DecodeStatus::OutputStopped:
      return sinkFailed ? EntryVerdict::WriteFailed : EntryVerdict::CorruptData;
    default:
      return EntryVerdict::CorruptData;
  }
  if (produced != e.uncompressedSize) return EntryVerdict::CorruptData;
  return crc == e.header.crc32 ? EntryVerdict::Ok : EntryVerdict::CrcError;
}

// Whether the flat path may take the entry.
bool flatFits(const DecodeJob& job) {
  const ReaderEntry& e = *job.entry;
  return engine::isDecodableMethod(e.header.method) && !isModernMethod(e.header.method) && e.uncompressedSize > 0 &&
         e.uncompressedSize <= job.data.size() * kMaxExpansion + kExpansionSlack;
}

EntryVerdict decodeFlat(const DecodeJob& job, uint8_t* out) {
  const ReaderEntry& e = *job.entry;
  SpanInput input(job.data, job.keys);
  uint8_t last = 0;
  const engine::DecodeHooks hooks = hooksFor(job, input, last);
  size_t produced = 0;
  const size_t size = static_cast<size_t>(e.uncompressedSize);
  const DecodeStatus s =
      engine::decodeEntryToBuffer(e.header.method, e.header.flags, input, out, size, produced, &hooks);
  const uint32_t crc = s == DecodeStatus::Ok && produced == size ? engine::crc32Update(0, out, size) : 0;
  return verdictOf(s, produced, crc, e, false);
}

EntryVerdict decodeStream(const DecodeJob& job, StreamOutput& output) {
  const ReaderEntry& e = *job.entry;
  SpanInput input(job.data, job.keys);
  uint8_t last = 0;
  const engine::DecodeHooks hooks = hooksFor(job, input, last);
  output.setLimit(e.uncompressedSize);
  DecodeStatus s;
  if (isModernMethod(e.header.method)) {
    s = decodeModernMethod(e.header.method, e.header.flags, e.uncompressedSize, input, output, &hooks);
  } else if (engine::isDecodableMethod(e.header.method)) {
    s = engine::decodeEntryData(e.header.method, e.header.flags, e.uncompressedSize, input, output, &hooks);
  } else {
    return EntryVerdict::UnknownMethod;
  }
  if (s == DecodeStatus::Ok && !output.finish()) return EntryVerdict::WriteFailed;
  return verdictOf(s, output.total(), output.crc(), e, output.sinkFailed());
}

}  // namespace

bool canDecodeMethod(int method) { return isModernMethod(method) || engine::isDecodableMethod(method); }

EntryVerdict decodeIntoFile(const DecodeJob& job, int fd, std::vector<uint8_t>& scratch, int& error) {
  error = 0;
  if (flatFits(job) && job.entry->uncompressedSize < kMinMappedSize) {
    // Small files: a mapping costs more than it saves; one write.
    const size_t size = static_cast<size_t>(job.entry->uncompressedSize);
    try {
      if (scratch.size() < size) scratch.resize(size);
    } catch (const std::bad_alloc&) {
      return EntryVerdict::NoMemory;
    }
    const EntryVerdict v = decodeFlat(job, scratch.data());
    if (v != EntryVerdict::Ok) return v;
    for (size_t done = 0; done < size;) {
      const ssize_t w = ::write(fd, scratch.data() + done, size - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        error = w < 0 ? errno : ENOSPC;
        return EntryVerdict::WriteFailed;
      }
      done += static_cast<size_t>(w);
    }
    return v;
  }
  if (flatFits(job)) {
    const size_t size = static_cast<size_t>(job.entry->uncompressedSize);
    const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (reserved == ENOSPC || reserved == EDQUOT || reserved == EFBIG) {
      error = reserved;
      return EntryVerdict::WriteFailed;
    }
    if (reserved == 0) {
      void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (map != MAP_FAILED) {
        const EntryVerdict v = decodeFlat(job, static_cast<uint8_t*>(map));
        ::munmap(map, size);
        return v;
      }
      if (::ftruncate(fd, 0) != 0) {
        error = errno;
        return EntryVerdict::WriteFailed;
      }
    }
  }
  StreamOutput output(fd);
  const EntryVerdict v = decodeStream(job, output);
  if (v == EntryVerdict::WriteFailed) error = output.error();
  return v;
}

EntryVerdict decodeAndCheck(const DecodeJob& job, std::vector<uint8_t>& scratch) {
  if (flatFits(job) && job.entry->uncompressedSize <= kMaxTestBuffer) {
    const size_t size = static_cast<size_t>(job.entry->uncompressedSize);
    try {
      if (scratch.size() < size) scratch.resize(size);
    } catch (const std::bad_alloc&) {
      return EntryVerdict::NoMemory;
    }
    return decodeFlat(job, scratch.data());
  }
  StreamOutput output(-1);
  return decodeStream(job, output);
}

EntryVerdict decodeToString(const DecodeJob& job, size_t limit, std::string& out) {
  out.clear();
  if (job.entry->uncompressedSize > limit) return EntryVerdict::CorruptData;
  StreamOutput output(-1);
  output.text = &out;
  return decodeStream(job, output);
}

}  // namespace vz::zipwrap
