// The call frame shared by every method handler.
#include "control/automation/call_frame.h"

#include "control/automation/control.h"
#include "control/automation/settings.h"

namespace vz::control {

bool beginCall(CZCtrl& ctl, EngineSide side, std::optional<bool> background, const CallOptions& options) {
  Settings& s = settings();
  if (background) s.noPump = !*background;
  s.currentControl = &ctl;

  const bool wantsReader = (static_cast<uint8_t>(side) & static_cast<uint8_t>(EngineSide::Reader)) != 0;
  const bool wantsWriter = (static_cast<uint8_t>(side) & static_cast<uint8_t>(EngineSide::Writer)) != 0;
  engine::UnzipState* st = ctl.readerState();
  ZipEngine* zip = ctl.zipEngine();
  if ((wantsReader && !st) || (wantsWriter && !zip)) return false;

  if (wantsReader) {
    if (options.resetCancel) st->cancel = false;
    if (background) {
      st->pump = *background;
      st->notifyWindow = *background ? ctl.window() : 0;
    }
    if (options.password) {
      st->password = options.password->substr(0, kReaderPasswordMax);
      st->passwordAnswer = 0;
    }
    if (options.askPassword) {
      st->askPassword = *options.askPassword;
      st->passwordAnswer = 0;
    }
    if (options.eraseReadOnly) st->eraseReadOnly = *options.eraseReadOnly;
  }
  if (wantsWriter) {
    if (options.resetCancel) zip->cancel = false;
    if (background) zip->window = *background ? ctl.window() : 0;
    if (options.password) zip->setPassword(*options.password);
    if (options.overwriteMode) {
      zip->requestedOverwriteMode = *options.overwriteMode;
      zip->currentOverwriteMode = *options.overwriteMode;
    }
    if (options.compressionMode) zip->setCompressionMode(*options.compressionMode);
  }
  return true;
}

}  // namespace vz::control
