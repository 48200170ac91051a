// Method 12, bzip2, through libbz2.
//
// The entry's data is one bzip2 stream ("BZh", the block size digit, then
// blocks of at most 900,000 bytes before their run-length and Burrows-Wheeler
// steps). libbz2's decompressor needs at most about 3.6 MB for the largest
// block size, so its memory is bounded by the format itself. Decoding stops
// at the stream's end marker; bytes behind it are ignored.
#include <bzlib.h>

#include <limits>
#include <memory>

#include "zipwrap/engine/methods/stream_codec.h"

namespace vz::zipwrap {

using engine::DecodeStatus;

namespace {

// libbz2 counts in unsigned int: larger spans are handed over piece by piece.
constexpr size_t kMaxSpan = std::numeric_limits<unsigned>::max();

class Bzip2Codec final : public StreamCodec {
 public:
  Bzip2Codec() { ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
  ~Bzip2Codec() override {
    if (ready_) BZ2_bzDecompressEnd(&stream_);
  }
  Bzip2Codec(const Bzip2Codec&) = delete;
  Bzip2Codec& operator=(const Bzip2Codec&) = delete;

  bool ready() const { return ready_; }

  CodecStep step(const uint8_t* in, size_t inLen, bool, uint8_t* out, size_t room) override {
    const unsigned inAvail = static_cast<unsigned>(inLen < kMaxSpan ? inLen : kMaxSpan);
    const unsigned outAvail = static_cast<unsigned>(room < kMaxSpan ? room : kMaxSpan);
    // libbz2 does not write through next_in; its interface lacks the const.
    stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
    stream_.avail_in = inAvail;
    stream_.next_out = reinterpret_cast<char*>(out);
    stream_.avail_out = outAvail;
    const int rc = BZ2_bzDecompress(&stream_);
    CodecStep r;
    r.consumed = inAvail - stream_.avail_in;
    r.produced = outAvail - stream_.avail_out;
    switch (rc) {
      case BZ_OK:
        break;
      case BZ_STREAM_END:
        r.state = CodecStep::State::End;
        break;
      case BZ_MEM_ERROR:
        r.state = CodecStep::State::Failed;
        r.status = DecodeStatus::NoMemory;
        break;
      default:  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC, BZ_SEQUENCE_ERROR
        r.state = CodecStep::State::Failed;
        r.status = DecodeStatus::BadData;
        break;
    }
    return r;
  }

 private:
  bz_stream stream_{};  // libbz2's state; its allocator fields null (malloc)
  bool ready_ = false;  // BZ2_bzDecompressInit succeeded
};

}  // namespace

std::unique_ptr<StreamCodec> makeBzip2Codec() {
  auto codec = std::make_unique<Bzip2Codec>();
  if (!codec->ready()) return nullptr;
  return codec;
}

}  // namespace vz::zipwrap
