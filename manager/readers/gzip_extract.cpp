// TUnGZIP's run (see gzip_extract.h).
#include "manager/readers/gzip_extract.h"

#include "manager/readers/arc_lister.h"
#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/gzip_member.h"
#include "manager/readers/codecs/lzw_compress.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using codecs::GzipStatus;

// The most a deflate stream can expand (a 258-byte match per 2 bits).
constexpr uint64_t kDeflateRatio = 1032;
// compress: every code adds at most one byte to the longest string, and a
// string never exceeds the 65,536-entry table.
uint64_t lzwBound(uint64_t packed) {
  const uint64_t codes = packed * 8 / 9 + 1;
  return codes < 65536 ? codes * (codes + 1) / 2 : codes * 65536;
}

int32_t gzipError(GzipStatus s, const engine::DecodeOutput& out) {
  switch (s) {
    case GzipStatus::Ok:
      return 0;
    case GzipStatus::BadHeader:
      return E_BADHEADR;
    case GzipStatus::BadHeaderCrc:
      return E_HEADERCRC;
    case GzipStatus::UnsupportedMethod:
      return E_UNSUPPORTEDMETHOD;
    case GzipStatus::BadData:
      return E_BADBLOCK;
    case GzipStatus::BadTrailer:
      return E_READ;
    case GzipStatus::CrcMismatch:
    case GzipStatus::SizeMismatch:
      return E_CRCERROR;
    case GzipStatus::NoMemory:
      return E_OUTOFMEMORY;
    case GzipStatus::OutputStopped:
      return out.sinkFailed() ? E_WRITE : E_CRCERROR;
    case GzipStatus::Cancelled:
      return E_USERABORT;
  }
  return E_BADBLOCK;
}

int32_t lzwError(engine::DecodeStatus s, const engine::DecodeOutput& out) {
  switch (s) {
    case engine::DecodeStatus::Ok:
      return 0;
    case engine::DecodeStatus::NoMemory:
      return E_OUTOFMEMORY;
    case engine::DecodeStatus::OutputStopped:
      return out.sinkFailed() ? E_WRITE : E_BADLENGTHS;
    case engine::DecodeStatus::Cancelled:
      return E_USERABORT;
    default:
      return E_INVALIDCODE;
  }
}

}  // namespace

int32_t TUnGZIP::activate() {
  if (!beginRun()) return 0;
  if (arcType_ != atGZip) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  // The entry as the walk sees it.
  TArcLister lister;
  lister.OnError = [this](TZipCommon&, const std::string&, const std::string&, int32_t code) { raiseError(code); };
  bool found = false;
  ArcEntry entry;
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) { entry = l.entry(), found = true; };
  lister.setArchiveFile(archiveFile_);
  lister.activate();
  vz::File file;
  if (!found || !wanted(entry.fileName)) return endRun();
  if (!file.open(archiveFile_, vz::File::Mode::Read)) {
    raiseError(E_OPEN);
    return endRun();
  }
  uint8_t sig[2] = {0, 0};
  file.readAt(archiveStart_, sig, 2);
  const uint64_t packed = static_cast<uint64_t>(file.size() - archiveStart_);
  ExtractItem item;
  item.name = entry.fileName;
  item.recNum = 1;
  if (const auto t = vz::fromLocalTime(entry.dateTime)) item.mtime = *t;
  if (sig[1] == 0x8B) {
    item.size = static_cast<uint64_t>(entry.unpackedSize);
    // ISIZE is the size modulo 2^32: the bound when no larger size can be.
    item.limit = packed * kDeflateRatio < (uint64_t{1} << 32) ? item.size : packed * kDeflateRatio + 65536;
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) return endRun();
    ArchiveInput in(file, archiveStart_, packed);
    codecs::GzipMemberResult result;
    int32_t error = gzipError(codecs::decodeGzipMember(in, *sink, result), *sink);
    if (error == 0 && result.anotherMember) error = E_MULTIPARTGZIP;
    finishEntry(std::move(sink), error);
  } else if (sig[1] == 0x9D) {
    item.limit = lzwBound(packed);
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) return endRun();
    ArchiveInput in(file, archiveStart_, packed);
    const int32_t error = lzwError(codecs::decodeLzwCompress(in, *sink), *sink);
    finishEntry(std::move(sink), error);
  } else {
    raiseError(E_UNSUPPORTEDMETHOD);
  }
  return endRun();
}

}  // namespace vz::readers
