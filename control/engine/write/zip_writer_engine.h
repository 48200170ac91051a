// The write side's engine settings (its results: write_status.h).
//
// WriteEngine is what one control hands to every write operation (adding,
// deleting, comments, the encryption pass): the compression mode, the
// overwrite mode as the host asked for it and as it stands after the
// replace question, the control window that receives progress reports,
// whether messages are pumped after each report, the cancel request of
// ZipCancel and the prompts that ask the replace question. The control's
// own write-engine object (control/automation/zip_engine.h) extends it with
// the password buffer.
//
// The cancel flag is read between entries. It is set by the host through
// the control while the operation pumps messages, so it is a plain flag of
// the same thread, never touched from another one.
#pragma once

#include <cstdint>

#include "control/engine/write/write_status.h"
#include "platform/types.h"

namespace vz::engine {

class Prompts;

// Overwrite modes of ZipFiles for files already in the archive.
enum ZipOverwriteMode : int16_t {
  kOverwriteAlways = 0,
  kOverwriteNever = 1,
  kOverwriteAsk = 2,
  kOverwriteNewer = 3,    // replace when the disk file is newer; new files are added
  kOverwriteFreshen = 4,  // replace when the disk file is newer; new files are not added
};

struct WriteEngine {
  // Compression mode 0..3 (normal, fast, maximum, store); values outside
  // 0..3 are stored as 0.
  int16_t compressionMode = 0;
  // The overwrite mode in force: the requested one until the user answers
  // "always" (0) or "never" (1) in the replace question.
  int16_t currentOverwriteMode = 0;
  // The overwrite mode the host asked for.
  int16_t requestedOverwriteMode = 0;
  // The control window that receives progress reports, 0 for none.
  Handle window = 0;
  // Set while the replace question concerns an archived copy older than
  // the disk file.
  bool archivedCopyOlder = false;
  // The cancel request of ZipCancel, tested between entries.
  bool cancel = false;
  // Dispatch waiting messages after each progress report.
  bool pump = false;
  // The replace question of overwrite mode 2; null: nothing is asked and
  // the question is answered "never".
  Prompts* prompts = nullptr;

  void setCompressionMode(int mode) { compressionMode = static_cast<int16_t>(mode >= 0 && mode <= 3 ? mode : 0); }
  void setOverwriteMode(int16_t mode) { requestedOverwriteMode = currentOverwriteMode = mode; }
};

}  // namespace vz::engine
