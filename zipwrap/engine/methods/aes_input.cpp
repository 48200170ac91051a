// The decrypting input of AES entries (see aes_input.h).
#include "zipwrap/engine/methods/aes_input.h"

#include <algorithm>
#include <new>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/decode_entry_extended.h"
#include "zipwrap/engine/methods/aes_crypt.h"

namespace vz::zipwrap {

namespace {

// All stored bytes of the entry still to come from raw.
uint64_t storedBytes(const engine::DecodeInput& raw) { return raw.available() + raw.remaining(); }

uint64_t dataBytes(const engine::DecodeInput& raw, uint8_t strength) {
  const uint64_t all = storedBytes(raw);
  const uint64_t overhead = aesOverheadBytes(strength);
  return all >= overhead ? all - overhead : 0;
}

// Copies exactly n bytes from in; false when it ends first.
bool readExact(engine::DecodeInput& in, uint8_t* out, size_t n) {
  while (n > 0) {
    if (in.available() == 0 && !in.refill()) return false;
    const size_t take = std::min(n, in.available());
    std::copy_n(in.data(), take, out);
    in.consume(take);
    out += take;
    n -= take;
  }
  return true;
}

bool validStrength(uint8_t strength) { return strength >= 1 && strength <= 3; }

}  // namespace

AesDecryptInput::AesDecryptInput(engine::DecodeInput& raw, uint8_t strength)
    : DecodeInput(validStrength(strength) ? dataBytes(raw, strength) : 0),
      raw_(raw),
      strength_(strength),
      dataLeft_(validStrength(strength) ? dataBytes(raw, strength) : 0),
      sizeOk_(validStrength(strength) && storedBytes(raw) >= aesOverheadBytes(strength)) {}

AesDecryptInput::~AesDecryptInput() = default;

AesOpenStatus AesDecryptInput::open(std::string_view password) {
  if (!sizeOk_) return AesOpenStatus::BadData;
  uint8_t header[16 + kAesVerifierBytes];
  const size_t headerBytes = aesHeaderBytes(strength_);
  if (!readExact(raw_, header, headerBytes)) return AesOpenStatus::BadData;
  const AesKeys keys = deriveAesKeys(strength_, password, {header, aesSaltBytes(strength_)});
  if (keys.keyBytes == 0) return AesOpenStatus::NoMemory;
  if (!aesVerifierMatches(keys, {header, headerBytes}, strength_)) return AesOpenStatus::WrongPassword;
  cipher_ = std::make_unique<AesCtr>(keys.encryption, keys.keyBytes);
  code_ = std::make_unique<HmacSha1>(keys.authentication, keys.keyBytes);
  span_.reset(new (std::nothrow) uint8_t[kSpan]);
  if (!cipher_->valid() || !code_->valid() || !span_) {
    cipher_.reset();
    return AesOpenStatus::NoMemory;
  }
  return AesOpenStatus::Ok;
}

size_t AesDecryptInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (!cipher_ || dataLeft_ == 0) return 0;
  if (raw_.available() == 0 && !raw_.refill()) return 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>({raw_.available(), maxBytes, kSpan, dataLeft_}));
  code_->update(raw_.data(), n);
  std::copy_n(raw_.data(), n, span_.get());
  cipher_->apply(span_.get(), n);
  raw_.consume(n);
  dataLeft_ -= n;
  *data = span_.get();
  return n;
}

bool AesDecryptInput::authenticate() {
  if (!cipher_) return false;
  while (dataLeft_ > 0) {
    if (raw_.available() == 0 && !raw_.refill()) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(raw_.available(), dataLeft_));
    code_->update(raw_.data(), n);
    raw_.consume(n);
    dataLeft_ -= n;
  }
  uint8_t stored[kAesCodeBytes];
  if (!readExact(raw_, stored, kAesCodeBytes)) return false;
  // The code is final once compared; a second call fails.
  const bool same = code_->matches(stored, kAesCodeBytes);
  cipher_.reset();
  return same;
}

AesDecodeResult decodeAesEntry(const AesEntryInfo& info, std::string_view password, uint16_t generalPurposeFlags,
                               uint64_t uncompressedSize, engine::DecodeInput& raw, engine::DecodeOutput& output,
                               const engine::DecodeHooks* hooks, const ModernLimits& limits) {
  AesDecodeResult result;
  const bool engineMethod = engine::isDecodableMethodExtended(info.method);
  if (!engineMethod && !isModernMethod(info.method)) {
    result.status = engine::DecodeStatus::UnsupportedMethod;
    return result;
  }
  AesDecryptInput input(raw, info.strength);
  switch (input.open(password)) {
    case AesOpenStatus::Ok:
      break;
    case AesOpenStatus::WrongPassword:
      result.wrongPassword = true;
      result.status = engine::DecodeStatus::BadData;
      return result;
    case AesOpenStatus::BadData:
      result.status = engine::DecodeStatus::BadData;
      return result;
    case AesOpenStatus::NoMemory:
      result.status = engine::DecodeStatus::NoMemory;
      return result;
  }
  result.status =
      engineMethod
          ? engine::decodeEntryDataExtended(info.method, generalPurposeFlags, uncompressedSize, input, output, hooks)
          : decodeModernMethod(info.method, generalPurposeFlags, uncompressedSize, input, output, hooks, limits);
  if (result.status == engine::DecodeStatus::Ok && !input.authenticate()) result.status = engine::DecodeStatus::BadData;
  return result;
}

}  // namespace vz::zipwrap
