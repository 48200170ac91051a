// UnzipState: the read side's working state, one per control instance,
// reused by every read-side call. Each call opens the archive, works and
// closes it again; only the settings at the end survive between calls.
#pragma once

#include <cstdint>
#include <string>

#include "control/engine/common/status.h"
#include "platform/types.h"

namespace vz::engine {

class Prompts;

struct UnzipState {
  // ---- settings kept between calls (set by the control's call frame) ----
  bool cancel = false;                 // tested at the loop points; ends the run with its cancel status
  bool pump = true;                    // dispatch waiting messages after each notification
  Handle notifyWindow = 0;             // target of progress messages; 0: none, no events
  bool askPassword = true;             // prompt for a password when the given one fails
  bool eraseReadOnly = false;          // overwrite read-only files on extraction
  bool testMode = false;               // extraction into temporary files only (full test)
  int replaceAnswer = 0;               // remembered "always"/"never" answer of the replace question, 0 unset
  int passwordAnswer = 0;              // remembered answer of the password prompt, 0 unset
  std::string password;                // up to 79 characters
  Prompts* prompts = nullptr;          // replace, rename and password questions; null: none asked
  ReadStatus status = ReadStatus::Ok;  // result of the last call
  // Item image lists of the control (handles) and the index of the first of
  // the control's own icons in them.
  Handle smallImages = 0, largeImages = 0;
  int firstOwnIcon = 0;
};

}  // namespace vz::engine
