// The user-interface service: the process-wide back end, message boxes in
// the original flags, the one-line description of a question, and the
// scripted back ends (a queue in memory, or an answers file).
//
// The installed back end is held in shared ownership; each question takes
// its own reference, so a back end replaced while it is asking (a test
// restoring the default from inside a scripted action) stays alive until
// the question is answered.
//
// Button state: a button counts as enabled when it is not disabled and,
// if it needs edit text, the edit text it would be answered with is not
// empty. The default back end and the scripted back ends judge buttons by
// this one rule (isEnabled), so a test sees the choice a user could make.
#include "platform/ui.h"

#include <cstdio>
#include <mutex>

#include "platform/charcase.h"
#include "platform/file.h"
#include "platform/plain_mutex.h"

namespace vz::ui {

namespace {

// The standard texts of the message-box buttons.
constexpr const char* kOkText = "OK";
constexpr const char* kCancelText = "Cancel";
constexpr const char* kYesText = "&Yes";
constexpr const char* kNoText = "&No";
constexpr const char* kAbortText = "&Abort";
constexpr const char* kRetryText = "&Retry";
constexpr const char* kIgnoreText = "&Ignore";

// The button-set bits and the default-button bits of the flags.
constexpr unsigned kButtonSetMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefButtonMask = 0xF00;

bool isEnabled(const Button& b, const std::string& editText) {
  return !b.disabled && !(b.needsEditText && editText.empty());
}

std::string initialEdit(const Question& q) { return q.edit ? q.edit->initial : std::string(); }

// The default answer: the first enabled default button, else the first
// enabled button, else the close answer.
Answer defaultAnswer(const Question& q) {
  std::string edit = initialEdit(q);
  for (const Button& b : q.buttons)
    if (b.isDefault && isEnabled(b, edit)) return {b.id, edit};
  for (const Button& b : q.buttons)
    if (isEnabled(b, edit)) return {b.id, edit};
  return {q.closeId, edit};
}

// Text without the access-key markers: "&" goes, "&&" becomes "&".
std::string stripAccessKeys(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

// Line breaks and tabs as two visible characters, so a description stays
// on one line and its fields stay separated by tabs.
std::string escapeForLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

// The one-line description of a chooser for logs:
//   CAPTION <tab> "open file" | "save file" | "choose folder" <tab> FOLDER
std::string describeChooser(const std::string& caption, const char* kind, const std::string& folder) {
  return escapeForLine(caption) + "\t" + kind + "\t" + escapeForLine(folder);
}

void logLine(const std::string& line) {
  std::string s = line + "\n";
  std::fwrite(s.data(), 1, s.size(), stderr);
  std::fflush(stderr);
}

// Answers each question with its default button, cancels each chooser, and
// reports every question on standard error.
class DefaultBackend : public Backend {
 public:
  Answer ask(const Question& q) override {
    logLine(describe(q));
    return defaultAnswer(q);
  }
  std::vector<std::string> chooseFiles(const FileChooser& c) override {
    logLine(describeChooser(c.caption, c.save ? "save file" : "open file", c.initialFolder));
    return {};
  }
  std::optional<std::string> chooseFolder(const FolderChooser& c) override {
    logLine(describeChooser(c.caption, "choose folder", c.initialFolder));
    return std::nullopt;
  }
};

struct Service {
  PlainMutex mutex;                  // guards current
  std::shared_ptr<Backend> current;  // the installed back end, never null
};

Service& service() {
  // Never destroyed: questions may still be asked from static destructors.
  static Service* s = [] {
    auto* p = new Service;
    p->current = std::make_shared<DefaultBackend>();
    return p;
  }();
  return *s;
}

std::shared_ptr<Backend> currentBackend() {
  Service& s = service();
  std::lock_guard<PlainMutex> lock(s.mutex);
  return s.current;
}

Button makeButton(int id, const char* text) {
  Button b;
  b.id = id;
  b.text = text;
  return b;
}

bool hasButton(const Question& q, int id) {
  for (const Button& b : q.buttons)
    if (b.id == id) return true;
  return false;
}

}  // namespace

Backend& backend() { return *currentBackend(); }

std::shared_ptr<Backend> setBackend(std::shared_ptr<Backend> b) {
  if (!b) b = std::make_shared<DefaultBackend>();
  Service& s = service();
  std::lock_guard<PlainMutex> lock(s.mutex);
  std::swap(s.current, b);
  return b;
}

Answer ask(const Question& q) {
  std::shared_ptr<Backend> b = currentBackend();
  return b->ask(q);
}

Question messageBoxQuestion(const std::string& text, const std::string& caption, unsigned flags) {
  Question q;
  q.caption = caption;
  q.text = text;
  switch (flags & kIconMask) {
    case MB_ICONERROR:
      q.icon = Icon::Error;
      break;
    case MB_ICONQUESTION:
      q.icon = Icon::Question;
      break;
    case MB_ICONWARNING:
      q.icon = Icon::Warning;
      break;
    case MB_ICONINFORMATION:
      q.icon = Icon::Information;
      break;
    default:
      q.icon = Icon::None;
      break;
  }
  switch (flags & kButtonSetMask) {
    case MB_OKCANCEL:
      q.buttons = {makeButton(IDOK, kOkText), makeButton(IDCANCEL, kCancelText)};
      break;
    case MB_ABORTRETRYIGNORE:
      q.buttons = {makeButton(IDABORT, kAbortText), makeButton(IDRETRY, kRetryText), makeButton(IDIGNORE, kIgnoreText)};
      break;
    case MB_YESNOCANCEL:
      q.buttons = {makeButton(IDYES, kYesText), makeButton(IDNO, kNoText), makeButton(IDCANCEL, kCancelText)};
      break;
    case MB_YESNO:
      q.buttons = {makeButton(IDYES, kYesText), makeButton(IDNO, kNoText)};
      break;
    case MB_RETRYCANCEL:
      q.buttons = {makeButton(IDRETRY, kRetryText), makeButton(IDCANCEL, kCancelText)};
      break;
    default:  // MB_OK, and button sets this system never uses
      q.buttons = {makeButton(IDOK, kOkText)};
      break;
  }
  // MB_DEFBUTTON2/3 name the second or third button; one that does not
  // exist leaves the first as the default.
  size_t def = 0;
  if ((flags & kDefButtonMask) == MB_DEFBUTTON2) def = 1;
  if ((flags & kDefButtonMask) == MB_DEFBUTTON3) def = 2;
  if (def >= q.buttons.size()) def = 0;
  q.buttons[def].isDefault = true;
  // Closing the box: Cancel, else No; a box with one button answers with
  // it; abort/retry/ignore, which has neither, closes as Abort (the choice
  // that stops the operation).
  if (hasButton(q, IDCANCEL))
    q.closeId = IDCANCEL;
  else if (hasButton(q, IDNO))
    q.closeId = IDNO;
  else
    q.closeId = q.buttons.front().id;
  return q;
}

int messageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return ask(messageBoxQuestion(text, caption, flags)).buttonId;
}

std::string plainButtonText(const std::string& text) { return toLower(stripAccessKeys(text)); }

std::string describe(const Question& q) {
  std::string edit = initialEdit(q);
  std::string line = escapeForLine(q.caption) + "\t" + escapeForLine(q.text) + "\t";
  bool first = true;
  for (const Button& b : q.buttons) {
    if (!first) line += ' ';
    first = false;
    line += "[" + escapeForLine(stripAccessKeys(b.text)) + "]";
    if (b.isDefault) line += '*';
    if (!isEnabled(b, edit)) line += '-';
  }
  return line;
}

void ScriptedBackend::pushButton(std::string text, std::optional<std::string> edit) {
  Scripted s;
  s.buttonText = std::move(text);
  s.editText = std::move(edit);
  push(std::move(s));
}

void ScriptedBackend::pushPaths(std::vector<std::string> paths) {
  Scripted s;
  s.paths = std::move(paths);
  push(std::move(s));
}

Answer ScriptedBackend::ask(const Question& q) {
  asked_.push_back(q);
  size_t number = asked_.size();
  if (next_ >= queue_.size()) return {q.closeId, initialEdit(q)};
  Scripted s = queue_[next_++];
  if (s.action) s.action();

  std::string edit = q.edit && s.editText ? *s.editText : initialEdit(q);
  if (q.edit && q.edit->maxLength > 0 && edit.size() > static_cast<size_t>(q.edit->maxLength))
    edit.resize(static_cast<size_t>(q.edit->maxLength));
  if (!s.buttonText && !s.buttonId) {
    // The default button judged with the scripted edit text.
    for (const Button& b : q.buttons)
      if (b.isDefault && isEnabled(b, edit)) return {b.id, edit};
    for (const Button& b : q.buttons)
      if (isEnabled(b, edit)) return {b.id, edit};
    return {q.closeId, initialEdit(q)};
  }

  const Button* chosen = nullptr;
  std::string wanted = s.buttonText ? plainButtonText(*s.buttonText) : std::string();
  for (const Button& b : q.buttons) {
    bool match = s.buttonId ? b.id == *s.buttonId : plainButtonText(b.text) == wanted;
    if (match) {
      chosen = &b;
      break;
    }
  }
  // A button named by several words ("Skip File") reaches us split at the
  // answers line's first blank: the rest of its name went into editText.
  // Join the line again and take the button whose name begins it.
  if (!chosen && s.buttonText && s.editText) {
    std::string line = *s.buttonText + " " + *s.editText;
    for (const Button& b : q.buttons) {
      std::string name = plainButtonText(b.text);
      if (name.find(' ') == std::string::npos || line.size() < name.size()) continue;
      if (plainButtonText(line.substr(0, name.size())) != name) continue;
      if (line.size() > name.size() && line[name.size()] != ' ') continue;
      chosen = &b;
      edit = q.edit && line.size() > name.size() ? line.substr(name.size() + 1) : initialEdit(q);
      wanted = name;
      break;
    }
  }
  std::string what = s.buttonId ? "button id " + std::to_string(*s.buttonId) : "button \"" + wanted + "\"";
  std::string where = "question " + std::to_string(number) + " (" + escapeForLine(q.caption) + "): ";
  if (!chosen) {
    errors_.push_back(where + "no " + what + " in " + describe(q));
    return {q.closeId, initialEdit(q)};
  }
  if (!isEnabled(*chosen, edit)) {
    errors_.push_back(where + what + " is disabled in " + describe(q));
    return {q.closeId, initialEdit(q)};
  }
  return {chosen->id, edit};
}

std::vector<std::string> ScriptedBackend::chooseFiles(const FileChooser& c) {
  fileChoosers_.push_back(c);
  if (next_ >= queue_.size()) return {};
  Scripted s = queue_[next_++];
  if (s.action) s.action();
  if (!c.allowMultiple && s.paths.size() > 1) {
    errors_.push_back("file chooser (" + escapeForLine(c.caption) + "): " + std::to_string(s.paths.size()) +
                      " paths scripted for a single choice");
    return {};
  }
  return s.paths;
}

std::optional<std::string> ScriptedBackend::chooseFolder(const FolderChooser& c) {
  folderChoosers_.push_back(c);
  if (next_ >= queue_.size()) return std::nullopt;
  Scripted s = queue_[next_++];
  if (s.action) s.action();
  if (s.paths.empty()) return std::nullopt;
  if (s.paths.size() > 1) {
    errors_.push_back("folder chooser (" + escapeForLine(c.caption) + "): " + std::to_string(s.paths.size()) +
                      " paths scripted for one folder");
    return std::nullopt;
  }
  return s.paths.front();
}

Answer LoggingScriptedBackend::ask(const Question& q) {
  logLine(describe(q));
  return ScriptedBackend::ask(q);
}

std::vector<std::string> LoggingScriptedBackend::chooseFiles(const FileChooser& c) {
  logLine(describeChooser(c.caption, c.save ? "save file" : "open file", c.initialFolder));
  return ScriptedBackend::chooseFiles(c);
}

std::optional<std::string> LoggingScriptedBackend::chooseFolder(const FolderChooser& c) {
  logLine(describeChooser(c.caption, "choose folder", c.initialFolder));
  return ScriptedBackend::chooseFolder(c);
}

std::shared_ptr<ScriptedBackend> loadAnswersFile(const std::string& path, std::string* error) {
  std::optional<std::string> content = readWholeFile(path);
  if (!content) {
    if (error) *error = "cannot read the answers file " + path;
    return nullptr;
  }
  auto backend = std::make_shared<LoggingScriptedBackend>();
  // Each line serves whichever kind of question comes: a question reads the
  // button text up to the first blank and the rest as the edit text; a
  // chooser takes the whole line as its path. An empty line gives the
  // default button to a question and cancels a chooser.
  size_t pos = 0;
  const std::string& text = *content;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ScriptedBackend::Scripted s;
    if (!line.empty()) {
      size_t blank = line.find(' ');
      s.buttonText = line.substr(0, blank);
      if (blank != std::string::npos) s.editText = line.substr(blank + 1);
      s.paths.push_back(line);
    }
    backend->push(std::move(s));
  }
  return backend;
}

}  // namespace vz::ui
