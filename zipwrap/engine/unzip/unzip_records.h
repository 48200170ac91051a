// An entry of the archive as the host's file record reports it (codes 50,
// 60, 80): stored name, sizes, CRC, DOS attributes and stamp, Unix mode
// when made on Unix, method, encryption, file comment and host system.
#pragma once

#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/unzip/reader_archive.h"

namespace vz::zipwrap {

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
  ev.comment = e.comment;
  ev.hostSystem = e.hostSystem();
  return ev;
}

}  // namespace vz::zipwrap
