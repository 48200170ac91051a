// `qx --list-items ARCHIVE [SORTMODE]`: the control's item list of an
// archive, one item a line.
//
// A list box is made in the handle table, BuildZIPITEMList fills it in
// list-box mode with system icons off (sorted by SORTMODE; without one the
// list stays in archive order), and every item is read back through the
// accessor methods (GetZIPITEMName and companions), so the output shows
// exactly what a host sees. Fields, separated by tabs:
//
//   NAME  DIRECTORY  FLAGS  METHOD  DATE  TIME  SIZE  RATE  CRC  ICON
//
//   NAME, DIRECTORY  as the accessors give them (tabs and line breaks as
//                    \t, \n, \r); the directory ends with "\", both may be empty
//   FLAGS    seven places, a letter when the flag is set, "-" when not:
//            D directory, E encrypted, A archive, H hidden, S system,
//            R read-only, C file comment
//   METHOD   the method, 0 to 9 (9: any method above 8)
//   DATE     YYYY-MM-DD; the two-digit year is read as the sort does it
//            (below 50: 20xx, else 19xx)
//   TIME     HH:MM
//   SIZE     uncompressed size in bytes
//   RATE     compression rate in percent
//   CRC      eight lower-case hexadecimal digits
//   ICON     the icon index
//
// The accessors take a 16-bit index, so at most 32,767 items can be read;
// a longer list prints those and fails.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "platform/com/dispatch.h"

namespace vz::qx {

// Lists the items; returns an ExitStatus value (kExitArchiveUnreadable when
// BuildZIPITEMList reports -1).
int listItems(com::IDispatch& control, const std::string& archive, std::optional<int16_t> sortMode, std::ostream& out,
              std::ostream& err);

// The FLAGS field for the seven flags in the order above.
std::string itemFlagLetters(bool dir, bool encrypted, bool archive, bool hidden, bool system, bool readOnly,
                            bool comment);
// The DATE field of a two-digit year, month and day.
std::string itemDateText(int year, int month, int day);

}  // namespace vz::qx
