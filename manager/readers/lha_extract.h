// TUnLHA: extracts LHA and LZH archives (plain or behind a self-extracting
// program), and PMarc archives, whose headers are LHA's.
//
// The entries come from the lister's walk (walk_lha.cpp: header levels 0
// to 3, their extended headers with names, folders, Unix times and
// permissions). Each file is decoded by its method through the family's
// method table (codecs/lh_methods.h: lh0 to lh7, lhx, lzs, lz4, lz5, pm0,
// and what else it decodes); its CRC-16 is checked against the header's,
// a mismatch reporting 25118 with OnEnd's CRC_PASS false and leaving no
// file. A method the table does not decode reports 25200 for that entry.
// -lhd- entries are folders (made when UseStoredDirs); a Unix symbolic
// link, stored as a folder entry named "link|target", becomes a link
// when its target stays inside the destination. Files of Mac archives
// (OS id 'm') that are MacBinary files are written as their data fork.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnLHA : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
