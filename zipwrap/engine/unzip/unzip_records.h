// An entry of the archive as the host's file record reports it (codes 50,
// 60, 80): stored name, sizes, CRC, DOS attributes and stamp, Unix mode
// when made on Unix, method, encryption, file comment and host system.
// An AES entry (method 99) reports the method of its 0x9901 field, the one
// its data is compressed with; its encryption flag tells the rest.
#pragma once

#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/methods/aes_extra.h"
#include "zipwrap/engine/unzip/reader_archive.h"

namespace vz::zipwrap {

// The 0x9901 field of an AES entry, from the central extra field or else
// the local one; false when neither holds a valid one.
inline bool aesInfoOf(const ReaderEntry& e, std::span<const uint8_t> localExtra, AesEntryInfo& info) {
  if (readAesExtra(e.extra, info) == AesExtraStatus::Found) return true;
  return !localExtra.empty() && readAesExtra(localExtra, info) == AesExtraStatus::Found;
}

inline FileEvent fileEventOf(const ReaderEntry& e) {
  FileEvent ev;
  ev.name = e.name;
  ev.size = e.uncompressedSize;
  ev.packedSize = e.compressedSize;
  ev.crc32 = e.header.crc32;
  ev.dosAttributes = e.dosAttributes();
  ev.dosDateTime = e.dosDateTime();
  ev.unixMode = e.unixMode();
  ev.method = e.header.method;
  ev.encrypted = e.encrypted();
  if (AesEntryInfo aes; e.header.method == kAesMethod && aesInfoOf(e, {}, aes)) {
    ev.method = aes.method;
    ev.encrypted = true;
  }
  ev.comment = e.comment;
  ev.hostSystem = e.hostSystem();
  return ev;
}

}  // namespace vz::zipwrap
