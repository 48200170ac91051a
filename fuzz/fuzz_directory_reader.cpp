// Fuzz target: the read side's directory reader through every read method,
// plus a walk that reads every entry's local header and data the way the
// extractor does and builds the host's item for it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/engine/read/directory_reader.h"
#include "control/engine/read/read_methods.h"
#include "control/engine/format/zip_item.h"
#include "fuzz/fuzz_input_file.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = vz::fuzz::writeInput(data, size);
  UnzipState st;
  st.pump = false;
  (void)isZipFileQuick(st, path);  // every result is fine: the methods only have to stay in bounds
  getMadeUnder(st, path);
  getVersionMajor(st, path);
  getVersionMinor(st, path);
  getDiskId(st, path);
  getGlobalCommentSize(st, path);
  getGlobalComment(st, path, 100000);
  getLocalCommentSize(st, path, "A.TXT");
  getLocalComment(st, path, "A.TXT", 100);
  getCount(st, path);
  getTotalSize(st, path, true);
  getTotalSize(st, path, false);
  isFileInZip(st, path, "*.TXT");
  isFileInZip(st, path, "DIR\\?.*");

  DirectoryReader reader(st);
  if (!reader.open(path) || !isReadable(reader.locateEndRecord())) return 0;
  reader.rewind();
  WalkOptions options;
  options.readComments = true;
  char buf[512];
  while (reader.hasMoreEntries()) {
    if (reader.readNextEntry(options) == ReadStatus::NotZip) break;
    const CentralHeader header = reader.current().header;
    ZIPITEM item = makeZipItem(header, reader.current().name);
    (void)item;
    LocalEntry local;
    if (reader.readLocalHeader(header, local) == ReadStatus::NotZip) continue;
    const size_t n = local.header.compressedSize < sizeof buf ? local.header.compressedSize : sizeof buf;
    reader.input().read(buf, n);
  }
  return 0;
}
