// TUnARC: extracts the entries of ARC and PAK archives (plain or behind a
// self-extractor) with every method of the two formats: stored (1, 2),
// packed (3), squeezed (4), crunched (5 to 8), squashed (9), and PAK's
// crushed (10) and distilled (11) (the decoders: codecs/arc_methods.h).
//
// The entries are the lister's walk (walk_arc.cpp): ARC 7's information
// records are stepped over and its folders entered (their entries named
// with the folder in front), and PAK's extended records behind the end
// marker are never reached. Each entry is decoded with its output bounded
// by the declared size, and its CRC-16 and size checked: a mismatch is
// 25118 with OnEnd's CRC_PASS false, a stream that does not decode is the
// method's code (25111 a bad LZW code, 25119 a bad tree, 25135 a stream
// that ends inside a header), and a method without a decoder 25200; each
// ends only its entry. The archive's entries carry DOS times and no
// attributes of their own.
#pragma once

#include "manager/readers/un_base.h"

namespace vz::readers {

class TUnARC : public TUnBase {
 public:
  int32_t activate() override;
};

}  // namespace vz::readers
