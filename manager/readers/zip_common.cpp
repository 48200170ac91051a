// TZipCommon: the archive file, its detection, and the error event.
#include "manager/readers/zip_common.h"

#include "manager/readers/type_detect.h"

namespace vz::readers {

void TZipCommon::setArchiveFile(const std::string& path) {
  archiveFile_ = path;
  const DetectedType d = detectArchiveType(path, zipCommentBufferSize());
  arcType_ = d.type;
  archiveStart_ = d.archiveStart;
  zipStart_ = d.zipStart;
  fileSize_ = d.fileSize;
}

void TZipCommon::raiseError(int32_t code, const std::string& volumeId) {
  if (OnError) OnError(*this, archiveFile_, volumeId, code);
}

}  // namespace vz::readers
