// The engine's questions through the control's dialogs (see
// control_prompts.h).
#include "control/automation/control_prompts.h"

#include "control/automation/dialogs.h"
#include "control/automation/password_store.h"
#include "control/automation/settings.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace vz::control {

engine::ReplaceAnswer ControlPrompts::askReplace(const engine::ReplaceRequest& req) {
  confirmedRename_.reset();
  for (;;) {
    const engine::ReplaceAnswer a = showReplaceQuestion(req);
    if (a != engine::ReplaceAnswer::Rename) return a;
    if (std::optional<std::string> name = showRenameDialog(fileNamePart(req.path))) {
      confirmedRename_ = std::move(name);
      return a;
    }
    // Rename cancelled: the replace question is asked again.
  }
}

std::optional<std::string> ControlPrompts::askRename(const std::string& currentName) {
  if (confirmedRename_) {
    std::optional<std::string> name = std::move(confirmedRename_);
    confirmedRename_.reset();
    return name;
  }
  return showRenameDialog(currentName);
}

engine::PasswordAnswer ControlPrompts::askPassword(const engine::PasswordRequest& req, std::string* typed) {
  const Settings& s = settings();
  const bool show = s.showPasswords;
  const bool save = s.savePasswords;
  const PasswordStore store = PasswordStore::forControl();

  PasswordPrompt p;
  p.entryName = req.entryName;
  p.lastPassword = req.lastPassword;
  p.firstAttempt = req.firstAttempt;
  p.showPasswords = show;
  if (show && save) p.history = store.loadHistory();

  const PasswordReply r = showPasswordPrompt(p);
  if (r.answer == engine::PasswordAnswer::Retry) {
    if (!store.confirm(r.typed, p.history.size(), save, show)) ++storeFailures_;
    if (typed) *typed = r.typed;
  }
  return r.answer;
}

bool ControlPrompts::askForDisk(const engine::DiskRequest& req) {
  return ui::messageBox(req.text, req.caption, ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES;
}

}  // namespace vz::control
