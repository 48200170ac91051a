// "Recover Password": finding the password of a ZIP entry that carries the
// traditional encryption, by trying candidates.
//
// What is known without the password: the entry's 12-byte encryption
// header. Its last byte, after decryption with the right password, is the
// check byte the writer put there:
//   flag bit 3 clear   the CRC-32's high byte (bits 24-31);
//   flag bit 3 set     the high byte of the DOS time (bits 8-15), the
//                      writer's choice when it did not know the CRC yet -
//                      some writers still use the CRC byte with bit 3, so
//                      both bytes are accepted for such entries.
// One wrong candidate in 256 (two in 256 with bit 3) passes that check, so
// a candidate that passes is confirmed by decrypting and decoding the whole
// entry through the engine (its entry input, the decoders) and comparing
// the CRC-32 of the result with the directory's. Entries of a method the
// engine cannot decode are taken on the header check alone (the result
// says it was not confirmed).
//
// Order of candidates: every line of the word list (one word a line, a
// trailing CR dropped, empty lines skipped), then every string over the
// alphabet from minLength to maxLength characters, shortest first.
//
// Speed: per candidate the keys come from the password, then 11 header
// bytes are decrypted and the 12th compared (no allocation, no file
// access). A candidate that passes is decoded from the entry's first 4 MB,
// kept in memory and decrypted a kilobyte at a time, so a wrong one costs
// the few bytes the decoder needs to reject it; only an entry longer than
// that whose beginning decodes cleanly is read on from the file. Brute force keeps the keys of every prefix, so the next string
// of a length costs one key update for its last character plus the header.
// The brute-force space is dealt out by first character to several worker
// threads; the caller's thread meanwhile reports progress every few
// hundredths of a second and watches the stop flag (the window pumps its
// events in the progress callback, so Stop reaches the run). The word list
// is tried on the caller's thread itself, reporting every few thousand
// words.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/format/zip_crypto.h"

namespace vz::manager {

enum class RecoveryStatus : uint8_t {
  Found,          // the password is in the result
  NotFound,       // every candidate was tried
  Stopped,        // the stop flag ended the run
  NotZip,         // the archive cannot be read as a ZIP archive
  NoSuchEntry,    // no entry at that index
  NotEncrypted,   // the entry has no traditional encryption
  ReadError,      // the entry's header could not be read
  WordListError,  // the word list cannot be opened
  NothingToTry,   // neither a word list nor an alphabet with a length
};

// The text the window shows for a status.
const char* recoveryStatusText(RecoveryStatus status);

// One entry with traditional encryption.
struct EncryptedEntry {
  size_t index = 0;               // position in the central directory, from 0
  std::string name;               // stored name as UTF-8, "/" separators
  uint16_t flags = 0;             // the local header's general-purpose flags
  uint16_t method = 0;            // compression method
  uint16_t dosTime = 0;           // DOS modification time
  uint32_t crc = 0;               // CRC-32 of the plain data
  uint32_t compressedSize = 0;    // encryption header included
  uint32_t uncompressedSize = 0;  // plain bytes
};

// The entries of an archive with traditional encryption (flag bit 0; not
// the strong-encryption bit 6, not AES's method 99, not folders). status
// (may be null) gets NotZip when the archive cannot be read, else Found.
std::vector<EncryptedEntry> listEncryptedEntries(const std::string& archivePath, RecoveryStatus* status = nullptr);

struct RecoveryOptions {
  std::string wordListPath;  // empty: no word list
  std::string alphabet;      // empty: no brute force (repeated characters count once)
  int minLength = 1;         // brute-force lengths, inclusive
  int maxLength = 0;
  unsigned threads = 0;  // brute-force workers; 0: one per processor
};

struct RecoveryProgress {
  int phase = 0;        // 0 word list, 1 brute force
  uint64_t tried = 0;   // candidates tried so far (both phases)
  double fraction = 0;  // of the current phase done, 0..1
  std::string current;  // a candidate being tried
};

struct RecoveryResult {
  RecoveryStatus status = RecoveryStatus::NotFound;
  std::string password;       // when Found
  bool confirmed = false;     // the CRC of the decoded entry agreed
  uint64_t tried = 0;         // candidates tried
  uint64_t headerPasses = 0;  // candidates that passed the header check
};

using RecoveryProgressFn = std::function<void(const RecoveryProgress&)>;

class PasswordRecovery {
 public:
  // Reads entry entryIndex (a directory index, as EncryptedEntry::index)
  // of the archive: its records and its encryption header.
  RecoveryStatus open(const std::string& archivePath, size_t entryIndex);
  const EncryptedEntry& entry() const { return entry_; }

  // The header check alone (fast, about 1 in 128 or 256 false passes).
  bool passesHeaderCheck(std::string_view candidate) const;
  // The full test: header check, then decoding and the CRC.
  bool confirms(std::string_view candidate) const;

  // Tries the candidates of options (order above). progress may be empty;
  // stop may be null.
  RecoveryResult run(const RecoveryOptions& options, const RecoveryProgressFn& progress, const std::atomic<bool>* stop);

  // Number of brute-force candidates (saturating at UINT64_MAX).
  static uint64_t bruteForceCount(size_t alphabetSize, int minLength, int maxLength);

 private:
  bool headerCheckWithKeys(engine::ZipKeys keys) const;
  bool decodeAndCheck(const engine::ZipKeys& keys) const;
  // A candidate whose header check passed: confirmed, or taken as found for
  // an entry that cannot be decoded.
  bool acceptAfterHeader(const engine::ZipKeys& keysAfterPassword, bool& confirmed) const;

  std::string path_;             // the archive
  EncryptedEntry entry_;         // the entry under test
  int64_t dataOffset_ = 0;       // file position of the encryption header
  std::vector<uint8_t> prefix_;  // the first compressed bytes behind the header (at most 4 MB)
  uint8_t header_[12] = {};      // the encryption header as stored
  uint8_t checkByte_ = 0;        // expected decrypted byte 12
  int checkByteAlt_ = -1;        // a second accepted value (bit 3 entries), -1 none
  bool decodable_ = false;       // the engine can decode the entry's method
  bool open_ = false;            // open() succeeded
};

}  // namespace vz::manager
