// One entry's data decoded and checked: into an output file, into memory
// (a link's target), or nowhere but the CRC (testing).
//
// Paths:
//   flat     methods the control's decoders know, deflate64 included
//            (decode_entry_extended.h), with a declared size the
//            compressed bytes can plausibly produce: the
//            whole output in one place, decodeEntryToBuffer writing straight
//            into it (a large output file mapped after its blocks are
//            reserved; a reused memory block for small files, written at
//            once, and when testing);
//   stream   everything else (modern methods through decodeModernMethod,
//            an empty entry, a size no mapping should be trusted with, a file
//            system that cannot reserve blocks): decoded through a window and
//            written (or only checked) as it comes, the output limited to the
//            declared size.
// Either way the verdict is the same rule: the decoder's status, then
// exactly the declared size produced, then the CRC-32.
//
// Input: the entry's compressed bytes lie in the mapped archive; encrypted
// ones are decrypted block by block with the keys the password check left.
//
// AES entries (method 99): the job carries an AesEntrySource that the
// password loop has already opened (salt read, keys derived, verifier
// matched), so no output exists before the password is known to fit. The
// data is decoded with the method of the 0x9901 field through the same
// paths, then the authentication code is checked (a mismatch is
// CorruptData), and the CRC-32 only for AE-1 entries (aes_extra.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/format/zip_crypto.h"
#include "zipwrap/engine/methods/aes_input.h"
#include "zipwrap/engine/unzip/reader_archive.h"

namespace vz::zipwrap {

enum class EntryVerdict {
  Ok,
  UnknownMethod,  // no decoder for the method
  CrcError,       // decoded to its size, CRC-32 wrong
  CorruptData,    // the decoder refused the data, or the size came out wrong
  Cancelled,      // the cancel check said stop
  NoMemory,       // a decoder's tables or the output could not be allocated
  WriteFailed,    // the output file could not take the bytes (error tells why)
};

// The stored bytes of an AES entry behind their decryption, opened with one
// password after another until one fits; the decoder then reads from it.
class AesEntrySource {
 public:
  AesEntrySource(std::span<const uint8_t> stored, const AesEntryInfo& info);
  ~AesEntrySource();
  AesEntrySource(const AesEntrySource&) = delete;
  AesEntrySource& operator=(const AesEntrySource&) = delete;

  // Starts over at the first stored byte: reads the salt and the verifier
  // and derives the keys from password. Ok: the decrypted data follows.
  [[nodiscard]] AesOpenStatus open(std::string_view password);
  const AesEntryInfo& info() const { return info_; }

  struct State;  // the raw input and the decrypting input over it
  State* state() const { return state_.get(); }

 private:
  std::span<const uint8_t> stored_;  // salt, verifier, encrypted data and code
  AesEntryInfo info_;                // strength, version and real method
  std::unique_ptr<State> state_;     // set by open()
};

struct DecodeJob {
  const ReaderEntry* entry = nullptr;     // sizes, method, flags, CRC
  std::span<const uint8_t> data;          // compressed bytes, behind any encryption header
  const engine::ZipKeys* keys = nullptr;  // keys ready for the data; null: not encrypted
  // An AES entry's source, opened; data and keys are then not used.
  AesEntrySource* aes = nullptr;
  // Told the percentage of the compressed bytes consumed (0..99) as it
  // grows; may be empty.
  std::function<void(uint8_t)> progress;
  // Polled between blocks; true stops decoding with Cancelled.
  std::function<bool()> cancelled;
};

// Whether a method can be decoded at all (the control's or a modern one);
// for an AES entry, ask about the method of its 0x9901 field.
bool canDecodeMethod(int method);

// Decodes into fd (an empty, new file opened for reading and writing);
// scratch is reused between calls for small files. On WriteFailed, error
// holds errno.
EntryVerdict decodeIntoFile(const DecodeJob& job, int fd, std::vector<uint8_t>& scratch, int& error);
// Decodes and checks only; scratch is reused between calls.
EntryVerdict decodeAndCheck(const DecodeJob& job, std::vector<uint8_t>& scratch);
// Decodes into out (entries of at most limit bytes; larger: CorruptData).
EntryVerdict decodeToString(const DecodeJob& job, size_t limit, std::string& out);

}  // namespace vz::zipwrap
