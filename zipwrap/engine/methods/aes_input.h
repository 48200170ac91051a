// Decryption of AES-encrypted entries as an input in front of any decoder.
//
// AesDecryptInput reads the entry's stored bytes (salt, verifier, encrypted
// data, code: aes_extra.h) from the raw input and hands the decoder the
// decrypted data, span by span; the decoder cannot tell it from a plain
// entry's input. Its count is the encrypted data's length, so the decoder
// never sees the code. The code is computed on the fly over the encrypted
// bytes as they pass; authenticate() reads whatever the decoder left and
// compares the stored code.
//
//   raw input ─▶ [salt|verifier] open(password)
//                [encrypted data] ─ HMAC ─ AES-CTR ─▶ decoder ─▶ output
//                [code]           authenticate()
//
// decodeAesEntry puts the pieces together for one entry: it opens, decodes
// with the real method (the engine's or a modern one) and authenticates.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"
#include "zipwrap/engine/methods/aes_extra.h"
#include "zipwrap/engine/methods/modern_methods.h"

namespace vz::zipwrap {

class AesCtr;
class HmacSha1;

enum class AesOpenStatus : uint8_t {
  Ok,             // the password fits the verifier; decrypted data follows
  WrongPassword,  // the verifier does not match
  BadData,        // fewer stored bytes than salt, verifier and code, or a bad strength
  NoMemory,       // libcrypto could not set the cipher or the code up
};

class AesDecryptInput final : public engine::DecodeInput {
 public:
  // raw: the entry's stored bytes from their first (its count is the entry's
  // compressed size); strength from the extra field.
  AesDecryptInput(engine::DecodeInput& raw, uint8_t strength);
  ~AesDecryptInput() override;

  // Reads the salt and the verifier and derives the keys. No data comes
  // before it returned Ok.
  [[nodiscard]] AesOpenStatus open(std::string_view password);
  // After decoding: runs the code over the encrypted bytes not yet fetched,
  // reads the stored code and compares. False on a mismatch, when the bytes
  // end early, or when the input was never opened.
  [[nodiscard]] bool authenticate();

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  // Largest span decrypted at once.
  static constexpr size_t kSpan = 16384;

  engine::DecodeInput& raw_;         // the stored bytes
  uint8_t strength_;                 // 1 to 3
  uint64_t dataLeft_;                // encrypted bytes not yet taken from raw_
  bool sizeOk_;                      // raw_ holds at least the overhead
  std::unique_ptr<AesCtr> cipher_;   // set by open()
  std::unique_ptr<HmacSha1> code_;   // set by open()
  std::unique_ptr<uint8_t[]> span_;  // the decrypted span handed out
};

// The verdict on one AES entry.
struct AesDecodeResult {
  // The password did not fit the verifier: nothing was decoded (status is
  // then BadData so that a caller reading only status fails the entry).
  bool wrongPassword = false;
  // The decoder's status; BadData when the stored bytes are too short or the
  // authentication code does not match (checked when decoding succeeded);
  // UnsupportedMethod when the real method is neither the engine's nor one
  // of the modern ones (nothing read).
  engine::DecodeStatus status = engine::DecodeStatus::Ok;
};

// Decrypts, decodes and authenticates an entry of method 99: raw holds its
// stored bytes, info comes from its extra field, flags and uncompressedSize
// from its header. The CRC is the caller's to check, when
// aesEntryHasCrc(info).
[[nodiscard]] AesDecodeResult decodeAesEntry(const AesEntryInfo& info, std::string_view password,
                                             uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                             engine::DecodeInput& raw, engine::DecodeOutput& output,
                                             const engine::DecodeHooks* hooks = nullptr,
                                             const ModernLimits& limits = ModernLimits{});

}  // namespace vz::zipwrap
