// The questions the engine asks the user while it works: the replace and
// rename dialogs of extraction, the password prompt and the disk prompt of
// spanned backups. The engine only
// knows this interface; the control supplies dialogs built from its text
// table (through the platform's user-interface service), and tests supply
// scripted answers. With no prompts installed, nothing is asked: a replace
// question is answered Never, a password prompt Never (skip all) and a
// disk prompt No.
#pragma once

#include <optional>
#include <string>

namespace vz::engine {

enum class ReplaceAnswer { Yes, No, Always, Never, Rename };

struct ReplaceRequest {
  std::string path;           // destination path of the existing file, as shown
  bool archiveNewer = false;  // the archive's copy is newer than the file on disk
  bool allowRename = true;    // false when adding to an archive
};

enum class PasswordAnswer {
  Retry,   // try the typed password (it becomes the current one)
  Bypass,  // skip this entry
  Never,   // skip this and every later entry whose password fails (also closing)
};

struct PasswordRequest {
  std::string entryName;     // as stored ("/" separators), shortened by the dialog
  std::string lastPassword;  // the password last tried (prefills the field)
  bool firstAttempt = true;  // no password was rejected for this entry yet
};

// The disk prompt of spanned backups: a Yes/No question, its text and
// caption with the disk numbers already filled in.
struct DiskRequest {
  std::string text;
  std::string caption;
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual ReplaceAnswer askReplace(const ReplaceRequest& req) = 0;
  // The new name typed in the rename dialog, nullopt when it was cancelled.
  virtual std::optional<std::string> askRename(const std::string& currentName) = 0;
  // *typed receives the password in the field when the answer is Retry.
  virtual PasswordAnswer askPassword(const PasswordRequest& req, std::string* typed) = 0;
  // True when the disk prompt is answered "Yes". Prompts that never ask it
  // (extraction's, a writer's) answer "No".
  virtual bool askForDisk(const DiskRequest& req) {
    (void)req;
    return false;
  }
};

}  // namespace vz::engine
