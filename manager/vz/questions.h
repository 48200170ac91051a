// The questions vz asks while the wrapper runs, and the warnings it prints,
// with the main window's texts: the replace question (Yes, No, Rename...,
// Cancel; Rename asks for the new name), the password window (OK, Skip
// File, Always Skip), the new-disk question (OK, Cancel) and the skip
// warnings with their reason texts. Questions go through the platform's
// user-interface service (platform/ui.h), so whichever back end is
// installed answers them: the terminal, an answers file, or the default
// answers (the default button) when nobody can be asked.
//
// Default buttons are the answers that change nothing: No (keep the
// existing file), Skip File, and OK for a disk (the disk may already be in
// the drive). Closing a window is Cancel, Skip File and Cancel.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

namespace vz::cli {

// The caption of every question vz asks.
inline constexpr const char* kQuestionCaption = "Vemora.Zip";

// "The file "NAME" already exists. Do you wish to replace this file?"
std::string replaceText(const std::string& fileName);
// "Please insert disk N of the set.", or for 0 "Please insert the LAST DISK of the set."
std::string newDiskText(int disk);
// The reason text of a skip (0 to 7), "" for another value.
std::string skipReasonText(uint8_t reason);
// "Skipping "NAME", REASON", or while testing "File "NAME" failed test: REASON".
std::string skipWarning(const std::string& fileName, uint8_t reason, bool testing);
// The entry's name without its folder ("a/b/c.txt" -> "c.txt").
std::string nameWithoutFolder(const std::string& name);

// Button ids of the questions (the password window's ids are the wrapper's
// answers: 2 use the password, 1 always skip, 0 skip this file).
enum QuestionButton : int {
  kButtonRename = 100,
  kPasswordOk = 2,
  kPasswordAlwaysSkip = 1,
  kPasswordSkipFile = 0,
};

// Without offerRename the question has no "&Rename..." button (the
// readers' extractors write an entry only under its own name).
ui::Question replaceQuestion(const std::string& fileName, bool offerRename = true);
ui::Question renameQuestion(const std::string& fileName);
ui::Question passwordQuestion(const std::string& entryName);
ui::Question newDiskQuestion(int disk);

// What the replace question decided.
struct ReplaceDecision {
  enum Kind { Replace, Keep, Rename, Cancel } kind = Keep;
  std::string newName;  // Rename: the new path (absolute)
};
// Asks the replace question, and for Rename the new name; cancelling the
// name asks the replace question again. A new name without a folder goes
// beside the existing file, one with a folder is taken from the current
// folder.
ReplaceDecision askReplace(const std::string& fileName, bool offerRename = true);

struct PasswordDecision {
  uint8_t answer = kPasswordSkipFile;  // the wrapper's Answer
  std::string password;                // with answer 2
};
PasswordDecision askPassword(const std::string& entryName);

// true: OK (the disk is in), false: Cancel.
bool askNewDisk(int disk);

}  // namespace vz::cli
