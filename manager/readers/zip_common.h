// The root of the readers' component family: TAwkMain and TZipCommon (the
// archive file, its detected type and the error event), which every lister,
// extractor, converter and writer derives from.
//
// Events are std::function members that receive the component first
// (Sender), with the parameters of the Part's event table; a handler's
// out-parameters are references. An unassigned event is skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "manager/readers/arc_types.h"

namespace vz::readers {

class TAwkMain {
 public:
  virtual ~TAwkMain() = default;
  // The component's "About" text.
  std::string About = "Vemora.Zip archive readers";
};

class TZipCommon : public TAwkMain {
 public:
  // Setting the archive file runs the type detection (type_detect.h) and
  // stores the type and the archive start.
  void setArchiveFile(const std::string& path);
  const std::string& ArchiveFile() const { return archiveFile_; }
  TArcType ArcType() const { return arcType_; }
  // The archive's position in the file, zero-based (the original keeps it
  // one-based; archiveStartOneBased() gives that form).
  int64_t archiveStart() const { return archiveStart_; }
  int64_t archiveStartOneBased() const { return archiveStart_ + 1; }
  int64_t zipStart() const { return zipStart_; }
  int64_t fileSize() const { return fileSize_; }

  // OnError(Sender, FN, VolumeID, ECode).
  std::function<void(TZipCommon& sender, const std::string& fn, const std::string& volumeId, int32_t eCode)> OnError;

  // Raises OnError with the archive's name.
  void raiseError(int32_t code, const std::string& volumeId = {});

  // The ZIP comment buffer size the detection's end-record search uses
  // (TArcLister's ZipCmntBufSize; 0 elsewhere).
  virtual int32_t zipCommentBufferSize() const { return 0; }

 protected:
  std::string archiveFile_;
  TArcType arcType_ = atNA;
  int64_t archiveStart_ = 0;
  int64_t zipStart_ = -1;
  int64_t fileSize_ = 0;
};

}  // namespace vz::readers
