// TUnTAR: extracts TAR archives (ustar, GNU and pax; stored data only).
//
// The headers are read block by block through the codecs' TarHeaderReader
// (long names and pax records folded into their entry), from the archive
// start the detection found. Regular files are copied out of their data
// blocks; folders are made; symbolic links are made as links only when
// their target stays inside the destination; hard links become copies of
// the file the earlier entry wrote. Modes and times come from the header.
// A damaged header ends the run with 25108, data cut short with 25135.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnTAR : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
