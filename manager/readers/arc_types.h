// The multi-format readers' enumerations: the archive types the detection
// tells apart (TArcType, with the display names the manager shows), and the
// settings of the writers and extractors.
#pragma once

#include <cstdint>
#include <string_view>

namespace vz::readers {

// One byte, values 0 to 26 in this order. The "Exe" members are the same
// formats found inside a self-extracting program.
enum TArcType : uint8_t {
  atNA,
  atUnsupported,
  atFileError,
  atUnknown,
  atARC,
  atArcExe,
  atARJ,
  atArjExe,
  atBH,
  atBHExe,
  atCAB,
  atGZip,
  atHA,
  atLHA,
  atLhaExe,
  atLZH,
  atLzhExe,
  atPAK,
  atPakExe,
  atRAR,
  atRarExe,
  atTAR,
  atZIP,
  atZipExe,
  atZip250,
  atZip250Exe,
  atZOO,
};
constexpr int kArcTypeCount = atZOO + 1;

// The display name of a type: 10 characters, blank-padded; "LZH SFX" is the
// one 8-character name followed by a tab. Out-of-range values give "".
std::string_view arcTypeName(TArcType type);
// Whether the type is one of the "Exe" members (an archive inside a program).
bool isSfxType(TArcType type);
// The plain format of a type (atZipExe -> atZIP, ...); others unchanged.
TArcType plainType(TArcType type);

enum TSwitch : uint8_t { swAdd, swMove, swDelete, swRead };
enum TCompressMethod : uint8_t { mtStore, mtDeflate, mtFuse, mtFrozen, mtGreatest, mtFastest };
// Progress reported every 5 to 25 percent.
enum TProgressNotify : uint8_t { Five, Ten, Fifteen, Twenty, TwentyFive };
constexpr int progressStep(TProgressNotify p) { return 5 * (static_cast<int>(p) + 1); }
// Extracted files keep the archived date or get the current one.
enum TSetDate : uint8_t { OrigDate, CurDate };

// TztvFileAttr: a set of file attributes.
enum TztvFileAttrBit : uint8_t {
  ftArchive = 0x01,
  ftHidden = 0x02,
  ftReadOnly = 0x04,
  ftSysFile = 0x08,
  ftVolumeID = 0x10,
  ftDirectory = 0x20,
};
using TztvFileAttr = uint8_t;

}  // namespace vz::readers
