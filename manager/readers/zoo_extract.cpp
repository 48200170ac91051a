// TUnZOO's run (see zoo_extract.h).
#include "manager/readers/zoo_extract.h"

#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/lh_block.h"
#include "manager/readers/codecs/lh_stored.h"
#include "manager/readers/codecs/zoo_lzw.h"
#include "manager/readers/lh_crc_output.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

constexpr int kStored = 0, kLzw = 1, kLh5 = 2;

}  // namespace

int32_t TUnZOO::activate() {
  if (!beginRun()) return 0;
  if (plainType(arcType_) != atZOO) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  const std::vector<ArcEntry> entries = walkedEntries();
  vz::File file;
  if (!file.open(archiveFile_, vz::File::Mode::Read)) {
    raiseError(E_OPEN);
    return endRun();
  }
  int32_t recNum = 0;
  for (const ArcEntry& e : entries) {
    ++recNum;
    ExtractItem item;
    item.name = e.fileName;
    item.recNum = recNum;
    item.size = item.limit = static_cast<uint64_t>(e.unpackedSize);
    if (const auto t = vz::fromLocalTime(e.dateTime)) item.mtime = *t;
    if (e.isFolder) {
      if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*" || wanted(item.name)) makeFolder(item);
      continue;
    }
    if (!wanted(item.name)) continue;
    if (e.method != kStored && e.method != kLzw && e.method != kLh5) {
      raiseError(E_UNSUPPORTEDMETHOD);
      continue;
    }
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) continue;
    ArchiveInput in(file, e.dataOffset, static_cast<uint64_t>(e.packedSize));
    LhCrcOutput out(*sink, item.size, false);
    engine::DecodeStatus s;
    if (e.method == kStored) {
      s = codecs::copyLhStored(in, out, item.size);
    } else if (e.method == kLzw) {
      s = codecs::decodeZooLzw(in, out);
    } else {
      s = codecs::decodeLhBlock(in, out, item.size, 13);
    }
    int32_t error = lhDecodeError(s, *sink, in);
    if (error == 0 && (out.crc() != (e.crc & 0xFFFF) || sink->total() != item.size)) error = E_CRCERROR;
    finishEntry(std::move(sink), error);
  }
  return endRun();
}

}  // namespace vz::readers
