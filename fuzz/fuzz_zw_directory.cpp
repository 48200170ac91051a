// Fuzz target of the stand-in reader's directory and data paths: the end
// records (Zip64 locator and record included), the central directory with
// its Zip64 blocks, wrapped counts and local-only sizes, a split set's parts
// mapped end to end, and each entry located and decoded through the
// reader's own decode paths (every method, deflate64 and Zstandard's old
// number among them).
//
// Input: two bytes (little-endian) giving where the input is cut; 0 keeps
// it whole as "set.zip", any other cut writes the bytes before it as
// "set.z01" and the rest as "set.zip", so the second part may name disk 1.
// Every entry is checked: its data lies inside the mapping, and an entry
// declaring at most 4 MB is decoded and checked (larger declared sizes go
// through the same code with no more memory than the streaming window).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "zipwrap/engine/unzip/reader_archive.h"
#include "zipwrap/engine/unzip/reader_decode.h"

using namespace vz::zipwrap;

namespace {

constexpr uint64_t kMaxDecoded = 4u << 20;

const vz::fuzz::ScratchFolder& folder() {
  static const vz::fuzz::ScratchFolder f{"zwdir"};
  return f;
}

void writePart(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t cut = std::min<size_t>(data[0] | data[1] << 8, size - 2);
  data += 2;
  size -= 2;
  const std::string first = folder().root + "/set.z01", last = folder().root + "/set.zip";
  std::remove(first.c_str());
  if (cut > 0) writePart(first, data, cut);
  writePart(last, data + cut, size - cut);

  ReaderArchive archive;
  if (archive.open(last, false) != 0) return 0;
  const auto bytes = archive.bytes();
  std::vector<uint8_t> scratch;
  for (const ReaderEntry& e : archive.entries()) {
    (void)e.isFolder();
    EntryData where;
    if (!archive.locate(e, where)) continue;
    if (where.bytes.data() < bytes.data() || where.bytes.data() + where.bytes.size() > bytes.data() + bytes.size())
      std::abort();
    if (e.uncompressedSize > kMaxDecoded || e.encrypted() || e.header.method == 99) continue;
    DecodeJob job;
    job.entry = &e;
    job.data = where.bytes;
    const EntryVerdict v = decodeAndCheck(job, scratch);
    if (v == EntryVerdict::WriteFailed || (v == EntryVerdict::UnknownMethod && canDecodeMethod(e.header.method)))
      std::abort();
  }
  return 0;
}
