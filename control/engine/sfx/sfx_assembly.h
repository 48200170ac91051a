// Self-extractor assembly: the stub file, then the configuration block made
// from the caller's arguments and a language file (sfx_config.h), then the
// archive with every local-header offset and the central-directory offset
// moved up by the stub's length + 852, so that they count from the start of
// the new program. The archive's entries are copied unchanged; only its
// central directory and end record are written again.
//
// Steps: the start report; the archive must exist (4); the output name; the
// output drive must report free space (7), must not be a CD-ROM or a
// write-protected removable disk (9) and must have room for the archive +
// 50,000 bytes (10); the language file (1) and the stub (2) must exist; the
// stub is copied to the output (5), which is reopened (6); the block is
// appended; a temporary "ZIP" file in the temporary base folder receives the
// shifted copy (4 on failure); the copy is appended in 16,384-byte blocks
// with room checked before each (10) and each written whole (5). On every
// failure after the stub copy the output and the temporary copy are removed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "control/engine/common/notify.h"  // the progress reports (kNotifyMakeExeStep1, 2)
#include "platform/types.h"

namespace vz::engine {

// Results of makeExeFile.
enum MakeExeStatus : int16_t {
  kMakeExeOk = 0,
  kMakeExeNoLanguageFile = 1,
  kMakeExeNoStub = 2,
  kMakeExeBadArchive = 4,     // no name, missing, or the copy could not be prepared
  kMakeExeWriteFailed = 5,    // stub copy, reopen of the copy or a write failed
  kMakeExeCannotOpen = 6,     // the output cannot be opened after the stub copy
  kMakeExeNoFreeSpace = 7,    // the output drive reports no free space
  kMakeExeReadOnlyDrive = 9,  // CD-ROM or write-protected removable disk
  kMakeExeDiskFull = 10,      // not enough room on the output drive
  kMakeExeNoMemory = 11,
};

// The stub file names looked for in the control's folder.
inline constexpr const char* kStub32Name = "SFXSTUB.32";
inline constexpr const char* kStub16Name = "SFXSTUB.16";
inline constexpr const char* kDefaultLanguageFile = "ENGLISH.ELF";

struct MakeExeRequest {
  std::string zipName;                         // the archive (empty: 4)
  std::string exeName;                         // empty: the archive's name with extension "EXE"
  std::optional<std::string> programToLaunch;  // nullopt: none
  std::optional<std::string> caption;          // nullopt: the default caption
  std::string languageFile;                    // empty: "ENGLISH.ELF" in the control's folder
  int overwriteMode = 2;
  bool askDirectory = true;
  bool win32Target = true;
};

struct MakeExeContext {
  std::string controlFolder;  // where the stubs and the default language file are
  Handle window = 0;          // report window, 0: none
  bool pump = false;          // dispatch waiting messages after each report
};

// The output name that makeExeFile writes for a request (empty when the
// archive name is empty).
std::string makeExeOutputName(const MakeExeRequest& r);

int16_t makeExeFile(const MakeExeRequest& r, const MakeExeContext& ctx);

// Writes to out a copy of the archive at zipPath whose local-header offsets
// and central-directory offset are moved up by shift (bytes in front of the
// archive's first entry are left out). onEntry(done, total) is called per
// entry copied. False when the archive cannot be read or the copy written.
bool writeShiftedArchive(const std::string& zipPath, const std::string& out, int64_t shift,
                         void (*onEntry)(void* ctx, size_t done, size_t total) = nullptr, void* ctx = nullptr);

}  // namespace vz::engine
