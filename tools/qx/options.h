// The command line of qx, turned into a struct before anything runs.
//
// Shape: qx [OPTION ...] [--] METHOD [ARG ...]
//        qx --list | --help
//        qx --list-items ARCHIVE [SORTMODE]
// Options come first; the first word that is not an option (or every word
// after "--") is the method, and all words after it are its arguments,
// even when they start with "-". Options are described by one table in
// options.cpp, so a new mode or switch is one row there plus its field
// here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::qx {

// What the run does.
enum class Mode {
  Call,       // create the control and call METHOD with ARGs
  List,       // print the type library
  Help,       // print the usage text
  ListItems,  // print the item list of an archive (operands: ARCHIVE [SORTMODE])
};

struct Options {
  Mode mode = Mode::Call;                  // chosen by --list / --help, Call otherwise
  bool events = false;                     // --events: print every event as it fires
  std::optional<std::string> answersFile;  // --answers FILE: dialog answers
  // The words after the options: for Mode::Call the method and its
  // arguments (operands[0] is the method).
  std::vector<std::string> operands;

  // Mode::ListItems: the sort mode given after the archive, checked by the
  // parser to be a short integer.
  std::optional<int16_t> sortMode;

  const std::string& method() const { return operands.front(); }
  std::vector<std::string> arguments() const { return {operands.begin() + 1, operands.end()}; }
};

struct ParseResult {
  bool ok = false;    // false: error holds a one-line message
  std::string error;  // without the "qx: " prefix
  Options options;    // valid when ok
};

// Parses argv[1..] (argv[0] excluded). Never throws for bad input.
ParseResult parseCommandLine(const std::vector<std::string>& args);

}  // namespace vz::qx
