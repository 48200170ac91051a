// TBlakHole: writes BH archives in the record layout of walk_bh.cpp.
//
// Switch chooses what activate() does with ArchiveFile:
//   swAdd     adds the files FileSpec names (a record whose name is taken
//             already is replaced when OnReplaceFile, asked with both
//             dates, sizes and attributes, leaves Replace set; no handler:
//             replaced)
//   swMove    adds them, then deletes each source file that went in
//   swDelete  drops the records FileSpec names
//   swRead    lists the records: OnRead per record (its offset, one-based,
//             and its number)
//
// FileSpec names the files or records: names or patterns ("*" and "?" by
// the lister's mask rule, where "*" stops at the extension; a lone "*"
// takes every name), in either of two forms:
//   on one line, separated by blanks, a name with blanks in double quotes:
//     a.txt "my notes.txt" docs/*.doc
//   as a list, one name per line (blanks are part of the name; quotes
//   around a whole line are dropped), the form for the main window's
//   selected entries:
//     a.txt\nmy notes.txt\ndocs/*.doc
// An open quote without its closing one is error 25180. For swAdd and
// swMove the items are paths, relative ones taken from DefaultDir, a
// pattern in the last component only; RecurseDirs also takes the files of
// every subfolder below that match the pattern (OnRecurseDir per folder
// entered). StoreDirs keeps the path below the pattern's folder as the
// stored name (folders themselves are recorded when FileAttribute has
// ftDirectory); else the bare file name. Hidden files (a leading ".") go in
// only when FileAttribute has ftHidden. For swDelete the items are stored
// names as the lister shows them ("docs/a.txt": the main window passes the
// names of the selected entries), matched with the lister's mask rule; an
// item without a folder part matches only records outside folders unless
// RecurseDirs is set.
//
// CompressMethod: see bhMethodOf (walk_bh.cpp). Passwords: when it holds a
// password the added files are encrypted with its first one; when it is
// empty and OnGetPassword is assigned, the handler is asked once per run
// (FN is the archive) and a non-empty answer encrypts. Records kept,
// replaced or deleted are copied as they are, encrypted or not.
//
// Every change is written to a temporary file beside the archive, synced
// and renamed over it only when complete; a failure (25210, or the
// file's own code) removes the temporary file and leaves the archive as it
// was. The archive's name gets DefaultExt when it has no extension.
// Events: OnActivate, OnBegin (per file; clearing Extract skips it),
// OnProgress at the ProgressNotify steps, OnEnd, OnError, OnDeactivate.
// activate() returns the number of files added, or of records deleted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "manager/readers/un_base.h"

namespace vz::readers {

class TBlakHole : public TCompBase {
 public:
  std::string DefaultExt = ".bh";
  TCompressMethod CompressMethod = mtDeflate;
  std::vector<std::string> Passwords;
  std::function<void(TBlakHole&, const std::string& fn, uint8_t progress)> OnProgress;
  std::function<void(TBlakHole&, const std::string& fn, std::string& password, bool& tryAgain)> OnGetPassword;

  int32_t activate();
};

// Splits a FileSpec into its items (see above); false when a quote is not
// closed.
bool splitFileSpec(const std::string& spec, std::vector<std::string>& items);

}  // namespace vz::readers
