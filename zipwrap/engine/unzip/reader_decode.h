// One entry's data decoded and checked: into an output file, into memory
// (a link's target), or nowhere but the CRC (testing).
//
// Paths:
//   flat     methods the control's decoders know (decode_entry.h), with a
//            declared size the compressed bytes can plausibly produce: the
//            whole output in one place, decodeEntryToBuffer writing straight
//            into it (a large output file mapped after its blocks are
//            reserved; a reused memory block for small files, written at
//            once, and when testing);
//   stream   everything else (modern methods through decodeModernMethod,
//            an empty entry, a size no mapping should be trusted with, a file
//            system that cannot reserve blocks): decoded through a window and
//            written (or only checked) as it comes, the output limited to the
//            declared size.
// Either way the verdict is the same rule: the decoder's status, then
// exactly the declared size produced, then the CRC-32.
//
// Input: the entry's compressed bytes lie in the mapped archive; encrypted
// ones are decrypted block by block with the keys the password check left.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "control/engine/format/zip_crypto.h"
#include "zipwrap/engine/unzip/reader_archive.h"

namespace vz::zipwrap {

enum class EntryVerdict {
  Ok,
  UnknownMethod,  // no decoder for the method
  CrcError,       // decoded to its size, CRC-32 wrong
  CorruptData,    // the decoder refused the data, or the size came out wrong
  Cancelled,      // the cancel check said stop
  NoMemory,       // a decoder's tables or the output could not be allocated
  WriteFailed,    // the output file could not take the bytes (error tells why)
};

struct DecodeJob {
  const ReaderEntry* entry = nullptr;     // sizes, method, flags, CRC
  std::span<const uint8_t> data;          // compressed bytes, behind any encryption header
  const engine::ZipKeys* keys = nullptr;  // keys ready for the data; null: not encrypted
  // Told the percentage of the compressed bytes consumed (0..99) as it
  // grows; may be empty.
  std::function<void(uint8_t)> progress;
  // Polled between blocks; true stops decoding with Cancelled.
  std::function<bool()> cancelled;
};

// Whether a method can be decoded at all (the control's or a modern one).
bool canDecodeMethod(int method);

// Decodes into fd (an empty, new file opened for reading and writing);
// scratch is reused between calls for small files. On WriteFailed, error
// holds errno.
EntryVerdict decodeIntoFile(const DecodeJob& job, int fd, std::vector<uint8_t>& scratch, int& error);
// Decodes and checks only; scratch is reused between calls.
EntryVerdict decodeAndCheck(const DecodeJob& job, std::vector<uint8_t>& scratch);
// Decodes into out (entries of at most limit bytes; larger: CorruptData).
EntryVerdict decodeToString(const DecodeJob& job, size_t limit, std::string& out);

}  // namespace vz::zipwrap
