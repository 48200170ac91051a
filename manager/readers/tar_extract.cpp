// TUnTAR's run (see tar_extract.h).
#include "manager/readers/tar_extract.h"

#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/tar_entry.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using codecs::kTarBlock;
using codecs::TarEntry;
using codecs::TarKind;
using codecs::TarStep;

// Copies the stored data of one entry into the sink; 0 or the error code.
int32_t copyStored(const vz::File& file, int64_t at, uint64_t size, engine::DecodeOutput& out) {
  ArchiveInput in(file, at, size);
  while (in.refill()) {
    if (!out.flush(in.data(), in.available())) return E_WRITE;
    in.consume(in.available());
  }
  return in.failed() ? E_READ : 0;
}

}  // namespace

int32_t TUnTAR::activate() {
  if (!beginRun()) return 0;
  vz::File file;
  if (arcType_ != atTAR) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
  } else if (!file.open(archiveFile_, vz::File::Mode::Read)) {
    raiseError(E_OPEN);
  } else {
    const int64_t size = file.size();
    codecs::TarHeaderReader reader;
    int64_t pos = archiveStart_;
    int32_t recNum = 0;
    uint8_t block[kTarBlock];
    // Every step moves pos forward by at least one block.
    while (pos + static_cast<int64_t>(kTarBlock) <= size) {
      if (file.readAt(pos, block, kTarBlock) != static_cast<int64_t>(kTarBlock)) {
        raiseError(E_READ);
        break;
      }
      pos += kTarBlock;
      const TarStep step = reader.feed(block);
      if (step == TarStep::NeedBlock) continue;
      if (step == TarStep::EndOfArchive) break;
      if (step != TarStep::Entry) {
        raiseError(E_BADHEADR);
        break;
      }
      const TarEntry& e = reader.entry();
      ++recNum;
      const int64_t dataAt = pos;
      const uint64_t dataSize = e.kind == TarKind::Regular ? e.size : 0;
      if (e.dataBlocks() > static_cast<uint64_t>(size - pos) / kTarBlock + 1) {
        pos = size;  // the data runs past the file: this entry is the last
      } else {
        pos += static_cast<int64_t>(e.dataBlocks() * kTarBlock);
      }
      ExtractItem item;
      item.name = nameToUtf8(e.name);
      item.recNum = recNum;
      item.size = item.limit = dataSize;
      item.mtime = static_cast<std::time_t>(e.mtime);
      item.unixMode = e.mode & 0777;
      if (e.kind == TarKind::Folder) {
        if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*" || wanted(item.name)) makeFolder(item);
        continue;
      }
      if (!wanted(item.name)) continue;
      switch (e.kind) {
        case TarKind::Regular: {
          std::unique_ptr<EntrySink> sink = beginEntry(item);
          if (!sink) break;
          const int32_t error = copyStored(file, dataAt, dataSize, *sink);
          finishEntry(std::move(sink), error);
          break;
        }
        case TarKind::Symlink:
          makeSymlink(item, nameToUtf8(e.linkName));
          break;
        case TarKind::HardLink:
          copyEarlier(item, nameToUtf8(e.linkName));
          break;
        default:
          break;  // devices and FIFOs are not made
      }
    }
  }
  return endRun();
}

}  // namespace vz::readers
