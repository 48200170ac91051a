// A decoder input that undoes ARC's encryption of an entry on the way to
// the decoder: every byte of the packed data is XORed with the next byte of
// the password, which starts again at the entry's first byte and repeats.
// (The ARC program upper-cases the password it is given.) Nothing in the
// header marks an encrypted entry; it is known only by the CRC that comes
// out wrong without the password.
#pragma once

#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

class ArcKeyInput final : public engine::DecodeInput {
 public:
  // inner: the packed bytes (not owned); key: not empty.
  ArcKeyInput(engine::DecodeInput& inner, std::string key)
      : DecodeInput(inner.remaining() + inner.available()), inner_(inner), key_(std::move(key)) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  engine::DecodeInput& inner_;
  std::string key_;
  size_t at_ = 0;                // the key byte for the next data byte
  std::vector<uint8_t> buffer_;  // the span handed out last, decrypted
};

}  // namespace vz::readers::codecs
