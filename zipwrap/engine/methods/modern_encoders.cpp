// The modern methods' encoders (see modern_encoders.h).
//
// One driver serves the four libraries: it reads the input in 64 KB pieces
// (the CRC and the progress are taken here), hands each piece to the
// library's step, and writes the library's output whenever its 64 KB buffer
// is full and once more at the end. A library step takes what it can of the
// input span, fills what it can of the room, and says when the stream has
// ended (only asked once the input is exhausted).
#include "zipwrap/engine/methods/modern_encoders.h"

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "control/engine/format/crc32.h"
#include "platform/charcase.h"

namespace vz::zipwrap {
namespace {

constexpr size_t kPiece = 1 << 16;                  // input and output buffer size
constexpr uint32_t kLargestDictionary = 16u << 20;  // cap of the LZMA and xz dictionary
constexpr uint32_t kSmallestDictionary = 1u << 12;  // liblzma's smallest useful dictionary
constexpr uint8_t kLzmaVersionMajor = 9;            // the LZMA header's version bytes (informative only)
constexpr uint8_t kLzmaVersionMinor = 20;
constexpr uint16_t kFlagLzmaEndMarker = 0x0002;  // flags bit 1: the stream ends with a marker

int clampLevel(int level) { return std::clamp(level, 1, 9); }

// One library behind a single step.
class Encoder {
 public:
  virtual ~Encoder() = default;
  // False when the library failed. finish: no more input follows the span.
  // *ended: the stream is complete (all output produced).
  virtual bool step(const uint8_t* in, size_t inLen, bool finish, uint8_t* out, size_t room, size_t* consumed,
                    size_t* produced, bool* ended) = 0;
  // Bytes to write in front of the stream (the LZMA header).
  virtual std::vector<uint8_t> prologue() { return {}; }
};

class Bzip2Encoder final : public Encoder {
 public:
  explicit Bzip2Encoder(int level) { ready_ = BZ2_bzCompressInit(&s_, clampLevel(level), 0, 0) == BZ_OK; }
  ~Bzip2Encoder() override {
    if (ready_) BZ2_bzCompressEnd(&s_);
  }
  bool ready() const { return ready_; }
  bool step(const uint8_t* in, size_t inLen, bool finish, uint8_t* out, size_t room, size_t* consumed, size_t* produced,
            bool* ended) override {
    // The library counts in unsigned int; the pieces are far smaller.
    s_.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in));
    s_.avail_in = static_cast<unsigned>(inLen);
    s_.next_out = reinterpret_cast<char*>(out);
    s_.avail_out = static_cast<unsigned>(room);
    const int rc = BZ2_bzCompress(&s_, finish ? BZ_FINISH : BZ_RUN);
    *consumed = inLen - s_.avail_in;
    *produced = room - s_.avail_out;
    *ended = rc == BZ_STREAM_END;
    return rc == BZ_RUN_OK || rc == BZ_FINISH_OK || rc == BZ_STREAM_END;
  }

 private:
  bz_stream s_{};       // the library's state
  bool ready_ = false;  // init succeeded
};

// The dictionary of an LZMA or xz encoder for an input of length bytes.
uint32_t dictionaryFor(uint32_t preset, uint64_t length) {
  uint32_t dict = std::min(preset, kLargestDictionary);
  uint64_t fit = kSmallestDictionary;
  while (fit < length && fit < dict) fit <<= 1;
  return static_cast<uint32_t>(std::min<uint64_t>(dict, fit));
}

class LzmaEncoder final : public Encoder {
 public:
  // raw: method 14 (a raw LZMA1 stream with end marker); else an xz file.
  LzmaEncoder(bool raw, int level, uint64_t length) {
    if (lzma_lzma_preset(&options_, static_cast<uint32_t>(clampLevel(level)))) return;
    options_.dict_size = dictionaryFor(options_.dict_size, length);
    filters_[0] = {raw ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2, &options_};
    filters_[1] = {LZMA_VLI_UNKNOWN, nullptr};
    raw_ = raw;
    const lzma_ret rc =
        raw ? lzma_raw_encoder(&s_, filters_.data()) : lzma_stream_encoder(&s_, filters_.data(), LZMA_CHECK_CRC64);
    ready_ = rc == LZMA_OK;
  }
  ~LzmaEncoder() override { lzma_end(&s_); }
  bool ready() const { return ready_; }
  std::vector<uint8_t> prologue() override {
    if (!raw_) return {};
    std::vector<uint8_t> head(4 + 5);
    head[0] = kLzmaVersionMajor;
    head[1] = kLzmaVersionMinor;
    head[2] = 5;
    head[3] = 0;
    if (lzma_properties_encode(filters_.data(), head.data() + 4) != LZMA_OK) return {};
    return head;
  }
  bool step(const uint8_t* in, size_t inLen, bool finish, uint8_t* out, size_t room, size_t* consumed, size_t* produced,
            bool* ended) override {
    s_.next_in = in;
    s_.avail_in = inLen;
    s_.next_out = out;
    s_.avail_out = room;
    const lzma_ret rc = lzma_code(&s_, finish ? LZMA_FINISH : LZMA_RUN);
    *consumed = inLen - s_.avail_in;
    *produced = room - s_.avail_out;
    *ended = rc == LZMA_STREAM_END;
    return rc == LZMA_OK || rc == LZMA_STREAM_END;
  }

 private:
  lzma_stream s_ = LZMA_STREAM_INIT;      // the library's state
  lzma_options_lzma options_{};           // the preset, dictionary cut
  std::array<lzma_filter, 2> filters_{};  // the one filter and the terminator
  bool raw_ = false;                      // method 14
  bool ready_ = false;                    // the encoder was set up
};

class ZstdEncoder final : public Encoder {
 public:
  explicit ZstdEncoder(int level) : ctx_(ZSTD_createCCtx()) {
    static constexpr int kLevels[10] = {0, 1, 2, 3, 4, 5, 7, 11, 15, 19};
    ready_ = ctx_ != nullptr &&
             !ZSTD_isError(ZSTD_CCtx_setParameter(ctx_, ZSTD_c_compressionLevel, kLevels[clampLevel(level)])) &&
             !ZSTD_isError(ZSTD_CCtx_setParameter(ctx_, ZSTD_c_checksumFlag, 0));
  }
  ~ZstdEncoder() override { ZSTD_freeCCtx(ctx_); }
  bool ready() const { return ready_; }
  bool step(const uint8_t* in, size_t inLen, bool finish, uint8_t* out, size_t room, size_t* consumed, size_t* produced,
            bool* ended) override {
    ZSTD_inBuffer source{in, inLen, 0};
    ZSTD_outBuffer sink{out, room, 0};
    const size_t rc = ZSTD_compressStream2(ctx_, &sink, &source, finish ? ZSTD_e_end : ZSTD_e_continue);
    *consumed = source.pos;
    *produced = sink.pos;
    *ended = finish && !ZSTD_isError(rc) && rc == 0;
    return !ZSTD_isError(rc);
  }

 private:
  ZSTD_CCtx* ctx_;      // the library's state
  bool ready_ = false;  // created and configured
};

std::unique_ptr<Encoder> makeEncoder(int method, int level, uint64_t length) {
  switch (method) {
    case kMethodBzip2: {
      auto e = std::make_unique<Bzip2Encoder>(level);
      return e->ready() ? std::move(e) : nullptr;
    }
    case kMethodLzma:
    case kMethodXz: {
      auto e = std::make_unique<LzmaEncoder>(method == kMethodLzma, level, length);
      return e->ready() ? std::move(e) : nullptr;
    }
    case kMethodZstd: {
      auto e = std::make_unique<ZstdEncoder>(level);
      return e->ready() ? std::move(e) : nullptr;
    }
    default:
      return nullptr;
  }
}

}  // namespace

bool isModernEncoderMethod(int method) {
  return method == kMethodBzip2 || method == kMethodLzma || method == kMethodZstd || method == kMethodXz;
}

EncodeOutcome encodeModernMethod(int method, int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                                 const std::function<void(uint64_t)>& progress) {
  EncodeOutcome r;
  std::unique_ptr<Encoder> encoder = makeEncoder(method, level, input.length());
  if (!encoder) {
    r.failed = true;
    return r;
  }
  auto emit = [&](const uint8_t* data, size_t n) {
    if (n == 0 || r.outputError) return;
    if (!output.write(data, n)) r.outputError = true;
    r.compressedSize += n;
  };
  const std::vector<uint8_t> head = encoder->prologue();
  if (method == kMethodLzma && head.empty()) {
    r.failed = true;
    return r;
  }
  emit(head.data(), head.size());

  std::vector<uint8_t> in(kPiece), out(kPiece);
  size_t inPos = 0, inLen = 0, outLen = 0;
  bool inputEnded = false;
  for (;;) {
    if (inPos == inLen && !inputEnded) {
      inLen = input.read(in.data(), in.size());
      inPos = 0;
      if (inLen == 0) {
        inputEnded = true;
      } else {
        r.crc32 = engine::crc32Update(r.crc32, in.data(), inLen);
        r.bytesRead += inLen;
        if (progress) progress(r.bytesRead);
      }
    }
    size_t consumed = 0, produced = 0;
    bool ended = false;
    if (!encoder->step(in.data() + inPos, inLen - inPos, inputEnded, out.data() + outLen, out.size() - outLen,
                       &consumed, &produced, &ended)) {
      r.failed = true;
      return r;
    }
    inPos += consumed;
    outLen += produced;
    if (outLen == out.size() || ended) {
      emit(out.data(), outLen);
      outLen = 0;
    }
    if (r.outputError) return r;
    if (ended) return r;
  }
}

uint16_t modernMethodFlags(int method) { return method == kMethodLzma ? kFlagLzmaEndMarker : 0; }

uint16_t modernMethodVersionNeeded(int method) { return method == kMethodBzip2 ? 46 : 63; }

std::optional<uint16_t> methodFromName(std::string_view name) {
  struct Named {
    const char* name;
    uint16_t method;
  };
  static constexpr Named kNames[] = {
      {"deflate", 8}, {"bzip2", kMethodBzip2}, {"lzma", kMethodLzma}, {"xz", kMethodXz}, {"zstd", kMethodZstd},
  };
  for (const Named& n : kNames)
    if (equalsNoCase(name, n.name)) return n.method;
  return std::nullopt;
}

}  // namespace vz::zipwrap
