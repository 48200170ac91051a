// TUnGZIP: extracts the one file of a gzip file (deflate, its CRC-32 and
// size checked) or of a compress file (.Z, 1F 9D, LZW).
//
// The entry comes from the lister's walk (walk_gzip.cpp): the stored name,
// else the file's own name without ".gz" (".tgz" becomes ".tar") or ".Z".
// Its date is the stored time stamp, else the archive file's. A file with a
// second member after the first reports 25162 and is not written (the one
// file is the whole of what the format keeps here). Pack (1F 1E) and the
// other one-file compressors the detection counts as GZip report 25200.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnGZIP : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
