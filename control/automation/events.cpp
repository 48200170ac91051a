// The message-to-event table of the control's window. Parameter types come
// from the event interface's description, so the table only says where
// each value is found.
#include "control/automation/events.h"

#include <iterator>

#include "control/typelib/qx_typelib.h"

namespace vz::control {

namespace {

using S = ParamSource;

com::Variant numberAs(com::VarType type, int64_t value) {
  switch (type) {
    case com::VarType::Bool:
      return com::Variant::fromBool(value != 0);
    case com::VarType::I2:
      return com::Variant::fromShort(static_cast<int16_t>(value));
    case com::VarType::I4:
      return com::Variant::fromLong(static_cast<int32_t>(value));
    case com::VarType::R8:
      return com::Variant::fromDouble(static_cast<double>(value));
    default:
      return com::Variant::fromLong(static_cast<int32_t>(value));
  }
}

com::Variant textAt(LParam lParam) {
  const char* p = reinterpret_cast<const char*>(lParam);
  return com::Variant::fromText(p ? std::string(p) : std::string());
}

// Message, event (its DISPID in _DQXEvents), parameter count and sources.
constexpr EventBinding kBindings[] = {
    {kMsgOpenFile, 1, 1, {S::TextFromLParam, {}}},                      // ZNOpenFile
    {kMsgExpanding, 2, 2, {S::TextFromLParam, S::NumberFromWParam}},    // ZNExpanding
    {kMsgCloseFile, 3, 2, {S::TextFromLParam, S::NumberFromWParam}},    // ZNCloseFile
    {kMsgTest, 4, 2, {S::TextFromLParam, S::StatusBelow2}},             // ZNTest
    {kMsgJoining, 5, 2, {S::NumberFromWParam, S::TextFromLParam}},      // ZNJoining
    {kMsgJoinDoneSize, 7, 1, {S::NumberFromLParam, {}}},                // ZNJoinDoneSize
    {kMsgJoinDoneName, 8, 1, {S::TextFromLParam, {}}},                  // ZNJoinDoneName
    {kMsgRestoreBuildZip, 9, 1, {S::TextFromLParam, {}}},               // ZNRestoreBuildZip
    {kMsgRestoreZipDone, 10, 1, {S::NumberFromLParam, {}}},             // ZNRestoreZipDone
    {kMsgBackupBuildZip, 11, 1, {S::TextFromLParam, {}}},               // ZNBackupBuildZip
    {kMsgBackupZipDone, 12, 1, {S::NumberFromLParam, {}}},              // ZNBackupZipDone
    {kMsgMakeExeStep1, 13, 0, {}},                                      // ZNMakeEXEStep1
    {kMsgMakeExeStep2, 14, 1, {S::NumberFromWParam, {}}},               // ZNMakeEXEStep2
    {kMsgZipping, 15, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNZipping
    {kMsgZipping2, 16, 2, {S::TextFromLParam, S::NumberFromWParam}},    // ZNZipping2
    {kMsgFileZipped, 17, 2, {S::TextFromLParam, S::NumberFromWParam}},  // ZNFileZipped
    {kMsgWriting, 18, 1, {S::TextFromLParam, {}}},                      // ZNWriting
    {kMsgReparing, 19, 2, {S::TextFromLParam, S::NumberFromWParam}},    // ZNReparing
    {kMsgEncrypt, 21, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNEncrypt
    {kMsgSplitting, 22, 2, {S::NumberFromWParam, S::TextFromLParam}},   // ZNSplitting
    {kMsgSplitted, 23, 2, {S::NumberFromWParam, S::NumberFromLParam}},  // ZNSplitted
    {kMsgDeleting, 24, 1, {S::TextFromLParam, {}}},                     // ZNDeleting
};

// How many bindings have the message.
constexpr int bindingsOf(uint32_t message) {
  int n = 0;
  for (const EventBinding& b : kBindings) n += b.message == message ? 1 : 0;
  return n;
}

// Every engine notification has exactly one event, except the catalogue
// count, which has none.
constexpr bool everyNotificationBound() {
  for (uint32_t n : engine::kNotifyMessages) {
    if (bindingsOf(WM_USER + n) != (n == engine::kNotifyCatalogueCount ? 0 : 1)) return false;
  }
  return true;
}
static_assert(everyNotificationBound(), "an engine notification without its event (or with two)");

// Every binding's message is an engine notification.
constexpr bool everyBindingANotification() {
  for (const EventBinding& b : kBindings) {
    bool found = false;
    for (uint32_t n : engine::kNotifyMessages) found = found || b.message == WM_USER + n;
    if (!found) return false;
  }
  return true;
}
static_assert(everyBindingANotification(), "an event bound to a message the engine does not send");

// Each event has one message; ZNJoined (6) and ZNCompute (20) have none.
constexpr bool eventsDistinct() {
  for (const EventBinding& a : kBindings) {
    int same = 0;
    for (const EventBinding& b : kBindings) same += a.event == b.event ? 1 : 0;
    if (same != 1 || a.event == 6 || a.event == 20 || a.event < 1 || a.event > 24) return false;
  }
  return true;
}
static_assert(eventsDistinct() && std::size(kBindings) == 22, "events and messages out of step");

}  // namespace

const std::vector<EventBinding>& eventBindings() {
  static const std::vector<EventBinding> table(std::begin(kBindings), std::end(kBindings));
  return table;
}

std::optional<EventCall> eventForMessage(uint32_t message, WParam wParam, LParam lParam) {
  for (const EventBinding& b : eventBindings()) {
    if (b.message != message) continue;
    const com::FuncDesc* f = com::findMember(kDQXEvents, b.event);
    if (!f || f->params.size() != b.paramCount) return std::nullopt;
    EventCall call{b.event, {}};
    for (size_t i = 0; i < b.paramCount; ++i) {
      const com::VarType type = f->params[i].type;
      switch (b.sources[i]) {
        case S::TextFromLParam:
          call.args.push_back(textAt(lParam));
          break;
        case S::NumberFromWParam:
          call.args.push_back(numberAs(type, static_cast<int64_t>(wParam)));
          break;
        case S::NumberFromLParam:
          call.args.push_back(numberAs(type, static_cast<int64_t>(lParam)));
          break;
        case S::StatusBelow2:
          call.args.push_back(com::Variant::fromBool(wParam < 2));
          break;
      }
    }
    return call;
  }
  return std::nullopt;
}

}  // namespace vz::control
