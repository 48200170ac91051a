// The extraction driver's operations, one per method of the control that
// produces files from an archive: UnzipFiles, UnzipToFile, View and the full
// test behind IsZIPFileSlow, plus UnzipGetReplaceFlag.
//
// The per-call settings come from the state, as the control's call frame
// leaves them: password and ask-password flag, erase-read-only flag,
// notification window (events only when it is set), pumping, the cancel
// flag, and the prompts that ask the replace, rename and password
// questions (none asked when null). Each operation opens the archive, runs,
// and closes it on every path; st.status holds its result afterwards.
//
// Paths: destination and output paths may be written the Windows way
// ("A:\OUT", "SUB\FILE"); they are turned into native paths and every
// output path is made absolute from the destination, so the process's
// current folder is never changed (a relative destination is taken from the
// current folder at the start of the call, exactly as if it were switched
// to). The names of extracted files are the entries' processed names (upper
// case).
#pragma once

#include <cstdint>
#include <string>

#include "control/engine/extract/extract_options.h"
#include "control/engine/common/status.h"
#include "control/engine/common/unzip_state.h"

namespace vz::engine {

// UnzipFiles: the selected entries into destDirectory (created with its
// missing parents; fewer than 2 characters: the current folder), keeping
// their folders when rebuildDir is set. Ok when every selected entry was
// extracted; otherwise the status of the last entry that failed, or Skipped
// when entries were skipped and none failed; MaskTooLong, TestOpenFailed,
// CannotOpen, CrcError, NoFreeSpace, CdRomDrive, DriveNotWritable before
// any entry (see extract_options.h and status.h).
[[nodiscard]] ReadStatus unzipFiles(UnzipState& st, const std::string& zipName, const std::string& mask,
                                    const std::string& destDirectory, bool rebuildDir, int overwriteMode);

// UnzipToFile: every selected entry into destFile (its name part
// upper-cased), each over the previous one, overwriting always. Results as
// unzipFiles.
[[nodiscard]] ReadStatus unzipToFile(UnzipState& st, const std::string& zipName, const std::string& mask,
                                     const std::string& destFile);

// View: the selected entries into the view folder (privateTempDir when not
// empty, else "QXVIEW/" under the temporary base folder), keeping their
// folders and overwriting always, each opened after it was extracted:
// EXE and COM files started when runExe is set; other files (and those)
// with the desktop's application for their type unless useTextEditor is
// set, else with the text editor. A start that fails ends the run.
//
// Result: true when at least one viewer was started and the run's status is
// 0 (every selected entry extracted and opened); false when nothing was
// opened, an entry failed or was skipped, or a start failed. st.status
// holds the run's status (Skipped after a failed start).
[[nodiscard]] bool view(UnzipState& st, const std::string& zipName, const std::string& mask, bool useTextEditor,
                        bool runExe, const std::string& privateTempDir);
// The folder View extracts into (native, no trailing "/"). The temporary
// base folder is worked out anew for every call (View's folder and the
// test run's files), so a change of the temporary path within the process
// is followed rather than writing into a folder that may have gone.
std::string viewFolder(const std::string& privateTempDir);

// The full test (IsZIPFileSlow): every entry decompressed into a temporary
// file under the temporary base folder that is deleted again, its CRC
// checked, ZNTest fired for it. TestOpenFailed (6) the archive cannot be
// opened, CannotOpen (2) it cannot be read, CrcError (5) no readable end
// record; otherwise the run's status, with PrefixData (17) in place of Ok
// and Corrected for an archive with data in front.
[[nodiscard]] ReadStatus testArchive(UnzipState& st, const std::string& zipName);

// UnzipGetReplaceFlag: 1 when the last call's replace question was answered
// Always, 0 when Never, 2 otherwise (a value, not a status).
[[nodiscard]] int16_t unzipGetReplaceFlag(const UnzipState& st);

}  // namespace vz::engine
