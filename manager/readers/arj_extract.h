// TUnARJ: extracts ARJ archives (plain or behind a self-extractor) with
// methods 0 (stored), 1 to 3 and 4 (codecs/arj_data.h), each part's CRC-32
// checked.
//
// The extractor walks the headers with the lister's parser (walk_arj.cpp,
// arj_header.h) over every volume of a set: an archive whose main header
// says more volumes follow goes on in NAME.A01, NAME.A02 ... (the lister's
// volume names), and an entry marked as continued is decoded part by part
// from the first header of each next volume, where each part has its own
// method, sizes and CRC. A missing or foreign next volume ends that entry
// (25134, or the header's code, with the volume's name) and the walk; the
// entries before it stay extracted. A part whose start lies in an earlier
// volume that was not given (a set opened at NAME.A01) reports 25145.
//
// Garbled entries (flag bit 0) are ungarbled with a password from the
// Passwords / OnGetPassword loop (password_loop.h). The garbling carries no
// check value, so a candidate is accepted when the entry's first part
// decodes with its CRC right; then the entry is decoded into its file. An
// entry without a working password reports 25190; the stronger ciphers of
// later versions (main header encryption version 2 and up) report 25200.
// Volume labels (file type 4) are skipped; folders (type 3) are made.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnARJ : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
