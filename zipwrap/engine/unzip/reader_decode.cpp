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
#include <optional>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/decode_entry_extended.h"
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

// What one job's decoder reads, and the checks its entry takes after it:
// the plain or traditionally decrypted bytes (an input of its own), or an
// AES entry's opened source, with the method of its 0x9901 field, its code
// to authenticate and the CRC-32 only for AE-1.
class JobReader {
 public:
  explicit JobReader(const DecodeJob& job) : aes_(job.aes ? job.aes->state() : nullptr) {
    if (!aes_) own_.emplace(job.data, job.keys);
    method_ = job.aes ? job.aes->info().method : job.entry->header.method;
    checkCrc_ = !job.aes || aesEntryHasCrc(job.aes->info());
  }
  engine::DecodeInput& input();
  // The stored bytes taken so far, for the progress.
  const SpanInput& raw() const;
  int method() const { return method_; }
  bool checkCrc() const { return checkCrc_; }
  // After decoding: whether the authentication code matches (true without AES).
  bool authenticate();

 private:
  std::optional<SpanInput> own_;  // the input when the entry is not AES
  AesEntrySource::State* aes_;    // the AES entry's opened source, or null
  int method_ = 0;                // the method the data is decoded with
  bool checkCrc_ = true;          // whether the CRC-32 is compared
};

}  // namespace

// An AES source's inputs: the stored bytes, and their decryption over them.
struct AesEntrySource::State {
  State(std::span<const uint8_t> stored, uint8_t strength) : raw(stored, nullptr), input(raw, strength) {}
  SpanInput raw;          // salt, verifier, encrypted data and code, as stored
  AesDecryptInput input;  // the decrypted data read from raw
};

AesEntrySource::AesEntrySource(std::span<const uint8_t> stored, const AesEntryInfo& info)
    : stored_(stored), info_(info) {}
AesEntrySource::~AesEntrySource() = default;

AesOpenStatus AesEntrySource::open(std::string_view password) {
  state_.reset();
  std::unique_ptr<State> s(new (std::nothrow) State(stored_, info_.strength));
  if (!s) return AesOpenStatus::NoMemory;
  const AesOpenStatus status = s->input.open(password);
  if (status == AesOpenStatus::Ok) state_ = std::move(s);
  return status;
}

namespace {

engine::DecodeInput& JobReader::input() {
  if (aes_) return aes_->input;
  return *own_;
}

const SpanInput& JobReader::raw() const { return aes_ ? aes_->raw : *own_; }

bool JobReader::authenticate() { return !aes_ || aes_->input.authenticate(); }

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

// The verdict of the decoder's status and the size it produced.
EntryVerdict verdictOf(DecodeStatus status, uint64_t produced, const ReaderEntry& e, bool sinkFailed) {
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
  return produced == e.uncompressedSize ? EntryVerdict::Ok : EntryVerdict::CorruptData;
}

// The checks after a good decode: the authentication code, then the CRC-32.
EntryVerdict checkedVerdict(EntryVerdict v, JobReader& reader, uint32_t crc, const ReaderEntry& e) {
  if (v != EntryVerdict::Ok) return v;
  if (!reader.authenticate()) return EntryVerdict::CorruptData;
  if (reader.checkCrc() && crc != e.header.crc32) return EntryVerdict::CrcError;
  return EntryVerdict::Ok;
}

// The method a job is decoded with.
int methodOf(const DecodeJob& job) { return job.aes ? job.aes->info().method : job.entry->header.method; }

// Whether the flat path may take the entry.
bool flatFits(const DecodeJob& job) {
  const ReaderEntry& e = *job.entry;
  const int method = methodOf(job);
  return engine::isDecodableMethodExtended(method) && !isModernMethod(method) && e.uncompressedSize > 0 &&
         e.uncompressedSize <= job.data.size() * kMaxExpansion + kExpansionSlack;
}

EntryVerdict decodeFlat(const DecodeJob& job, uint8_t* out) {
  const ReaderEntry& e = *job.entry;
  JobReader reader(job);
  uint8_t last = 0;
  const engine::DecodeHooks hooks = hooksFor(job, reader.raw(), last);
  size_t produced = 0;
  const size_t size = static_cast<size_t>(e.uncompressedSize);
  const DecodeStatus s =
      engine::decodeEntryToBuffer(reader.method(), e.header.flags, reader.input(), out, size, produced, &hooks);
  const EntryVerdict v = verdictOf(s, produced, e, false);
  const uint32_t crc = v == EntryVerdict::Ok && reader.checkCrc() ? engine::crc32Update(0, out, size) : 0;
  return checkedVerdict(v, reader, crc, e);
}

EntryVerdict decodeStream(const DecodeJob& job, StreamOutput& output) {
  const ReaderEntry& e = *job.entry;
  JobReader reader(job);
  uint8_t last = 0;
  const engine::DecodeHooks hooks = hooksFor(job, reader.raw(), last);
  output.setLimit(e.uncompressedSize);
  const int method = reader.method();
  DecodeStatus s;
  if (isModernMethod(method)) {
    s = decodeModernMethod(method, e.header.flags, e.uncompressedSize, reader.input(), output, &hooks);
  } else if (engine::isDecodableMethodExtended(method)) {
    s = engine::decodeEntryDataExtended(method, e.header.flags, e.uncompressedSize, reader.input(), output, &hooks);
  } else {
    return EntryVerdict::UnknownMethod;
  }
  if (s == DecodeStatus::Ok && !output.finish()) return EntryVerdict::WriteFailed;
  return checkedVerdict(verdictOf(s, output.total(), e, output.sinkFailed()), reader, output.crc(), e);
}

}  // namespace

bool canDecodeMethod(int method) { return isModernMethod(method) || engine::isDecodableMethodExtended(method); }

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
