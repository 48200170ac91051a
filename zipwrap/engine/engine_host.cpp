// EngineHost: the records of engine_abi.h filled and the replies read.
#include "zipwrap/engine/engine_host.h"

#include <algorithm>
#include <cstring>

namespace vz::zipwrap {
namespace {

uint32_t cut32(uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

// The text a host wrote into a buffer of size bytes, up to its first zero
// or limit characters.
std::string bufferText(const char* buffer, size_t size, size_t limit) {
  size_t n = 0;
  size_t most = std::min(size - 1, limit);
  while (n < most && buffer[n] != '\0') ++n;
  return std::string(buffer, n);
}

}  // namespace

bool EngineHost::raise(uint32_t code, void* record) {
  if (callback_ == nullptr) return !stopped_;
  if (callback_(code, record, user_) != kReplyContinue) stopped_ = true;
  return !stopped_;
}

bool EngineHost::fileEvent(uint32_t code, const FileEvent& e) {
  ZwFileRecord r{};
  r.fileName = e.name.c_str();
  r.size = cut32(e.size);
  r.valueA = cut32(e.packedSize);
  r.valueB = e.crc32;  // the totals record (90) carries the entry count here
  r.attributes = e.dosAttributes;
  r.dosTime = static_cast<uint16_t>(e.dosDateTime & 0xFFFF);
  r.dosDate = static_cast<uint16_t>(e.dosDateTime >> 16);
  r.valueC = e.unixMode;
  r.byteA = static_cast<uint8_t>(e.method);
  r.percentDone = std::min<uint8_t>(e.percentDone, 100);
  r.byteB = e.size == 0 || e.packedSize >= e.size ? 0 : static_cast<uint8_t>(100 - (e.packedSize * 100 + e.size - 1) / e.size);
  r.flagA = e.encrypted ? 1 : 0;
  r.textA = e.comment.c_str();
  r.byteC = e.hostSystem;
  return raise(code, &r);
}

bool EngineHost::nameEvent(uint32_t code, const std::string& name) {
  return raise(code, const_cast<char*>(name.c_str()));
}

bool EngineHost::skipped(const std::string& name, SkipReason reason) {
  ZwSkipRecord r{name.c_str(), reason};
  return raise(kCbSkipping, &r);
}

bool EngineHost::entryCount(uint32_t entries) {
  ZwCountRecord r{entries};
  return raise(kCbEntryCount, &r);
}

ReplaceAnswer EngineHost::askReplace(const std::string& path, std::string& newName) {
  newName.clear();
  if (callback_ == nullptr) return ReplaceAnswer::Keep;
  char buffer[kZwNameBufferSize] = {};
  ZwReplaceRecord r{path.c_str(), buffer, 0};
  if (!raise(kCbReplace, &r)) return ReplaceAnswer::Stop;
  if (r.answer != 1) return ReplaceAnswer::Keep;
  newName = bufferText(buffer, sizeof buffer, sizeof buffer - 1);
  return ReplaceAnswer::Replace;
}

PasswordAnswer EngineHost::askPassword(const std::string& name, std::string& password) {
  password.clear();
  if (callback_ == nullptr) return PasswordAnswer::SkipThis;
  char buffer[kZwPasswordBufferSize] = {};
  ZwPasswordRecord r{name.c_str(), buffer, 0};
  if (!raise(kCbPassword, &r)) return PasswordAnswer::Stop;
  switch (r.answer) {
    case 2:
      password = bufferText(buffer, sizeof buffer, kZwPasswordMaxLength);
      return PasswordAnswer::Use;
    case 1: return PasswordAnswer::SkipAll;
    default: return PasswordAnswer::SkipThis;
  }
}

bool EngineHost::askForDisk(uint32_t disk) {
  if (callback_ == nullptr) return false;
  ZwDiskRecord r{disk};
  return raise(kCbNewDisk, &r);
}

bool EngineHost::askFileComment(const std::string& name, std::string& comment) {
  comment.clear();
  if (callback_ == nullptr) return true;
  char buffer[kZwCommentBufferSize] = {};
  ZwCommentRecord r{name.c_str(), buffer, 0};
  if (!raise(kCbFileComment, &r)) return false;
  size_t n = std::min<size_t>(r.length, kZwCommentMaxLength);
  comment.assign(buffer, n);
  return true;
}

bool EngineHost::deliverArchiveComment(std::string_view comment) {
  ZwArchiveCommentOut r{comment.data(), static_cast<uint16_t>(std::min<size_t>(comment.size(), 0xFFFF))};
  return raise(kCbArchiveCommentOut, &r);
}

bool EngineHost::askArchiveComment(std::string& comment, bool& given) {
  comment.clear();
  given = false;
  if (callback_ == nullptr) return true;
  char buffer[kZwCommentBufferSize] = {};
  ZwArchiveCommentIn r{buffer, 0, 0};
  if (!raise(kCbArchiveCommentIn, &r)) return false;
  given = r.status == 1;
  if (given) comment.assign(buffer, std::min<size_t>(r.length, kZwCommentMaxLength));
  return true;
}

}  // namespace vz::zipwrap
