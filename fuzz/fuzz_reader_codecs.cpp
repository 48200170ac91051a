// Fuzz target: the readers' decoders. Byte 0 picks the decoder (low two
// bits), byte 1 the input span size; the rest is that decoder's input:
//   0  a .Z stream (header included)
//   1  a gzip file, decoded member after member
//   2  a CAB folder's CFDATA records; three more parameter bytes: bit 0
//      MSZIP (else stored), bit 1 checksums compared; the record count;
//      the data reserve size
//   3  TAR header blocks, walked as the extractor does (data skipped)
// Output is limited to 1 MB; a decoder must never deliver past the limit,
// and what it reports as good must hold.
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_decoder_input.h"
#include "manager/readers/codecs/cab_folder.h"
#include "manager/readers/codecs/gzip_member.h"
#include "manager/readers/codecs/lzw_compress.h"
#include "manager/readers/codecs/tar_entry.h"

using namespace vz::engine;
using namespace vz::readers::codecs;

namespace {

constexpr uint64_t kLimit = 1 << 20;

void lzw(const uint8_t* data, size_t size, size_t chunk) {
  MemoryInput in(data, size, chunk);
  VectorOutput out;
  out.setLimit(kLimit);
  const DecodeStatus s = decodeLzwCompress(in, out);
  if (out.bytes.size() > kLimit) std::abort();
  if (s != DecodeStatus::Ok && s != DecodeStatus::BadData && s != DecodeStatus::OutputStopped) std::abort();
}

void gzip(const uint8_t* data, size_t size, size_t chunk) {
  MemoryInput in(data, size, chunk);
  VectorOutput out;
  out.setLimit(kLimit);
  std::vector<GzipMemberResult> members;
  const GzipStatus s = decodeGzipMembers(in, out, members);
  if (out.bytes.size() > kLimit || members.empty()) std::abort();
  if (s == GzipStatus::Ok) {
    uint64_t total = 0;
    for (const GzipMemberResult& m : members) {
      if (m.crc != m.storedCrc || static_cast<uint32_t>(m.size) != m.storedSize) std::abort();
      total += m.size;
    }
    if (total != out.bytes.size()) std::abort();
  }
}

void cab(const uint8_t* data, size_t size, size_t chunk) {
  vz::fuzz::DecoderInput p;
  if (!vz::fuzz::splitInput(data, size, 3, p)) return;
  CabFolderDecoder decoder((p.header[0] & 1) != 0 ? kCabMszip : kCabStored, (p.header[0] & 2) != 0);
  MemoryInput in(p.data, p.size, chunk);
  VectorOutput out;
  out.setLimit(kLimit);
  (void)decoder.decodeBlocks(in, p.header[1], p.header[2], out);
  if (out.bytes.size() > kLimit) std::abort();
}

void tar(const uint8_t* data, size_t size) {
  TarHeaderReader reader;
  size_t pos = 0;
  while (pos + kTarBlock <= size) {
    const TarStep s = reader.feed(data + pos);
    pos += kTarBlock;
    if (s == TarStep::NeedBlock) continue;
    if (s != TarStep::Entry) return;
    const uint64_t skip = reader.entry().dataBlocks();
    if (skip > (size - pos) / kTarBlock) return;
    pos += static_cast<size_t>(skip) * kTarBlock;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 2, in)) return 0;
  const size_t chunk = vz::fuzz::chunkFrom(in.header[1]);
  switch (in.header[0] & 3) {
    case 0:
      lzw(in.data, in.size, chunk);
      break;
    case 1:
      gzip(in.data, in.size, chunk);
      break;
    case 2:
      cab(in.data, in.size, chunk);
      break;
    default:
      tar(in.data, in.size);
      break;
  }
  return 0;
}
