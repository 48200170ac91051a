// The write operations of the engine: adding and replacing files
// (ZipFiles), deleting entries (DeleteWithMask, DeleteWithSelection),
// comments (SetGlobalComment, SetLocalComment) and the empty archive
// (CreateBlankZIPFile). Each loads the archive's catalogue (catalogue.h),
// builds a complete new archive in a temporary file (zip_writer.h) and puts
// it in the place of the old one (archive_update_place.h); nothing is ever
// written into the archive itself, so an archive is never left
// half-updated, whatever happens. (The design's repair of an archive that
// failed during an in-place update - rewriting the central directory at the
// old position - therefore never arises.)
//
// One write operation runs at a time in the process: an operation started
// from a message handled inside a running one (through the message pump)
// is refused with IoError (2) and changes nothing.
//
// Results: WriteStatus (write_status.h). Progress reports go to
// engine.window: ZNZipping, ZNZipping2 and ZNFileZipped per file written,
// ZNDeleting per entry removed, ZNWriting before the new archive is put in
// place, ZNEncrypt during the encryption pass.
//
// ZipFiles, step by step:
//   1. An empty archive name or mask: 6.
//   2. The catalogue of the archive when it exists; a damaged one: 4 (5
//      out of memory).
//   3. The files the mask names (file_select.h); each file's stored name is
//      looked up in the catalogue ignoring case: the entry of that name is
//      marked for replacement, or the file joins the new files. A stored
//      name found twice (two files that differ only in case, or equal names
//      without stored paths) is taken once, the first found; an archive
//      never gets two entries of one name.
//   4. Each marked entry is decided by the overwrite mode in force, with the
//      disk file's DOS time t and the entry's e: 0 replaces, 1 keeps, 3 and
//      4 replace when t > e, 2 replaces a directory entry silently and asks
//      otherwise ("yes" replaces, "no" keeps, "always" replaces and makes
//      the mode 0, "never" keeps and makes it 1). A file gone meanwhile
//      keeps its entry.
//   5. Mode 4 adds no new file; a file gone meanwhile is not added.
//   6. Nothing to replace and nothing to add: 6 (modes 3 and 4: 0), and the
//      archive is not touched.
//   7. The archive's path must take writes (2; 15 on a write-protected
//      removable disk); the temporary file is made (2); bytes in front of
//      the first entry are copied.
//   8. Entries in directory order: copied unchanged, or written from their
//      disk file; a file that cannot be opened (2) or read (12) keeps its
//      old entry and the result is remembered as a warning; other failures
//      end the operation. After a cancel request every further entry is
//      copied unchanged and no new file is added.
//   9. New files in search order; 2 and 12 skip the file (warning). Files
//      beyond the 65,535 entries the end record can count, or that would
//      push the archive past 4 GiB, are skipped with 12.
//  10. Central directory, end record with the old archive comment,
//      ZNWriting, the new archive put in place, its attributes restored.
//  11. With removeArchiveFlag the archive attribute of every file now held
//      by the archive is cleared - only once the new archive is in place,
//      so a failed or cancelled run never loses a file's mark of "not yet
//      backed up".
//  12. Result: 17 when cancelled, else the last warning (2 or 12), else 0.
//      With a password the encryption pass (encrypt_pass.h) then runs on
//      the archive whenever it was rewritten - also after a cancel or a
//      warning, so that no file meant to be protected stays in clear; a
//      pass that fails makes the result 9, a pass with nothing to do (6)
//      leaves it as it is.
#pragma once

#include <cstdint>
#include <string>

#include "control/engine/write/zip_writer_engine.h"
#include "platform/types.h"

namespace vz::engine {

struct ZipFilesRequest {
  std::string zipName;             // szZipName
  std::string mask;                // szMask
  bool recurse = false;            // bRecurseSubDirs
  int storePathMethod = 0;         // iStorePathMethod: 0 name only, 1 relative to the mask's folder, 2 whole path
  bool useArchiveFlag = false;     // bUseArchiveFlag
  bool removeArchiveFlag = false;  // bRemoveArchiveFlag
  std::string password;            // szPassword; empty: no encryption pass
};

// ZipFiles (above). The compression and overwrite modes come from the
// engine (the current overwrite mode changes with the replace question's
// answers).
[[nodiscard]] WriteStatus zipFiles(WriteEngine& engine, const ZipFilesRequest& request);

// DeleteWithMask: removes every entry that matches the mask. The mask is
// made a stored name (drive prefix and leading separators removed, "\"
// read as "/"), then compared with the entry names by the mask rule of
// mask.h: without a folder part its last component is matched against the
// last component of every entry's name ("*.TXT" removes every .TXT file
// in every folder; "*.*" removes everything); with a folder part only the
// entries in that folder (wildcards allowed) are taken, never files of the
// same name elsewhere. Empty name or mask, or no entry matches: 6.
[[nodiscard]] WriteStatus deleteWithMask(WriteEngine& engine, const std::string& zipName, const std::string& mask);

// DeleteWithSelection: removes the entries selected in the host's item
// list (item_list.h).
//   list-view mode (listIsListView): hList is the list view that
//     BuildZIPITEMList filled; a row is selected when its selected flag is
//     set; hSelected is not used.
//   list-box mode: a list box cannot carry a selection of its own here, so
//     hSelected is a second list box holding the selected items' lines (the
//     lines of hList, copied as they are); hList is the item list itself
//     and serves only to tell whether every item is selected.
// An item names the entry whose processed name (upper case, "\") splits
// into the item's directory and name and whose CRC is the item's, so an
// item of a list that is out of date never removes another file of the
// same name. When every item of the list is selected, every entry of the
// archive is removed. Empty name, nothing selected or nothing matched: 6.
[[nodiscard]] WriteStatus deleteWithSelection(WriteEngine& engine, const std::string& zipName, Handle hList,
                                              Handle hSelected, bool listIsListView);

// SetGlobalComment: the archive comment. 32,768 characters or more: 8 (the
// archive untouched). When the comment holds a different number of line
// feeds and carriage returns, every line feed is replaced by a line feed
// and a carriage return (in that order). Text is kept as the host's UTF-8
// (see comment_text below). The entries are copied unchanged.
[[nodiscard]] WriteStatus setGlobalComment(WriteEngine& engine, const std::string& zipName, const std::string& comment);
// SetLocalComment: the file comment of every entry that matches the mask
// (as DeleteWithMask), with the same rules for the text. Empty name or
// mask: 6; no match: 6.
[[nodiscard]] WriteStatus setLocalComment(WriteEngine& engine, const std::string& zipName, const std::string& mask,
                                          const std::string& comment);

// The longest comment in characters, plus one.
constexpr size_t kCommentCharacterLimit = 32768;
// The comment as stored, from the host's text: the line-feed rule above.
// The design converts comments to the OEM code page (CP437); the host's
// text is UTF-8 here, and CP437 cannot hold most of it, so the text is kept
// in UTF-8 as the names are - the read side takes comments that form UTF-8
// as UTF-8 and decodes others as CP437, so a comment reads back exactly as
// it was set.
std::string commentText(const std::string& hostText);
// Characters of UTF-8 text (bytes that do not continue a sequence).
size_t commentCharacters(const std::string& text);

// CreateBlankZIPFile's file: an archive of the 22-byte end record alone,
// written atomically at the host's path. A file that stands there is
// replaced only with replaceExisting (the new-archive dialog asked the user
// first); otherwise it is kept and the result is false, so a call without
// the dialog never wipes an archive. False when it cannot be written.
bool createBlankArchive(const std::string& zipName, bool replaceExisting);

// Whether a write operation is running in the process.
bool writeOperationRunning();

}  // namespace vz::engine
