// Methods 14 (LZMA) and 95 (xz), through liblzma.
//
// Method 14 keeps a raw LZMA stream behind a small header of its own:
//
//   offset size
//   0      1    version of the writer's LZMA code (major)
//   1      1    version (minor)
//   2      2    size of the properties that follow (5)
//   4      5    properties: the byte (pb * 5 + lp) * 9 + lc, then the
//                dictionary size (little-endian 32 bits)
//   9      ...  the raw LZMA stream
//
// General-purpose flag bit 1 says the stream ends with an end marker;
// without it the stream ends after the entry's uncompressed size, and a
// marker there is accepted too. Both kinds are decoded as streams of unknown
// size (liblzma's own known-size mode refuses a marker after the size when
// the input comes in small spans): the output limit stops a stream that runs
// past the declared size (OutputStopped), and a stream without a marker
// whose input ends once the declared size is reached has ended. The versions
// are not checked.
//
// Method 95 is a whole xz file: one or more streams, each with its own
// integrity check (a mismatch is BadData).
//
// Memory: the decoders' dictionary is what they allocate. For method 14 no
// valid distance reaches further back than the bytes the entry may produce,
// so the dictionary is cut to the declared size (at least 4 KB); what remains
// must fit the memory limit, and for xz the limit is liblzma's own memlimit.
// Either way a stream over the limit gives NoMemory.
#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <memory>

#include "zipwrap/engine/methods/stream_codec.h"

namespace vz::zipwrap {

using engine::DecodeStatus;

namespace {

constexpr size_t kZipLzmaPrefix = 4;        // version and properties size
constexpr size_t kLzmaPropertiesSize = 5;   // the only properties size LZMA has
constexpr uint32_t kGpfEndMarker = 0x0002;  // flags bit 1: the stream carries an end marker
constexpr uint32_t kSmallestDictionary = 4096;

DecodeStatus statusOf(lzma_ret rc) {
  return (rc == LZMA_MEM_ERROR || rc == LZMA_MEMLIMIT_ERROR) ? DecodeStatus::NoMemory : DecodeStatus::BadData;
}

// A liblzma decoder once it is set up: the step both methods share.
class LzmaStream {
 public:
  LzmaStream() = default;
  ~LzmaStream() { lzma_end(&stream_); }
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;

  lzma_stream* get() { return &stream_; }
  // The last call's return code.
  lzma_ret last() const { return last_; }

  CodecStep step(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) {
    stream_.next_in = in;
    stream_.avail_in = inLen;
    stream_.next_out = out;
    stream_.avail_out = room;
    const lzma_ret rc = lzma_code(&stream_, inputEnded ? LZMA_FINISH : LZMA_RUN);
    last_ = rc;
    CodecStep r;
    r.consumed = inLen - stream_.avail_in;
    r.produced = room - stream_.avail_out;
    if (rc == LZMA_STREAM_END) {
      r.state = CodecStep::State::End;
    } else if (rc != LZMA_OK) {
      // LZMA_DATA_ERROR, LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR, LZMA_BUF_ERROR
      // (input cut short) and the memory errors.
      r.state = CodecStep::State::Failed;
      r.status = statusOf(rc);
    }
    return r;
  }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;  // liblzma's state (lzma_end frees it)
  lzma_ret last_ = LZMA_OK;                // what lzma_code returned last
};

class ZipLzmaCodec final : public StreamCodec {
 public:
  ZipLzmaCodec(uint16_t flags, uint64_t size, uint64_t memoryLimit)
      : endMarker_((flags & kGpfEndMarker) != 0), size_(size), memoryLimit_(memoryLimit) {}

  CodecStep step(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) override {
    if (started_) return decode(in, inLen, inputEnded, out, room);
    // Gather the header, which may come in several spans.
    const size_t want = headerLength() - have_;
    const size_t n = std::min(want, inLen);
    if (n > 0) std::memcpy(header_ + have_, in, n);
    have_ += n;
    if (have_ == kZipLzmaPrefix && propertiesSize() != kLzmaPropertiesSize)
      return CodecStep::failed(DecodeStatus::BadData);
    if (have_ < headerLength()) {
      if (inputEnded) return CodecStep::failed(DecodeStatus::BadData);
      return CodecStep{n, 0, CodecStep::State::More, DecodeStatus::Ok};
    }
    const DecodeStatus started = start();
    if (started != DecodeStatus::Ok) return CodecStep::failed(started);
    started_ = true;
    CodecStep r = decode(in + n, inLen - n, inputEnded, out, room);
    r.consumed += n;
    return r;
  }

 private:
  // One step of the raw decoder, with the end of a stream without marker.
  CodecStep decode(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) {
    CodecStep r = lzma_.step(in, inLen, inputEnded, out, room);
    produced_ += r.produced;
    // Input used up and the declared size reached: a stream without marker
    // ends here (liblzma waits for more, or says its input ran out).
    const bool waiting = (r.state == CodecStep::State::More && r.consumed == 0 && r.produced == 0) ||
                         (r.state == CodecStep::State::Failed && lzma_.last() == LZMA_BUF_ERROR);
    if (!endMarker_ && inputEnded && waiting && produced_ >= size_)
      r = CodecStep{r.consumed, r.produced, CodecStep::State::End, DecodeStatus::Ok};
    return r;
  }

  size_t propertiesSize() const { return header_[2] | (header_[3] << 8); }
  size_t headerLength() const { return have_ < kZipLzmaPrefix ? kZipLzmaPrefix : kZipLzmaPrefix + kLzmaPropertiesSize; }

  // Sets the raw decoder up from the gathered properties.
  DecodeStatus start() {
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, header_ + kZipLzmaPrefix, kLzmaPropertiesSize) != LZMA_OK)
      return DecodeStatus::BadData;
    // The options were allocated by liblzma with malloc; they are copied
    // into the decoder at init and freed here.
    std::unique_ptr<lzma_options_lzma, decltype(&std::free)> options(
        static_cast<lzma_options_lzma*>(filters[0].options), &std::free);
    const uint64_t reach = std::max<uint64_t>(size_, kSmallestDictionary);
    if (options->dict_size > reach) options->dict_size = static_cast<uint32_t>(reach);
    // Unknown size (see the file header): the marker ends the stream.
    options->ext_flags = 0;
    options->ext_size_low = UINT32_MAX;
    options->ext_size_high = UINT32_MAX;
    if (lzma_raw_decoder_memusage(filters) > memoryLimit_) return DecodeStatus::NoMemory;
    const lzma_ret rc = lzma_raw_decoder(lzma_.get(), filters);
    return rc == LZMA_OK ? DecodeStatus::Ok : statusOf(rc);
  }

  LzmaStream lzma_;                                       // the raw decoder, once started
  uint8_t header_[kZipLzmaPrefix + kLzmaPropertiesSize];  // the header gathered so far
  size_t have_ = 0;                                       // bytes of header_ gathered
  bool started_ = false;                                  // header read, decoder set up
  uint64_t produced_ = 0;                                 // bytes decoded so far
  bool endMarker_;                                        // flags bit 1: the stream ends with a marker
  uint64_t size_;                                         // the entry's declared uncompressed size
  uint64_t memoryLimit_;                                  // most bytes the decoder may use
};

class XzCodec final : public StreamCodec {
 public:
  explicit XzCodec(uint64_t memoryLimit) {
    ready_ = lzma_stream_decoder(lzma_.get(), memoryLimit, LZMA_CONCATENATED) == LZMA_OK;
  }
  bool ready() const { return ready_; }

  CodecStep step(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) override {
    return lzma_.step(in, inLen, inputEnded, out, room);
  }

 private:
  LzmaStream lzma_;     // the xz stream decoder
  bool ready_ = false;  // the decoder was set up
};

}  // namespace

std::unique_ptr<StreamCodec> makeZipLzmaCodec(uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                              uint64_t memoryLimit) {
  return std::make_unique<ZipLzmaCodec>(generalPurposeFlags, uncompressedSize, memoryLimit);
}

std::unique_ptr<StreamCodec> makeXzCodec(uint64_t memoryLimit) {
  auto codec = std::make_unique<XzCodec>(memoryLimit);
  if (!codec->ready()) return nullptr;
  return codec;
}

}  // namespace vz::zipwrap
