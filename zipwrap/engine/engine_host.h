// The engine's side of the callback: every question and report the engine
// makes to its caller goes through one EngineHost, which fills the record of
// engine_abi.h, makes the call and reads the reply. It is used on the
// calling thread only (worker threads never talk to the host).
//
// A reply of 1 (stop) is remembered: stopped() stays true, and the
// operation ends with kResultAborted at its next check. Without a callback
// nothing is reported and every question gets its "no" answer (keep the
// file, skip the entry, no comment, no new disk).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zipwrap/engine/engine_abi.h"

namespace vz::zipwrap {

// What a file record reports, in C++ terms (converted to ZwFileRecord).
struct FileEvent {
  std::string name;          // stored name ("/" separators)
  uint64_t size = 0;         // uncompressed (cut to 32 bits in the record)
  uint64_t packedSize = 0;   // compressed, encryption header included
  uint32_t crc32 = 0;         // totals (90): the number of entries
  uint8_t dosAttributes = 0;
  uint32_t dosDateTime = 0;  // time in the low half, date in the high half
  int32_t unixMode = -1;     // -1: none
  uint16_t method = 0;
  uint8_t percentDone = 0;
  bool encrypted = false;
  std::string comment;
  uint8_t hostSystem = 0;
};

enum class ReplaceAnswer { Replace, Keep, Stop };
enum class PasswordAnswer { Use, SkipThis, SkipAll, Stop };

class EngineHost {
 public:
  EngineHost(EngineCallback callback, void* user) : callback_(callback), user_(user) {}

  // Whether the host asked to stop.
  bool stopped() const { return stopped_; }
  bool hasCallback() const { return callback_ != nullptr; }

  // Raises code with a raw record; false (and stopped()) when the host
  // answered 1.
  bool raise(uint32_t code, void* record);

  // Codes 50, 60, 80, 90, 1000, 1010, 1030.
  bool fileEvent(uint32_t code, const FileEvent& event);
  // Codes 1020 and 1070: the record is the name itself.
  bool nameEvent(uint32_t code, const std::string& name);
  // Code 1060.
  bool skipped(const std::string& name, SkipReason reason);
  // Code 70.
  bool entryCount(uint32_t entries);
  // Code 10: path is the existing file. On Replace, newName holds the
  // host's new name (empty: replace the file itself).
  ReplaceAnswer askReplace(const std::string& path, std::string& newName);
  // Code 100: on Use, password holds the host's password.
  PasswordAnswer askPassword(const std::string& name, std::string& password);
  // Code 110 (0: the last disk). False when the host stops (or there is no
  // callback).
  bool askForDisk(uint32_t disk);
  // Code 120: the comment of a new entry (empty: none). False when stopped.
  bool askFileComment(const std::string& name, std::string& comment);
  // Code 130.
  bool deliverArchiveComment(std::string_view comment);
  // Code 140: given is false when the host set no status (no comment).
  bool askArchiveComment(std::string& comment, bool& given);

 private:
  EngineCallback callback_;
  void* user_;
  bool stopped_ = false;
};

}  // namespace vz::zipwrap
