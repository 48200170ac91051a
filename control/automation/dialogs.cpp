// The control's dialogs from its text table (see dialogs.h for the texts,
// buttons and defaults of each).
#include "control/automation/dialogs.h"

#include "platform/paths.h"

namespace vz::control {

namespace {

using engine::PasswordAnswer;
using engine::ReplaceAnswer;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offset where the last n characters of text begin.
size_t startOfLastChars(std::string_view text, size_t n) {
  size_t pos = text.size();
  size_t chars = 0;
  while (pos > 0 && chars < n) {
    --pos;
    while (pos > 0 && isContinuationByte(text[pos])) --pos;
    ++chars;
  }
  return pos;
}

// The first n characters of text.
std::string firstChars(std::string_view text, size_t n) {
  size_t pos = 0;
  size_t chars = 0;
  while (pos < text.size() && chars < n) {
    ++pos;
    while (pos < text.size() && isContinuationByte(text[pos])) ++pos;
    ++chars;
  }
  return std::string(text.substr(0, pos));
}

ui::Button button(int id, bool isDefault = false, bool disabled = false) {
  ui::Button b;
  b.id = id;
  b.text = settingText(id);
  b.isDefault = isDefault;
  b.disabled = disabled;
  return b;
}

ui::Question baseQuestion(int captionId) {
  ui::Question q;
  q.caption = settingText(captionId);
  q.helpFile = settings().helpFile;
  return q;
}

}  // namespace

// ---- text helpers ----

std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(pattern[i + 1] - '1');
      if (index < args.size()) out += *(args.begin() + index);
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

size_t characterCount(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if (!isContinuationByte(c)) ++n;
  return n;
}

std::string maskedText(std::string_view text) { return std::string(characterCount(text), '*'); }

std::string shortenEntryName(std::string_view name, size_t maxChars) {
  std::string shown(name);
  for (char& c : shown)
    if (c == '/') c = '\\';
  if (characterCount(shown) <= maxChars) return shown;

  std::vector<std::string_view> parts;
  std::string_view rest = shown;
  for (;;) {
    const size_t sep = rest.find('\\');
    parts.push_back(rest.substr(0, sep));
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }

  // 1. First component, "\...\", and the fewest trailing components that
  // fit: try dropping one middle folder, then two, ...
  if (parts.size() >= 3) {
    for (size_t keepFrom = 2; keepFrom < parts.size(); ++keepFrom) {
      std::string candidate = std::string(parts.front()) + "\\...\\";
      for (size_t i = keepFrom; i < parts.size(); ++i) {
        if (i > keepFrom) candidate += '\\';
        candidate += parts[i];
      }
      if (characterCount(candidate) <= maxChars) return candidate;
    }
  }
  // 2. "...\" and the last component.
  if (parts.size() >= 2) {
    std::string candidate = "...\\" + std::string(parts.back());
    if (characterCount(candidate) <= maxChars) return candidate;
  }
  // 3. "..." and the end of the name.
  if (maxChars <= 3) return firstChars("...", maxChars);
  return "..." + shown.substr(startOfLastChars(shown, maxChars - 3));
}

// ---- replace question ----

ui::Question replaceQuestion(const engine::ReplaceRequest& req) {
  ui::Question q = baseQuestion(kTextReplaceCaption);
  q.icon = ui::Icon::Question;
  q.text = formatMessage(settingText(kTextReplaceQuestion),
                         {req.path, settingText(req.archiveNewer ? kTextReplaceNewer : kTextReplaceOlder)});
  q.buttons = {
      button(kButtonYes, req.archiveNewer),
      button(kButtonNo, !req.archiveNewer),
      button(kButtonAlways),
      button(kButtonNever),
      button(kButtonRename, false, !req.allowRename),
  };
  q.closeId = kButtonNever;
  return q;
}

ReplaceAnswer replaceAnswerFor(int buttonId) {
  switch (buttonId) {
    case kButtonYes:
      return ReplaceAnswer::Yes;
    case kButtonNo:
      return ReplaceAnswer::No;
    case kButtonAlways:
      return ReplaceAnswer::Always;
    case kButtonRename:
      return ReplaceAnswer::Rename;
    default:
      return ReplaceAnswer::Never;
  }
}

ReplaceAnswer showReplaceQuestion(const engine::ReplaceRequest& req) {
  const ReplaceAnswer a = replaceAnswerFor(ui::ask(replaceQuestion(req)).buttonId);
  // A back end that answers a disabled Rename is not obeyed.
  if (a == ReplaceAnswer::Rename && !req.allowRename) return ReplaceAnswer::Never;
  return a;
}

// ---- rename dialog ----

ui::Question renameQuestion(const std::string& name) {
  ui::Question q = baseQuestion(kTextRenameCaption);
  q.caption = formatMessage(q.caption, {name});
  ui::EditField field;
  field.initial = name;
  q.edit = field;
  ui::Button ok = button(kButtonOk, true);
  ok.needsEditText = true;  // an empty name cannot be confirmed
  q.buttons = {ok, button(kButtonCancel)};
  q.closeId = kButtonCancel;
  return q;
}

std::optional<std::string> showRenameDialog(const std::string& name) {
  const ui::Answer a = ui::ask(renameQuestion(name));
  if (a.buttonId != kButtonOk || a.editText.empty()) return std::nullopt;
  return a.editText;
}

// ---- password prompt ----

ui::Question passwordQuestion(const PasswordPrompt& p) {
  ui::Question q = baseQuestion(kTextPasswordCaption);
  const std::string rejected = p.showPasswords ? p.lastPassword : maskedText(p.lastPassword);
  q.text = formatMessage(settingText(p.firstAttempt ? kTextPasswordFirst : kTextPasswordWrong),
                         {shortenEntryName(p.entryName), rejected});
  ui::EditField field;
  field.label = settingText(kTextPasswordLabel);
  field.initial = firstChars(p.lastPassword, kPasswordMaxChars);
  field.maxLength = kPasswordMaxChars;
  field.masked = !p.showPasswords;
  field.choices = p.history;
  q.edit = field;
  ui::Button retry = button(kButtonRetry, !p.firstAttempt);
  retry.needsEditText = p.firstAttempt;
  q.buttons = {retry, button(kButtonBypass, p.firstAttempt), button(kButtonNever)};
  q.closeId = kButtonNever;
  return q;
}

PasswordAnswer passwordAnswerFor(int buttonId) {
  switch (buttonId) {
    case kButtonRetry:
      return PasswordAnswer::Retry;
    case kButtonBypass:
      return PasswordAnswer::Bypass;
    default:
      return PasswordAnswer::Never;
  }
}

PasswordReply showPasswordPrompt(const PasswordPrompt& p) {
  const ui::Answer a = ui::ask(passwordQuestion(p));
  PasswordReply r;
  r.answer = passwordAnswerFor(a.buttonId);
  if (r.answer == PasswordAnswer::Retry) r.typed = firstChars(a.editText, kPasswordMaxChars);
  return r;
}

// ---- file choosers ----

ui::FileChooser backupSetChooser(const std::string& folder) {
  ui::FileChooser c;
  c.caption = settingText(kTextBackupSetCaption);
  c.filter = kBackupSetFilter;
  c.initialFolder = toNativePath(folder);
  c.mustExist = true;
  c.okText = settingText(kTextOk);
  c.cancelText = settingText(kTextCancel);
  return c;
}

std::optional<std::string> chooseBackupSet(const std::string& folder) {
  const std::vector<std::string> chosen = ui::backend().chooseFiles(backupSetChooser(folder));
  if (chosen.empty() || chosen.front().empty()) return std::nullopt;
  return chosen.front();
}

ui::FileChooser newArchiveChooser(const std::string& start) {
  ui::FileChooser c;
  c.caption = settingText(kTextNewZipCaption);
  c.filter = settingText(kTextNewZipFilter);
  c.save = true;
  const std::string native = toNativePath(start);
  if (!start.empty() && (start.back() == '\\' || start.back() == '/')) {
    c.initialFolder = native;
  } else {
    c.initialFolder = directoryPart(native);
    c.initialName = fileNamePart(native);
  }
  return c;
}

std::optional<std::string> chooseNewArchive(const std::string& start) {
  const std::vector<std::string> chosen = ui::backend().chooseFiles(newArchiveChooser(start));
  if (chosen.empty() || chosen.front().empty()) return std::nullopt;
  std::string name = chosen.front();
  if (extensionPart(fileNamePart(name)).empty()) name += std::string(".") + kNewArchiveExtension;
  return name;
}

}  // namespace vz::control
