// The user-interface service. Code without a toolkit (the control, the
// self-extractor stub, the tools' logic) asks its questions here; one back
// end answers them:
//   - Qt (GUI hosts, platform/qt/), shown as real dialogs;
//   - terminal (command-line hosts and the stub), drawn on a terminal;
//   - scripted (tests and `qx --answers`), a queue of answers and a record
//     of every question asked.
//
// One generic question covers message boxes and the small dialogs of the
// system: a caption, a text, an icon, buttons (one default, some possibly
// disabled), an optional edit field, and the answer that closing the window
// gives. File choosers and the folder browser are calls of their own.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vz::ui {

enum class Icon { None, Information, Warning, Error, Question };

struct Button {
  int id = 0;        // what the answer reports
  std::string text;  // as shown, with "&" before the access key
  bool isDefault = false;
  bool disabled = false;
  // The button is disabled while the edit field is empty and enabled as
  // soon as it holds text.
  bool needsEditText = false;
};

struct EditField {
  std::string label;    // text before the field, may be empty
  std::string initial;  // initial content
  int maxLength = 0;    // 0: no limit
  bool masked = false;  // password entry
  // Earlier entries offered in a drop-down list under the field (an
  // editable drop-down, such as the password history), in order; choosing
  // one puts it into the field. Empty: a plain field. A back end that
  // cannot show a list may offer them by number or ignore them; scripted
  // answers give the edit text directly.
  std::vector<std::string> choices = {};
};

struct Question {
  std::string caption;
  std::string text;  // may hold line breaks
  Icon icon = Icon::None;
  std::vector<Button> buttons;
  int closeId = 0;  // the answer when the window is closed
  std::optional<EditField> edit;
  std::string helpFile;  // help offered with the dialog, empty for none
};

struct Answer {
  int buttonId = 0;
  std::string editText;  // the edit field's content (initial when untouched)
};

struct FileChooser {
  std::string caption;
  // Filter in the original form: pairs of description and patterns
  // separated by "|", ending "||" ("ZIP files|*.ZIP|All|*.*||").
  std::string filter;
  std::string initialFolder;
  std::string initialName;
  bool save = false;  // a save dialog (the name need not exist)
  bool mustExist = false;
  bool allowMultiple = false;
  std::string okText, cancelText;  // empty: the back end's own
};

struct FolderChooser {
  std::string caption;
  std::string initialFolder;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual Answer ask(const Question& q) = 0;
  // The chosen path(s), or empty when cancelled.
  virtual std::vector<std::string> chooseFiles(const FileChooser& c) = 0;
  virtual std::optional<std::string> chooseFolder(const FolderChooser& c) = 0;
};

// The process-wide back end. The default answers every question with its
// default button (the first default, else the first enabled button) and
// every chooser with cancel, and writes each question to standard error.
Backend& backend();
// Installs b (nullptr restores the default) and returns the previous one.
std::shared_ptr<Backend> setBackend(std::shared_ptr<Backend> b);

// Shorthands through backend().
Answer ask(const Question& q);

// Message boxes with the original flags, for code that speaks in them.
// Returns the IDOK.. value of the button chosen.
enum MessageBoxFlags : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONSTOP = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
};
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
int messageBox(const std::string& text, const std::string& caption, unsigned flags);
// The question messageBox asks (exposed for tests and for back ends).
Question messageBoxQuestion(const std::string& text, const std::string& caption, unsigned flags);

// The button's text without "&" and lower-cased ("&Yes" -> "yes").
std::string plainButtonText(const std::string& text);
// One-line description of a question for logs and standard error:
//   CAPTION <tab> TEXT <tab> BUTTONS
// TEXT shows each line break (LF, CR LF or CR) as the two characters "\n"
// and each tab as "\t"; a tab in the caption is shown the same way. BUTTONS
// are "[Text]" in order, separated by one blank, each with its text as shown
// but without the access-key "&" ("&&" shows one "&"); the default button
// is followed by "*", a disabled one by "-" (a button that needs edit text
// counts as disabled while the edit field's initial text is empty). Example:
//   Replace...<tab>The file a.txt already exists.\nWould you ...<tab>[Yes]* [No] [Rename...]-
std::string describe(const Question& q);

// Scripted back end: answers from a queue, records every question.
class ScriptedBackend : public Backend {
 public:
  struct Scripted {
    // Chosen by button text (compared in plainButtonText form, "yes") or
    // by id; with neither, the question's default button (as the default
    // back end chooses it).
    std::optional<std::string> buttonText;
    std::optional<int> buttonId;
    std::optional<std::string> editText;
    // Runs before the answer is given (a test inserts a new disk, ...).
    std::function<void()> action;
    // For choosers: the paths to return (empty: cancel).
    std::vector<std::string> paths;
  };

  void push(Scripted s) { queue_.push_back(std::move(s)); }
  void pushButton(std::string text, std::optional<std::string> edit = std::nullopt);
  void pushPaths(std::vector<std::string> paths);
  // Every question and chooser asked, in order.
  const std::vector<Question>& asked() const { return asked_; }
  const std::vector<FileChooser>& fileChoosers() const { return fileChoosers_; }
  const std::vector<FolderChooser>& folderChoosers() const { return folderChoosers_; }
  // Scripted answers not yet used.
  size_t pending() const { return queue_.size() - next_; }

  // With the queue empty, a question gets its close answer and a chooser is
  // cancelled. A scripted button that is unknown or disabled (considering
  // the edit text given) is a script error: it is recorded in errors() and
  // the close answer is given.
  Answer ask(const Question& q) override;
  std::vector<std::string> chooseFiles(const FileChooser& c) override;
  std::optional<std::string> chooseFolder(const FolderChooser& c) override;
  const std::vector<std::string>& errors() const { return errors_; }

 private:
  std::vector<Scripted> queue_;
  size_t next_ = 0;
  std::vector<Question> asked_;
  std::vector<FileChooser> fileChoosers_;
  std::vector<FolderChooser> folderChoosers_;
  std::vector<std::string> errors_;
};

// Answers from a text file, one line per question, used in order: the
// chosen button's plain text, optionally followed by a blank and the text for
// the edit field; for a chooser, the path. Every question is also written to
// standard error as one line (describe()). `qx --answers FILE` uses it.
std::shared_ptr<ScriptedBackend> loadAnswersFile(const std::string& path, std::string* error);
// A scripted back end that also logs every question to standard error.
class LoggingScriptedBackend : public ScriptedBackend {
 public:
  Answer ask(const Question& q) override;
  std::vector<std::string> chooseFiles(const FileChooser& c) override;
  std::optional<std::string> chooseFolder(const FolderChooser& c) override;
};

// Terminal back end: draws the question on a terminal and reads the answer
// (button by its access key, number or name; the edit field line by line,
// masked input without echo). in/out are file descriptors of the terminal.
std::shared_ptr<Backend> makeTerminalBackend(int inFd, int outFd);

}  // namespace vz::ui
