// ARJ's password garbling: each byte of an entry's packed data is XORed
// with the next password byte plus the modifier byte of the entry's header
// (byte 11 of the local header), the password repeated over the data from
// its first byte. The same operation garbles and ungarbles.
//
// ArjGarbledInput ungarbles another input on the way to a decoder (the
// decoders never see the garbling); arjGarble() applies it to a buffer (the
// tests' writer and the fuzzer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

class ArjGarbledInput final : public engine::DecodeInput {
 public:
  // inner: the garbled bytes (not owned); password must not be empty.
  ArjGarbledInput(engine::DecodeInput& inner, std::string password, uint8_t modifier)
      : DecodeInput(inner.remaining() + inner.available()),
        inner_(inner),
        password_(std::move(password)),
        modifier_(modifier) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  engine::DecodeInput& inner_;
  std::string password_;         // the password's bytes
  uint8_t modifier_;             // the header's modifier byte
  size_t index_ = 0;             // position in the password of the next byte
  std::vector<uint8_t> buffer_;  // the span handed out last, ungarbled
};

// Garbles (or ungarbles) size bytes in place, from password position index on.
void arjGarble(uint8_t* data, size_t size, const std::string& password, uint8_t modifier, size_t index = 0);

}  // namespace vz::readers::codecs
