// The external engine's command line: the switch grammar of both entry
// points, and the parser that turns an argument vector into an
// EngineCommand.
//
// argv[0] is the password ("" for none); it is never a switch. Then:
//
//   switch...  ARCHIVE  [SPEC | -i SPEC... | -x SPEC... | -d DIR]...
//
// Switches come before the archive name; every token from the first one
// that does not start with "-" is the archive name, and everything behind
// it is a file pattern, except the three list switches: "-i" makes
// the following patterns include filters and "-x" exclude filters,
// each until the next "-i" or "-x"; on the reader side "-d DIR" (anywhere
// behind the archive name) names the extraction folder. A pattern
// that starts with "-" can therefore not follow the archive name unless it
// is given as "./-name".
//
// Switches of the writer (zwzip):
//   -f          freshen: replace entries whose file is newer; add nothing new
//   -u          update: replace entries whose file is newer, add new files
//   -d          delete the entries that match the patterns
//   -F          fix: rebuild the central directory from the local headers
//   -FF         fix thoroughly: also scan past damaged data for local headers
//   -z          write the archive comment (asked through callback 140)
//   -e          encrypt the new entries with the password (argv[0]),
//               traditional ZIP encryption unless -A is given
//   -A          encrypt the new entries with AES-256 (AE-2: method 99, the
//               0x9901 extra field, the CRC field left 0) using argv[0];
//               implies -e
//   -Z METHOD   compress the new entries with METHOD: deflate (the
//               default), bzip2, lzma, xz or zstd (any case); -0 still
//               stores, and a file that does not shrink is stored
//   -0 ... -9   compression level (0 store, 1-3 fast, 4-9 lazy; default 6)
//   -m          move: delete each source file once the new archive is in place
//   -S          include hidden files (names starting with ".")
//   -D          store folder entries
//   -$          store the volume label of the sources' drive as an entry
//   -r          recurse into folders
//   -j          junk paths: store the file names without their folders
//   -g          grow: work on the archive in place, no temporary copy
//   -b DIR      temporary folder for the new archive
//   -n LIST     store (do not compress) files with these extensions, ";" or ":"
//               separated, case-insensitive (".ZIP;.LZH")
//   -!          multi-disk mode: a spanned archive over removable disks
//   -&          multi-disk: wipe every disk before writing to it
//   -t MMDDYY   take only files changed on or after that date (00-79: 20xx)
//   -c          ask a file comment for every new entry (callback 120)
//   (no action switch: add)
//
// Switches of the reader (zwunzip):
//   -v          list
//   -t          test
//   -z          read the archive comment (delivered through callback 130)
//   -f          freshen: extract only files that exist and are older
//   -u          update: extract files that are newer or do not exist
//   -j          junk paths: extract without the folders
//   -o          overwrite existing files without asking
//   -n          never overwrite existing files
//   -!          multi-disk mode: the archive is a spanned set on removable disks
//   (no action switch: extract)
//   and the entry-count call, argc 1 (engine_abi.h).
//
// Switches may be given separately or grouped ("-rj"), except those with a
// value (-b, -n, -t and -Z on the writer), -F/-FF and the level
// digits, which stand alone. An unknown switch, a switch missing its value,
// a bad date, an unknown method, -o with -n, two actions, or no archive
// name: kResultBadCommand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::zipwrap {

enum class EngineSide { Writer, Reader };

enum class EngineAction {
  Add,
  Freshen,
  Update,
  Delete,
  Fix,
  FixThorough,
  WriteComment,
  List,
  Test,
  Extract,
  CountEntries,
  ReadComment,
};

enum class ExtractOverwrite { Ask, Never, Always };

struct SinceDate {
  int year = 1980;  // four digits
  int month = 1;
  int day = 1;
};

struct EngineCommand {
  EngineSide side = EngineSide::Writer;
  EngineAction action = EngineAction::Add;
  std::string password;                      // argv[0]
  std::string archive;                       // the archive's path
  std::vector<std::string> files;            // file patterns, in order
  std::vector<std::string> includes;         // -i patterns
  std::vector<std::string> excludes;         // -x patterns
  // Writer.
  bool encrypt = false;                      // -e (or -A)
  bool aes = false;                          // -A: the encryption is AES-256 (AE-2)
  uint16_t method = 8;                       // -Z METHOD: the ZIP method number (8 deflate)
  int level = 6;                             // -0 .. -9
  bool moveFiles = false;                    // -m
  bool includeHidden = false;                // -S
  bool directoryEntries = false;             // -D
  bool volumeLabel = false;                  // -$
  bool recurse = false;                      // -r
  bool inPlace = false;                      // -g
  std::string tempDir;                       // -b DIR
  std::vector<std::string> storedExtensions;  // -n LIST, each with its leading "." as given
  bool wipeDisks = false;                    // -&
  std::optional<SinceDate> since;            // -t MMDDYY
  bool askFileComments = false;              // -c
  // Both.
  bool junkPaths = false;                    // -j
  bool multiDisk = false;                    // -! (count call: the marker)
  // Reader.
  ExtractOverwrite overwrite = ExtractOverwrite::Ask;  // -o / -n
  std::string extractDir;                    // -d DIR
  bool freshenOnly = false;                  // extract -f
  bool updateOnly = false;                   // extract -u
};

// Parses argc/argv as the entry point of side receives them. Returns 0 and
// fills out, or kResultBadCommand (engine_results.h) with out unspecified.
// The entry-count call (argc 1) is recognised on the reader side.
[[nodiscard]] uint16_t parseEngineCommand(EngineSide side, int32_t argc, const char* const* argv, EngineCommand& out);

// Whether a file's extension is in the -n list (ignoring case).
bool hasStoredExtension(const EngineCommand& command, const std::string& fileName);

}  // namespace vz::zipwrap
