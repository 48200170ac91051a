// Progress notifications of the engine: WM_USER + n sent synchronously to the
// notification window (when there is one), then the waiting messages are
// dispatched (when pumping is on). Pumping is where a host's cancel request
// reaches a running operation.
#pragma once

#include <cstdint>

#include "control/engine/common/unzip_state.h"
#include "platform/types.h"

namespace vz::engine {

// Every notification the engine sends: offsets from WM_USER, with what
// wParam and lParam carry. Text is a pointer to zero-terminated text, valid
// for the duration of the call.
// Extraction (driver).
constexpr uint32_t kNotifyOpenFile = 0x26;   // lParam: entry name
constexpr uint32_t kNotifyExpanding = 0x27;  // wParam: percent done; lParam: entry name
constexpr uint32_t kNotifyCloseFile = 0x28;  // wParam: 1 complete and CRC good, else 0; lParam: entry name
constexpr uint32_t kNotifyTest = 0x45;       // wParam: the entry's status; lParam: entry name
// Joining and splitting spanned parts.
constexpr uint32_t kNotifyJoining = 0x29;       // wParam: KB joined; lParam: part name
constexpr uint32_t kNotifyJoinDoneSize = 0x2B;  // lParam: size of the joined archive
constexpr uint32_t kNotifyJoinDoneName = 0x2C;  // lParam: name of the joined archive
constexpr uint32_t kNotifySplitting = 0x3D;     // wParam: KB written; lParam: part name
constexpr uint32_t kNotifySplitted = 0x3E;      // wParam: part number; lParam: part size
// Writing archives.
constexpr uint32_t kNotifyFileZipped = 0x2D;  // wParam: compression rate; lParam: file name
constexpr uint32_t kNotifyZipping = 0x2E;     // wParam: compressed bytes so far / 1,024 + 1; lParam: file name
constexpr uint32_t kNotifyDeleting = 0x2F;    // lParam: entry name
constexpr uint32_t kNotifyWriting = 0x30;     // lParam: archive name
constexpr uint32_t kNotifyZipping2 = 0x32;  // wParam: percent of the input coded into closed blocks; lParam: file name
constexpr uint32_t kNotifyEncrypt = 0x42;   // wParam: percent of the entry done; lParam: entry name
// Reading the directory and repairing.
constexpr uint32_t kNotifyRepairing = 0x31;       // wParam: step (1 entry, 2 done); lParam: text
constexpr uint32_t kNotifyCatalogueCount = 0x34;  // wParam: entries found (the control fires no event)
// Drive backup and restore.
constexpr uint32_t kNotifyBackupBuildZip = 0x50;   // lParam: temporary archive name
constexpr uint32_t kNotifyBackupZipDone = 0x51;    // lParam: archive size
constexpr uint32_t kNotifyRestoreBuildZip = 0x52;  // lParam: joined archive name
constexpr uint32_t kNotifyRestoreZipDone = 0x53;   // lParam: archive size
// Self-extractor assembly.
constexpr uint32_t kNotifyMakeExeStep1 = 0x5A;  // at the start
constexpr uint32_t kNotifyMakeExeStep2 = 0x5B;  // wParam: percent done

// The list of them, for tables keyed by notification (the control's events).
inline constexpr uint32_t kNotifyMessages[] = {
    kNotifyOpenFile,       kNotifyExpanding,      kNotifyCloseFile,      kNotifyTest,          kNotifyJoining,
    kNotifyJoinDoneSize,   kNotifyJoinDoneName,   kNotifySplitting,      kNotifySplitted,      kNotifyFileZipped,
    kNotifyZipping,        kNotifyDeleting,       kNotifyWriting,        kNotifyZipping2,      kNotifyEncrypt,
    kNotifyRepairing,      kNotifyCatalogueCount, kNotifyBackupBuildZip, kNotifyBackupZipDone, kNotifyRestoreBuildZip,
    kNotifyRestoreZipDone, kNotifyMakeExeStep1,   kNotifyMakeExeStep2,
};

// Sends WM_USER + n to window when it is not 0, then pumps when pump is set.
void notify(Handle window, bool pump, uint32_t n, WParam wParam, LParam lParam);
// The same with the read side's settings.
inline void notify(const UnzipState& st, uint32_t n, WParam wParam, LParam lParam) {
  notify(st.notifyWindow, st.pump, n, wParam, lParam);
}
// Dispatches waiting messages when pumping is on (no notification).
void pumpIf(bool pump);

}  // namespace vz::engine
