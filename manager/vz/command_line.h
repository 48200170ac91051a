// The command line of vz, turned into a struct before anything runs.
//
// Shape: vz COMMAND [OPTION | ARCHIVE | FILE]...
//        vz --help | --version
// The first word is the command (l, t, x, a, f, u, d, fix, c). Options may
// stand anywhere after it; the first word that is not an option is the
// archive and the others are the files, and after "--" every word is an
// operand. Short options without a value may be grouped ("-rj9"); a short
// option with a value takes the rest of its word or the next word ("-pKEY",
// "-p KEY"); a long one takes "=VALUE" or the next word.
//
// Every option is one row of the table in command_line.cpp, which also says
// for which commands it means something; an option given to a command that
// would ignore it is a usage error, so that nobody believes it did
// something. The options that set the wrapper's properties are kept as
// optional values here: unset means "leave the wrapper's own default".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::cli {

enum class Command {
  List,     // l    ListArchive
  Test,     // t    TestArchive
  Extract,  // x    ExtractFiles(0)
  Add,      // a    AddFiles(0)
  Freshen,  // f    AddFiles(1)
  Update,   // u    AddFiles(2)
  Delete,   // d    DeleteFiles
  Fix,      // fix  FixArchive
  Comment,  // c    ReadArchiveComment / WriteArchiveComment
};

// The command's word on the command line ("l", "fix", ...).
const char* commandWord(Command c);

enum class OverwriteChoice { Never, Always };  // -n, -o

// The date of --since.
struct SinceDate {
  int year = 1980;  // four digits (00-79 are 20xx, 80-99 19xx)
  int month = 1;    // 1..12
  int day = 1;      // 1..31
};

// Where the text of a comment to write comes from.
struct CommentSource {
  bool fromFile = false;  // false: text is the comment; true: text names a file, "-" standard input
  std::string text;
};

struct CommandLine {
  Command command = Command::List;
  std::string archive;                // the ZIP file
  std::vector<std::string> files;     // the file patterns, in order
  std::vector<std::string> includes;  // -i PATTERN, in order
  std::vector<std::string> excludes;  // -x PATTERN, in order

  // The wrapper's properties; unset leaves the wrapper's initial value.
  std::optional<bool> recurse;                  // -r             Recurse
  std::optional<bool> usePaths;                 // -j (false)     UsePaths
  std::optional<std::string> password;          // -p PASSWORD    Password
  std::optional<int> compression;               // -0 .. -9       Compression
  std::optional<OverwriteChoice> overwrite;     // -o / -n        Overwrite
  std::optional<std::string> extractDirectory;  // -d DIR         ExtractDirectory
  std::optional<bool> includeHidden;            // -S             IncludeHiddenFiles
  std::optional<bool> includeDirectories;       // -D             IncludeDirectoryEntries
  std::optional<bool> moveFiles;                // -m             MoveFiles
  std::optional<bool> multidisk;                // --span         MultidiskMode
  std::optional<bool> clearDisks;               // --wipe         ClearDisks
  std::optional<std::string> tempPath;          // --temp DIR     TempPath
  std::optional<bool> useTempFile;              // --in-place (false) UseTempFile
  std::optional<SinceDate> since;               // --since MMDDYY ProcessSince
  std::optional<bool> includeVolumeLabel;       // --volume       IncludeVolumeLabel
  std::optional<std::string> storedExtensions;  // --store EXTS   StoredExtensions
  bool thorough = false;                        // --thorough     FixArchive(true)
  std::optional<std::string> method;            // --method NAME  EngineMethod (the stand-in engine's)
  bool aes = false;                             // --aes          AesEncryption (with the password)

  // vz's own.
  std::optional<CommentSource> newComment;  // c: -z TEXT or --comment-file FILE
  std::optional<std::string> answersFile;   // --answers FILE
  bool quiet = false;                       // -q: no line per entry on standard output
};

enum class Mode { Run, Help, Version };

struct ParseResult {
  bool ok = false;  // false: error holds a one-line message (without "vz: ")
  std::string error;
  Mode mode = Mode::Run;
  CommandLine line;  // valid when ok and mode is Run
};

// Parses argv[1..] (argv[0] excluded). Never throws for bad input.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// "MMDDYY" -> the date, or nothing when it is not six digits naming a
// month 1-12 and a day 1-31.
std::optional<SinceDate> parseSinceDate(const std::string& text);

// The options table as help text lines ("  -r            recurse ... (a f u)"),
// so that --help lists exactly the options the parser knows.
std::vector<std::string> optionHelpLines();

}  // namespace vz::cli
