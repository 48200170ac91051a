// TUnLHA's run (see lha_extract.h).
#include "manager/readers/lha_extract.h"

#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/lh_methods.h"
#include "manager/readers/lh_crc_output.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

constexpr uint32_t kUnixTypeMask = 0xF000, kUnixLink = 0xA000;

}  // namespace

int32_t TUnLHA::activate() {
  if (!beginRun()) return 0;
  const TArcType plain = plainType(arcType_);
  if (plain != atLHA && plain != atLZH) {
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
    char id[5] = {};
    if (file.readAt(e.headerOffset + 2, id, 5) != 5) {
      raiseError(E_READ);
      break;
    }
    const std::string_view method(id, 5);
    ExtractItem item;
    item.name = e.fileName;
    item.recNum = recNum;
    item.size = item.limit = static_cast<uint64_t>(e.unpackedSize);
    if (const auto t = vz::fromLocalTime(e.dateTime)) item.mtime = *t;
    item.unixMode = e.unixMode & 0777;
    item.dosAttributes = e.attributes16;
    if ((e.unixMode & kUnixTypeMask) == kUnixLink) {
      const size_t bar = e.fileName.find('|');
      if (bar != std::string::npos && bar > 0) {
        item.name = e.fileName.substr(0, bar);
        if (wanted(item.name)) makeSymlink(item, e.fileName.substr(bar + 1));
        continue;
      }
    }
    if (e.isFolder || method == "-lhd-") {
      if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*" || wanted(item.name)) makeFolder(item);
      continue;
    }
    if (!wanted(item.name)) continue;
    if (!codecs::lhMethodKnown(method)) {
      raiseError(E_UNSUPPORTEDMETHOD);
      continue;
    }
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) continue;
    ArchiveInput in(file, e.dataOffset, static_cast<uint64_t>(e.packedSize));
    LhCrcOutput out(*sink, item.size, e.versionMadeBy == 'm');
    const engine::DecodeStatus s = codecs::decodeLhMethod(method, in, out, item.size);
    int32_t error = lhDecodeError(s, *sink, in);
    if (error == 0 && !out.finish()) error = E_WRITE;
    if (error == 0 && out.crc() != (e.crc & 0xFFFF)) error = E_CRCERROR;
    finishEntry(std::move(sink), error);
  }
  return endRun();
}

}  // namespace vz::readers
