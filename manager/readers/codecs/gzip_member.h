// One member of a gzip file (RFC 1952): its header, its deflate data
// decoded through the engine's inflate, and its trailer.
//
//   0  1F 8B      signature
//   2  method     8 (deflate) is the only one
//   3  flags      bit 0 FTEXT, 1 FHCRC, 2 FEXTRA, 3 FNAME, 4 FCOMMENT; 5-7 reserved
//   4  mtime      4 bytes, Unix seconds, 0 when none
//   8  XFL, 9 OS
//   10 [FEXTRA: 2-byte length, that many bytes] [FNAME: text, 0]
//      [FCOMMENT: text, 0] [FHCRC: low 16 bits of the CRC-32 of the header so far]
//   .. deflate data
//   .. CRC-32 of the data (4 bytes), ISIZE: its size mod 2^32 (4 bytes)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Results beyond the decoders' own statuses.
enum class GzipStatus : uint8_t {
  Ok = 0,
  BadHeader,          // not 1F 8B, reserved flags set, or the header ends early
  BadHeaderCrc,       // the FHCRC check failed
  UnsupportedMethod,  // a method other than 8
  BadData,            // the deflate data is damaged or ends early
  BadTrailer,         // the trailer is missing (the file ends early)
  CrcMismatch,        // the data's CRC-32 differs from the trailer's
  SizeMismatch,       // the data's size differs from ISIZE
  NoMemory,
  OutputStopped,  // the output refused bytes (past its limit, or the sink failed)
  Cancelled,
};

struct GzipHeader {
  uint8_t method = 0;
  uint8_t flags = 0;
  uint32_t mtime = 0;  // Unix seconds, 0 when the member has none
  uint8_t extraFlags = 0;
  uint8_t os = 0;
  bool text = false;        // FTEXT
  bool hasName = false;     // FNAME
  std::string name;         // the stored name, bytes as stored (Latin-1 by the format)
  bool hasComment = false;  // FCOMMENT
  std::string comment;
  uint16_t extraLength = 0;  // FEXTRA bytes (skipped)
  bool hasHeaderCrc = false;
  uint32_t headerSize = 0;  // bytes up to the deflate data
};

struct GzipMemberResult {
  GzipHeader header;
  uint32_t storedCrc = 0;   // the trailer's CRC-32
  uint32_t storedSize = 0;  // the trailer's ISIZE
  uint32_t crc = 0;         // CRC-32 of the bytes decoded
  uint64_t size = 0;        // bytes decoded
  uint64_t memberSize = 0;  // bytes of the member in the input, header to trailer
  // What follows the trailer: another member (it starts 1F 8B; the
  // extractor reports 25162 for such a file), or other bytes (zero padding
  // or junk, which gzip ignores with a warning).
  bool anotherMember = false;
  bool trailingBytes = false;
};

// The longest name or comment kept; longer ones are cut (the rest skipped).
constexpr size_t kGzipMaxText = 4096;

// Parses the member header at the input's position, consuming it.
[[nodiscard]] GzipStatus readGzipHeader(engine::DecodeInput& input, GzipHeader& header);

// Decodes one member from the input's position: header, data into output,
// trailer check, and a look at what follows. The bytes decoded before a
// fault are delivered. The input is left behind the trailer, except for the
// first bytes of what follows when result.anotherMember or trailingBytes
// is set (up to 10 bytes taken to look; decodeGzipMembers carries them on).
[[nodiscard]] GzipStatus decodeGzipMember(engine::DecodeInput& input, engine::DecodeOutput& output,
                                          GzipMemberResult& result, const engine::DecodeHooks* hooks = nullptr);

// Decodes every member in turn into output (as gzip -d does with a
// concatenation), stopping at the first fault; the results of the members
// seen are appended to members. Trailing bytes that are not a member end
// the walk with Ok.
[[nodiscard]] GzipStatus decodeGzipMembers(engine::DecodeInput& input, engine::DecodeOutput& output,
                                           std::vector<GzipMemberResult>& members,
                                           const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
