// decodeEntryToBuffer: the deflate methods through inflateFlat, straight
// into the caller's buffer; the others through the windowed decoders, whose
// flushes are copied into the buffer.
#include "control/engine/decode/decode_entry_flat.h"

#include <cstring>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/inflate_flat.h"

namespace vz::engine {
namespace {

// Copies each flush into the caller's buffer; the limit (the buffer's size)
// is enforced by DecodeOutput.
class BufferOutput final : public DecodeOutput {
 public:
  explicit BufferOutput(uint8_t* out) : out_(out) {}

 protected:
  bool write(const uint8_t* data, size_t count) override {
    std::memcpy(out_ + written_, data, count);
    written_ += count;
    return true;
  }

 private:
  uint8_t* out_;        // the caller's buffer (not owned)
  size_t written_ = 0;  // bytes copied so far
};

}  // namespace

DecodeStatus decodeEntryToBuffer(int method, uint16_t generalPurposeFlags, DecodeInput& input, uint8_t* out,
                                 size_t size, size_t& produced, const DecodeHooks* hooks) {
  if (method == 8 || method == 9) {
    return inflateFlat(input, out, size, produced, method == 9 ? DeflateVariant::Deflate64 : DeflateVariant::Deflate,
                       hooks);
  }
  BufferOutput output(out);
  output.setLimit(size);
  DecodeStatus status = decodeEntryData(method, generalPurposeFlags, size, input, output, hooks);
  produced = static_cast<size_t>(output.total());
  return status;
}

}  // namespace vz::engine
