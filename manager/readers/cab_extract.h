// TUnCAB: extracts cabinets and cabinet sets (stored and MSZIP folders).
//
// Each folder is decoded once, front to back (codecs' CabFolderDecoder),
// and its bytes are routed to the files whose ranges (offset and size in
// the folder's uncompressed data) they cover; a file starts (OnBegin, its
// temporary file) when the folder's data reaches it and ends when its last
// byte came. When a cabinet names a next one, OnNextCabinet(FN, VolumeID,
// Cancel) is raised with its path and disk name and, unless cancelled, the
// walk goes on there: the last folder, when it continues, keeps its decoder
// and its unfinished files, and the continued records (0xFFFD, 0xFFFF) of
// the next cabinet, already known, are passed over. A missing next cabinet
// reports 25134, one of another set 25904, one that names itself or a set
// past 999 cabinets 25150; a first cabinet that is not the set's first
// reports 25901 for the files it cannot start. LZX folders report 25148,
// Quantum and other methods 25200, for each of their files.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnCAB : public TUnBase {
 public:
  std::function<void(TUnCAB&, const std::string& fn, const std::string& volumeId, bool& cancel)> OnNextCabinet;

  int32_t activate() override;

 private:
  class FolderStream;
  friend class FolderStream;
};

}  // namespace vz::readers
