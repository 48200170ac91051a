// TZipWrapper: the non-visual component through which the manager, the
// self-extractor converter, the one-shot tools and `vz` do their ZIP work.
// It never touches archive bytes. Each operation turns the published
// properties and FilesToProcess into one command line for the external
// engine (ZWZIP32.so for the writer side, ZWUNZ32.so for the reader side;
// contract in zipwrap/engine/engine_abi.h), runs it synchronously on the
// calling thread, turns the engine's callbacks into the events below, and
// returns the low 16 bits of the engine's result (0 success; codes in
// zipwrap/engine/engine_results.h, messages in zipwrap/report_result.h).
//
// Every operation, whatever its outcome (refusal, missing library, engine
// failure), leaves FilesToProcess empty, and clears Abort before and after
// the engine call. The argument vectors are built by the functions of
// zipwrap/zip_wrapper_args.h, which tests check without calling anything.
//
// Binding (zipwrap/engine_binding.h): each library is loaded on the first
// operation that needs it and kept until the component is destroyed. The
// library is looked up, by its file name and ignoring case within a folder,
//   1. in $VZ_ENGINE_DIR when that variable is set (and only there),
//   2. else in the folder of the running program (/proc/self/exe),
//   3. else in the install folder (platform/folders.h,
//      defaultInstallFolder()).
// A library or entry point that cannot be bound gives result 240 without a
// call; the next operation tries again.
//
// Callbacks: every callback first lets the application process pending
// window messages (platform/window.h, pumpMessages()), then raises the
// event of its code (a handler that is not assigned is skipped) and writes
// the handler's answer back into the engine's record; it replies 1 (stop)
// when Abort is set, else 0. A handler may therefore stop the operation by
// setting Abort.
//
// Dates: TZwDateTime is platform's LocalTime (platform/attributes.h), a
// calendar date and time in local time with plain fields (year, month 1..12,
// day 1..31, hour, minute, second). An entry's DOS stamp whose fields are in
// range (month 1..12, day 1..31, hour 0..23, minute 0..59, seconds 0..59)
// is carried field by field as it names them; any other stamp becomes
// 1 January 1980, 00:00 (the struct's default).
//
// Texts are UTF-8 (the platform's "ANSI" code page); names as the engine
// reports them, with "/" separators.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/attributes.h"
#include "zipwrap/engine_binding.h"

namespace vz::zipwrap {

// Compression level, 0 (store) to 9; passed as "-" and the digit.
using TZwCompressionLevel = int;

// Extraction's answer to existing files: ask (no switch), never ("-n"),
// always ("-o").
enum TZwOverwrite : uint8_t { zowAsk, zowNever, zowAlways };

// Local date and time (see the header comment).
using TZwDateTime = vz::LocalTime;

// Bits of TZwFileStats::Attributes (a set of six bits).
enum TZwAttribute : uint8_t {
  zatReadOnly = 0x01,
  zatHidden = 0x02,
  zatSystem = 0x04,
  zatVolumeLabel = 0x08,
  zatDirectory = 0x10,
  zatArchive = 0x20,
};

// One file or entry as the engine reports it (codes 50, 60, 80, 90, 1000,
// 1010, 1030). For the totals of a listing (Totals) the fields carry the
// sums described in engine_abi.h.
struct TZwFileStats {
  std::string FileName;     // with its folder part as stored
  uint32_t Size = 0;        // uncompressed size
  uint32_t ValueA = 0;      // passed through (the engine: compressed size)
  uint32_t ValueB = 0;      // passed through (the engine: CRC-32)
  uint8_t Attributes = 0;   // TZwAttribute bits, low six bits only
  TZwDateTime DateTime;     // the entry's stamp (see the header comment)
  int32_t ValueC = 0;       // passed through (the engine: Unix mode or -1)
  uint8_t ByteA = 0;        // passed through (the engine: method)
  uint8_t PercentDone = 0;  // 0..100
  uint8_t ByteB = 0;        // passed through (the engine: space saved, %)
  bool FlagA = false;       // passed through (the engine: encrypted)
  uint8_t ByteC = 0;        // passed through (the engine: host system)
  std::string TextA;        // at most 255 characters (the engine: comment)
};

// A file or entry left out (code 1060).
struct TZwSkipping {
  std::string FileName;
  // 0 file not found, 1 unknown compression, 2 CRC check failure, 3 file
  // already up to date, 4 unable to open file, 5 invalid or no password,
  // 6 compressed data corrupted, 7 told not to overwrite.
  uint8_t Reason = 0;
};

// An extracted file exists (code 10); the handler fills NewName and Answer.
struct TZwReplace {
  std::string FileName;  // the existing file
  std::string NewName;   // empty on entry; non-empty: extract there instead
  uint8_t Answer = 0;    // 1 replace, 0 keep
};

// An encrypted entry needs a password (code 100) and Password is empty.
struct TZwPwdQuery {
  std::string FileName;  // the entry's stored name
  std::string Password;  // empty on entry; at most 80 characters are used
  uint8_t Answer = 0;    // 2 use Password, 1 skip every encrypted file from now on, 0 skip this file
};

// The comment of a new entry (code 120); the handler fills Comment.
struct TZwFileComment {
  std::string FileName;
  std::string Comment;  // empty on entry; at most 255 characters are used
};

class TZipWrapper {
 public:
  // Empties the process-wide ArchiveComment.
  TZipWrapper();
  ~TZipWrapper();
  TZipWrapper(const TZipWrapper&) = delete;
  TZipWrapper& operator=(const TZipWrapper&) = delete;

  // ---- Published properties (with the values a new instance has) ----
  // File patterns; ">" starts an include filter, "<" an exclude
  // filter (zip_wrapper_args.h). Emptied after every operation.
  std::vector<std::string> FilesToProcess;
  TZwCompressionLevel Compression = 6;                        // (the declared stream default is 7)
  bool ClearDisks = false;                                    // "-&" on add
  bool MoveFiles = false;                                     // "-m" on add
  bool MultidiskMode = false;                                 // "-!"; several operations refuse it (430)
  std::string ExtractDirectory;                               // "-d" and the folder on extract
  bool IncludeHiddenFiles = false;                            // "-S" on add and update
  bool IncludeDirectoryEntries = false;                       // "-D" on add and update, with UsePaths
  bool IncludeVolumeLabel = false;                            // "-$" on plain add
  TZwOverwrite Overwrite = zowAsk;                            // extract: nothing, "-n", "-o"
  bool Recurse = false;                                       // "-r" on add
  std::string Password;                                       // argv[0]; non-empty adds "-e" on add and answers queries
  std::string StoredExtensions = ".ZIP;.LZH;.ARC;.ARJ;.ZOO";  // "-n" and the list on add
  std::string TempPath;                                       // "-b" and the folder
  bool UsePaths = true;                                       // false adds "-j"
  bool UseTempFile = true;                                    // false (or MultidiskMode) adds "-g"
  std::string ZipFileName;                                    // the archive

  // ---- Events (each receives the component first) ----
  using FileStatsEvent = std::function<void(TZipWrapper&, const TZwFileStats&)>;
  using FileNameEvent = std::function<void(TZipWrapper&, const std::string&)>;
  FileStatsEvent OnAdding;                                               // 1010
  FileStatsEvent OnExtracting;                                           // 60
  FileStatsEvent OnListing;                                              // 80
  FileStatsEvent OnTesting;                                              // 50
  FileStatsEvent OnUpdating;                                             // 1000
  FileStatsEvent OnStatus;                                               // 1030
  FileNameEvent OnDeleting;                                              // 1020
  FileNameEvent OnFixing;                                                // 1070
  std::function<void(TZipWrapper&, TZwFileComment&)> OnFileComment;      // 120
  std::function<void(TZipWrapper&, TZwReplace&)> OnReplace;              // 10
  std::function<void(TZipWrapper&, TZwPwdQuery&)> OnPwdQuery;            // 100, only with Password empty
  std::function<void(TZipWrapper&, const TZwSkipping&)> OnSkippingFile;  // 1060
  std::function<void(TZipWrapper&, int Disknumber)> OnNewdisk;           // 110 (0: the last disk)

  // ---- Public state ----
  bool Abort = false;          // set by a handler to stop the running operation
  TZwDateTime ProcessSince;    // "-t" on add; initially 1 January 1980
  int32_t EntryCount = 0;      // set by engine code 70
  TZwFileStats Totals;         // set by engine code 90
  uint16_t SecondaryCode = 0;  // high 16 bits of the last engine result (nothing reads it)
  // The stand-in engine's own writing choices, beyond the published
  // properties; at their initial values they add nothing to any vector.
  std::string EngineMethod;    // non-empty: "-Z" and the method name on add (bzip2, lzma, xz, zstd; deflate)
  bool AesEncryption = false;  // with Password: "-A" on add (AES-256) instead of the traditional "-e"
  // The process-wide archive comment buffer (at most 255 characters),
  // shared by every instance: filled by ReadArchiveComment (code 130),
  // handed to the engine by WriteArchiveComment (code 140).
  static std::string ArchiveComment;

  // ---- Operations (each returns the result code) ----
  // UpdateMode: 0 add, 1 freshen, 2 update. 430 for 1 and 2 in MultidiskMode.
  int AddFiles(int UpdateMode);
  int DeleteFiles();                 // 430 in MultidiskMode
  int ExtractFiles(int UpdateMode);  // 430 for modes 1 and 2 in MultidiskMode
  int FixArchive(bool Thorough);     // "-FF" or "-F"; 430 in MultidiskMode
  int ListArchive();
  int TestArchive();
  // The archive comment on result 0, else "Error #" and the code.
  std::string ReadArchiveComment();
  // Copies Text (cut to 255 characters) into ArchiveComment, then writes
  // it; does nothing (returns 0) in MultidiskMode.
  int WriteArchiveComment(const std::string& Text);
  // EntryCount when the call's result is 0, else 0.
  int32_t GetEntryCount();

  // The callback handed to the engine (user = the instance); public so
  // that tests can drive it with records of their own.
  static uint32_t engineCallback(uint32_t code, void* record, void* user);

 private:
  // Runs one engine call on the library of side with the vector args and
  // returns the low 16 bits; binds the library first (240 when it cannot).
  int run(EngineLibrary& library, const std::vector<std::string>& args);
  // The entry-count call (argc 1, argv[0] the marker's address).
  int runCount(uint32_t marker);
  void dispatch(uint32_t code, void* record);

  EngineLibrary writer_;  // ZWZIP32.so, bound on first use
  EngineLibrary reader_;  // ZWUNZ32.so, bound on first use
};

}  // namespace vz::zipwrap
