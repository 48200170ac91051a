// The write side's engine object of one control instance: the parameters
// that the write methods hand to the archive writer, and the 81-byte
// password buffer (80 characters and the terminator) that goes with it.
// The writer itself is process-wide state of the engine; this object is
// what the control owns and passes to it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace vz::control {

struct ZipEngine {
  // Compression mode 0..3 of the running call; values outside 0..3 are
  // stored as 0.
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
  // The password of the running call, zero-terminated; at most 80
  // characters.
  std::array<char, 81> password{};

  // Stores a password, cut to 80 characters.
  void setPassword(std::string_view text) {
    password.fill('\0');
    const size_t n = text.size() < password.size() - 1 ? text.size() : password.size() - 1;
    for (size_t i = 0; i < n; ++i) password[i] = text[i];
  }
  void setCompressionMode(int mode) { compressionMode = static_cast<int16_t>(mode >= 0 && mode <= 3 ? mode : 0); }
};

}  // namespace vz::control
