// TUnBase, the base of the format extractors (TUnTAR, TUnGZIP, TUnCAB, ...),
// and TCompBase, the base of the archive writers (TBlakHole).
//
// An extractor lists the archive with the format's walker, and for every
// entry matching FileSpec raises OnBegin (the handler may clear Extract),
// decides the output path (extract_target.h: always inside ExtractDir, with
// the stored folders when UseStoredDirs), asks OnFileExists when the file is
// there, decodes the entry through the format's decoder (one file per
// method, over the decoders' input/output interfaces), raising OnProgress
// at every ProgressNotify step, writes it under a temporary name renamed
// into place when complete, sets the date (SetDateTo) and attributes, and
// raises OnEnd with the CRC verdict. Failures go to OnError with the
// table's codes and end the entry, not the archive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "manager/readers/entry_record.h"
#include "manager/readers/zip_common.h"
#include "platform/attributes.h"

namespace vz::readers {

class TUnBase : public TZipCommon {
 public:
  bool UseStoredDirs = true;
  std::string ExtractDir;
  std::string FileSpec = "*.*";
  TProgressNotify ProgressNotify = Ten;
  TSetDate SetDateTo = OrigDate;

  std::function<void(TUnBase&)> OnActivate;
  std::function<void(TUnBase&)> OnDeactivate;
  std::function<void(TUnBase&, const std::string& fn, uint8_t progress)> OnProgress;
  std::function<void(TUnBase&, const std::string& fn, int32_t recNum, bool& extract)> OnBegin;
  std::function<void(TUnBase&, const std::string& fn, bool crcPass)> OnEnd;
  std::function<void(TUnBase&, const std::string& fn, const vz::LocalTime& fileDate, bool& accept)> OnFileExists;

  // Extracts every matching entry. Returns the number of entries extracted
  // with a good CRC.
  virtual int32_t activate() = 0;
};

class TCompBase : public TZipCommon {
 public:
  TztvFileAttr FileAttribute = 0;
  std::string DefaultDir;
  bool StoreDirs = false;
  std::string FileSpec;
  TProgressNotify ProgressNotify = Ten;
  bool RecurseDirs = false;
  TSwitch Switch = swAdd;

  std::function<void(TCompBase&)> OnActivate;
  std::function<void(TCompBase&)> OnDeactivate;
  std::function<void(TCompBase&, const std::string& fn, int32_t recNum, bool& extract)> OnBegin;
  std::function<void(TCompBase&, const std::string& fn, bool crcPass)> OnEnd;
  std::function<void(TCompBase&, int32_t offset, int32_t filenum)> OnRead;
  std::function<void(TCompBase&, const std::string& directory)> OnRecurseDir;
  std::function<void(TCompBase&, const std::string& fn, const vz::LocalTime& oldDate, const vz::LocalTime& newDate,
                     int32_t oldFileSize, int32_t newFileSize, int32_t oldAttr, int32_t newAttr, bool& replace)>
      OnReplaceFile;
};

}  // namespace vz::readers
