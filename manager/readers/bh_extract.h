// TUnBH: extracts BH archives (plain or behind a self-extractor) in the
// record layout of walk_bh.cpp: stored and deflated entries (deflate
// through the control's inflate, control/engine/decode/inflate.h), each
// entry's CRC-32 checked, folders (attribute 10 hex) made.
//
// Encrypted entries: the Passwords are tried, then OnGetPassword asked
// (password_loop.h), each candidate checked against the entry's 12-byte
// encryption header before any byte is written; an entry no password opens
// reports 25190. Methods other than 0 and 8 report 25200.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnBH : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
