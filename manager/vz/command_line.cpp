// Table-driven parsing of vz's command line. Each row of the table names an
// option (short, long or both), says whether it takes a value, for which
// commands it means something, what --help says about it and how it changes
// the CommandLine. The loop below knows no option by name.
#include "manager/vz/command_line.h"

#include <array>
#include <functional>
#include <string_view>

namespace vz::cli {

namespace {

// A set of commands as bits (1 << Command).
using CommandSet = unsigned;
constexpr CommandSet bit(Command c) { return 1u << static_cast<unsigned>(c); }
constexpr CommandSet kAllCommands = 0x1FF;
constexpr CommandSet kAddModes = bit(Command::Add) | bit(Command::Freshen) | bit(Command::Update);
constexpr CommandSet kReaders = bit(Command::List) | bit(Command::Test) | bit(Command::Extract);

struct CommandName {
  const char* word;
  Command command;
};
constexpr std::array<CommandName, 9> kCommands = {{
    {"l", Command::List},
    {"t", Command::Test},
    {"x", Command::Extract},
    {"a", Command::Add},
    {"f", Command::Freshen},
    {"u", Command::Update},
    {"d", Command::Delete},
    {"fix", Command::Fix},
    {"c", Command::Comment},
}};

struct OptionSpec {
  char shortName;             // 'r' for "-r", or 0
  std::string_view longName;  // "--span", or empty
  bool takesValue;
  CommandSet commands;         // where the option means something
  std::string_view valueName;  // for the help text ("DIR"), empty without a value
  std::string_view help;       // one line for --help
  // Applies the option; returns an error text, empty when it was accepted.
  std::function<std::string(CommandLine&, const std::string& value)> apply;
};

std::string ok() { return {}; }

const std::vector<OptionSpec>& optionTable() {
  static const std::vector<OptionSpec> table = [] {
    std::vector<OptionSpec> t = {
        {'r', "", false, kAddModes, "", "recurse into folders (Recurse)",
         [](CommandLine& c, const std::string&) { return c.recurse = true, ok(); }},
        {'j', "", false, kAddModes | bit(Command::Extract), "", "drop folder names (UsePaths off)",
         [](CommandLine& c, const std::string&) { return c.usePaths = false, ok(); }},
        {'p', "--password", true, kAllCommands & ~bit(Command::Comment), "PASSWORD",
         "password: encrypts what is added, opens what is read (Password)",
         [](CommandLine& c, const std::string& v) { return c.password = v, ok(); }},
        {'P', "", true, kAllCommands & ~bit(Command::Comment), "PASSWORD", "the same as -p",
         [](CommandLine& c, const std::string& v) { return c.password = v, ok(); }},
        {0, "--aes", false, kAddModes, "",
         "encrypt with AES-256 (AE-2) instead of the traditional cipher; asks the password without -p",
         [](CommandLine& c, const std::string&) { return c.aes = true, ok(); }},
        {0, "--method", true, kAddModes, "NAME", "compress with deflate (default), bzip2, lzma, xz or zstd",
         [](CommandLine& c, const std::string& v) {
           static constexpr std::string_view kNames[] = {"deflate", "bzip2", "lzma", "xz", "zstd"};
           for (std::string_view n : kNames)
             if (v == n) return c.method = v, ok();
           return "--method wants deflate, bzip2, lzma, xz or zstd, not '" + v + "'";
         }},
        {'o', "", false, bit(Command::Extract), "", "overwrite existing files without asking (Overwrite)",
         [](CommandLine& c, const std::string&) {
           if (c.overwrite == OverwriteChoice::Never) return std::string("-o and -n exclude each other");
           return c.overwrite = OverwriteChoice::Always, ok();
         }},
        {'n', "", false, bit(Command::Extract), "", "never overwrite existing files (Overwrite)",
         [](CommandLine& c, const std::string&) {
           if (c.overwrite == OverwriteChoice::Always) return std::string("-o and -n exclude each other");
           return c.overwrite = OverwriteChoice::Never, ok();
         }},
        {'d', "", true, bit(Command::Extract), "DIR", "extract into DIR (ExtractDirectory)",
         [](CommandLine& c, const std::string& v) {
           if (v.empty()) return std::string("-d needs a folder");
           return c.extractDirectory = v, ok();
         }},
        {'S', "", false, bit(Command::Add) | bit(Command::Update), "", "include hidden files (IncludeHiddenFiles)",
         [](CommandLine& c, const std::string&) { return c.includeHidden = true, ok(); }},
        {'D', "", false, bit(Command::Add) | bit(Command::Update), "", "store folder entries (IncludeDirectoryEntries)",
         [](CommandLine& c, const std::string&) { return c.includeDirectories = true, ok(); }},
        {'m', "", false, kAddModes, "", "move: delete the files once stored (MoveFiles)",
         [](CommandLine& c, const std::string&) { return c.moveFiles = true, ok(); }},
        {'i', "", true, kAddModes | bit(Command::Delete), "PATTERN", "take only files matching PATTERN",
         [](CommandLine& c, const std::string& v) {
           if (v.empty()) return std::string("-i needs a pattern");
           return c.includes.push_back(v), ok();
         }},
        {'x', "", true, kAddModes | bit(Command::Delete) | kReaders, "PATTERN", "leave out files matching PATTERN",
         [](CommandLine& c, const std::string& v) {
           if (v.empty()) return std::string("-x needs a pattern");
           return c.excludes.push_back(v), ok();
         }},
        {'z', "", true, bit(Command::Comment), "TEXT", "write TEXT as the archive comment",
         [](CommandLine& c, const std::string& v) {
           if (c.newComment) return std::string("give one of -z and --comment-file");
           return c.newComment = CommentSource{false, v}, ok();
         }},
        {0, "--comment-file", true, bit(Command::Comment), "FILE",
         "write the archive comment from FILE (\"-\": standard input)",
         [](CommandLine& c, const std::string& v) {
           if (c.newComment) return std::string("give one of -z and --comment-file");
           if (v.empty()) return std::string("--comment-file needs a file name");
           return c.newComment = CommentSource{true, v}, ok();
         }},
        {0, "--span", false, kAllCommands, "", "the archive spans removable disks (MultidiskMode)",
         [](CommandLine& c, const std::string&) { return c.multidisk = true, ok(); }},
        {0, "--wipe", false, kAddModes, "", "wipe each disk before writing to it (ClearDisks)",
         [](CommandLine& c, const std::string&) { return c.clearDisks = true, ok(); }},
        {0, "--thorough", false, bit(Command::Fix), "", "thorough repair, slower (FixArchive thorough)",
         [](CommandLine& c, const std::string&) { return c.thorough = true, ok(); }},
        {0, "--temp", true, kAddModes | bit(Command::Delete) | bit(Command::Comment), "DIR",
         "folder for the temporary archive (TempPath)",
         [](CommandLine& c, const std::string& v) {
           if (v.empty()) return std::string("--temp needs a folder");
           return c.tempPath = v, ok();
         }},
        {0, "--in-place", false, kAddModes | bit(Command::Comment), "",
         "change the archive in place, no temporary copy (UseTempFile off)",
         [](CommandLine& c, const std::string&) { return c.useTempFile = false, ok(); }},
        {0, "--since", true, kAddModes, "MMDDYY", "take only files changed on or after the date (ProcessSince)",
         [](CommandLine& c, const std::string& v) {
           std::optional<SinceDate> d = parseSinceDate(v);
           if (!d) return "--since wants a date MMDDYY, not '" + v + "'";
           return c.since = *d, ok();
         }},
        {0, "--volume", false, bit(Command::Add), "", "store the volume label (IncludeVolumeLabel)",
         [](CommandLine& c, const std::string&) { return c.includeVolumeLabel = true, ok(); }},
        {0, "--store", true, kAddModes, "EXTS",
         "store files with these extensions uncompressed, \".ZIP;.JPG\" (StoredExtensions)",
         [](CommandLine& c, const std::string& v) { return c.storedExtensions = v, ok(); }},
        {0, "--answers", true, kAllCommands, "FILE", "answer the questions from FILE, one line each",
         [](CommandLine& c, const std::string& v) {
           if (v.empty()) return std::string("--answers needs a file name");
           return c.answersFile = v, ok();
         }},
        {'q', "", false, kAllCommands, "", "quiet: no line per file on standard output",
         [](CommandLine& c, const std::string&) { return c.quiet = true, ok(); }},
    };
    // -0 .. -9: the compression level.
    for (char d = '0'; d <= '9'; ++d) {
      t.push_back({d, "", false, kAddModes, "",
                   d == '0' ? "-0 stores, -1 is fastest, -9 smallest (Compression; default 6)" : "",
                   [d](CommandLine& c, const std::string&) { return c.compression = d - '0', ok(); }});
    }
    return t;
  }();
  return table;
}

const OptionSpec* findShort(char c) {
  for (const OptionSpec& s : optionTable())
    if (s.shortName == c) return &s;
  return nullptr;
}

const OptionSpec* findLong(std::string_view name) {
  for (const OptionSpec& s : optionTable())
    if (!s.longName.empty() && s.longName == name) return &s;
  return nullptr;
}

std::string optionName(const OptionSpec& s) {
  return s.shortName ? std::string("-") + s.shortName : std::string(s.longName);
}

ParseResult failure(std::string message) {
  ParseResult r;
  r.error = std::move(message);
  return r;
}

// Applies one option after checking that it belongs to the command.
std::string applyOption(const OptionSpec& s, CommandLine& line, const std::string& value) {
  if (!(s.commands & bit(line.command)))
    return optionName(s) + " does not apply to 'vz " + commandWord(line.command) + "'";
  return s.apply(line, value);
}

}  // namespace

const char* commandWord(Command c) {
  for (const CommandName& n : kCommands)
    if (n.command == c) return n.word;
  return "?";
}

std::optional<SinceDate> parseSinceDate(const std::string& text) {
  if (text.size() != 6) return std::nullopt;
  for (char ch : text)
    if (ch < '0' || ch > '9') return std::nullopt;
  auto two = [&](size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  SinceDate d;
  d.month = two(0);
  d.day = two(2);
  int yy = two(4);
  d.year = yy < 80 ? 2000 + yy : 1900 + yy;
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return std::nullopt;
  return d;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  if (args.empty()) return failure("no command given (vz --help shows the commands)");
  const std::string& first = args.front();
  if (first == "--help" || first == "-h") {
    result.ok = true;
    result.mode = Mode::Help;
    return result;
  }
  if (first == "--version") {
    result.ok = true;
    result.mode = Mode::Version;
    return result;
  }
  CommandLine& line = result.line;
  bool known = false;
  for (const CommandName& n : kCommands) {
    if (first == n.word) {
      line.command = n.command;
      known = true;
    }
  }
  if (!known) return failure("unknown command '" + first + "' (vz --help shows the commands)");

  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      operands.push_back(word);  // a lone "-" is an operand too
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "--help" || word == "-h") {
      result.mode = Mode::Help;
      continue;
    }
    if (word.starts_with("--")) {
      size_t eq = word.find('=');
      std::string name = word.substr(0, eq);
      const OptionSpec* spec = findLong(name);
      if (!spec) return failure("unknown option '" + word + "' (vz --help lists the options)");
      std::string value;
      if (spec->takesValue) {
        if (eq != std::string::npos)
          value = word.substr(eq + 1);
        else if (i + 1 < args.size())
          value = args[++i];
        else
          return failure(name + " needs a value");
      } else if (eq != std::string::npos) {
        return failure(name + " takes no value");
      }
      if (std::string err = applyOption(*spec, line, value); !err.empty()) return failure(err);
      continue;
    }
    // A group of short options; one with a value ends the group.
    for (size_t k = 1; k < word.size(); ++k) {
      const OptionSpec* spec = findShort(word[k]);
      if (!spec) return failure(std::string("unknown option '-") + word[k] + "' (vz --help lists the options)");
      std::string value;
      if (spec->takesValue) {
        if (k + 1 < word.size())
          value = word.substr(k + 1);
        else if (i + 1 < args.size())
          value = args[++i];
        else
          return failure(optionName(*spec) + " needs a value");
        k = word.size();
      }
      if (std::string err = applyOption(*spec, line, value); !err.empty()) return failure(err);
    }
  }
  if (result.mode == Mode::Help) {
    result.ok = true;
    return result;
  }

  if (operands.empty()) return failure(std::string("'vz ") + commandWord(line.command) + "' needs an archive");
  line.archive = operands.front();
  line.files.assign(operands.begin() + 1, operands.end());
  if (line.command == Command::Fix && !line.files.empty()) return failure("'vz fix' takes the archive alone");
  if (line.command == Command::Comment && !line.files.empty()) return failure("'vz c' takes the archive alone");
  // The wrapper drops filters when no file is named; say so instead of
  // silently ignoring them where the files cannot default to every entry.
  bool filters = !line.includes.empty() || !line.excludes.empty();
  bool readerCommand = (bit(line.command) & kReaders) != 0;
  if (filters && line.files.empty() && !readerCommand)
    return failure("-i and -x filter the FILES given: name at least one");
  result.ok = true;
  return result;
}

std::vector<std::string> optionHelpLines() {
  std::vector<std::string> lines;
  for (const OptionSpec& s : optionTable()) {
    if (s.help.empty()) continue;
    std::string left = "  ";
    if (s.shortName >= '0' && s.shortName <= '9')
      left += "-0 .. -9";
    else
      left += optionName(s);
    if (!s.valueName.empty()) left += " " + std::string(s.valueName);
    if (left.size() < 24)
      left.resize(24, ' ');
    else
      left += "  ";
    std::string where;
    if (s.commands == kAllCommands) {
      where = "all";
    } else {
      for (const CommandName& n : kCommands)
        if (s.commands & bit(n.command)) where += (where.empty() ? "" : " ") + std::string(n.word);
    }
    lines.push_back(left + std::string(s.help) + " [" + where + "]");
  }
  return lines;
}

}  // namespace vz::cli
