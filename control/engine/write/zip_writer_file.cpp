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

// Test hook: sources that cannot be opened.
std::function<bool(const std::string&)>& sourceOpenFails() {
  static std::function<bool(const std::string&)> fails;
  return fails;
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

void setSourceOpenFailureForTesting(std::function<bool(const std::string&)> fails) {
  sourceOpenFails() = std::move(fails);
}

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

namespace {

FileWriteResult fail(WriteStatus status, bool fatal) {
  FileWriteResult r;
  r.status = status;
  r.fatal = fatal;
  return r;
}
bool failed(const FileWriteResult& r) { return r.status != WriteStatus::Ok || r.fatal; }

// Step 1: the file opened (a directory is not) and what it is.
struct SourceFacts {
  File in;              // open for reading; closed for a directory
  uint64_t length = 0;  // bytes to store: the length at opening
  std::time_t modified = 0;
  uint32_t attributes = 0;  // DOS attributes as the entry records them
};

WriteStatus openSource(const DiskFile& f, SourceFacts& src) {
  if (f.isDirectory) {
    const std::optional<std::time_t> t = getFileTime(f.nativePath);
    if (!t) return WriteStatus::IoError;
    src.modified = *t;
  } else {
    if (sourceOpenFails() && sourceOpenFails()(f.nativePath)) return WriteStatus::IoError;
    if (!src.in.open(f.nativePath, File::Mode::Read)) return WriteStatus::IoError;
    struct stat st {};
    if (fstat(src.in.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return WriteStatus::IoError;
    if (static_cast<uint64_t>(st.st_size) > kMaxEntryLength) return WriteStatus::Unreadable;
    src.length = static_cast<uint64_t>(st.st_size);
    src.modified = st.st_mtime;
  }
  uint32_t attributes = getFileAttributes(f.nativePath).value_or(0);
  if (attributes == kAttrNormal) attributes = 0;
  if (f.isDirectory) attributes |= kAttrDirectory;
  src.attributes = attributes;
  return WriteStatus::Ok;
}

// Steps 2 to 5 for one opened file: each step returns Ok to go on, or the
// result that ends the entry.
class EntryWriter {
 public:
  EntryWriter(ArchiveBuilder& b, const DiskFile& f, const FileWriteOptions& o, const std::string& name,
              SourceFacts& src)
      : b_(b), f_(f), o_(o), name_(name), text_(f.shownPath.c_str()), src_(src), input_(src.in, src.length) {}

  FileWriteResult run() {
    facts_.dosDateTime = dosDateTimeOf(src_.modified);
    facts_.attributes = src_.attributes;
    facts_.utf8Name = utf8NameFlag(name_) != 0;
    facts_.nameLength = static_cast<uint16_t>(name_.size());
    facts_.uncompressedSize = static_cast<uint32_t>(src_.length);
    headerPos_ = b_.position();
    if (headerPos_ < 0 || headerPos_ > kMaxRecordOffset) return fail(WriteStatus::Unreadable, false);
    facts_.localHeaderOffset = static_cast<uint32_t>(headerPos_);
    try {
      buf_.resize(kCopyBufferSize);
    } catch (const std::bad_alloc&) {
      return fail(WriteStatus::NoMemory, true);
    }

    deflated_ = !storedByRule(f_.storedName, f_.isDirectory, src_.length, o_.compressionMode);
    if (!writeProvisionalHeader(deflated_)) return fail(WriteStatus::IoError, true);
    if (deflated_) {
      if (FileWriteResult r = writeDeflated(); failed(r)) return r;
    }
    if (!deflated_ && !f_.isDirectory) {
      if (FileWriteResult r = writeStored(); failed(r)) return r;
    }
    if (f_.isDirectory) facts_.crc32 = facts_.compressedSize = 0;
    facts_.deflated = deflated_;
    if (b_.overflows()) return dropEntry(WriteStatus::Unreadable);
    if (FileWriteResult r = writeSizes(); failed(r)) return r;
    return finishEntry();
  }

 private:
  // Drops what was written of this entry; the archive being built goes on.
  FileWriteResult dropEntry(WriteStatus status) {
    if (!b_.truncateTo(headerPos_)) return fail(WriteStatus::IoError, true);
    return fail(status, false);
  }

  // Step 2: the provisional local header (bit 3, CRC and sizes 0).
  bool writeProvisionalHeader(bool deflated) {
    NewEntryFacts p = facts_;
    p.deflated = deflated;
    p.descriptorFollows = true;
    p.crc32 = p.compressedSize = p.uncompressedSize = 0;
    const auto bytes = encodeLocalHeader(localHeaderFor(newEntryRecord(p), 0));
    return b_.write(bytes.data(), bytes.size()) && b_.write(name_.data(), name_.size());
  }

  // Step 3, deflated: the compressor's output; when it did not shrink, the
  // entry starts again to be written stored (deflated_ cleared).
  FileWriteResult writeDeflated() {
    DeflateEncoder* encoder = nullptr;
    try {
      encoder = sharedEncoder();
    } catch (const std::bad_alloc&) {
      return fail(WriteStatus::NoMemory, true);
    }
    BuilderOutput out(b_);
    DeflateProgress progress;
    progress.window = o_.window;
    progress.pump = o_.pump;
    progress.fileName = text_;
    const DeflateResult d = encoder->compress(o_.compressionMode, input_, out, progress);
    if (d.busy) return fail(WriteStatus::IoError, true);
    if (d.outputError) return fail(WriteStatus::CompressorOutput, true);
    if (input_.failed()) return dropEntry(WriteStatus::Unreadable);
    facts_.crc32 = d.crc32;
    facts_.compressedSize = static_cast<uint32_t>(d.compressedSize);
    if (d.compressedSize >= src_.length) {
      // Did not shrink: the same entry again, stored.
      if (!b_.truncateTo(headerPos_)) return fail(WriteStatus::IoError, true);
      if (!input_.rewind()) return dropEntry(WriteStatus::Unreadable);
      deflated_ = false;
      if (!writeProvisionalHeader(false)) return fail(WriteStatus::IoError, true);
    }
    return {};
  }

  // Step 3, stored: the file copied unchanged.
  FileWriteResult writeStored() {
    const StoredCopy c = copyStored(b_, input_, buf_, o_, text_);
    if (c.outputFailed) return fail(WriteStatus::IoError, true);
    if (input_.failed()) return dropEntry(WriteStatus::Unreadable);
    facts_.crc32 = c.crc;
    facts_.compressedSize = static_cast<uint32_t>(src_.length);
    return {};
  }

  // Step 4: the final local header, or a data descriptor when it cannot be
  // rewritten.
  FileWriteResult writeSizes() {
    const auto finalHeader = encodeLocalHeader(localHeaderFor(newEntryRecord(facts_), 0));
    bool seekFailed = false;
    if (!b_.rewriteAt(headerPos_, finalHeader.data(), finalHeader.size(), &seekFailed)) {
      if (!seekFailed) return fail(WriteStatus::IoError, true);
      DataDescriptor d{facts_.crc32, facts_.compressedSize, facts_.uncompressedSize};
      const auto bytes = encodeDataDescriptor(d);
      if (!b_.write(bytes.data(), bytes.size())) return fail(WriteStatus::IoError, true);
      facts_.descriptorFollows = true;
    }
    return {};
  }

  // Step 5: the central record, the report and the result.
  FileWriteResult finishEntry() {
    CentralRecord r;
    r.header = newEntryRecord(facts_);
    r.name = name_;
    b_.addRecord(std::move(r));
    FileWriteResult result;
    result.length = src_.length;
    result.compressedSize = facts_.compressedSize;
    notify(o_.window, o_.pump, kNotifyFileZipped,
           static_cast<WParam>(compressionRateForReport(facts_.compressedSize, src_.length)),
           reinterpret_cast<LParam>(text_));
    return result;
  }

  ArchiveBuilder& b_;          // the archive being built (not owned)
  const DiskFile& f_;          // the file
  const FileWriteOptions& o_;  // compression mode, reports
  const std::string& name_;    // the entry name as written
  const char* text_;           // the text of the reports
  SourceFacts& src_;           // the opened file
  CheckedFileInput input_;     // reads src_.in up to its length
  NewEntryFacts facts_;        // the entry's fields, completed step by step
  int64_t headerPos_ = 0;      // where the local header starts
  bool deflated_ = false;      // the data is deflated (cleared when it did not shrink)
  std::vector<uint8_t> buf_;   // the copy buffer of stored data
};

}  // namespace

FileWriteResult writeDiskFile(ArchiveBuilder& b, const DiskFile& f, const FileWriteOptions& o) {
  const std::string name = entryNameForWriting(f.storedName);
  if (name.empty() || name.size() > 0xFFFF) return fail(WriteStatus::IoError, false);
  SourceFacts src;
  if (const WriteStatus s = openSource(f, src); s != WriteStatus::Ok) return fail(s, false);
  return EntryWriter(b, f, o, name, src).run();
}

}  // namespace vz::engine
