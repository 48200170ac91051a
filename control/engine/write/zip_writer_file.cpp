// Writing one disk file as an entry (see zip_writer_file.h).
#include "control/engine/write/zip_writer_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/format/crc32.h"
#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/common/notify.h"
#include "platform/attributes.h"
#include "platform/charcase.h"
#include "platform/codepage.h"

namespace vz::engine {

namespace {

// The compressor keeps about 420 KB of fixed buffers; it is made once for
// the process and reused by every file (one file is compressed at a time).
DeflateEncoder* sharedEncoder() {
  static std::unique_ptr<DeflateEncoder> encoder;
  if (!encoder) encoder = std::make_unique<DeflateEncoder>();  // may throw std::bad_alloc
  return encoder.get();
}

// Reads an open file from its start up to the length it had when it was
// opened, remembering whether a read failed or the file ended early.
class CheckedFileInput final : public DeflateInput {
 public:
  CheckedFileInput(File& file, uint64_t length) : file_(file), length_(length) {}

  size_t read(uint8_t* buf, size_t n) override {
    n = static_cast<size_t>(std::min<uint64_t>(n, length_ - consumed_));
    size_t got = 0;
    while (got < n) {
      const int64_t r = file_.read(buf + got, n - got);
      if (r < 0) {
        error_ = true;
        break;
      }
      if (r == 0) {
        error_ = true;  // the file ended before its length: it changed under us
        break;
      }
      got += static_cast<size_t>(r);
    }
    consumed_ += got;
    return got;
  }
  uint64_t length() const override { return length_; }

  bool failed() const { return error_ || consumed_ != length_; }
  bool rewind() {
    consumed_ = 0;
    error_ = false;
    return file_.seek(0);
  }

 private:
  File& file_;             // the open disk file (not owned)
  uint64_t length_;        // bytes to read: the length at opening
  uint64_t consumed_ = 0;  // bytes handed out so far
  bool error_ = false;     // a read failed or the file ended early
};

// The compressor's output into the archive being built (through the
// builder, so that the test observer sees every write).
class BuilderOutput final : public DeflateOutput {
 public:
  explicit BuilderOutput(ArchiveBuilder& b) : builder_(b) {}
  bool write(const uint8_t* data, size_t count) override { return builder_.write(data, count); }

 private:
  ArchiveBuilder& builder_;  // the archive being built (not owned)
};

FileWriteResult fail(int16_t status, bool fatal) {
  FileWriteResult r;
  r.status = status;
  r.fatal = fatal;
  return r;
}

struct StoredCopy {
  bool outputFailed = false;
  uint32_t crc = 0;
};

// Copies the file unchanged after the local header, reporting after every
// read.
StoredCopy copyStored(ArchiveBuilder& b, CheckedFileInput& in, std::vector<uint8_t>& buf, const FileWriteOptions& o,
                      const char* text) {
  StoredCopy c;
  const uint64_t length = in.length();
  uint64_t done = 0;
  while (done < length) {
    const size_t n = in.read(buf.data(), buf.size());
    if (n == 0) break;
    c.crc = crc32Update(c.crc, buf.data(), n);
    if (!b.write(buf.data(), n)) {
      c.outputFailed = true;
      break;
    }
    done += n;
    const auto rate = static_cast<WParam>(done * 100 / length);
    notify(o.window, o.pump, kNotifyZipping2, rate, reinterpret_cast<LParam>(text));
    notify(o.window, o.pump, kNotifyZipping, static_cast<WParam>(done / 1024 + 1), reinterpret_cast<LParam>(text));
  }
  return c;
}

}  // namespace

std::string entryNameForWriting(const std::string& storedName) { return toUpper(storedName); }

uint16_t utf8NameFlag(const std::string& name) {
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return (!ascii && isValidUtf8(name)) ? kFlagUtf8Name : 0;
}

bool storedByRule(const std::string& storedName, bool isDirectory, uint64_t length, int compressionMode) {
  if (isDirectory || length < kMinDeflateLength || compressionMode == 3) return true;
  // Archives inside archives do not shrink.
  return storedName.size() >= 5 && equalsNoCase(std::string_view(storedName).substr(storedName.size() - 4), ".ZIP");
}

int compressionRateForReport(uint64_t compressedSize, uint64_t length) {
  if (length == 0) return 0;
  return static_cast<int>(std::min<uint64_t>(compressedSize * 100 / length, 100));
}

FileWriteResult writeDiskFile(ArchiveBuilder& b, const DiskFile& f, const FileWriteOptions& o) {
  FileWriteResult result;
  const char* text = f.shownPath.c_str();
  const std::string name = entryNameForWriting(f.storedName);
  if (name.empty() || name.size() > 0xFFFF) return fail(2, false);

  // 1. What the file is.
  File in;
  uint64_t length = 0;
  std::time_t modified = 0;
  if (f.isDirectory) {
    const std::optional<std::time_t> t = getFileTime(f.nativePath);
    if (!t) return fail(2, false);
    modified = *t;
  } else {
    if (!in.open(f.nativePath, File::Mode::Read)) return fail(2, false);
    struct stat st {};
    if (fstat(in.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return fail(2, false);
    if (static_cast<uint64_t>(st.st_size) > kMaxEntryLength) return fail(12, false);
    length = static_cast<uint64_t>(st.st_size);
    modified = st.st_mtime;
  }
  uint32_t attributes = getFileAttributes(f.nativePath).value_or(0);
  if (attributes == kAttrNormal) attributes = 0;
  if (f.isDirectory) attributes |= kAttrDirectory;

  NewEntryFacts facts;
  facts.dosDateTime = dosDateTimeOf(modified);
  facts.attributes = attributes;
  facts.utf8Name = utf8NameFlag(name) != 0;
  facts.nameLength = static_cast<uint16_t>(name.size());
  facts.uncompressedSize = static_cast<uint32_t>(length);

  const int64_t headerPos = b.position();
  if (headerPos < 0 || headerPos > kMaxRecordOffset) return fail(12, false);
  facts.localHeaderOffset = static_cast<uint32_t>(headerPos);

  // Drops what was written of this entry; the archive being built goes on.
  auto dropEntry = [&](int16_t status) {
    if (!b.truncateTo(headerPos)) return fail(2, true);
    return fail(status, false);
  };
  // Writes the provisional local header (bit 3, CRC and sizes 0).
  auto writeProvisionalHeader = [&](bool deflated) {
    NewEntryFacts p = facts;
    p.deflated = deflated;
    p.descriptorFollows = true;
    p.crc32 = p.compressedSize = p.uncompressedSize = 0;
    const auto bytes = encodeLocalHeader(localHeaderFor(newEntryRecord(p), 0));
    return b.write(bytes.data(), bytes.size()) && b.write(name.data(), name.size());
  };

  CheckedFileInput input(in, length);
  std::vector<uint8_t> buf;
  try {
    buf.resize(kCopyBufferSize);
  } catch (const std::bad_alloc&) {
    return fail(5, true);
  }

  bool deflated = !storedByRule(f.storedName, f.isDirectory, length, o.compressionMode);
  // 2 and 3.
  if (!writeProvisionalHeader(deflated)) return fail(2, true);
  if (deflated) {
    DeflateEncoder* encoder = nullptr;
    try {
      encoder = sharedEncoder();
    } catch (const std::bad_alloc&) {
      return fail(5, true);
    }
    BuilderOutput out(b);
    DeflateProgress progress;
    progress.window = o.window;
    progress.pump = o.pump;
    progress.fileName = text;
    const DeflateResult d = encoder->compress(o.compressionMode, input, out, progress);
    if (d.busy) return fail(2, true);
    if (d.outputError) return fail(3, true);
    if (input.failed()) return dropEntry(12);
    facts.crc32 = d.crc32;
    facts.compressedSize = static_cast<uint32_t>(d.compressedSize);
    if (d.compressedSize >= length) {
      // Did not shrink: the same entry again, stored.
      if (!b.truncateTo(headerPos)) return fail(2, true);
      if (!input.rewind()) return dropEntry(12);
      deflated = false;
      if (!writeProvisionalHeader(false)) return fail(2, true);
    }
  }
  if (!deflated && !f.isDirectory) {
    const StoredCopy c = copyStored(b, input, buf, o, text);
    if (c.outputFailed) return fail(2, true);
    if (input.failed()) return dropEntry(12);
    facts.crc32 = c.crc;
    facts.compressedSize = static_cast<uint32_t>(length);
  }
  if (f.isDirectory) facts.crc32 = facts.compressedSize = 0;
  facts.deflated = deflated;
  if (b.overflows()) return dropEntry(12);

  // 4. The final local header, or a data descriptor when it cannot be
  // rewritten.
  const auto finalHeader = encodeLocalHeader(localHeaderFor(newEntryRecord(facts), 0));
  bool seekFailed = false;
  if (!b.rewriteAt(headerPos, finalHeader.data(), finalHeader.size(), &seekFailed)) {
    if (!seekFailed) return fail(2, true);
    DataDescriptor d{facts.crc32, facts.compressedSize, facts.uncompressedSize};
    const auto bytes = encodeDataDescriptor(d);
    if (!b.write(bytes.data(), bytes.size())) return fail(2, true);
    facts.descriptorFollows = true;
  }

  CentralRecord r;
  r.header = newEntryRecord(facts);
  r.name = name;
  b.addRecord(std::move(r));

  // 5.
  result.length = length;
  result.compressedSize = facts.compressedSize;
  notify(o.window, o.pump, kNotifyFileZipped, static_cast<WParam>(compressionRateForReport(facts.compressedSize, length)),
         reinterpret_cast<LParam>(text));
  return result;
}

}  // namespace vz::engine
