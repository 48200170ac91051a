#include "manager/vz/questions.h"

#include <array>
#include <filesystem>

namespace vz::cli {

namespace {

constexpr std::array<const char*, 8> kReasonTexts = {
    "file not found.",
    "unknown compression.",
    "CRC check failure.",
    "file is already up to date.",
    "unable to open file.",
    "invalid or no password to decrypt file.",
    "file's compressed data is corrupted.",
    "instructed not to overwrite.",
};

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Where a typed new name points: beside the existing file when it has no
// folder part, else from the current folder; always as an absolute path.
std::string resolveNewName(const std::string& existing, const std::string& typed) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path p(typed);
  if (p.is_relative()) {
    if (typed.find('/') == std::string::npos) p = fs::path(existing).parent_path() / p;
    p = fs::absolute(p, ec);
  }
  return p.lexically_normal().string();
}

}  // namespace

std::string replaceText(const std::string& fileName) {
  return "The file " + quoted(fileName) + " already exists. Do you wish to replace this file?";
}

std::string newDiskText(int disk) {
  if (disk == 0) return "Please insert the LAST DISK of the set.";
  return "Please insert disk " + std::to_string(disk) + " of the set.";
}

std::string skipReasonText(uint8_t reason) { return reason < kReasonTexts.size() ? kReasonTexts[reason] : ""; }

std::string skipWarning(const std::string& fileName, uint8_t reason, bool testing) {
  if (testing) return "File " + quoted(fileName) + " failed test: " + skipReasonText(reason);
  return "Skipping " + quoted(fileName) + ", " + skipReasonText(reason);
}

std::string nameWithoutFolder(const std::string& name) {
  size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

ui::Question replaceQuestion(const std::string& fileName, bool offerRename) {
  ui::Question q;
  q.caption = kQuestionCaption;
  q.text = replaceText(fileName);
  q.icon = ui::Icon::Question;
  q.buttons = {{ui::IDYES, "&Yes"}, {ui::IDNO, "&No", true}, {kButtonRename, "&Rename..."}, {ui::IDCANCEL, "&Cancel"}};
  if (!offerRename) q.buttons.erase(q.buttons.begin() + 2);
  q.closeId = ui::IDCANCEL;
  return q;
}

ui::Question renameQuestion(const std::string& fileName) {
  ui::Question q;
  q.caption = "Rename " + nameWithoutFolder(fileName) + "...";
  q.text = "Extract the file under this name instead:";
  q.icon = ui::Icon::Question;
  q.buttons = {{ui::IDOK, "&OK", true, false, true}, {ui::IDCANCEL, "&Cancel"}};
  q.closeId = ui::IDCANCEL;
  q.edit = ui::EditField{"New name:", nameWithoutFolder(fileName)};
  return q;
}

ui::Question passwordQuestion(const std::string& entryName) {
  ui::Question q;
  q.caption = "Password";
  q.text = nameWithoutFolder(entryName);
  q.icon = ui::Icon::Question;
  q.buttons = {{kPasswordOk, "&OK", false, false, true},
               {kPasswordSkipFile, "&Skip File", true},
               {kPasswordAlwaysSkip, "&Always Skip"}};
  q.closeId = kPasswordSkipFile;
  q.edit = ui::EditField{"Password:", "", 80, true};
  return q;
}

ui::Question newDiskQuestion(int disk) {
  ui::Question q;
  q.caption = kQuestionCaption;
  q.text = newDiskText(disk);
  q.icon = ui::Icon::Information;
  q.buttons = {{ui::IDOK, "OK", true}, {ui::IDCANCEL, "Cancel"}};
  q.closeId = ui::IDCANCEL;
  return q;
}

ReplaceDecision askReplace(const std::string& fileName, bool offerRename) {
  for (;;) {
    ui::Answer a = ui::ask(replaceQuestion(fileName, offerRename));
    switch (a.buttonId) {
      case ui::IDYES:
        return {ReplaceDecision::Replace, ""};
      case ui::IDNO:
        return {ReplaceDecision::Keep, ""};
      case kButtonRename: {
        ui::Answer name = ui::ask(renameQuestion(fileName));
        if (name.buttonId == ui::IDOK && !name.editText.empty())
          return {ReplaceDecision::Rename, resolveNewName(fileName, name.editText)};
        continue;  // cancelled: the replace question again
      }
      default:
        return {ReplaceDecision::Cancel, ""};
    }
  }
}

PasswordDecision askPassword(const std::string& entryName) {
  ui::Answer a = ui::ask(passwordQuestion(entryName));
  if (a.buttonId == kPasswordOk && !a.editText.empty()) return {kPasswordOk, a.editText.substr(0, 80)};
  if (a.buttonId == kPasswordAlwaysSkip) return {kPasswordAlwaysSkip, ""};
  return {kPasswordSkipFile, ""};
}

bool askNewDisk(int disk) { return ui::ask(newDiskQuestion(disk)).buttonId == ui::IDOK; }

}  // namespace vz::cli
