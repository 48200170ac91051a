// The writer's side of the modern methods: bzip2 (12), LZMA (14), Zstandard
// (93) and xz (95) encoded through the reference libraries, over the same
// input and output interfaces as the engine's deflater (encode/deflate_io.h),
// so the pack queue drives every method alike.
//
// Every encoder runs single-threaded inside the library and its settings
// depend only on the level and the input's length, so a file gives the same
// bytes on every run and on every worker thread; the archive stays
// independent of the thread count.
//
// Levels 1..9 of the command line map onto each library's scale:
//   bzip2   block size level x 100 KB (the library's own scale)
//   LZMA    liblzma's presets 1..9, the dictionary cut to the input's
//   xz      length (nothing is lost: no match reaches further back) and to
//           16 MB, so a worker never holds more than about 200 MB
//   zstd    1 2 3 4 5 7 11 15 19 (6, the default, is a little above the
//           library's default of 3, as deflate's 6 is above its fastest)
//
// Method 14 carries the ZIP's LZMA header in front of a raw LZMA stream that
// ends with an end marker (general-purpose flag bit 1), as the other
// writers of today make it:
//
//   | major (1) | minor (1) | properties size (2) = 5 | properties (5) | stream... |
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "control/engine/encode/deflate_io.h"

namespace vz::zipwrap {

constexpr uint16_t kMethodBzip2 = 12;
constexpr uint16_t kMethodLzma = 14;
constexpr uint16_t kMethodZstd = 93;
constexpr uint16_t kMethodXz = 95;

// What one encoding did.
struct EncodeOutcome {
  uint64_t compressedSize = 0;  // bytes written to the output
  uint64_t bytesRead = 0;       // input bytes consumed
  uint32_t crc32 = 0;           // CRC-32 of the bytes read
  bool outputError = false;     // a write to the output failed
  bool failed = false;          // the library refused (set-up or memory): nothing usable was written
};

// Whether method is one that encodeModernMethod writes.
bool isModernEncoderMethod(int method);

// Encodes all of input at level (1..9) into output with method; progress
// (when set) receives the input bytes read so far.
EncodeOutcome encodeModernMethod(int method, int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                                 const std::function<void(uint64_t)>& progress = {});

// The general-purpose flag bits a method's entry carries (bit 1 for LZMA's
// end marker), 0 for the others.
uint16_t modernMethodFlags(int method);

// The "version needed to extract" of a method (bzip2 4.6, the others 6.3).
uint16_t modernMethodVersionNeeded(int method);

// The method of a name of the command line ("deflate", "bzip2", "lzma",
// "xz", "zstd", case-insensitive), nothing for an unknown name.
std::optional<uint16_t> methodFromName(std::string_view name);

}  // namespace vz::zipwrap
