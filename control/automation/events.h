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

#include "platform/com/typelib.h"
#include "platform/com/variant.h"
#include "platform/types.h"

namespace vz::control {

// The notification messages, by the event they produce.
inline constexpr uint32_t kMsgOpenFile = WM_USER + 0x26;
inline constexpr uint32_t kMsgExpanding = WM_USER + 0x27;
inline constexpr uint32_t kMsgCloseFile = WM_USER + 0x28;
inline constexpr uint32_t kMsgJoining = WM_USER + 0x29;
inline constexpr uint32_t kMsgJoinDoneSize = WM_USER + 0x2B;
inline constexpr uint32_t kMsgJoinDoneName = WM_USER + 0x2C;
inline constexpr uint32_t kMsgFileZipped = WM_USER + 0x2D;
inline constexpr uint32_t kMsgZipping = WM_USER + 0x2E;
inline constexpr uint32_t kMsgDeleting = WM_USER + 0x2F;
inline constexpr uint32_t kMsgWriting = WM_USER + 0x30;
inline constexpr uint32_t kMsgReparing = WM_USER + 0x31;
inline constexpr uint32_t kMsgZipping2 = WM_USER + 0x32;
inline constexpr uint32_t kMsgCatalogueCount = WM_USER + 0x34;  // no event
inline constexpr uint32_t kMsgSplitting = WM_USER + 0x3D;
inline constexpr uint32_t kMsgSplitted = WM_USER + 0x3E;
inline constexpr uint32_t kMsgEncrypt = WM_USER + 0x42;
inline constexpr uint32_t kMsgTest = WM_USER + 0x45;
inline constexpr uint32_t kMsgBackupBuildZip = WM_USER + 0x50;
inline constexpr uint32_t kMsgBackupZipDone = WM_USER + 0x51;
inline constexpr uint32_t kMsgRestoreBuildZip = WM_USER + 0x52;
inline constexpr uint32_t kMsgRestoreZipDone = WM_USER + 0x53;
inline constexpr uint32_t kMsgMakeExeStep1 = WM_USER + 0x5A;
inline constexpr uint32_t kMsgMakeExeStep2 = WM_USER + 0x5B;

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

// All bindings (one per event that can fire).
const std::vector<EventBinding>& eventBindings();

// An event to fire.
struct EventCall {
  com::DispId event;
  std::vector<com::Variant> args;
};

// The event a message produces, or nullopt when the message has none.
std::optional<EventCall> eventForMessage(uint32_t message, WParam wParam, LParam lParam);

}  // namespace vz::control
