// A decoder input that undoes the traditional ZIP encryption
// (control/engine/format/zip_crypto.h) of another input on the way to a
// decoder: BH's encrypted entries, whose 12-byte encryption header the
// caller has already checked and passed.
#pragma once

#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/format/zip_crypto.h"

namespace vz::readers::codecs {

class ZipCryptInput final : public engine::DecodeInput {
 public:
  // inner: the encrypted bytes behind the header (not owned); keys: as
  // tryPassword() left them after the header.
  ZipCryptInput(engine::DecodeInput& inner, const engine::ZipKeys& keys)
      : DecodeInput(inner.remaining() + inner.available()), inner_(inner), keys_(keys) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  engine::DecodeInput& inner_;
  engine::ZipKeys keys_;         // the cipher's running keys
  std::vector<uint8_t> buffer_;  // the span handed out last, decrypted
};

}  // namespace vz::readers::codecs
