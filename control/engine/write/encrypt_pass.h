// The encryption pass: the traditional ZIP encryption (zip_crypto.h)
// applied to an archive that has just been written, as a separate pass
// that builds a new archive and puts it in place like every write
// operation (zip_writer.h, archive_update_place.h).
//
//   1. The catalogue of the archive (4 when damaged, 5 out of memory). No
//      entry that needs encrypting - none at all, or every one already
//      encrypted or a directory (name ending in "/") - gives 6, and the
//      archive is not touched.
//   2. The temporary file (12 when it cannot be made); the archive opened
//      for reading (12); bytes in front of the first entry copied.
//   3. Each entry in directory order:
//      - not encrypted and not a directory: the temporary disk must have
//        room for its data + 22 bytes (only 22 when it has none), else 16;
//        its local header is written with flag bit 0 set, bit 3 cleared,
//        the real CRC and sizes and the compressed size grown by 12; then
//        the 12-byte encryption header (ten random bytes, the CRC's two top
//        bytes); then its data, encrypted in blocks of at most 16,384
//        bytes, each followed by ZNEncrypt (percent of the entry done) and
//        a pass of the message pump. A data descriptor that followed the
//        entry is not written: its values are in the local header now.
//      - any other entry: copied unchanged (with its descriptor).
//      Any read, seek or write failure: 12.
//   4. Central directory (same order, new offsets, the same changes in the
//      flags and sizes), end record with the archive comment (room for the
//      comment + 30 bytes, else 16); ZNWriting with the archive's name; the
//      new archive put in place (16 when its disk is full, 12 for any other
//      failure).
// On every failure the temporary file is removed and the archive is as it
// was. Entries already encrypted keep their own password.
//
// Names are written as they stand in the archive (the pass rewrites local
// headers but never renames an entry, so local and central names stay
// byte-identical).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "control/engine/write/zip_writer_engine.h"

namespace vz::engine {

// Bytes encrypted between two reports.
constexpr size_t kEncryptBlockSize = 16384;

// The pass as its own write operation (refused with 12 while another one
// runs). Results: EncryptStatus (write_status.h).
[[nodiscard]] EncryptStatus encryptArchive(WriteEngine& engine, const std::string& zipName, std::string_view password);

// The pass inside a running write operation (ZipFiles).
[[nodiscard]] EncryptStatus runEncryptionPass(WriteEngine& engine, const std::string& zipName,
                                              std::string_view password);

}  // namespace vz::engine
