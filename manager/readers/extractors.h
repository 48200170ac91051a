// The extractor of each archive type: the one place where an extractor
// class is bound to the types it reads (by plainType, so a self-extracting
// program of a kind gets that kind's extractor). vz, the window and the
// fuzz targets all take their extractors from here.
#pragma once

#include <memory>

#include "manager/readers/arc_types.h"
#include "manager/readers/un_base.h"

namespace vz::readers {

// A new extractor for the type, null while the family has none for it.
std::unique_ptr<TUnBase> makeExtractor(TArcType type);

}  // namespace vz::readers
