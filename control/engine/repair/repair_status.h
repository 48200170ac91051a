// Results of Repare (repair.h). The numbers are the ones the control
// reports to its host; those passed on from putting the rebuilt archive in
// place (archive_update_place.h) keep their meaning.
#pragma once

#include <cstdint>
#include <ostream>

#include "control/engine/write/write_status.h"

namespace vz::engine {

enum class RepairStatus : int16_t {
  Ok = 0,
  IoError = 2,     // archive or temporary file cannot be opened or written
  ScanFailed = 4,  // no signature found, or the scan refused the file
  NoMemory = 5,
  Nothing = 6,          // empty name, a folder, or no entries found
  Stopped = 7,          // the caller's entryCopied hook asked to stop (repair.h; never for the control)
  WriteProtected = 15,  // write-protected removable disk
  DiskFull = 16,        // no room for the rebuilt archive
};

constexpr RepairStatus repairStatusOf(PlaceStatus s) { return static_cast<RepairStatus>(s); }

// Printed as the number (logs and test messages).
inline std::ostream& operator<<(std::ostream& os, RepairStatus s) { return os << statusCode(s); }

}  // namespace vz::engine
