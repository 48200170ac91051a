// The external engine's result codes: which condition gives which code.
// This is the one place that says so; the operations return these names and
// the wrapper's ReportResult turns the numbers into the user's messages.
//
// When several conditions meet in one run, the worst wins: an error code
// (kResultBadCommand and up, except the warnings below) over kResultAborted
// over kResultSkipped over the quiet warnings (10, 30, 140) over 0.
//
// Whatever the code, an operation that does not end in 0, 10, 30, 40 or 140
// has changed nothing: the archive is as it was (the new archive is only put
// in place once it is complete; with -g the archive is restored to its old
// length and directory), no source file was deleted by -m, and files
// already extracted stay as they are (extraction never deletes what it has
// written, but never leaves a partly written file under its final name).
#pragma once

#include <cstdint>

namespace vz::zipwrap {

enum EngineResult : uint16_t {
  kResultOk = 0,
  // Quiet warnings (severity 1, no message).
  kResultNothingToDo = 10,  // no file or entry matched the patterns (add, freshen, update,
                            // delete, extract, list with specs); the archive is untouched
  kResultMinorIssues = 30,  // done, but something small could not be kept: a time, attributes or
                            // permissions not restored on an extracted file, an unsafe stored name
                            // made safe ("../" and leading "/" removed), a link entry not created
  kResultUpToDate = 140,    // freshen or update (add or extract): every matched file was already
                            // up to date, nothing changed
  // Warnings with a message.
  kResultSkipped = 40,       // some files or entries were skipped (a 1060 callback with a reason
                             // other than 3 and 7); everything else was done
  kResultEmptyArchive = 50,  // list, test, extract, count: the archive has no entries
  // Errors.
  kResultArchiveNotFound = 100,   // the archive does not exist (reader side; writer -d, -F, -z)
  kResultNotAnArchive = 110,      // no end record: not a ZIP archive, or cut short
  kResultOutOfMemory = 120,       // an allocation failed
  kResultDiskFull = 150,          // writing failed for lack of space (ENOSPC, EDQUOT, file too large)
  kResultBadDirectory = 160,      // the end record is there but the central directory is damaged
  kResultLocked = 180,            // another process holds the archive's lock (an engine writing it)
  kResultAborted = 190,           // the callback answered 1 (stop)
  kResultArchiveErrors = 200,     // test or extract: an entry failed its CRC or data check
  kResultNothingTested = 210,     // test: no entry matched the patterns
  kResultBadCommand = 20,         // the command line is not understood (unknown switch, a switch
                                  // without its value, no archive name, bad magic)
  kResultTempCorrupt = 280,       // the finished temporary archive does not read back as written
  kResultRemoveParent = 350,      // -m would delete a folder that holds the archive or the current folder
  kResultDuplicateNames = 370,    // -j (or the names given) makes two sources one stored name
  kResultCannotAccess = 400,      // the archive cannot be opened, created or replaced, or a named
                                  // source cannot be read (permissions, a folder in the way)
  kResultSpannedNotInMode = 410,  // the archive is one disk of a spanned set and -! was not given
  kResultWrongDiskTooOften = 420, // multi-disk: the wrong disk was inserted three times in a row
  kResultNotSupported = 430,      // (the wrapper's refusal in multi-disk mode; the engine never returns it)
  kResultCannotWrite = 500,       // any other failure to write the archive or an extracted file
};

// Quiet warnings and warnings: the run did its work.
constexpr bool resultIsSuccess(uint16_t code) {
  return code == kResultOk || code == kResultNothingToDo || code == kResultMinorIssues ||
         code == kResultUpToDate || code == kResultSkipped;
}

// The result code a call returns (low 16 bits) with its secondary code.
constexpr uint32_t packResult(uint16_t code, uint32_t failedEntries) {
  return (static_cast<uint32_t>(failedEntries > 0xFFFF ? 0xFFFF : failedEntries) << 16) | code;
}

// Combines the result so far with a new condition: the worse one stays
// (order above).
constexpr uint16_t worseResult(uint16_t a, uint16_t b) {
  auto rank = [](uint16_t c) -> int {
    switch (c) {
      case kResultOk: return 0;
      case kResultNothingToDo: case kResultMinorIssues: case kResultUpToDate: return 1;
      case kResultSkipped: case kResultEmptyArchive: return 2;
      case kResultAborted: return 3;
      default: return 4;
    }
  };
  return rank(b) > rank(a) ? b : a;
}

}  // namespace vz::zipwrap
