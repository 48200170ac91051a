// SfxStub: the front of every self-extracting archive.
//
// It reads the configuration block and the archive out of its own file
// (/proc/self/exe; see control/engine/sfx/sfx_config.h for how the block is
// found), shows one question in which the user confirms (and, when allowed,
// changes) the destination folder, extracts every file, optionally starts a
// program from the extracted files, and quits.
//
// The questions go through the platform's user-interface service: on a
// terminal (standard input and output both terminals) its terminal back end
// draws them and a one-line progress window ("%s [%i %%]" caption and a
// "%3d%%" bar); without a terminal every question gets its default answer,
// so a self-extractor also runs from scripts. Ctrl+C during a run is the
// Cancel button: it asks the configured question.
//
// Test build only (compiled with VZ_SFX_TEST_HOOKS, never into the shipped
// stub), from the environment:
//   VZ_SFX_ANSWERS       a file of scripted answers (ui.h's loadAnswersFile)
//   VZ_SFX_OPEN          a program started (and waited for) with the run
//                        command's full path instead of the desktop's opener
//   VZ_SFX_CANCEL_AFTER  N: Cancel is pressed once N entries have started
//
// Exit status: 0 the run succeeded (or nothing was to be done), 1 the user
// cancelled, 2 a failure was reported.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "control/engine/sfx/sfx_config.h"
#include "control/engine/read/archive_input.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/tempname.h"
#include "platform/ui.h"
#include "sfxstub/stub_run.h"

namespace {

using namespace vz;
using vz::engine::SfxConfig;

// The stub's own file.
constexpr const char* kSelf = "/proc/self/exe";
constexpr const char* kCorrupted = "Self-Extracting ZIP file corrupted.";
constexpr int kDestinationMax = 260;  // the edit box's limit
constexpr int kExitOk = 0, kExitCancelled = 1, kExitFailed = 2;

// Button ids of the questions (those of the original dialogs).
constexpr int kIdOk = 1, kIdCancel = 2;
constexpr int kIdRetry = 6, kIdBypass = 7, kIdNever = 3;
constexpr int kIdYes = 6, kIdNo = 7, kIdAlways = 3, kIdNeverReplace = 4;

// Set by Ctrl+C; read at the run's pump points.
volatile sig_atomic_t gCancelPressed = 0;
void onInterrupt(int) { gCancelPressed = 1; }

class Ui final : public sfx::StubUi {
 public:
  Ui(const SfxConfig& c, bool terminal, long cancelAfter) : c_(c), terminal_(terminal), cancelAfter_(cancelAfter) {}

  void setTotal(size_t total) { total_ = total; }

  void entryStarted() override {
    ++processed_;
    if (cancelAfter_ > 0 && static_cast<long>(processed_) == cancelAfter_) gCancelPressed = 1;
    draw();
  }
  void fileProgress(int percent, const std::string& path) override {
    const size_t slash = path.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%s [%i %%]", file.c_str(), percent);
    title_ = buf;
    draw();
  }
  bool pump() override {
    if (!gCancelPressed) return false;
    gCancelPressed = 0;
    endLine();
    return ui::messageBox(c_.cancelActionMsg, c_.caption, ui::MB_YESNO | ui::MB_ICONQUESTION | ui::MB_DEFBUTTON2) ==
           ui::IDYES;
  }
  sfx::PasswordAnswer askPassword(const std::string& entryPath, std::string& password) override {
    endLine();
    ui::Question q;
    q.caption = c_.passwordTitle;
    q.text = sfx::substitutePercent(c_.passwordText, entryPath);
    q.icon = ui::Icon::Question;
    q.buttons = {
        {kIdRetry, c_.passwordRetryBtn, true}, {kIdBypass, c_.passwordBypassBtn}, {kIdNever, c_.passwordNeverBtn}};
    q.closeId = kIdBypass;
    q.edit = ui::EditField{c_.passwordLabel, password, 80, false};
    const ui::Answer a = ui::ask(q);
    if (a.buttonId == kIdRetry) {
      password = a.editText;
      return sfx::PasswordAnswer::Retry;
    }
    return a.buttonId == kIdNever ? sfx::PasswordAnswer::NeverAsk : sfx::PasswordAnswer::Skip;
  }
  sfx::ReplaceAnswer askReplace(const std::string& existingPath, bool existingNewer) override {
    endLine();
    ui::Question q;
    q.caption = c_.replaceTitle;
    q.text = sfx::substitutePercent(c_.replaceText, existingPath);
    q.icon = ui::Icon::Question;
    q.buttons = {{kIdYes, c_.replaceYesBtn, !existingNewer},
                 {kIdNo, c_.replaceNoBtn, existingNewer},
                 {kIdAlways, c_.replaceAlwaysBtn},
                 {kIdNeverReplace, c_.replaceNeverBtn}};
    q.closeId = kIdNo;
    switch (ui::ask(q).buttonId) {
      case kIdYes:
        return sfx::ReplaceAnswer::Yes;
      case kIdAlways:
        return sfx::ReplaceAnswer::Always;
      case kIdNeverReplace:
        return sfx::ReplaceAnswer::Never;
      default:
        return sfx::ReplaceAnswer::No;
    }
  }
  void warning(const std::string& text) override {
    endLine();
    ui::messageBox(text, c_.caption, ui::MB_OK | ui::MB_ICONWARNING);
  }
  // Ends the progress line before anything else is written.
  void endLine() {
    if (terminal_ && drawn_) std::fputs("\n", stdout);
    drawn_ = false;
    std::fflush(stdout);
  }

 private:
  // The one-line progress window: caption and bar.
  void draw() {
    if (!terminal_) return;
    std::string line = title_.empty() ? c_.caption : title_;
    if (total_ > 0 && processed_ > 0) {
      const size_t done = processed_ < total_ ? processed_ : total_;
      char pct[16];
      std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(done * 100 / total_));
      line += "  ";
      line += pct;
    }
    std::fprintf(stdout, "\r%s\x1b[K", line.c_str());
    std::fflush(stdout);
    drawn_ = true;
  }

  const SfxConfig& c_;
  bool terminal_;         // progress is drawn on the terminal
  long cancelAfter_;      // VZ_SFX_CANCEL_AFTER, 0: none
  size_t total_ = 0;      // entries in the archive
  size_t processed_ = 0;  // entries started
  std::string title_;     // the window caption as last set
  bool drawn_ = false;    // the progress line holds text
};

int fail(const std::string& text, const std::string& caption, unsigned icon) {
  ui::messageBox(text, caption, ui::MB_OK | icon);
  return kExitFailed;
}

// Creates the destination (one level); true when it is a folder afterwards.
bool makeDestination(const std::string& dest, sfx::CreatedItems& created) {
  if (isDirectory(dest)) return true;
  if (fileExists(dest)) return false;
  if (::mkdir(dest.c_str(), 0755) != 0) return false;
  created.folders.push_back(dest);
  return true;
}

}  // namespace

int main() {
  // The user-interface back end.
  const bool terminal = ::isatty(0) && ::isatty(1);
  long cancelAfter = 0;
#ifdef VZ_SFX_TEST_HOOKS
  if (const char* answers = std::getenv("VZ_SFX_ANSWERS"); answers && *answers) {
    std::string err;
    auto b = ui::loadAnswersFile(answers, &err);
    if (b) ui::setBackend(b);
  } else if (terminal) {
    ui::setBackend(ui::makeTerminalBackend(0, 1));
  }
  if (const char* n = std::getenv("VZ_SFX_CANCEL_AFTER")) cancelAfter = std::strtol(n, nullptr, 10);
#else
  if (terminal) ui::setBackend(ui::makeTerminalBackend(0, 1));
#endif

  // The configuration block.
  engine::ArchiveInput self;
  if (!self.open(kSelf)) return fail(kCorrupted, "", ui::MB_ICONERROR);
  engine::SfxPayload payload;
  int archiveStatus = engine::kSfxLocateNotFound;
  int64_t configOffset = engine::sfxStubLength(self);
  if (configOffset <= 0) {
    if (!engine::locateSfxPayload(self, payload, &archiveStatus)) return fail(kCorrupted, "", ui::MB_ICONERROR);
    configOffset = payload.configOffset;
  }
  uint8_t block[engine::kSfxConfigSize];
  if (self.readAt(configOffset, block, sizeof block) != static_cast<int64_t>(sizeof block))
    return fail(kCorrupted, "", ui::MB_ICONERROR);
  const SfxConfig config = engine::decodeSfxConfig(block);

  // The archive behind it.
  archiveStatus = engine::locateSfxArchive(self, payload);
  if (archiveStatus != engine::kSfxLocateOk || payload.totalEntries == 0)
    return fail(config.ioErrorMsg, config.caption, ui::MB_ICONERROR);
  self.close();

  // The destination.
  const bool mayChange = config.askDirectory != '0';
  bool showDescription = true;
  std::string dest;
  if (!config.defaultFolder.empty()) {
    dest = toNativePath(config.defaultFolder);
  } else if (mayChange) {
    dest = tempPath();
  } else {
    showDescription = false;
    dest = getTempFileName(tempPath(), "TMP");
    if (!dest.empty()) removeFile(dest);
  }

  // The main window: confirm (and maybe change) the destination.
  ui::Question q;
  q.caption = config.caption;
  q.text = showDescription ? config.browseDirTitle : std::string();
  if (!mayChange && showDescription) q.text += (q.text.empty() ? "" : "\n") + dest;
  q.buttons = {{kIdOk, config.okButton, true}, {kIdCancel, config.cancelButton}};
  q.closeId = kIdCancel;
  if (mayChange) q.edit = ui::EditField{"", dest, kDestinationMax, false};
  const ui::Answer a = ui::ask(q);
  if (a.buttonId != kIdOk) return kExitCancelled;
  if (mayChange) dest = a.editText;
  if (dest.empty()) return fail(config.cantCreateDirMsg, config.caption, ui::MB_ICONERROR);
  dest = absolutePath(toNativePath(dest));

  sfx::CreatedItems created;
  // The run stops here when the destination cannot be made: its files
  // could only fail.
  if (!makeDestination(dest, created) || ::chdir(dest.c_str()) != 0)
    return fail(config.cantCreateDirMsg, config.caption, ui::MB_ICONERROR);

  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigaction(SIGINT, &sa, nullptr);

  Ui stubUi(config, terminal, cancelAfter);
  stubUi.setTotal(payload.totalEntries);
  sfx::RunInput in{kSelf, payload, config, dest};
  bool aborted = false;
  const int result = sfx::runExtraction(in, stubUi, created, aborted);
  stubUi.endLine();

  const bool cleanAfter = !config.runCommand.empty() && !mayChange;
  auto leaveDestination = [&] {
    if (::chdir("/") != 0) return;
    sfx::cleanUp(created);
  };
  if (result > sfx::kRunWarning) {
    ui::messageBox(config.ioErrorMsg, config.caption, ui::MB_OK | ui::MB_ICONWARNING);
    if (cleanAfter) leaveDestination();
    return kExitFailed;
  }
  if (!config.runCommand.empty() && !aborted) {
    const std::string full = joinPath(dest, toNativePath(config.runCommand));
#ifdef VZ_SFX_TEST_HOOKS
    if (const char* opener = std::getenv("VZ_SFX_OPEN"); opener && *opener) {
      LaunchRequest r;
      r.argv = {opener, full};
      r.wait = true;
      startProgram(r);
    } else {
      openDocument(full);
    }
#else
    openDocument(full);
#endif
  }
  if (cleanAfter) leaveDestination();
  return aborted ? kExitCancelled : kExitOk;
}
