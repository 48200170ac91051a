// The one table of header walks: which walker lists which archive types.
#include <initializer_list>

#include "manager/readers/format_walkers.h"

namespace vz::readers {

namespace {

struct WalkerRow {
  std::initializer_list<TArcType> types;  // the types (plain and SFX) this walker lists
  std::unique_ptr<FormatWalker> (*make)();
};

const WalkerRow kWalkers[] = {
    {{atZIP, atZipExe, atZip250, atZip250Exe}, makeZipWalker},
    {{atTAR}, makeTarWalker},
    {{atGZip}, makeGzipWalker},
    {{atCAB}, makeCabWalker},
    {{atARC, atArcExe, atPAK, atPakExe}, makeArcWalker},
    {{atARJ, atArjExe}, makeArjWalker},
    {{atBH, atBHExe}, makeBhWalker},
    {{atHA}, makeHaWalker},
    {{atLHA, atLhaExe, atLZH, atLzhExe}, makeLhaWalker},
    {{atRAR, atRarExe}, makeRarWalker},
    {{atZOO}, makeZooWalker},
};

}  // namespace

std::unique_ptr<FormatWalker> makeWalker(TArcType type) {
  for (const WalkerRow& row : kWalkers)
    for (TArcType t : row.types)
      if (t == type) return row.make();
  return nullptr;
}

}  // namespace vz::readers
