// The extractor table (see the header).
#include "manager/readers/extractors.h"

#include "manager/readers/arc_extract.h"
#include "manager/readers/arj_extract.h"
#include "manager/readers/bh_extract.h"
#include "manager/readers/cab_extract.h"
#include "manager/readers/gzip_extract.h"
#include "manager/readers/lha_extract.h"
#include "manager/readers/tar_extract.h"
#include "manager/readers/zoo_extract.h"

namespace vz::readers {

std::unique_ptr<TUnBase> makeExtractor(TArcType type) {
  switch (plainType(type)) {
    case atGZip:
      return std::make_unique<TUnGZIP>();
    case atTAR:
      return std::make_unique<TUnTAR>();
    case atCAB:
      return std::make_unique<TUnCAB>();
    case atARJ:
      return std::make_unique<TUnARJ>();
    case atBH:
      return std::make_unique<TUnBH>();
    case atARC:
    case atPAK:
      return std::make_unique<TUnARC>();
    case atLHA:
    case atLZH:
      return std::make_unique<TUnLHA>();
    case atZOO:
      return std::make_unique<TUnZOO>();
    default:
      return nullptr;
  }
}

}  // namespace vz::readers
