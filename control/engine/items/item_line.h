// The list-box line of an item: one ZIPITEM as one line of text, written by
// the item list in list-box mode and read back by the item accessors (and
// by anything else that takes items from a host's list box).
//
//   FFm;h;mi;d;mo;y;size;rate;icon;crc;DIR:NAME
//
//   FF    flag byte, two lower-case hex digits: read-only 0x01, hidden 0x02,
//         system 0x04, cut-directory mark 0x08 (below), directory 0x10,
//         archive 0x20, encrypted 0x40, file comment 0x80
//   m     method capped at 9, one digit, directly behind the flag byte
//   h, mi, d, mo, y  hour, minute, day, month, two-digit year (decimal)
//   size  uncompressed size (unsigned decimal, 0 for a directory)
//   rate  compression rate in percent
//   icon  icon index
//   crc   CRC-32 as an unsigned decimal number
//   DIR   directory part ("\" at its end), NAME the name part
//
// An empty directory or name is written as a single blank and read back as
// empty.
//
// Where the line differs from the line as first designed, and why (every
// line written must read back as the same ZIPITEM):
//   - The flag byte is built from the attribute bits the ZIPITEM carries
//     (0x37) with the encrypted and comment bits OR-ed in. Adding 0x40 and
//     0x80 to the whole low attribute byte made those bits ambiguous for
//     archives whose attributes use them (0x80 is "normal file" on the
//     original platform) and could carry into a third hex digit, which
//     shifted the method digit.
//   - The ten number fields are split at the first ten ";" and everything
//     after them is DIR:NAME, so names with ";" stay whole.
//   - DIR and NAME are split at the ":" that follows the directory's
//     closing "\" (a name never holds "\"), so names and directories with
//     ":" stay whole. A directory cut to its 260-byte block has no closing
//     "\": it is written with one appended and the flag bit 0x08 set, and
//     the reader drops that "\" again.
//   - A name made only of blanks is written with one more blank, and a
//     field of n > 0 blanks reads back as n - 1 blanks, so a name that is a
//     single blank does not read back as empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/engine/format/zip_item.h"

namespace vz::engine {

// The flag byte's bits.
inline constexpr uint8_t kLineCutDirectory = 0x08;  // the directory field ends with an added "\"
inline constexpr uint8_t kLineEncrypted = 0x40;
inline constexpr uint8_t kLineAnnotated = 0x80;

// The line of an item.
std::string formatItemLine(const ZIPITEM& item);
// The same into out (its storage is reused).
void formatItemLineInto(const ZIPITEM& item, std::string& out);

// The fields of a line as written, before decoding.
struct ItemLineFields {
  uint8_t flags = 0;
  int32_t method = 0, hour = 0, minute = 0, day = 0, month = 0, year = 0;
  uint32_t size = 0;
  int32_t rate = 0, icon = 0;
  uint32_t crc = 0;
  std::string_view tail;       // "DIR:NAME" as written (the text behind the tenth ";")
  std::string_view directory;  // DIR as written (a blank for none, the cut mark's "\" included)
  std::string_view name;       // NAME as written (a blank for none)
};

// Splits and checks a line. False when it is not a line of this format:
// a field missing, a number field that is not a decimal number in range,
// a flag byte that is not two hex digits, or no "DIR:NAME" boundary.
bool splitItemLine(std::string_view line, ItemLineFields& out);

// Reads a line back into an item; false (out untouched) when the line
// does not parse.
bool parseItemLine(std::string_view line, ZIPITEM& out);

}  // namespace vz::engine
