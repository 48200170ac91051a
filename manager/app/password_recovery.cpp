// Password recovery over the engine: the directory reader finds the entry
// and its local header, zip_crypto turns candidates into keys, and the
// engine's entry input and decoders confirm a candidate by the CRC.
#include "manager/app/password_recovery.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "control/engine/common/unzip_state.h"
#include "control/engine/decode/decode_entry.h"
#include "control/engine/extract/extract_io.h"
#include "control/engine/format/crc32.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/read/directory_reader.h"

namespace vz::manager {

namespace {

using engine::ZipKeys;

// General-purpose flag bits this file looks at.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
// The method number of AES entries (their encryption is not this cipher).
constexpr uint16_t kMethodAes = 99;
// Fixed length of a central header in front of its name.
constexpr int64_t kCentralHeaderSize = 46;
// Candidates a worker tries between two updates of the shared counters.
constexpr uint64_t kBatch = 4096;
// How often the caller's thread reports while workers run.
constexpr auto kReportInterval = std::chrono::milliseconds(40);
// Most brute-force workers.
constexpr unsigned kMaxThreads = 64;
// Compressed bytes of the entry kept in memory for the confirmations; a
// longer entry whose first bytes decode cleanly is then read from the file.
constexpr size_t kMemoryPrefix = 4 * 1024 * 1024;
// Bytes decrypted per refill of the in-memory input: the first refill is
// small, since the decoder rejects most wrong passwords within a few bytes,
// and each further one doubles up to the largest.
constexpr size_t kFirstDecryptChunk = 32;
constexpr size_t kDecryptChunk = 16384;

// The entry's compressed bytes from memory, decrypted chunk by chunk. The
// input's count is the whole entry's, so running out of the prefix shows
// as failed().
class DecryptingInput final : public engine::DecodeInput {
 public:
  DecryptingInput(const std::vector<uint8_t>& prefix, uint64_t entryBytes, const ZipKeys& keys)
      : DecodeInput(entryBytes), prefix_(prefix), keys_(keys) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override {
    size_t n = std::min({maxBytes, prefix_.size() - offset_, chunkSize_});
    if (n == 0) return 0;
    chunkSize_ = std::min(chunkSize_ * 2, kDecryptChunk);
    std::copy_n(prefix_.data() + offset_, n, chunk_);
    engine::decryptBuffer(keys_, chunk_, n);
    offset_ += n;
    *data = chunk_;
    return n;
  }

 private:
  const std::vector<uint8_t>& prefix_;     // the encrypted bytes behind the header
  ZipKeys keys_;                           // the running keys
  size_t offset_ = 0;                      // bytes of prefix_ handed out
  size_t chunkSize_ = kFirstDecryptChunk;  // most bytes the next refill decrypts
  uint8_t chunk_[kDecryptChunk];           // the current decrypted chunk
};

// Decoded bytes into a CRC-32 only.
class CrcOutput final : public engine::DecodeOutput {
 public:
  uint32_t crc = 0;  // CRC-32 of every byte taken

 protected:
  bool write(const uint8_t* data, size_t count) override {
    crc = engine::crc32Update(crc, data, count);
    return true;
  }
};

// The stored name of a central entry, as UTF-8 with "/" separators.
std::string storedName(engine::DirectoryReader& reader, const engine::CentralEntry& e) {
  std::string raw(e.header.nameLength, '\0');
  if (!raw.empty() && reader.input().readAt(e.position + kCentralHeaderSize, raw.data(), raw.size()) !=
                          static_cast<int64_t>(raw.size()))
    return e.name;
  return engine::entryNameToUtf8(raw, e.header.flags);
}

bool isTraditionallyEncrypted(const engine::CentralHeader& h, const std::string& name) {
  if ((h.flags & kFlagEncrypted) == 0 || (h.flags & kFlagStrongEncryption) != 0) return false;
  if (h.method == kMethodAes) return false;
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return false;
  return h.compressedSize >= engine::kEncryptionHeaderSize;
}

EncryptedEntry entryOf(size_t index, std::string name, const engine::CentralHeader& h) {
  EncryptedEntry e;
  e.index = index;
  e.name = std::move(name);
  for (char& c : e.name)
    if (c == '\\') c = '/';
  e.flags = h.flags;
  e.method = h.method;
  e.dosTime = h.time;
  e.crc = h.crc32;
  e.compressedSize = h.compressedSize;
  e.uncompressedSize = h.uncompressedSize;
  return e;
}

// The characters of an alphabet, each once, in their first order.
std::string uniqueCharacters(const std::string& alphabet) {
  std::string out;
  bool seen[256] = {};
  for (char c : alphabet) {
    auto b = static_cast<uint8_t>(c);
    if (!seen[b]) {
      seen[b] = true;
      out += c;
    }
  }
  return out;
}

// What the brute-force workers and the caller's thread share.
struct BruteShared {
  std::atomic<bool> done{false};   // found, or stopped: every worker ends
  std::atomic<uint64_t> tried{0};  // candidates tried by all workers
  std::atomic<uint64_t> headerPasses{0};
  std::atomic<unsigned> running{0};  // workers not yet finished
  std::mutex mutex;                  // guards the fields below
  std::string current;               // a candidate lately tried
  bool found = false;                // a worker found the password
  std::string password;              // that password
  bool confirmed = false;            // its CRC check agreed
};

}  // namespace

const char* recoveryStatusText(RecoveryStatus status) {
  switch (status) {
    case RecoveryStatus::Found:
      return "The password was found.";
    case RecoveryStatus::NotFound:
      return "The password was not found among the candidates tried.";
    case RecoveryStatus::Stopped:
      return "The search was stopped.";
    case RecoveryStatus::NotZip:
      return "The archive could not be read as a ZIP archive.";
    case RecoveryStatus::NoSuchEntry:
      return "The archive has no such entry.";
    case RecoveryStatus::NotEncrypted:
      return "The entry is not protected by the traditional ZIP encryption.";
    case RecoveryStatus::ReadError:
      return "The entry's encryption header could not be read.";
    case RecoveryStatus::WordListError:
      return "The word list could not be opened.";
    case RecoveryStatus::NothingToTry:
      return "Choose a word list, or an alphabet and a maximum length.";
  }
  return "";
}

std::vector<EncryptedEntry> listEncryptedEntries(const std::string& archivePath, RecoveryStatus* status) {
  std::vector<EncryptedEntry> out;
  engine::UnzipState st;
  st.pump = false;
  engine::DirectoryReader reader(st);
  if (!reader.open(archivePath) || !engine::isReadable(reader.locateEndRecord())) {
    if (status) *status = RecoveryStatus::NotZip;
    return out;
  }
  size_t index = 0;
  engine::ReadStatus walked = reader.walk({}, [&](const engine::CentralEntry& e) {
    std::string name = storedName(reader, e);
    if (isTraditionallyEncrypted(e.header, name)) out.push_back(entryOf(index, std::move(name), e.header));
    ++index;
    return true;
  });
  if (status)
    *status = walked == engine::ReadStatus::NotZip && out.empty() ? RecoveryStatus::NotZip : RecoveryStatus::Found;
  return out;
}

RecoveryStatus PasswordRecovery::open(const std::string& archivePath, size_t entryIndex) {
  open_ = false;
  engine::UnzipState st;
  st.pump = false;
  engine::DirectoryReader reader(st);
  if (!reader.open(archivePath) || !engine::isReadable(reader.locateEndRecord())) return RecoveryStatus::NotZip;
  engine::CentralEntry wanted;
  std::string name;
  bool have = false;
  size_t index = 0;
  engine::ReadStatus walked = reader.walk({}, [&](const engine::CentralEntry& e) {
    if (index++ != entryIndex) return true;
    wanted = e;
    name = storedName(reader, e);
    have = true;
    return false;
  });
  if (!have) return walked == engine::ReadStatus::NotZip ? RecoveryStatus::NotZip : RecoveryStatus::NoSuchEntry;
  if (!isTraditionallyEncrypted(wanted.header, name)) return RecoveryStatus::NotEncrypted;

  engine::LocalEntry local;
  if (reader.readLocalHeader(wanted.header, local) == engine::ReadStatus::NotZip) return RecoveryStatus::ReadError;
  if (!reader.input().seek(local.dataOffset) || !reader.input().read(header_, sizeof header_))
    return RecoveryStatus::ReadError;
  const uint64_t dataBytes = wanted.header.compressedSize - engine::kEncryptionHeaderSize;
  prefix_.resize(static_cast<size_t>(std::min<uint64_t>(dataBytes, kMemoryPrefix)));
  if (!prefix_.empty() && !reader.input().read(prefix_.data(), prefix_.size())) return RecoveryStatus::ReadError;

  path_ = reader.archivePath();
  entry_ = entryOf(entryIndex, name, wanted.header);
  entry_.flags = local.header.flags;
  dataOffset_ = local.dataOffset;
  checkByte_ = static_cast<uint8_t>(entry_.crc >> 24);
  checkByteAlt_ = -1;
  if ((entry_.flags & kFlagDescriptor) != 0) {
    // The writer may not have known the CRC: its check byte is then the
    // time's high byte. Which one it used is not recorded, so take both.
    checkByteAlt_ = checkByte_;
    checkByte_ = static_cast<uint8_t>(entry_.dosTime >> 8);
  }
  decodable_ = engine::isDecodableMethod(entry_.method);
  open_ = true;
  return RecoveryStatus::Found;
}

// Assumes keys are the password's. The engine's header decryption keeps
// the keys in registers for the twelve bytes: one call per candidate.
bool PasswordRecovery::headerCheckWithKeys(ZipKeys keys) const {
  uint8_t header[engine::kEncryptionHeaderSize];
  std::copy(std::begin(header_), std::end(header_), header);
  engine::decryptHeader(keys, header);
  const int last = header[engine::kEncryptionHeaderSize - 1];
  return last == checkByte_ || last == checkByteAlt_;
}

bool PasswordRecovery::decodeAndCheck(const ZipKeys& keysAfterPassword) const {
  ZipKeys keys = keysAfterPassword;
  uint8_t header[engine::kEncryptionHeaderSize];
  std::copy(std::begin(header_), std::end(header_), header);
  engine::decryptHeader(keys, header);
  const uint64_t dataBytes = entry_.compressedSize - engine::kEncryptionHeaderSize;
  {
    DecryptingInput input(prefix_, dataBytes, keys);
    CrcOutput output;
    output.setLimit(entry_.uncompressedSize);
    engine::DecodeStatus s =
        engine::decodeEntryData(entry_.method, entry_.flags, entry_.uncompressedSize, input, output);
    if (prefix_.size() == dataBytes || !input.failed())
      return s == engine::DecodeStatus::Ok && output.total() == entry_.uncompressedSize && output.crc == entry_.crc;
    // The prefix decoded cleanly and ran out: the whole entry decides.
  }
  engine::ArchiveInput archive;
  if (!archive.open(path_)) return false;
  engine::EntryInput input(archive, dataOffset_ + static_cast<int64_t>(engine::kEncryptionHeaderSize),
                           entry_.compressedSize - engine::kEncryptionHeaderSize, &keys);
  if (!input.valid()) return false;
  CrcOutput output;
  output.setLimit(entry_.uncompressedSize);
  engine::DecodeStatus s = engine::decodeEntryData(entry_.method, entry_.flags, entry_.uncompressedSize, input, output);
  return s == engine::DecodeStatus::Ok && output.total() == entry_.uncompressedSize && output.crc == entry_.crc;
}

bool PasswordRecovery::acceptAfterHeader(const ZipKeys& keysAfterPassword, bool& confirmed) const {
  if (!decodable_) {
    confirmed = false;
    return true;
  }
  confirmed = decodeAndCheck(keysAfterPassword);
  return confirmed;
}

bool PasswordRecovery::passesHeaderCheck(std::string_view candidate) const {
  return open_ && headerCheckWithKeys(engine::initKeys(candidate));
}

bool PasswordRecovery::confirms(std::string_view candidate) const {
  if (!open_) return false;
  ZipKeys keys = engine::initKeys(candidate);
  bool confirmed = false;
  return headerCheckWithKeys(keys) && acceptAfterHeader(keys, confirmed) && confirmed;
}

uint64_t PasswordRecovery::bruteForceCount(size_t alphabetSize, int minLength, int maxLength) {
  if (alphabetSize == 0 || minLength < 1 || maxLength < minLength) return 0;
  uint64_t total = 0, power = 1;
  for (int len = 1; len <= maxLength; ++len) {
    if (power > UINT64_MAX / alphabetSize) return UINT64_MAX;
    power *= alphabetSize;
    if (len >= minLength) {
      if (total > UINT64_MAX - power) return UINT64_MAX;
      total += power;
    }
  }
  return total;
}

RecoveryResult PasswordRecovery::run(const RecoveryOptions& options, const RecoveryProgressFn& progress,
                                     const std::atomic<bool>* stop) {
  RecoveryResult result;
  if (!open_) {
    result.status = RecoveryStatus::NoSuchEntry;
    return result;
  }
  const std::string alphabet = uniqueCharacters(options.alphabet);
  const bool brute = !alphabet.empty() && options.minLength >= 1 && options.maxLength >= options.minLength;
  if (options.wordListPath.empty() && !brute) {
    result.status = RecoveryStatus::NothingToTry;
    return result;
  }
  auto stopRequested = [&] { return stop && stop->load(std::memory_order_relaxed); };

  // ---- the word list, on this thread ----
  if (!options.wordListPath.empty()) {
    std::ifstream in(options.wordListPath, std::ios::binary);
    if (!in) {
      result.status = RecoveryStatus::WordListError;
      return result;
    }
    in.seekg(0, std::ios::end);
    const double listSize = std::max<double>(1, static_cast<double>(in.tellg()));
    in.seekg(0);
    double bytesRead = 0;
    std::string word;
    while (std::getline(in, word)) {
      bytesRead += static_cast<double>(word.size() + 1);
      if (!word.empty() && word.back() == '\r') word.pop_back();
      if (word.empty()) continue;
      ++result.tried;
      ZipKeys keys = engine::initKeys(word);
      if (headerCheckWithKeys(keys)) {
        ++result.headerPasses;
        bool confirmed = false;
        if (acceptAfterHeader(keys, confirmed)) {
          result.status = RecoveryStatus::Found;
          result.password = word;
          result.confirmed = confirmed;
          return result;
        }
      }
      if (result.tried % kBatch == 0) {
        if (progress) progress({0, result.tried, std::min(1.0, bytesRead / listSize), word});
        if (stopRequested()) {
          result.status = RecoveryStatus::Stopped;
          return result;
        }
      }
    }
    if (progress) progress({0, result.tried, 1.0, word});
    if (stopRequested()) {
      result.status = RecoveryStatus::Stopped;
      return result;
    }
  }
  if (!brute) {
    result.status = RecoveryStatus::NotFound;
    return result;
  }

  // ---- brute force, on worker threads ----
  const size_t count = alphabet.size();
  unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<size_t>({threads, kMaxThreads, count}));
  const uint64_t total = bruteForceCount(count, options.minLength, options.maxLength);
  const uint64_t triedBefore = result.tried;
  BruteShared shared;
  shared.running = threads;

  // Worker t takes the strings whose first character has an index i with
  // i % threads == t, for every length in turn.
  auto worker = [&](unsigned t) {
    uint64_t local = 0;  // candidates not yet added to shared.tried
    std::string candidate;
    auto flush = [&] {
      shared.tried.fetch_add(local, std::memory_order_relaxed);
      local = 0;
      std::unique_lock<std::mutex> lock(shared.mutex, std::try_to_lock);
      if (lock.owns_lock()) shared.current = candidate;
    };
    // Tests the candidate whose keys are keys (the last character fed in).
    auto test = [&](const ZipKeys& keys) {
      if (!headerCheckWithKeys(keys)) return;
      shared.headerPasses.fetch_add(1, std::memory_order_relaxed);
      bool confirmed = false;
      if (!acceptAfterHeader(keys, confirmed)) return;
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (!shared.found) {
        shared.found = true;
        shared.password = candidate;
        shared.confirmed = confirmed;
      }
      shared.done = true;
    };
    for (int len = options.minLength; len <= options.maxLength && !shared.done; ++len) {
      candidate.assign(static_cast<size_t>(len), alphabet[0]);
      const size_t L = static_cast<size_t>(len);
      std::vector<ZipKeys> prefix(L);  // prefix[p]: keys after characters 0 .. p-1
      std::vector<size_t> index(L, 0);
      prefix[0] = ZipKeys{};
      for (size_t first = t; first < count && !shared.done; first += threads) {
        if (L == 1) {
          ZipKeys keys = prefix[0];
          candidate[0] = alphabet[first];
          engine::updateKeys(keys, static_cast<uint8_t>(candidate[0]));
          test(keys);
          if (++local >= kBatch) flush();
          continue;
        }
        // Characters 0 .. L-2 are an odometer (character 0 fixed to first);
        // the last character runs through the alphabet in the inner loop.
        index.assign(L, 0);
        index[0] = first;
        for (size_t p = 0; p + 1 < L; ++p) {
          candidate[p] = alphabet[index[p]];
          if (p + 1 < L) {
            prefix[p + 1] = prefix[p];
            engine::updateKeys(prefix[p + 1], static_cast<uint8_t>(candidate[p]));
          }
        }
        while (!shared.done) {
          const ZipKeys& base = prefix[L - 1];
          for (size_t c = 0; c < count; ++c) {
            ZipKeys keys = base;
            candidate[L - 1] = alphabet[c];
            engine::updateKeys(keys, static_cast<uint8_t>(alphabet[c]));
            test(keys);
            if (shared.done) break;
          }
          local += count;
          if (local >= kBatch) flush();
          // Next odometer position among characters 1 .. L-2.
          size_t p = L - 2;
          while (p >= 1 && ++index[p] == count) index[p--] = 0;
          if (p < 1) break;
          for (size_t q = p; q + 1 < L; ++q) {
            candidate[q] = alphabet[index[q]];
            prefix[q + 1] = prefix[q];
            engine::updateKeys(prefix[q + 1], static_cast<uint8_t>(candidate[q]));
          }
        }
      }
    }
    flush();
    shared.running.fetch_sub(1);
  };

  std::vector<std::thread> pool;
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker, t);
  auto report = [&] {
    if (!progress) return;
    uint64_t done = shared.tried.load(std::memory_order_relaxed);
    std::string current;
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      current = shared.current;
    }
    double fraction = total ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    progress({1, triedBefore + done, fraction, current});
  };
  while (shared.running.load() > 0) {
    std::this_thread::sleep_for(kReportInterval);
    report();
    if (stopRequested()) shared.done = true;
  }
  for (std::thread& th : pool) th.join();
  report();

  result.tried = triedBefore + shared.tried.load();
  result.headerPasses += shared.headerPasses.load();
  if (shared.found) {
    result.status = RecoveryStatus::Found;
    result.password = shared.password;
    result.confirmed = shared.confirmed;
  } else {
    result.status = stopRequested() ? RecoveryStatus::Stopped : RecoveryStatus::NotFound;
  }
  return result;
}

}  // namespace vz::manager
