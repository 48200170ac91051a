// Shared pieces of the modern methods' tests: the sample data, the first
// entry of an archive that a peer tool wrote (found through the central
// directory, so that data descriptors do not matter), and the decode of an
// entry through decodeModernMethod or decodeAesEntry from memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/format/crc32.h"
#include "control/engine/format/zip_records.h"
#include "zipwrap/engine/methods/aes_extra.h"
#include "zipwrap/engine/methods/aes_input.h"
#include "zipwrap/engine/methods/modern_methods.h"

namespace vz::zipwrap::test {

// About 200 KB that compress, and spread over several windows: numbered
// text lines broken up by runs of pseudo-random bytes.
inline std::vector<uint8_t> sampleData(size_t size = 200000, uint32_t seed = 7) {
  std::vector<uint8_t> out;
  out.reserve(size);
  uint32_t x = seed;
  for (int line = 0; out.size() < size; ++line) {
    const std::string text = "line " + std::to_string(line) + " of the modern methods' sample\n";
    out.insert(out.end(), text.begin(), text.end());
    if (line % 7 == 0)
      for (int i = 0; i < 40; ++i) out.push_back(static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24));
  }
  out.resize(size);
  return out;
}

// One entry as stored: what its headers say and its stored bytes.
struct StoredEntry {
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint64_t size = 0;           // uncompressed
  std::vector<uint8_t> extra;  // the central extra field
  std::vector<uint8_t> data;   // the stored (compressed, maybe encrypted) bytes
};

// The first entry of a ZIP file without archive comment.
inline std::optional<StoredEntry> firstEntry(const std::vector<uint8_t>& zip) {
  using namespace vz::engine;
  if (zip.size() < 22) return std::nullopt;
  const std::span<const uint8_t> all(zip);
  const auto end = parseEndRecord(all.subspan(zip.size() - 22));
  if (!end || end->directoryOffset >= zip.size()) return std::nullopt;
  const auto central = parseCentralHeader(all.subspan(end->directoryOffset));
  if (!central) return std::nullopt;
  const size_t centralExtra = end->directoryOffset + 46 + central->nameLength;
  if (central->localHeaderOffset >= zip.size()) return std::nullopt;
  const auto local = parseLocalHeader(all.subspan(central->localHeaderOffset));
  if (!local) return std::nullopt;
  const size_t start = central->localHeaderOffset + 30 + local->nameLength + local->extraLength;
  if (start + central->compressedSize > zip.size() || centralExtra + central->extraLength > zip.size())
    return std::nullopt;
  StoredEntry e;
  e.method = central->method;
  e.flags = central->flags;
  e.crc = central->crc32;
  e.size = central->uncompressedSize;
  e.extra.assign(zip.begin() + centralExtra, zip.begin() + centralExtra + central->extraLength);
  e.data.assign(zip.begin() + start, zip.begin() + start + central->compressedSize);
  return e;
}

// The result of decoding an entry.
struct Decoded {
  engine::DecodeStatus status = engine::DecodeStatus::Ok;
  bool wrongPassword = false;
  std::vector<uint8_t> bytes;
  std::vector<size_t> flushes;
};

// Decodes an entry as the reader would: AES entries (method 99) through
// decodeAesEntry with password, the others through decodeModernMethod.
// declared: the uncompressed size to limit the output to (the entry's when
// not given); chunk: the raw input's span size.
inline Decoded decodeStored(const StoredEntry& e, const std::string& password = "",
                            size_t chunk = std::numeric_limits<size_t>::max(),
                            std::optional<uint64_t> declared = std::nullopt, const engine::DecodeHooks* hooks = nullptr,
                            const ModernLimits& limits = {}) {
  engine::MemoryInput input(e.data, chunk);
  engine::VectorOutput output;
  output.recordFlushes = true;
  Decoded d;
  const uint64_t size = declared.value_or(e.size);
  if (e.method == kAesMethod) {
    AesEntryInfo info;
    EXPECT_EQ(readAesExtra(e.extra, info), AesExtraStatus::Found);
    const AesDecodeResult r = decodeAesEntry(info, password, e.flags, size, input, output, hooks, limits);
    d.status = r.status;
    d.wrongPassword = r.wrongPassword;
  } else {
    d.status = decodeModernMethod(e.method, e.flags, size, input, output, hooks, limits);
  }
  d.bytes = std::move(output.bytes);
  d.flushes = std::move(output.flushSizes);
  return d;
}

}  // namespace vz::zipwrap::test
