// Display names and classification helpers of TArcType.
#include "manager/readers/arc_types.h"

#include <array>

namespace vz::readers {

namespace {

// Indexed by TArcType. Each name is blank-padded to 10 characters, except
// "LZH SFX", which is 8 characters: the name and a tab.
constexpr std::array<std::string_view, kArcTypeCount> kNames = {
    "Not avail.", "Unsupport.", "File Error", "Unknown   ", "ARC       ", "ARC SFX   ", "ARJ       ",
    "ARJ SFX   ", "BH        ", "BH  SFX   ", "CAB       ", "GZip      ", "HA        ", "LHA       ",
    "LHA SFX   ", "LZH       ", "LZH SFX\t",  "PAK       ", "PAK SFX   ", "RAR       ", "RAR SFX   ",
    "TAR       ", "ZIP       ", "ZIP SFX   ", "ZIP250    ", "ZIP250 SFX", "ZOO       ",
};

}  // namespace

std::string_view arcTypeName(TArcType type) {
  const auto i = static_cast<size_t>(type);
  return i < kNames.size() ? kNames[i] : std::string_view();
}

bool isSfxType(TArcType type) {
  switch (type) {
    case atArcExe:
    case atArjExe:
    case atBHExe:
    case atLhaExe:
    case atLzhExe:
    case atPakExe:
    case atRarExe:
    case atZipExe:
    case atZip250Exe:
      return true;
    default:
      return false;
  }
}

TArcType plainType(TArcType type) {
  switch (type) {
    case atArcExe:
      return atARC;
    case atArjExe:
      return atARJ;
    case atBHExe:
      return atBH;
    case atLhaExe:
      return atLHA;
    case atLzhExe:
      return atLZH;
    case atPakExe:
      return atPAK;
    case atRarExe:
      return atRAR;
    case atZipExe:
      return atZIP;
    case atZip250Exe:
      return atZip250;
    default:
      return type;
  }
}

}  // namespace vz::readers
