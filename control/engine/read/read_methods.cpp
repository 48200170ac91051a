// The read side's archive-information operations (see read_methods.h). Each
// opens the archive through a DirectoryReader of its own, which closes the
// file and frees its buffers when the function returns, on every path.
//
// Comments are stored in the OEM code page (the writer converts them); they
// are handed to the host as ANSI text (UTF-8), and a comment cut at a length
// limit is cut at a character boundary.
#include "control/engine/read/read_methods.h"

#include <algorithm>
#include <cmath>

#include "control/engine/read/directory_reader.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/mask.h"
#include "control/engine/format/version_rules.h"
#include "platform/charcase.h"
#include "platform/codepage.h"

namespace vz::engine {

namespace {

// The most comment bytes a comment method reads (the input block).
constexpr size_t kCommentReadLimit = 24576;

// Opens the archive and finds its end record: the search's status, or
// CannotOpen when the archive cannot be opened.
ReadStatus openAndLocate(DirectoryReader& reader, const std::string& zipName) {
  if (!reader.open(zipName)) return ReadStatus::CannotOpen;
  return reader.locateEndRecord();
}

// Reads the first central entry; false when the archive has none or it
// cannot be read.
bool readFirstEntry(DirectoryReader& reader) {
  reader.rewind();
  return reader.hasMoreEntries() && reader.readNextEntry() != ReadStatus::NotZip;
}

// Comment bytes as host text, at most maxLength bytes. cut: the bytes are
// the front of a longer comment.
std::string commentText(std::string_view raw, bool cut, int maxLength) {
  if (maxLength <= 0 || raw.empty()) return {};
  // A cut can end inside a UTF-8 character; leave that fragment out so that
  // the rest still reads as UTF-8 (and not as CP437).
  if (cut) {
    const std::string_view whole = dropCutUtf8Tail(raw);
    if (isValidUtf8(whole)) raw = whole;
  }
  const std::string text = oemToAnsi(raw);
  return std::string(utf8Prefix(text, static_cast<size_t>(maxLength)));
}

// The first entry whose processed name equals the upper-cased mask exactly.
bool findEntryByName(DirectoryReader& reader, const std::string& mask, CentralHeader& header, int64_t& commentOffset) {
  const std::string wanted = toUpper(mask);
  bool found = false;
  // The walk's status is not needed: a directory that cannot be read to its
  // end, or a cut name, only means the entry was not found before it.
  (void)reader.walk({}, [&](const CentralEntry& e) {
    if (e.name != wanted) return true;
    header = e.header;
    commentOffset = e.commentOffset;
    found = true;
    return false;
  });
  return found;
}

}  // namespace

ReadStatus isZipFileQuick(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  ReadStatus status = openAndLocate(reader, zipName);
  if (status == ReadStatus::Corrected) status = ReadStatus::Ok;
  st.status = status;
  return status;
}

int16_t getMadeUnder(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status) || !readFirstEntry(reader)) return kMadeUnderUnknown;
  return madeUnderOf(reader.current().header.versionMadeBy);
}

int16_t getVersionMajor(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status) || !readFirstEntry(reader)) return 0;
  return versionMajorOf(reader.current().header.versionMadeBy);
}

int16_t getVersionMinor(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status) || !readFirstEntry(reader)) return 0;
  return versionMinorOf(reader.current().header.versionMadeBy);
}

int16_t getDiskId(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return 0;
  return static_cast<int16_t>(reader.endRecord().thisDisk);
}

int16_t getGlobalCommentSize(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return 0;
  return static_cast<int16_t>(reader.endRecord().commentLength);
}

std::string getGlobalComment(UnzipState& st, const std::string& zipName, int maxLength) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status) || maxLength <= 0) return {};
  const std::string bytes = reader.archiveComment(kCommentReadLimit);
  return commentText(bytes, bytes.size() < reader.endRecord().commentLength, maxLength);
}

int16_t getLocalCommentSize(UnzipState& st, const std::string& zipName, const std::string& mask) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return -1;
  CentralHeader header;
  int64_t commentOffset = 0;
  if (!findEntryByName(reader, mask, header, commentOffset)) return -1;
  return static_cast<int16_t>(header.commentLength);
}

std::string getLocalComment(UnzipState& st, const std::string& zipName, const std::string& mask, int maxLength) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status) || maxLength <= 0) return {};
  CentralHeader header;
  int64_t commentOffset = 0;
  if (!findEntryByName(reader, mask, header, commentOffset)) return {};
  const size_t n = std::min<size_t>(header.commentLength, kCommentReadLimit);
  std::string bytes(n, '\0');
  if (n == 0 || !reader.input().seek(commentOffset) || !reader.input().read(bytes.data(), n)) return {};
  return commentText(bytes, n < header.commentLength, maxLength);
}

int16_t getCount(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return -1;
  return static_cast<int16_t>(reader.endRecord().totalEntries);
}

double getTotalSize(UnzipState& st, const std::string& zipName, bool originalSize) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return 0;
  double sum = 0;
  const ReadStatus walked = reader.walk({}, [&](const CentralEntry& e) {
    sum += originalSize ? e.header.uncompressedSize : e.header.compressedSize;
    return true;
  });
  if (walked == ReadStatus::NotZip) {
    st.status = walked;
    return 0;
  }
  if (walked != ReadStatus::Ok) st.status = walked;
  return std::floor(sum / 1024.0 + 0.5);
}

bool isFileInZip(UnzipState& st, const std::string& zipName, const std::string& mask) {
  DirectoryReader reader(st);
  st.status = openAndLocate(reader, zipName);
  if (!isReadable(st.status)) return false;
  const std::string wanted = toUpper(mask);
  bool found = false;
  const ReadStatus walked = reader.walk({}, [&](const CentralEntry& e) {
    found = maskMatches(e.name, wanted);
    return !found;
  });
  if (walked != ReadStatus::Ok) st.status = walked;
  return found;
}

bool isFileNameInFilter(const std::string& name, const std::string& pattern) { return maskMatches(name, pattern); }

}  // namespace vz::engine
