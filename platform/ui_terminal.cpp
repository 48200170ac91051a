// The terminal back end of the user-interface service, for command-line
// hosts and the self-extractor stub.
//
// A question is drawn as its caption, its text and a numbered list of its
// buttons (the default and the unavailable ones marked), and the answer is
// read as one line: the button's number, its access-key letter, or its name
// ("yes", "rename" or "rename..."); an empty line takes the default button.
// An edit field is read first, because a button may depend on its content;
// a masked field is read with the terminal's echo turned off. The end of
// the input closes the question (its close answer) or cancels a chooser.
//
// Input is read one byte at a time, never further than the end of the
// current line, so several questions can share one input stream (a pipe
// holding all the answers) without one swallowing the next one's line.
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vz::ui {

namespace {

// Longest answer line kept; the rest of a longer line is read and dropped.
constexpr size_t kMaxLine = 64 * 1024;

// The answer to a chooser that cancels it even when Enter would accept
// the initial name.
constexpr const char* kCancelWord = "-";

bool isEnabled(const Button& b, const std::string& editText) {
  return !b.disabled && !(b.needsEditText && editText.empty());
}

// The access-key letter of a button text ("&Yes" -> 'y'), 0 for none.
char accessKey(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(text[i + 1]);
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : 0;
  }
  return 0;
}

std::string trim(const std::string& s) { return std::string(text::trim(s, text::kBlanks)); }

std::string withoutTrailingDots(std::string s) {
  while (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

// Text with CR LF and CR shown as line feeds.
std::string normaliseLines(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += '\n';
    } else {
      out += text[i];
    }
  }
  return out;
}

// Turns the terminal's echo off for its lifetime when fd is a terminal.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (!isatty(fd_) || tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    active_ = tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int fd_;               // the terminal
  termios saved_{};      // its settings before, restored at the end
  bool active_ = false;  // whether the echo was turned off here
};

class TerminalBackend : public Backend {
 public:
  TerminalBackend(int inFd, int outFd) : in_(inFd), out_(outFd) {}

  Answer ask(const Question& q) override {
    std::string edit = q.edit ? q.edit->initial : std::string();
    if (!q.caption.empty()) put("\n== " + q.caption + " ==\n");
    if (!q.text.empty()) {
      std::string text = normaliseLines(q.text);
      if (text.back() != '\n') text += '\n';
      put(text);
    }
    if (q.edit) {
      std::string prompt = q.edit->label.empty() ? "Text" : q.edit->label;
      while (!prompt.empty() && (prompt.back() == ':' || prompt.back() == ' ')) prompt.pop_back();
      if (!q.edit->masked && !q.edit->initial.empty()) prompt += " [" + q.edit->initial + "]";
      prompt += ": ";
      std::optional<std::string> typed;
      if (q.edit->masked) {
        EchoOff quiet(in_);
        put(prompt);
        typed = readLine();
        put("\n");  // the line feed the user typed was not echoed
      } else {
        put(prompt);
        typed = readLine();
      }
      if (!typed) return {q.closeId, edit};
      if (!typed->empty()) edit = *typed;
      if (q.edit->maxLength > 0 && edit.size() > static_cast<size_t>(q.edit->maxLength))
        edit.resize(static_cast<size_t>(q.edit->maxLength));
    }

    int defaultIndex = -1;
    bool anyEnabled = false;
    for (size_t i = 0; i < q.buttons.size(); ++i) {
      const Button& b = q.buttons[i];
      bool enabled = isEnabled(b, edit);
      anyEnabled = anyEnabled || enabled;
      if (enabled && defaultIndex < 0 && b.isDefault) defaultIndex = static_cast<int>(i);
      std::string line = "  " + std::to_string(i + 1) + ") " + shown(b.text);
      if (b.isDefault) line += "  (default)";
      if (!enabled) line += "  (not available)";
      put(line + "\n");
    }
    if (!anyEnabled) return {q.closeId, edit};

    for (;;) {
      put(defaultIndex >= 0 ? "Choice (Enter: " + shown(q.buttons[static_cast<size_t>(defaultIndex)].text) + "): "
                            : std::string("Choice: "));
      std::optional<std::string> line = readLine();
      if (!line) return {q.closeId, edit};
      std::string answer = trim(*line);
      int index = -1;
      if (answer.empty()) {
        index = defaultIndex;
      } else {
        index = find(q, answer);
      }
      if (index < 0) {
        put("Please answer with a number from 1 to " + std::to_string(q.buttons.size()) +
            ", a button's letter or its name.\n");
        continue;
      }
      const Button& b = q.buttons[static_cast<size_t>(index)];
      if (!isEnabled(b, edit)) {
        put(shown(b.text) + " is not available.\n");
        continue;
      }
      return {b.id, edit};
    }
  }

  std::vector<std::string> chooseFiles(const FileChooser& c) override {
    header(c.caption.empty() ? std::string(c.save ? "Save as" : "Open") : c.caption);
    std::string types = describeFilter(c.filter);
    if (!types.empty()) put("Types: " + types + "\n");
    if (!c.initialFolder.empty()) put("Folder: " + c.initialFolder + "\n");
    std::vector<std::string> chosen;
    for (;;) {
      std::string prompt = c.allowMultiple && !chosen.empty() ? "Another file (Enter: done)"
                           : c.save                           ? "Save as"
                                                              : "File";
      bool offerInitial = chosen.empty() && !c.initialName.empty();
      if (offerInitial)
        prompt += " [" + c.initialName + "] (Enter: accept, " + kCancelWord + ": cancel): ";
      else if (chosen.empty())
        prompt += " (Enter: cancel): ";
      else
        prompt += ": ";
      put(prompt);
      std::optional<std::string> line = readLine();
      if (!line) return {};
      std::string answer = trim(*line);
      if (answer == kCancelWord && chosen.empty()) return {};
      if (answer.empty()) {
        if (!chosen.empty()) return chosen;
        if (!offerInitial) return {};
        answer = c.initialName;
      }
      std::string path = resolve(answer, c.initialFolder);
      if (c.mustExist && !isRegularFile(path)) {
        put(path + " does not exist.\n");
        continue;
      }
      if (isDirectory(path)) {
        put(path + " is a folder.\n");
        continue;
      }
      chosen.push_back(path);
      if (!c.allowMultiple) return chosen;
    }
  }

  std::optional<std::string> chooseFolder(const FolderChooser& c) override {
    header(c.caption.empty() ? std::string("Choose a folder") : c.caption);
    for (;;) {
      if (!c.initialFolder.empty())
        put("Folder [" + c.initialFolder + "] (Enter: accept, " + kCancelWord + ": cancel): ");
      else
        put("Folder (Enter: cancel): ");
      std::optional<std::string> line = readLine();
      if (!line) return std::nullopt;
      std::string answer = trim(*line);
      if (answer == kCancelWord) return std::nullopt;
      if (answer.empty()) {
        if (c.initialFolder.empty()) return std::nullopt;
        answer = c.initialFolder;
      }
      std::string path = resolve(answer, c.initialFolder);
      if (!isDirectory(path)) {
        put(path + " is not a folder.\n");
        continue;
      }
      return path;
    }
  }

 private:
  // Writes all of text; a terminal that went away is not an error here,
  // since the reading side then reports the end of input.
  void put(const std::string& text) {
    const char* p = text.data();
    size_t n = text.size();
    while (n > 0) {
      ssize_t w = ::write(out_, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return;
      p += w;
      n -= static_cast<size_t>(w);
    }
  }

  void header(const std::string& caption) { put("\n== " + caption + " ==\n"); }

  // One line without its line feed (and without a CR before it); nullopt
  // at the end of the input with nothing read.
  std::optional<std::string> readLine() {
    std::string line;
    bool any = false;
    for (;;) {
      char c;
      ssize_t r = ::read(in_, &c, 1);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        if (!any) return std::nullopt;
        break;
      }
      any = true;
      if (c == '\n') break;
      if (line.size() < kMaxLine) line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  static std::string shown(const std::string& buttonText) {
    std::string out;
    for (size_t i = 0; i < buttonText.size(); ++i) {
      if (buttonText[i] == '&') {
        if (i + 1 < buttonText.size() && buttonText[i + 1] == '&') out += '&', ++i;
        continue;
      }
      out += buttonText[i];
    }
    return out;
  }

  // The button an answer names: a number, an access key, or a name; -1 for
  // none.
  static int find(const Question& q, const std::string& answer) {
    bool digits = answer.find_first_not_of("0123456789") == std::string::npos;
    if (digits && answer.size() <= 4) {
      int n = std::atoi(answer.c_str());
      if (n >= 1 && static_cast<size_t>(n) <= q.buttons.size()) return n - 1;
      return -1;
    }
    if (answer.size() == 1) {
      unsigned char c = static_cast<unsigned char>(answer[0]);
      char key = c < 0x80 ? static_cast<char>(std::tolower(c)) : 0;
      for (size_t i = 0; i < q.buttons.size(); ++i)
        if (key && accessKey(q.buttons[i].text) == key) return static_cast<int>(i);
    }
    std::string name = withoutTrailingDots(plainButtonText(answer));
    for (size_t i = 0; i < q.buttons.size(); ++i)
      if (withoutTrailingDots(plainButtonText(q.buttons[i].text)) == name) return static_cast<int>(i);
    return -1;
  }

  // "ZIP files|*.ZIP|All|*.*||" -> "ZIP files (*.ZIP), All (*.*)".
  static std::string describeFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= filter.size()) {
      size_t bar = filter.find('|', pos);
      if (bar == std::string::npos) bar = filter.size();
      parts.push_back(filter.substr(pos, bar - pos));
      pos = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
      if (parts[i].empty()) break;
      if (!out.empty()) out += ", ";
      out += parts[i] + " (" + parts[i + 1] + ")";
    }
    return out;
  }

  // A typed path: "~/" is the home folder, a relative path is taken in the
  // chooser's folder.
  static std::string resolve(const std::string& typed, const std::string& folder) {
    if (typed == "~" || typed.rfind("~/", 0) == 0) {
      const char* home = std::getenv("HOME");
      if (home && *home) return std::string(home) + typed.substr(1);
    }
    if (typed.front() == '/' || folder.empty()) return typed;
    return folder.back() == '/' ? folder + typed : folder + "/" + typed;
  }

  int in_;   // where answers are read
  int out_;  // where questions are written
};

}  // namespace

std::shared_ptr<Backend> makeTerminalBackend(int inFd, int outFd) {
  return std::make_shared<TerminalBackend>(inFd, outFd);
}

}  // namespace vz::ui
