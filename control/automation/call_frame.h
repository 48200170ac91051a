// The path of one method call from the host into the engine:
//   1. the process-wide no-pumping switch becomes !bBackGroundProcessing
//      (methods without that parameter leave it as it is);
//   2. the cancel flag of the engine side the method uses is cleared, and
//      that side gets its notification window: the control's window when
//      bBackGroundProcessing is true, none when it is false (no window, no
//      progress messages, no events);
//   3. the per-call options go to the engine: password and ask-password,
//      erase-read-only, overwrite and compression mode;
//   4. the control is recorded as the current control, whose window
//      parents the engine's dialogs.
// The handler then calls the engine and returns its result unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vz::control {

class CZCtrl;

// The engine objects a method works with.
enum class EngineSide : uint8_t {
  None = 0,
  Reader = 1,  // the reader state (directory reading, extraction, item lists)
  Writer = 2,  // the write side's engine object (writing, spanning, repair)
  Both = 3,
};

struct CallOptions {
  std::optional<std::string> password;     // cut to the side's limit
  std::optional<bool> askPassword;         // ask when the password fails
  std::optional<bool> eraseReadOnly;       // replace read-only files
  std::optional<int16_t> overwriteMode;    // the write side's overwrite mode
  std::optional<int16_t> compressionMode;  // the write side's compression mode
  bool resetCancel = true;                 // false for the one write method that keeps it
};

// The longest password each side keeps.
inline constexpr size_t kReaderPasswordMax = 79;

// Runs the steps above. background is the bBackGroundProcessing argument,
// nullopt for methods without it. False when an engine object of the side
// is missing (it could not be created with the control): the method then
// returns its failure result without calling the engine.
bool beginCall(CZCtrl& ctl, EngineSide side, std::optional<bool> background, const CallOptions& options = {});

}  // namespace vz::control
