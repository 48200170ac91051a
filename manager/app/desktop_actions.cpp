// The desktop actions over platform/process.h.
//
// Send To targets are freedesktop ".desktop" files. Only the group
// "[Desktop Entry]" is read, and in it the keys Name (the unlocalised one),
// Exec, Path (working folder) and Hidden. The Exec value is unescaped twice,
// as the desktop entry format says: first the string escapes of any value
// (\s \n \t \r \\), then the Exec quoting (arguments in double quotes, in
// which \" \` \$ and \\ stand for the character). Field codes are expanded
// per argument: %f %F %u %U become the archive path (a field code that is a
// whole argument becomes exactly one argument, so a path with blanks stays
// one), %% is a literal "%", and the other codes (%i %c %k %d %D %n %N %v %m)
// are dropped. A line with no path code gets the path as a last argument.
// Nothing goes through a shell.
//
// Mail: "xdg-email --subject NAME --attach PATH", waited for, and its exit
// status translated into the simple-mail error numbers whose standard
// descriptions mailErrorText returns (the main window shows those texts).
#include "manager/app/desktop_actions.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <optional>

#include "platform/folders.h"
#include "platform/process.h"

namespace vz::manager {

namespace {

// The simple-mail error numbers this file produces.
constexpr int kMailFailure = 2;             // unspecified failure
constexpr int kMailLoginFailure = 3;        // no mail program to log on to
constexpr int kMailAttachmentMissing = 11;  // the attachment does not exist
constexpr int kMailAttachmentOpen = 12;     // the attachment cannot be read

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// The string escapes every desktop-entry value may hold.
std::string unescapeValue(const std::string& v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      out += v[i];
      continue;
    }
    char c = v[++i];
    switch (c) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:  // not a string escape: keep both (the Exec quoting reads it)
        out += '\\';
        out += c;
    }
  }
  return out;
}

// The keys of one desktop file this file uses.
struct DesktopFile {
  std::string name;     // Name=
  std::string exec;     // Exec= (string escapes removed)
  std::string path;     // Path=
  bool hidden = false;  // Hidden=true
};

std::optional<DesktopFile> readDesktopFile(const std::string& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  DesktopFile d;
  bool inMain = false;
  std::string line;
  size_t lines = 0;
  while (std::getline(in, line) && ++lines < 10000) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    if (!inMain) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = trim(line.substr(0, eq));
    std::string value = unescapeValue(trim(line.substr(eq + 1)));
    if (key == "Name")
      d.name = value;
    else if (key == "Exec")
      d.exec = value;
    else if (key == "Path")
      d.path = value;
    else if (key == "Hidden")
      d.hidden = value == "true";
  }
  return d;
}

// One argument of an Exec line before field codes are expanded.
struct ExecWord {
  std::string text;
  bool quoted = false;  // was in double quotes (its "%" are still codes)
};

// Splits an Exec value into words. False on an unterminated quote.
bool splitExec(const std::string& exec, std::vector<ExecWord>& words) {
  size_t i = 0;
  while (i < exec.size()) {
    while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
    if (i == exec.size()) break;
    ExecWord w;
    while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') {
      if (exec[i] == '"') {
        w.quoted = true;
        ++i;
        bool closed = false;
        while (i < exec.size()) {
          char c = exec[i++];
          if (c == '"') {
            closed = true;
            break;
          }
          if (c == '\\' && i < exec.size() && std::string_view("\"`$\\").find(exec[i]) != std::string_view::npos)
            c = exec[i++];
          w.text += c;
        }
        if (!closed) return false;
      } else {
        w.text += exec[i++];
      }
    }
    words.push_back(std::move(w));
  }
  return true;
}

// The Exec line as an argument vector for one file; empty when the line is
// unusable.
std::vector<std::string> execArguments(const std::string& exec, const std::string& file) {
  std::vector<ExecWord> words;
  if (!splitExec(exec, words)) return {};
  std::vector<std::string> argv;
  bool pathUsed = false;
  for (const ExecWord& w : words) {
    static const std::string_view kPathCodes = "fFuU";
    if (w.text.size() == 2 && w.text[0] == '%' && kPathCodes.find(w.text[1]) != std::string_view::npos) {
      argv.push_back(file);
      pathUsed = true;
      continue;
    }
    std::string out;
    bool dropped = false;  // the word was only a dropped code
    for (size_t i = 0; i < w.text.size(); ++i) {
      if (w.text[i] != '%' || i + 1 == w.text.size()) {
        out += w.text[i];
        continue;
      }
      char code = w.text[++i];
      if (code == '%')
        out += '%';
      else if (kPathCodes.find(code) != std::string_view::npos) {
        out += file;
        pathUsed = true;
      } else {
        dropped = true;
      }
    }
    if (out.empty() && dropped) continue;
    argv.push_back(std::move(out));
  }
  if (argv.empty()) return {};
  if (!pathUsed) argv.push_back(file);
  return argv;
}

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<SendToEntry> sendToEntries() {
  std::vector<SendToEntry> out;
  std::string folder = sendToFolder();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return out;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    static const std::string kSuffix = ".desktop";
    if (name.size() <= kSuffix.size() || name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
      continue;
    std::string full = folder + "/" + name;
    std::optional<DesktopFile> d = readDesktopFile(full);
    if (!d || d->hidden || d->exec.empty()) continue;
    SendToEntry entry;
    entry.caption = d->name.empty() ? name.substr(0, name.size() - kSuffix.size()) : d->name;
    entry.desktopFile = full;
    out.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const SendToEntry& a, const SendToEntry& b) {
    return a.caption != b.caption ? a.caption < b.caption : a.desktopFile < b.desktopFile;
  });
  return out;
}

bool sendTo(const SendToEntry& entry, const std::string& archivePath) {
  std::optional<DesktopFile> d = readDesktopFile(entry.desktopFile);
  if (!d || d->exec.empty()) return false;
  LaunchRequest req;
  req.argv = execArguments(d->exec, archivePath);
  if (req.argv.empty()) return false;
  req.workingDirectory = d->path;
  return startProgram(req).started;
}

int mailArchive(const std::string& archivePath) {
  LaunchRequest req;
  req.argv = {"xdg-email", "--subject", baseName(archivePath), "--attach", archivePath};
  req.wait = true;
  LaunchResult r = startProgram(req);
  if (!r.started) return kMailLoginFailure;
  switch (r.exitCode) {
    case 0:
      return 0;
    case 2:
      return kMailAttachmentMissing;  // a file does not exist
    case 3:
      return kMailLoginFailure;  // no mail program found
    case 5:
      return kMailAttachmentOpen;  // no permission to read the file
    default:
      return kMailFailure;  // 1 syntax, 4 action failed, signals
  }
}

std::string mailErrorText(int code) {
  switch (code) {
    case 0:
      return "The call succeeded.";
    case 1:
      return "The user canceled the logon dialog box.";
    case 2:
      return "One or more unspecified errors occurred while sending the message.";
    case 3:
      return "There was no default logon, and the user failed to log on successfully when the logon "
             "dialog box was displayed.";
    case 4:
      return "The disk is full.";
    case 5:
      return "There was insufficient memory to proceed.";
    case 6:
      return "Access was denied.";
    case 8:
      return "The user had too many sessions open simultaneously.";
    case 9:
      return "Too many file attachments were specified.";
    case 10:
      return "Too many recipients were specified.";
    case 11:
      return "The specified attachment was not found.";
    case 12:
      return "The specified attachment could not be opened.";
    case 13:
      return "An attachment could not be written to a temporary file.";
    case 14:
      return "A recipient did not appear in the address list.";
    case 15:
      return "The type of a recipient was not To, Cc or Bcc.";
    case 16:
      return "A matching message could not be found.";
    case 17:
      return "An invalid message identifier was passed.";
    case 18:
      return "The text in the message was too large.";
    case 19:
      return "An invalid session handle was passed.";
    case 20:
      return "The attachment type is not supported.";
    case 21:
      return "A recipient matched more than one of the recipient descriptors.";
    case 22:
      return "The message is in use.";
    case 23:
      return "The network failed.";
    case 24:
      return "The edit fields were not valid.";
    case 25:
      return "The recipients were not valid.";
    case 26:
      return "The operation is not supported by the mail system.";
    default:
      return "An unknown mail error occurred (code " + std::to_string(code) + ").";
  }
}

bool openFileManager(const std::string& folder) {
  if (folder.empty()) return false;
  return startProgram({{"xdg-open", folder}, "", false}).started;
}

bool startVirusScan(const std::string& program, const std::string& params, const std::string& path) {
  if (program.empty()) return false;
  LaunchRequest req;
  req.argv.push_back(program);
  for (std::string& a : splitCommandLine(params)) req.argv.push_back(std::move(a));
  req.argv.push_back(path);
  return startProgram(req).started;
}

}  // namespace vz::manager
