// ControlPrompts: the engine's questions (engine/prompts.h) answered with
// the control's own dialogs (dialogs.h) and password store
// (password_store.h). Each control owns one and installs it in its reader
// state, so the extraction driver asks through it, and in the write side's
// engine and the spanning sessions.
//
// Disk prompt: a Yes/No question box with the request's text and caption.
//
// Replace and rename: when the user chooses Rename in the replace question,
// askReplace shows the rename dialog itself, for the file's name (the last
// component of the request's path, as the driver passes it to askRename). Cancelling it shows the replace
// question again (the question "stays open"); confirming it makes askReplace
// answer Rename, and the next askRename returns the confirmed name without
// asking again. askRename called without a confirmed name pending shows the
// rename dialog. So a driver may either call askRename after a Rename answer
// or loop on a nullopt from it: both see one rename dialog per choice.
//
// Password: the prompt is built from the request and the switches of
// SetPasswordMode; with both switches on the history is loaded into its
// drop-down. Confirming (Retry) records the password in the store as the
// switches say. A store that cannot be written does not change the answer:
// the failure is counted (storeFailures) and the extraction goes on.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "control/engine/common/prompts.h"

namespace vz::control {

class ControlPrompts final : public engine::Prompts {
 public:
  engine::ReplaceAnswer askReplace(const engine::ReplaceRequest& req) override;
  std::optional<std::string> askRename(const std::string& currentName) override;
  engine::PasswordAnswer askPassword(const engine::PasswordRequest& req, std::string* typed) override;
  // The disk prompt of spanned backups: a Yes/No question box.
  bool askForDisk(const engine::DiskRequest& req) override;

  // Writes to the password store that failed so far.
  size_t storeFailures() const { return storeFailures_; }

 private:
  std::optional<std::string> confirmedRename_;  // name confirmed inside askReplace, not yet collected
  size_t storeFailures_ = 0;                    // failed password-store writes
};

}  // namespace vz::control
