// TUnZOO: extracts ZOO archives.
//
// The entries come from the lister's walk (walk_zoo.cpp: the linked list
// of directory entries, deleted ones skipped, long names and folders from
// the variable part). Method 0 is stored, 1 the LZW of codecs/zoo_lzw.h, 2
// the -lh5- of codecs/lh_block.h; each file's CRC-16 is checked against
// the entry's, a mismatch (or a size other than the declared one)
// reporting 25118 with OnEnd's CRC_PASS false and leaving no file. Other
// methods report 25200 for that entry.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnZOO : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
