// Starting programs and opening documents.
//
// Programs are started with fork and execvp on an argument vector; no shell
// ever sees a path or a parameter, so names with blanks, quotes or "$"
// reach the program as they are. The child reports a failed exec (or a
// working directory it cannot enter) through a close-on-exec pipe, so the
// caller learns whether the program really started: the pipe reaches the
// end of file when exec succeeds and carries errno when it fails.
//
// A program that is not waited for is started through an intermediate
// child that exits at once, so it is adopted by init and never lingers as
// a zombie of ours; a program that is waited for is the direct child and its
// exit status is reported (128 + the signal's number when a signal ended it,
// as shells report it).
//
// Documents and folders open through xdg-open. The text editor is also
// reached through xdg-open: the desktop's handler of the file's type opens
// it, which for the files this system shows (texts, logs, INI files) is the
// desktop's text editor. Asking for text/plain's handler explicitly would
// need a desktop-file launcher that is not present everywhere.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/plain_mutex.h"
#include "platform/text.h"

namespace vz {

namespace {

// Exit status of a child whose exec failed (the shells' "not found").
constexpr int kExecFailed = 127;
// Output of a query program kept at most; the rest is read and dropped.
constexpr size_t kMaxQueryOutput = 64 * 1024;

struct LauncherSlot {
  PlainMutex mutex;   // guards launcher
  Launcher launcher;  // the installed launcher; empty: the default one
};

LauncherSlot& slot() {
  static LauncherSlot* s = new LauncherSlot;  // never destroyed
  return *s;
}

void writeErrno(int fd, int err) {
  ssize_t w;
  do {
    w = ::write(fd, &err, sizeof err);
  } while (w < 0 && errno == EINTR);
}

// In the child after fork: only async-signal-safe calls from here on.
[[noreturn]] void execChild(char* const* argv, const char* cwd, int errFd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  if (cwd && ::chdir(cwd) != 0) {
    writeErrno(errFd, errno);
    _exit(kExecFailed);
  }
  ::execvp(argv[0], argv);
  writeErrno(errFd, errno);
  _exit(kExecFailed);
}

// Reads the exec report: 0 when exec succeeded (end of file), else errno.
int readExecReport(int fd) {
  int err = 0;
  size_t got = 0;
  while (got < sizeof err) {
    ssize_t r = ::read(fd, reinterpret_cast<char*>(&err) + got, sizeof err - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got == sizeof err ? (err ? err : EIO) : 0;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

LaunchResult defaultLaunch(const LaunchRequest& req) {
  LaunchResult result;
  if (req.argv.empty() || req.argv[0].empty()) {
    errno = ENOENT;
    return result;
  }
  // Everything the child needs is prepared before fork.
  std::vector<char*> argv;
  argv.reserve(req.argv.size() + 1);
  for (const std::string& a : req.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const char* cwd = req.workingDirectory.empty() ? nullptr : req.workingDirectory.c_str();

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return result;
  pid_t pid = ::fork();
  if (pid < 0) {
    int saved = errno;
    ::close(report[0]);
    ::close(report[1]);
    errno = saved;
    return result;
  }
  if (pid == 0) {
    ::close(report[0]);
    if (!req.wait) {
      pid_t grandchild = ::fork();
      if (grandchild < 0) {
        writeErrno(report[1], errno);
        _exit(kExecFailed);
      }
      if (grandchild > 0) _exit(0);
    }
    execChild(argv.data(), cwd, report[1]);
  }
  ::close(report[1]);
  int err = readExecReport(report[0]);
  ::close(report[0]);
  int status = waitFor(pid);  // the program itself, or the intermediate child
  if (err != 0) {
    errno = err;
    return result;
  }
  result.started = true;
  if (req.wait) result.exitCode = status;
  return result;
}

// Whether name is an executable file in one of PATH's folders.
bool onPath(const std::string& name) {
  const char* env = std::getenv("PATH");
  if (!env) return false;
  std::string path = env;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(':', pos);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(pos, end - pos);
    if (dir.empty()) dir = ".";
    std::string cand = dir + "/" + name;
    struct stat st;
    if (::stat(cand.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(cand.c_str(), X_OK) == 0) return true;
    pos = end + 1;
  }
  return false;
}

// Runs a query program and returns its standard output; nullopt when it
// cannot be started or does not exit with 0. Standard input and error are
// /dev/null.
std::optional<std::string> capture(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    if (devNull >= 0) ::close(devNull);
    return std::nullopt;
  }
  if (pid == 0) {
    // dup2 clears close-on-exec on the copies, so they survive exec.
    if (::dup2(out[1], STDOUT_FILENO) < 0) _exit(kExecFailed);
    if (devNull >= 0) {
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDERR_FILENO);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execvp(argv[0], argv.data());
    _exit(kExecFailed);
  }
  ::close(out[1]);
  if (devNull >= 0) ::close(devNull);
  std::string text;
  char buf[4096];
  for (;;) {
    ssize_t r = ::read(out[0], buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    if (text.size() < kMaxQueryOutput) text.append(buf, static_cast<size_t>(r));
  }
  ::close(out[0]);
  if (waitFor(pid) != 0) return std::nullopt;
  return text;
}

std::string trim(const std::string& s) { return std::string(text::trim(s, text::kWhitespace)); }

}  // namespace

LaunchResult startProgram(const LaunchRequest& req) {
  Launcher l;
  {
    LauncherSlot& s = slot();
    std::lock_guard<PlainMutex> lock(s.mutex);
    l = s.launcher;
  }
  return l ? l(req) : defaultLaunch(req);
}

Launcher setLauncher(Launcher l) {
  LauncherSlot& s = slot();
  std::lock_guard<PlainMutex> lock(s.mutex);
  std::swap(s.launcher, l);
  return l;
}

bool openDocument(const std::string& path) {
  if (path.empty()) return false;
  return startProgram({{"xdg-open", path}, "", false}).started;
}

bool openInTextEditor(const std::string& path) {
  if (path.empty()) return false;
  return startProgram({{"xdg-open", path}, "", false}).started;
}

bool runExecutable(const std::string& path, const std::vector<std::string>& args) {
  if (path.empty()) return false;
  LaunchRequest req;
  // A bare name of a file in the current folder runs that file (as the
  // original platform looked there first); other bare names go by PATH.
  std::string program = path;
  struct stat st;
  if (program.find('/') == std::string::npos && ::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    program = "./" + program;
  req.argv.push_back(program);
  req.argv.insert(req.argv.end(), args.begin(), args.end());
  return startProgram(req).started;
}

std::vector<std::string> splitCommandLine(const std::string& line) {
  // The original platform's rules for program parameters:
  //  - blanks and tabs outside double quotes separate arguments;
  //  - a double quote starts or ends a quoted stretch (which may sit inside
  //    an argument: a"b c"d is one argument, ab cd);
  //  - inside a quoted stretch, two double quotes give one literal quote;
  //  - 2n backslashes before a double quote give n backslashes and the
  //    quote acts as above; 2n+1 give n backslashes and a literal quote;
  //  - backslashes not before a double quote are literal;
  //  - "" alone is an empty argument.
  std::vector<std::string> args;
  std::string cur;
  bool inArg = false, inQuote = false;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    char c = line[i];
    if (!inQuote && (c == ' ' || c == '\t')) {
      if (inArg) {
        args.push_back(cur);
        cur.clear();
        inArg = false;
      }
      ++i;
      continue;
    }
    inArg = true;
    if (c == '\\') {
      size_t count = 0;
      while (i < n && line[i] == '\\') ++count, ++i;
      if (i < n && line[i] == '"') {
        cur.append(count / 2, '\\');
        if (count % 2 == 1) {
          cur += '"';
          ++i;
        }
        // An even count leaves the quote to the next round.
      } else {
        cur.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (inQuote && i + 1 < n && line[i + 1] == '"') {
        cur += '"';
        i += 2;
        continue;
      }
      inQuote = !inQuote;
      ++i;
      continue;
    }
    cur += c;
    ++i;
  }
  if (inArg) args.push_back(cur);
  return args;
}

bool hasDefaultApplication(const std::string& path) {
  if (path.empty() || !onPath("xdg-mime")) return false;
  std::optional<std::string> type = capture({"xdg-mime", "query", "filetype", path});
  if (!type) return false;
  std::string mime = trim(*type);
  // The type is one word such as "application/zip"; anything else (an
  // error text on standard output) is no answer.
  if (mime.empty() || mime.find('/') == std::string::npos || mime.find_first_of(" \t\n") != std::string::npos)
    return false;
  std::optional<std::string> app = capture({"xdg-mime", "query", "default", mime});
  return app && !trim(*app).empty();
}

}  // namespace vz
