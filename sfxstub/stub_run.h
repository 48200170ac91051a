// The self-extractor stub's extraction run: walks the archive behind the
// configuration block and writes every entry below the destination folder,
// with the overwrite policy, the replace and password questions, the
// free-space check and the progress reports. The user interface is reached
// through the StubUi interface so that the same run serves a terminal, a
// script and no terminal at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/sfx/sfx_config.h"

namespace vz::sfx {

// Extraction run results (0 and 1 count as success).
enum RunStatus : int {
  kRunOk = 0,
  kRunWarning = 1,
  kRunCannotOpen = 2,
  kRunDamaged = 3,
  kRunFileError = 5,  // CRC mismatch, path cannot be made
  kRunNoMemory = 6,
  kRunDiskFull = 8,      // disk full or a short write
  kRunUnsupported = 10,  // method 1 to 6, or a name of 260 bytes or more
  kRunCannotCreate = 12,
};

// Answers of the password question.
enum class PasswordAnswer { Retry, Skip, NeverAsk };
// Answers of the replace question.
enum class ReplaceAnswer { Yes, No, Never, Always };

class StubUi {
 public:
  virtual ~StubUi() = default;
  // An entry's processing starts (the processed count goes up by one).
  virtual void entryStarted() = 0;
  // percent of the current file written; path: the entry's path.
  virtual void fileProgress(int percent, const std::string& path) = 0;
  // Pending input: returns true when the user asked to stop (and confirmed).
  virtual bool pump() = 0;
  virtual PasswordAnswer askPassword(const std::string& entryPath, std::string& password) = 0;
  virtual ReplaceAnswer askReplace(const std::string& existingPath, bool existingNewer) = 0;
  virtual void warning(const std::string& text) = 0;
};

// What one run created, so that the clean-up removes only that.
struct CreatedItems {
  std::vector<std::string> folders;  // in creation order
  std::vector<std::string> files;
};

struct RunInput {
  std::string archivePath;     // the stub's own file
  engine::SfxPayload payload;  // where the archive lies in it
  engine::SfxConfig config;
  std::string destination;  // native, absolute
};

// The internal-error text shown for methods 1 to 6.
inline constexpr const char* kUnsupportedMethodText =
    "Internal error.\nDon' t know how to handle a file.\n"
    "Quorrin 95 self-extracting ZIP files support DEFLATE and STORE method.";

// Runs the extraction. aborted is set when the user stopped the run.
int runExtraction(const RunInput& in, StubUi& ui, CreatedItems& created, bool& aborted);

// Removes what the run created: its files, then its folders deepest first
// (a folder that is not empty stays). Files that were there before stay.
void cleanUp(const CreatedItems& created);

// "%1" substitution: when text contains "%1", every "%" and the character
// after it are replaced by value.
std::string substitutePercent(const std::string& text, const std::string& value);

}  // namespace vz::sfx
