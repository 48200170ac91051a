// The contract between the external ZIP engine (ZWZIP32.so, ZWUNZ32.so) and
// its one caller, the wrapper component TZipWrapper: the entry points, the
// callback, the callback codes and the layout of every record the engine
// hands to the callback. This header is the one place where the records are
// laid out; the engine fills them, the wrapper reads them and writes its
// replies into them, and the tests' fake engine replays them.
//
// Entry points (C linkage, looked up by name after the library is loaded):
//
//   uint32_t zwzip(uint32_t magic, int32_t argc, char** argv,
//                  EngineCallback callback, void* user);    writer side
//   uint32_t zwunzip(...same...);                             reader side
//
//   magic     always kEngineCallMagic (100); any other value is refused
//             with kResultBadCommand
//   argc/argv the command line of switches, the archive name and the file
//             patterns (grammar: engine_command.h); argv[0] is the
//             password, or an empty string
//   callback  called on the calling thread during the call, never on another
//             thread and never after the call returned; may be null (then
//             nothing is asked: replace questions keep the file, password
//             questions skip the entry, new-disk questions stop)
//   user      handed back unchanged as the callback's third argument
//
//   Result: the operation's result code (engine_results.h) in the low 16
//   bits; the high 16 bits carry a secondary code (the number of entries
//   the operation failed on, capped at 0xFFFF) that callers may ignore.
//
// The reader's entry-count call is the one exception to the argv layout:
// argc is 1, argv[0] points at a uint32_t (0, or kMultiDiskCountMarker to
// read a spanned set) and argv[1] is the archive name.
//
// The callback returns 0 to go on and 1 to stop the operation (the engine
// then ends with kResultAborted, changing nothing that a completed
// operation would not have changed; see engine_results.h).
//
// Records: the field order and types of the original 32-bit layout, laid
// out with this machine's native pointer width and natural alignment (the
// byte offsets of the 64-bit layout are asserted below). Every text is
// zero-terminated UTF-8; names are stored names with "/" separators, as
// they are (or will be) in the archive. A text pointer is never null (an
// empty text is ""). Records and the texts they point at live until the
// callback returns.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint32_t (*EngineCallback)(uint32_t code, void* record, void* user);
typedef uint32_t (*EngineCall)(uint32_t magic, int32_t argc, char** argv, EngineCallback callback, void* user);

}  // extern "C"

namespace vz::zipwrap {

// The first argument of every call.
constexpr uint32_t kEngineCallMagic = 100;
// The value at argv[0] of the entry-count call that asks for a spanned set.
constexpr uint32_t kMultiDiskCountMarker = 1234567890;
// The entry points' names.
constexpr const char* kWriterEntryPoint = "zwzip";
constexpr const char* kReaderEntryPoint = "zwunzip";
// The libraries' file names.
constexpr const char* kWriterLibrary = "ZWZIP32.so";
constexpr const char* kReaderLibrary = "ZWUNZ32.so";

// Callback codes, the record each one carries, and who raises it.
enum CallbackCode : uint32_t {
  kCbReplace = 10,           // ZwReplaceRecord: extract, the file exists (no -o, no -n)
  kCbTesting = 50,           // ZwFileRecord: test, once per entry when its test begins
  kCbExtracting = 60,        // ZwFileRecord: extract, per entry with PercentDone 0..100
  kCbEntryCount = 70,        // ZwCountRecord: entry-count call
  kCbListing = 80,           // ZwFileRecord: list (-v), once per entry
  kCbTotals = 90,            // ZwFileRecord (totals layout below): list, after the last entry
  kCbPassword = 100,         // ZwPasswordRecord: an encrypted entry needs a password
  kCbNewDisk = 110,          // ZwDiskRecord: multi-disk mode, insert a disk (0: the last one)
  kCbFileComment = 120,      // ZwCommentRecord: add with -c, the comment of each new entry
  kCbArchiveCommentOut = 130,  // ZwArchiveCommentOut: reader -z, the archive comment
  kCbArchiveCommentIn = 140,   // ZwArchiveCommentIn: writer -z, the host gives the comment
  kCbUpdating = 1000,        // ZwFileRecord: add/freshen/update, an entry is replaced
  kCbAdding = 1010,          // ZwFileRecord: add, a new entry, PercentDone 0..100
  kCbDeleting = 1020,        // const char* (the record is the name): delete, per entry removed
  kCbStatus = 1030,          // ZwFileRecord: a phase's progress (FileName: what is worked on)
  kCbSkipping = 1060,        // ZwSkipRecord: a file or entry left out, with its reason
  kCbFixing = 1070,          // const char* (the record is the name): fix, per entry kept
};

// The reply of every callback.
constexpr uint32_t kReplyContinue = 0;
constexpr uint32_t kReplyStop = 1;

// File record (codes 50, 60, 80, 90, 1000, 1010, 1030). The original's byte
// offsets are given beside each field; the three "passed through" values
// and the spare bytes carry what the engine chooses, listed here:
struct ZwFileRecord {
  const char* fileName;   // 0   stored name (90: the archive's path; 1030: the phase's subject)
  uint32_t size;          // 4   uncompressed size (90: sum of all entries)
  uint32_t valueA;        // 8   compressed size, encryption header included (90: sum)
  uint32_t valueB;        // 12  CRC-32 (90: number of entries)
  uint8_t attributes;     // 16  DOS bits: 0x01 read-only, 0x02 hidden, 0x04 system,
                          //     0x08 volume label, 0x10 folder, 0x20 archive
  uint16_t dosTime;       // 20  DOS time of the entry (90: of the newest entry)
  uint16_t dosDate;       // 22  DOS date
  int32_t valueC;         // 24  Unix mode (type and permission bits) when the entry
                          //     carries one, else -1
  uint8_t byteA;          // 28  compression method (low 8 bits; 0 store, 8 deflate, ...);
                          //     an AES entry (stored as 99) gives the method under the
                          //     encryption, its 0x9901 field's, with flagA set
  uint8_t percentDone;    // 29  0..100: progress of the entry's work (listing: 100)
  uint8_t byteB;          // 30  space saved, percent (0..100; 0 when it grew)
  uint8_t flagA;          // 31  non-zero: the entry is encrypted
  const char* textA;      // 32  the entry's file comment (90: the archive comment)
  uint8_t byteC;          // 36  the host system that made the entry (0 DOS, 3 Unix, ...)
};

// Code 1060.
struct ZwSkipRecord {
  const char* fileName;  // 0  stored name (or the file's path for a source file)
  uint8_t reason;        // 4  SkipReason
};

// Reasons of ZwSkipRecord (TZwSkipping.Reason).
enum SkipReason : uint8_t {
  kSkipNotFound = 0,          // a named file or entry does not exist
  kSkipUnknownMethod = 1,     // compression method the engine cannot decode
  kSkipCrcError = 2,          // the data decoded but its CRC-32 is wrong
  kSkipUpToDate = 3,          // freshen/update: the archived (or extracted) copy is as new
  kSkipCannotOpen = 4,        // a source file or an output file cannot be opened or read
  kSkipBadPassword = 5,       // encrypted and no good password was given
  kSkipCorruptData = 6,       // the compressed data is damaged (decoder fault, sizes wrong)
  kSkipNotOverwriting = 7,    // the file exists and the answer (or -n) was to keep it
};

// Buffer sizes the engine provides in its records (characters plus the
// terminating zero). The host writes at most size - 1 characters.
constexpr size_t kZwNameBufferSize = 4096;     // ZwReplaceRecord::newName
constexpr size_t kZwPasswordBufferSize = 128;  // ZwPasswordRecord::password (the host writes at most 80)
constexpr size_t kZwCommentBufferSize = 256;   // ZwCommentRecord / ZwArchiveCommentIn (at most 255)
constexpr size_t kZwPasswordMaxLength = 80;
constexpr size_t kZwCommentMaxLength = 255;

// Code 10. answer: 1 replace, 0 keep. A non-empty newName (relative to the
// extraction folder, or absolute inside it) is where the entry goes instead;
// it is checked like any stored name and asked about again if it exists.
struct ZwReplaceRecord {
  const char* fileName;  // 0  the path of the existing file
  char* newName;         // 4  kZwNameBufferSize bytes, "" on entry
  uint8_t answer;        // 8  in: 0
};

// Code 100. answer: 2 use password, 1 skip every encrypted entry from now
// on, 0 skip this entry. A wrong password asks again for the same entry.
struct ZwPasswordRecord {
  const char* fileName;  // 0  stored name of the entry
  char* password;        // 4  kZwPasswordBufferSize bytes, "" on entry
  uint8_t answer;        // 8  in: 0
};

// Code 120. length: the comment's length in bytes (at most 255), its bytes
// in buffer (zero-terminated or not).
struct ZwCommentRecord {
  const char* fileName;  // 0  stored name of the new entry
  char* buffer;          // 4  kZwCommentBufferSize bytes, "" on entry
  uint8_t length;        // 8  in: 0
};

// Code 70.
struct ZwCountRecord {
  uint32_t entries;  // 0  entries in the archive (in the set)
};

// Code 110. disk: the number of the disk wanted, 1 for the first; 0 asks
// for the last disk of a set (where its directory is).
struct ZwDiskRecord {
  uint32_t disk;  // 0
};

// Code 130: the archive comment as stored (length bytes, not
// zero-terminated in general; the host takes at most 255).
struct ZwArchiveCommentOut {
  const char* text;  // 0
  uint16_t length;   // 4
};

// Code 140: the host writes up to 255 characters into buffer, their number
// into length and 1 into status; status 0 on return means the host gave no
// comment and the archive comment is removed.
struct ZwArchiveCommentIn {
  char* buffer;     // 0  kZwCommentBufferSize bytes, "" on entry
  uint16_t length;  // 4  in: 0
  uint32_t status;  // 8  in: 0
};

// The 64-bit layout, so that both sides of a library boundary agree.
static_assert(sizeof(void*) == 8, "the records are laid out for 8-byte pointers");
static_assert(offsetof(ZwFileRecord, size) == 8 && offsetof(ZwFileRecord, attributes) == 20 &&
              offsetof(ZwFileRecord, dosTime) == 22 && offsetof(ZwFileRecord, valueC) == 28 &&
              offsetof(ZwFileRecord, byteA) == 32 && offsetof(ZwFileRecord, flagA) == 35 &&
              offsetof(ZwFileRecord, textA) == 40 && offsetof(ZwFileRecord, byteC) == 48);
static_assert(offsetof(ZwSkipRecord, reason) == 8);
static_assert(offsetof(ZwReplaceRecord, newName) == 8 && offsetof(ZwReplaceRecord, answer) == 16);
static_assert(offsetof(ZwPasswordRecord, password) == 8 && offsetof(ZwPasswordRecord, answer) == 16);
static_assert(offsetof(ZwCommentRecord, buffer) == 8 && offsetof(ZwCommentRecord, length) == 16);
static_assert(offsetof(ZwArchiveCommentOut, length) == 8);
static_assert(offsetof(ZwArchiveCommentIn, length) == 8 && offsetof(ZwArchiveCommentIn, status) == 12);

}  // namespace vz::zipwrap
