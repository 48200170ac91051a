// The engine's progress notifications and the events they become.
//
// The engine sends WM_USER + n to the notification window; the control's
// window procedure looks the message up here and fires the event of
// _DQXEvents with parameters taken from wParam and lParam: text from lParam
// as a pointer to zero-terminated text (empty when null), numbers from
// wParam unless the binding names lParam, each number converted to the
// event parameter's type. ZNJoined and ZNCompute have no message and never
// fire; WM_USER+0x34 (the catalogue loader's entry count) has no event.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "control/engine/common/notify.h"
#include "platform/com/typelib.h"
#include "platform/com/variant.h"
#include "platform/types.h"

namespace vz::control {

// The notification messages (WM_USER + the engine's offsets), by the event
// they produce.
inline constexpr uint32_t kMsgOpenFile = WM_USER + engine::kNotifyOpenFile;
inline constexpr uint32_t kMsgExpanding = WM_USER + engine::kNotifyExpanding;
inline constexpr uint32_t kMsgCloseFile = WM_USER + engine::kNotifyCloseFile;
inline constexpr uint32_t kMsgJoining = WM_USER + engine::kNotifyJoining;
inline constexpr uint32_t kMsgJoinDoneSize = WM_USER + engine::kNotifyJoinDoneSize;
inline constexpr uint32_t kMsgJoinDoneName = WM_USER + engine::kNotifyJoinDoneName;
inline constexpr uint32_t kMsgFileZipped = WM_USER + engine::kNotifyFileZipped;
inline constexpr uint32_t kMsgZipping = WM_USER + engine::kNotifyZipping;
inline constexpr uint32_t kMsgDeleting = WM_USER + engine::kNotifyDeleting;
inline constexpr uint32_t kMsgWriting = WM_USER + engine::kNotifyWriting;
inline constexpr uint32_t kMsgReparing = WM_USER + engine::kNotifyRepairing;
inline constexpr uint32_t kMsgZipping2 = WM_USER + engine::kNotifyZipping2;
inline constexpr uint32_t kMsgCatalogueCount = WM_USER + engine::kNotifyCatalogueCount;  // no event
inline constexpr uint32_t kMsgSplitting = WM_USER + engine::kNotifySplitting;
inline constexpr uint32_t kMsgSplitted = WM_USER + engine::kNotifySplitted;
inline constexpr uint32_t kMsgEncrypt = WM_USER + engine::kNotifyEncrypt;
inline constexpr uint32_t kMsgTest = WM_USER + engine::kNotifyTest;
inline constexpr uint32_t kMsgBackupBuildZip = WM_USER + engine::kNotifyBackupBuildZip;
inline constexpr uint32_t kMsgBackupZipDone = WM_USER + engine::kNotifyBackupZipDone;
inline constexpr uint32_t kMsgRestoreBuildZip = WM_USER + engine::kNotifyRestoreBuildZip;
inline constexpr uint32_t kMsgRestoreZipDone = WM_USER + engine::kNotifyRestoreZipDone;
inline constexpr uint32_t kMsgMakeExeStep1 = WM_USER + engine::kNotifyMakeExeStep1;
inline constexpr uint32_t kMsgMakeExeStep2 = WM_USER + engine::kNotifyMakeExeStep2;

// Where one event parameter comes from.
enum class ParamSource : uint8_t {
  TextFromLParam,    // zero-terminated text at lParam, "" when null
  NumberFromWParam,  // wParam converted to the parameter's type
  NumberFromLParam,  // lParam converted to the parameter's type
  StatusBelow2,      // BOOL: wParam (an entry's status) < 2
};

// One message's binding: the event and the source of each parameter, in
// the event's parameter order.
struct EventBinding {
  uint32_t message;
  com::DispId event;
  uint8_t paramCount;
  ParamSource sources[2];
};

// All bindings (one per event that can fire). Every engine notification but
// the catalogue count has exactly one, and every binding's message is an
// engine notification (checked when events.cpp is compiled).
const std::vector<EventBinding>& eventBindings();

// An event to fire.
struct EventCall {
  com::DispId event;
  std::vector<com::Variant> args;
};

// The event a message produces, or nullopt when the message has none.
std::optional<EventCall> eventForMessage(uint32_t message, WParam wParam, LParam lParam);

}  // namespace vz::control
