// The walkers' factories, one per format file (walk_<format>.cpp). A new
// format adds its factory here and its row to the table in
// format_walkers.cpp; nothing else names the formats.
#pragma once

#include <memory>

#include "manager/readers/arc_lister.h"

namespace vz::readers {

std::unique_ptr<FormatWalker> makeZipWalker();
std::unique_ptr<FormatWalker> makeTarWalker();
std::unique_ptr<FormatWalker> makeGzipWalker();
std::unique_ptr<FormatWalker> makeCabWalker();
std::unique_ptr<FormatWalker> makeArcWalker();  // ARC, PAK and their SFX
std::unique_ptr<FormatWalker> makeArjWalker();
std::unique_ptr<FormatWalker> makeBhWalker();
std::unique_ptr<FormatWalker> makeHaWalker();
std::unique_ptr<FormatWalker> makeLhaWalker();  // LHA, LZH and their SFX
std::unique_ptr<FormatWalker> makeRarWalker();  // versions 1.5-4.x and 5
std::unique_ptr<FormatWalker> makeZooWalker();

}  // namespace vz::readers
