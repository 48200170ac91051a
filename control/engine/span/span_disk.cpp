// Drive checks and the disk prompt of spanned backups (span_disk.h).
#include "control/engine/span/span_disk.h"

#include <optional>

#include "control/engine/common/prompts.h"
#include "control/engine/write/archive_update_place.h"
#include "platform/drives.h"
#include "platform/paths.h"

namespace vz::engine {

bool isDisketteReady(std::string_view path) {
  const std::string native = toNativePath(path);
  if (drives::driveType(native) == DriveType::NoRootDir) return false;
  return drives::freeSpace(native).has_value();
}

bool isRemovableDrive(std::string_view path) { return drives::driveType(toNativePath(path)) == DriveType::Removable; }

bool isWriteProtectedMedium(std::string_view path) {
  const std::string native = toNativePath(path);
  if (drives::isWriteProtected(native)) return true;
  return removableDiskTest(native) != PlaceStatus::Ok;
}

bool isDriveWriteable(std::string_view path) {
  const std::string native = toNativePath(path);
  const DriveType type = drives::driveType(native);
  if (type == DriveType::CdRom) return false;
  if (type == DriveType::Removable) return !isWriteProtectedMedium(native);
  return true;
}

bool isWriteable(std::string_view path, int64_t size) {
  const std::optional<uint64_t> free = drives::freeSpace(toNativePath(path));
  if (!free) return false;
  return size <= 0 || *free >= static_cast<uint64_t>(size);
}

std::string diskPromptText(std::string_view text, int diskNumber, int diskCount) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
      out += std::to_string(text[i + 1] == '1' ? diskNumber : diskCount);
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool askForDisk(const SpanSession& session, int diskNumber, int diskCount) {
  if (!session.prompts) return false;
  DiskRequest req;
  req.text = diskPromptText(session.message, diskNumber, diskCount);
  req.caption = diskPromptText(session.title, diskNumber, diskCount);
  return session.prompts->askForDisk(req);
}

}  // namespace vz::engine
